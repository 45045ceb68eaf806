#pragma once

// The 8-bit quantity code names the kind of a value. It selects the unit list,
// the conversion rule, the number format and the register blocks of the value.
namespace Quantity {
constexpr int NotUsed = 0;
constexpr int Frequency = 1;
constexpr int Phase = 2;
constexpr int Temperature = 3;
constexpr int Density = 4;
constexpr int MassFlow = 5;
constexpr int MassTotal = 6;
constexpr int VolumeFlow = 7;
constexpr int VolumeTotal = 8;
constexpr int StdVolumeFlow = 9;
constexpr int StdVolumeTotal = 10;
constexpr int Concentration = 11;
constexpr int ConcentrateFlow = 12;
constexpr int ConcentrateTotal = 13;
constexpr int NetOilFlow = 14;
constexpr int NetOilTotal = 15;
constexpr int BatchTotal = 16;
constexpr int SensorVoltage = 17;
constexpr int DriveAmplitude = 18;
constexpr int RawDspData = 19;
constexpr int AnalogCurrent = 20;
constexpr int KeyboardData = 21;
constexpr int MassTotalFwd = 38;
constexpr int MassTotalRev = 39;
constexpr int VolTotalFwd = 40;
constexpr int VolTotalRev = 41;
constexpr int StdVolTotalFwd = 42;
constexpr int StdVolTotalRev = 43;
constexpr int ConcenTotalFwd = 44;
constexpr int ConcenTotalRev = 45;
constexpr int BatchSize = 46;
constexpr int NetOilTotalFwd = 47;
constexpr int NetOilTotalRev = 48;
constexpr int WaterCut = 50;
constexpr int NetWaterRate = 51;
constexpr int NetWaterTotal = 52;
constexpr int NetWaterTotalFwd = 53;
constexpr int NetWaterTotalRev = 54;
constexpr int DensityWithConcentration = 78;
constexpr int NetOilVariables = 80;
constexpr int MilliPairA = 149;
constexpr int MilliPairB = 150;
constexpr int Resistance = 151;
constexpr int Time = 152;
// Codes 153..177 name selection lists that are not units.
constexpr int FirstSelectionList = 153;
constexpr int LastSelectionList = 177;
constexpr int TransmitterVariablesEx = 178;
} // namespace Quantity

#pragma once

// Register addresses of the blocks the simulator fills or reacts to.
namespace sim::reg {
inline constexpr int DataOut = 0;
inline constexpr int DataIn = 122;
inline constexpr int CommandAreaBytes = 244;
inline constexpr int MassTotal = 244;
inline constexpr int MassRate = 252;
inline constexpr int RtdTemp = 261;
inline constexpr int Density = 270;
inline constexpr int VolumeTotal = 279;
inline constexpr int VolumeRate = 287;
inline constexpr int StdVolTotal = 296;
inline constexpr int StdVolRate = 304;
inline constexpr int BatchTotal = 313;
inline constexpr int TimeTotal = 321;
inline constexpr int ErrorLog = 325;
inline constexpr int AlarmLog = 374;
inline constexpr int ConcenTotal = 416;
inline constexpr int PercentCon = 424;
inline constexpr int ConcenRate = 433;
inline constexpr int NetOilTotal = 442;
inline constexpr int NetOilRate = 450;
inline constexpr int DspProcData = 459; // Freq, Phase, Temp value blocks, DeltaT, CalcCnt
inline constexpr int Pulses = 532;
inline constexpr int CfgBatch = 550;
inline constexpr int RefResVolt = 530;
inline constexpr int DriverCurr = 541;
inline constexpr int CfgFlowMass = 680;
inline constexpr int CfgFlowDir = 880;  // high byte: 0 forward, 1 reverse
inline constexpr int CfgTemp = 714;
inline constexpr int CfgDensity = 748;
inline constexpr int CfgWell = 1807;        // density unit (high byte), standard temperature (low byte)
inline constexpr int CfgFlowVol = 782;
inline constexpr int CfgFlowStdVol = 816;
inline constexpr int Cfg420Out[3] = {881, 915, 949};
inline constexpr int CfgPulse = 983;
inline constexpr int CfgPercentCon = 1054;
inline constexpr int CfgFlowCon = 1020;
inline constexpr int CfgFlowNetOil = 1673;
inline constexpr int CfgFlowNetOilVar = 1707;
inline constexpr int CfgFlowNetOilWC = 1713;
inline constexpr int CfgFlowNetOilPW = 1747;
inline constexpr int NetOilPcntWC = 1781;
inline constexpr int NetOilPWTotal = 1790;
inline constexpr int NetOilPWRate = 1798;
inline constexpr int MassScalar = 2292;
inline constexpr int DensityCal = 2328;
inline constexpr int RefRes = 2352;
inline constexpr int RTDResOff = 2356;
inline constexpr int ModbusAddr = 2401;
inline constexpr int ModbusMode = 2402;
inline constexpr int SciProtocol = 2405;
inline constexpr int Sci = 2406;
inline constexpr int AlarmLog2 = 2444;

// Byte offsets inside the blocks.
inline constexpr int ValueBlockAlarm = 8;  // u16 status after the value
inline constexpr int ValueBlockMax = 10;   // peak value
inline constexpr int TotalForward = 8;     // forward total after the total
inline constexpr int CfgLoAlarm = 10;      // in a 68-byte parameter configuration block
inline constexpr int CfgHiAlarm = 18;
inline constexpr int CfgStdDens = 58;

// Protocol list positions that matter to the transmitter.
inline constexpr int ProtocolContinuousAC = 4;
inline constexpr int ProtocolContinuousRH = 5;
inline constexpr int ProtocolModbus = 6;
} // namespace sim::reg

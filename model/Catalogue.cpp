#include "Catalogue.h"

#include "RegisterImage.h"
#include "ValueCodec.h"

#include <array>

namespace {

// Field builders keep the layout table readable: name and type, byte count implied.
constexpr FieldDef u8(std::string_view n) { return {n, 1, ValueType::U8, 0}; }
constexpr FieldDef u8plain(std::string_view n) { return {n, 1, ValueType::U8Plain, 0}; }
constexpr FieldDef u16(std::string_view n) { return {n, 2, ValueType::U16, 0}; }
constexpr FieldDef u16alarm(std::string_view n) { return {n, 2, ValueType::U16Alarm, 0}; }
constexpr FieldDef i32(std::string_view n) { return {n, 4, ValueType::I32, 0}; }
constexpr FieldDef f64(std::string_view n) { return {n, 8, ValueType::F64, 0}; }
constexpr FieldDef f32(std::string_view n) { return {n, 4, ValueType::F32, 0}; }
constexpr FieldDef text(std::string_view n, uint8_t bytes) { return {n, bytes, ValueType::Text, 0}; }
constexpr FieldDef nested(std::string_view n, uint8_t bytes, uint8_t layout) { return {n, bytes, 0, layout}; }

constexpr FieldDef L1[] = {f64("C1"), f64("C2"), f64("AirFreq"), f64("AirTemp"), f64("FluFreq"), f64("FluTemp")};
constexpr FieldDef L2[] = {f64("LRange"), f64("URange"), f64("Value"), f64("mAmps"), f64("PcntRange"), u16("DACData"),
                           f64("Gain"), f64("Offset"), f64("Kybrd_mAmps"), u8("Param"), u8("Rsvd")};
constexpr FieldDef L3[] = {u8("Line1"), u8("Line2"), u8("Line3"), u8("Line4")};
constexpr FieldDef L4[] = {u8("Param"), u8("Mode"), f64("LRange"), f64("URange"), f64("PulseUnit"), f64("MaxFreq"),
                           f64("PcntRange"), f64("KybrdFreq"), u16("KybrdPulses"), u8("UnitID"), u8("Rsvd")};
constexpr FieldDef L5[] = {u8("UnitID"), u8("Damp"), f64("FallBack"), f64("LoAlarmSet"), f64("HiAlarmSet"),
                           f64("LFCutoff"), f64("SlugLoLimit"), f64("SlugHiLimit"), f64("SlugDelay"), f64("StdDens"),
                           u8("StdDensUnit"), u8("APITable")};
constexpr FieldDef L6[] = {u16("SyncWord"), i32("Period"), i32("Phase"), u16("Cntr"), u16("Amp1"), u16("Amp2"),
                           u16("DriverAmp"), u16("Noise1"), u16("Noise2"), i32("AmplRatio"), u16("Rsvd0"), u16("Rsvd1"),
                           u16("ChkSum")};
constexpr FieldDef L7[] = {u16("Control"), u16("StartPeriod"), u16("SensorSetpt"), u16("FilterNum"), u16("GainControl"),
                           text("Rsvd", 22)};
constexpr FieldDef L8[] = {text("Tag", 20), text("Descriptor", 20), text("Msg", 33), text("Date", 20),
                           text("DeviceID", 20), u8plain("Rsvd")};
constexpr FieldDef L9[] = {text("TransModelNum", 10), text("TransSerNum", 20), text("ElecModelNum", 20),
                           text("ElecSerNum", 20), text("FinalAssy", 20)};
constexpr FieldDef L10[] = {nested("Freq", 18, 15), nested("Phase", 18, 15), nested("Temp", 18, 15), f64("DeltaT"),
                            i32("CalcCnt")};
constexpr FieldDef L11[] = {f64("m"), f64("b")};
constexpr FieldDef L12[] = {f64("FlowFactor"), text("FlowText", 6), f64("TotalFactor"), text("TotalText", 6),
                            u8plain("BaseRate"), u8plain("Rsvd")};
constexpr FieldDef L13[] = {text("PhoneNo", 16), u16("Command"), u16("LoaderControl"), u16("SessionSID"),
                            u16("DataLinkSID"), u16("PhysicalSID"), u16("SessionID"), i32("UnitID"),
                            text("Usr1Password", 10), text("Usr2Password", 10), text("MfrSerialNo", 14)};
constexpr FieldDef L14[] = {u8("Baud"), u8("Parity"), u8("DataBits"), u8("FlowCtl"),
                            u8("EchoPad"), u8("RxTerm"), u8("Media"), u8("StopBits")};
constexpr FieldDef L15[] = {f64("Value"), u16("Alarm"), f64("MaxOut")};
constexpr FieldDef L16[] = {f64("Value"), f64("Forward")};
constexpr FieldDef L17[] = {f64("CurrentFreq"), f64("PulsesOut"), u16("Alarm")};
constexpr FieldDef L18[] = {f64("RefTemp"), nested("DensTbl", 112, 19), nested("ConcTbl", 112, 20), u8("RecEmpty"),
                            u8("Rsvd")};
constexpr FieldDef L19[] = {
    f64("Dens1"), f64("Dens2"), f64("Dens3"), f64("Dens4"), f64("Dens5"), f64("Dens6"), f64("Dens7"),
    f64("Dens8"), f64("Dens9"), f64("Dens10"), f64("Dens11"), f64("Dens12"), f64("Dens13"), f64("Dens14"),
};
constexpr FieldDef L20[] = {
    f64("Conc1"), f64("Conc2"), f64("Conc3"), f64("Conc4"), f64("Conc5"), f64("Conc6"), f64("Conc7"),
    f64("Conc8"), f64("Conc9"), f64("Conc10"), f64("Conc11"), f64("Conc12"), f64("Conc13"), f64("Conc14"),
};
constexpr FieldDef L21[] = {f64("ShrinkageFactor"), u8("MeasParam"), u8("WellNo"), u8("Resv"), u8("Resv")};
constexpr FieldDef L22[] = {u8("Unit"), u8("StdTemp")};
constexpr FieldDef L23[] = {f64("OilDensity"), f64("WaterDensity")};
constexpr FieldDef L24[] = {u8("WellNo"), u8("MeasParam"), f64("AvgVolRate"), f64("AvgNetOilRate"), f64("NetOilTotal"),
                            f64("AvgPWRate"), f64("PWTotal"), f64("AvgPcntWC"), f64("AvgTemp"), f64("AvgDensity"),
                            f64("TimeRemained"), u8("NetOilVarUnit"), u8("NetWCVarUnit"), u8("NetPWVarUnit"),
                            u8("DensityUnit"), u8("TempUnit"), u8("Resv")};
constexpr FieldDef L25[] = {u8("WellNo"), u8("PurgeType"), f64("PurgeSec"), f64("TestSec"), u16("PurgingFlag"),
                            f64("PurgeSecLeft"), u8("PurgeDumpLeft"), u8("NoOfDump")};
constexpr FieldDef L26[] = {f64("SensorDelay"), f64("BootErrorDelay")};
constexpr FieldDef L27[] = {u8("Param"), u8("UnitID"), f64("Cutoff"), f64("Trickle"), f64("LowAlarmSet"),
                            f64("HiAlarmSet"), f64("ValveTime"), f64("AutoDelay"), u8("RunModeEdit"), u8("BatchJog")};
constexpr FieldDef L28[] = {u8("AlarmNo"), u8("AlarmType")};
// 21 alarm records of layout 32; only the first is named.
constexpr FieldDef L29[] = {nested("Alarms", 84, 32)};
// The block holds 48 log entries after ErrPtr; only the first is named.
constexpr FieldDef L30[] = {u16("ErrPtr"), nested("Errors", 2, 31)};
constexpr FieldDef L31[] = {u8("Error"), u8("TaskID")};
constexpr FieldDef L32[] = {u16("Count"), u16("Alarm")};
constexpr FieldDef L33[] = {f64("Temp"), f64("Density"), f64("MassRate"), f64("VolRate"), f64("PcntConc")};
constexpr FieldDef L34[] = {u8("Addr"), text("DeviceID", 3), u8("RespPreambles"), u8("WriteProtect"),
                            u8("ReqPreambles"), text("Rsvd", 21)};
constexpr FieldDef L35[] = {u16alarm("TempAlm"), u16alarm("DensAlm"), u16alarm("%ConcAlm"), u16alarm("MassAlm"),
                            u16alarm("VolAlm"), u16alarm("StdVolAlm"), u16alarm("ConcAlm"), u16alarm("NetOilAlm"),
                            u16alarm("LowBatchAlm"), u16alarm("HighBatchAlm"), u16alarm("SensorAlm"),
                            u16alarm("DSPAlm"), u16alarm("DriverAlm"), u16alarm("TubeAlm"), u16alarm("AnalogAlm"),
                            u16alarm("RTDAlm"), u16alarm("SysAlm"), u16alarm("PulseAlm"), u16alarm("%WCAlm"),
                            u16alarm("PWFlowAlm"), u16alarm("ResvAlm")};
constexpr FieldDef L36[] = {text("VCFName", 22)};
constexpr FieldDef L37[] = {nested("dTemp", 112, 38), nested("dVCF", 112, 39)};
constexpr FieldDef L38[] = {
    f64("dTemp1"), f64("dTemp2"), f64("dTemp3"), f64("dTemp4"), f64("dTemp5"), f64("dTemp6"), f64("dTemp7"),
    f64("dTemp8"), f64("dTemp9"), f64("dTemp10"), f64("dTemp11"), f64("dTemp12"), f64("dTemp13"), f64("dTemp14"),
};
constexpr FieldDef L39[] = {
    f64("dVCF1"), f64("dVCF2"), f64("dVCF3"), f64("dVCF4"), f64("dVCF5"), f64("dVCF6"), f64("dVCF7"),
    f64("dVCF8"), f64("dVCF9"), f64("dVCF10"), f64("dVCF11"), f64("dVCF12"), f64("dVCF13"), f64("dVCF14"),
};
constexpr FieldDef L40[] = {u8("MassRateDamp"), u8("VolRateDamp"), u8("Resv"), u8("Resv"), f32("MassDampThresh"),
                            f32("VolDampThresh"), f64("Resv"), f64("Resv"), f64("Resv"), f64("Resv")};

constexpr LayoutDef Layouts[] = {
    {1, 48, L1},    {2, 68, L2},    {3, 4, L3},     {4, 54, L4},    {5, 68, L5},    {6, 32, L6},    {7, 32, L7},
    {8, 114, L8},   {9, 90, L9},    {10, 66, L10},  {11, 16, L11},  {12, 30, L12},  {13, 66, L13},  {14, 8, L14},
    {15, 18, L15},  {16, 16, L16},  {17, 18, L17},  {18, 234, L18}, {19, 112, L19}, {20, 112, L20}, {21, 12, L21},
    {22, 2, L22},   {23, 16, L23},  {24, 80, L24},  {25, 30, L25},  {26, 16, L26},  {27, 52, L27},  {28, 2, L28},
    {29, 84, L29},  {30, 4, L30},   {31, 2, L31},   {32, 4, L32},   {33, 40, L33},  {34, 28, L34},  {35, 42, L35},
    {36, 22, L36},  {37, 224, L37}, {38, 112, L38}, {39, 112, L39}, {40, 44, L40},
};
static_assert(std::size(Layouts) == Catalogue::LayoutCount);

// index, name, start register, byte count, layout, value type of a simple block.
// Each block starts where the previous one ends, except that registers 2143..2291
// belong to no block; the last block ends at register 3401.
constexpr BlockDef Blocks[] = {
    {0, "DataOut", 0, 244, 0, ValueType::Text},
    {1, "DataIn", 122, 244, 0, ValueType::Text},
    {2, "MassTotal", 244, 16, 16, 0},
    {3, "MassRate", 252, 18, 15, 0},
    {4, "RTDTemp", 261, 18, 15, 0},
    {5, "Density", 270, 18, 15, 0},
    {6, "VolumeTotal", 279, 16, 16, 0},
    {7, "VolumeRate", 287, 18, 15, 0},
    {8, "StdVolTotal", 296, 16, 16, 0},
    {9, "StdVolRate", 304, 18, 15, 0},
    {10, "BatchTotal", 313, 16, 16, 0},
    {11, "TimeTotal", 321, 8, 0, ValueType::F64},
    {12, "ErrorLog", 325, 98, 30, 0},
    {13, "AlarmLog", 374, 84, 29, 0},
    {14, "ConcenTotal", 416, 16, 16, 0},
    {15, "PercentCon", 424, 18, 15, 0},
    {16, "ConcenRate", 433, 18, 15, 0},
    {17, "NetOilTotal", 442, 16, 16, 0},
    {18, "NetOilRate", 450, 18, 15, 0},
    {19, "DSPProcData", 459, 66, 10, 0},
    {20, "DSPRxMsg", 492, 32, 6, 0},
    {21, "DSPTxMsg", 508, 32, 7, 0},
    {22, "RTDRes", 524, 8, 0, ValueType::F64},
    {23, "RTDResVolt", 528, 4, 0, ValueType::I32},
    {24, "RefResVolt", 530, 4, 0, ValueType::I32},
    {25, "Pulses", 532, 18, 17, 0},
    {26, "DriverCurr", 541, 18, 15, 0},
    {27, "CfgBatch", 550, 52, 27, 0},
    {28, "CfgDisplay", 576, 4, 3, 0},
    {29, "CfgMiscInfo", 578, 114, 8, 0},
    {30, "CfgMiscInfo2", 635, 90, 9, 0},
    {31, "CfgFlowMass", 680, 68, 5, 0},
    {32, "CfgTemp", 714, 68, 5, 0},
    {33, "CfgDensity", 748, 68, 5, 0},
    {34, "CfgFlowVol", 782, 68, 5, 0},
    {35, "CfgFlowStdVol", 816, 68, 5, 0},
    {36, "CfgFlowSpcMass", 850, 30, 12, 0},
    {37, "CfgFlowSpcVol", 865, 30, 12, 0},
    {38, "CfgFlowDir", 880, 2, 0, ValueType::U8},
    {39, "Cfg420AOut", 881, 68, 2, 0},
    {40, "Cfg420BOut", 915, 68, 2, 0},
    {41, "Cfg420COut", 949, 68, 2, 0},
    {42, "CfgPulse", 983, 54, 4, 0},
    {43, "CfgAlarmRelay1", 1010, 2, 28, 0},
    {44, "CfgAlarmRelay2", 1011, 2, 28, 0},
    {45, "CfgFault", 1012, 16, 26, 0},
    {46, "CfgFlowCon", 1020, 68, 5, 0},
    {47, "CfgPercentCon", 1054, 68, 5, 0},
    {48, "CfgPcntConcTbl1", 1088, 234, 18, 0},
    {49, "CfgPcntConcTbl2", 1205, 234, 18, 0},
    {50, "CfgPcntConcTbl3", 1322, 234, 18, 0},
    {51, "CfgPcntConcTbl4", 1439, 234, 18, 0},
    {52, "CfgPcntConcTbl5", 1556, 234, 18, 0},
    {53, "CfgFlowNetOil", 1673, 68, 5, 0},
    {54, "CfgFlowNetOilVar", 1707, 12, 21, 0},
    {55, "CfgFlowNetOilWC", 1713, 68, 5, 0},
    {56, "CfgFlowNetOilPW", 1747, 68, 5, 0},
    {57, "NetOilPcntWC", 1781, 18, 15, 0},
    {58, "NetOilPWTotal", 1790, 16, 16, 0},
    {59, "NetOilPWRate", 1798, 18, 15, 0},
    {60, "CfgWell", 1807, 2, 22, 0},
    {61, "CfgWell1", 1808, 16, 23, 0},
    {62, "CFGWell2", 1816, 16, 23, 0},
    {63, "CFGWell3", 1824, 16, 23, 0},
    {64, "CFGWell4", 1832, 16, 23, 0},
    {65, "CFGWell5", 1840, 16, 23, 0},
    {66, "CFGWell6", 1848, 16, 23, 0},
    {67, "CFGWell7", 1856, 16, 23, 0},
    {68, "CFGWell8", 1864, 16, 23, 0},
    {69, "CFGWell9", 1872, 16, 23, 0},
    {70, "CFGWell10", 1880, 16, 23, 0},
    {71, "CFGWell11", 1888, 16, 23, 0},
    {72, "CFGWell12", 1896, 16, 23, 0},
    {73, "CFGWell13", 1904, 16, 23, 0},
    {74, "CFGWell14", 1912, 16, 23, 0},
    {75, "CFGWell15", 1920, 16, 23, 0},
    {76, "CFGWell16", 1928, 16, 23, 0},
    {77, "CFGWell17", 1936, 16, 23, 0},
    {78, "CFGWell18", 1944, 16, 23, 0},
    {79, "CFGWell19", 1952, 16, 23, 0},
    {80, "CFGWell20", 1960, 16, 23, 0},
    {81, "CFGWell21", 1968, 16, 23, 0},
    {82, "CFGWell22", 1976, 16, 23, 0},
    {83, "CFGWell23", 1984, 16, 23, 0},
    {84, "CFGWell24", 1992, 16, 23, 0},
    {85, "CFGWell25", 2000, 16, 23, 0},
    {86, "CFGWell26", 2008, 16, 23, 0},
    {87, "CFGWell27", 2016, 16, 23, 0},
    {88, "CFGWell28", 2024, 16, 23, 0},
    {89, "CFGWell29", 2032, 16, 23, 0},
    {90, "CFGWell30", 2040, 16, 23, 0},
    {91, "CfgWellTestData", 2048, 80, 24, 0},
    {92, "CfgLastWellTest", 2088, 80, 24, 0},
    {93, "CfgWellTestParam", 2128, 30, 25, 0},
    {94, "MassScalar", 2292, 8, 0, ValueType::F64},
    {95, "SysZero", 2296, 8, 0, ValueType::F64},
    {96, "ElecZero", 2300, 8, 0, ValueType::F64},
    {97, "TransZero", 2304, 8, 0, ValueType::F64},
    {98, "SysZeroDev", 2308, 8, 0, ValueType::F64},
    {99, "ElecZeroDev", 2312, 8, 0, ValueType::F64},
    {100, "TransZeroDev", 2316, 8, 0, ValueType::F64},
    {101, "YoungsMod", 2320, 16, 11, 0},
    {102, "DensityCal", 2328, 48, 1, 0},
    {103, "RefRes", 2352, 8, 0, ValueType::F64},
    {104, "RTDResOff", 2356, 8, 0, ValueType::F64},
    {105, "RTDUpdTime", 2360, 4, 0, ValueType::I32},
    {106, "OptionCard", 2362, 2, 0, ValueType::U8},
    {107, "DSPFilename", 2363, 10, 0, ValueType::Text},
    {108, "SysMgr", 2368, 66, 13, 0},
    {109, "ModbusAddr", 2401, 2, 0, ValueType::U8},
    {110, "ModbusMode", 2402, 2, 0, ValueType::U8},
    {111, "QuillmoorTaskAddr", 2403, 2, 0, ValueType::U8},
    {112, "SCIUpdSkip", 2404, 2, 0, ValueType::U8},
    {113, "SCIProtocol", 2405, 2, 0, ValueType::U8},
    {114, "SCI", 2406, 8, 14, 0},
    {115, "MinSpans", 2410, 40, 33, 0},
    {116, "CfgHart", 2430, 28, 34, 0},
    {117, "AlarmLog2", 2444, 42, 35, 0},
    {118, "SpclVCFName", 2465, 22, 36, 0},
    {119, "VCFTable1", 2476, 226, 37, 0},
    {120, "VCFTable2", 2589, 226, 37, 0},
    {121, "VCFTable3", 2702, 226, 37, 0},
    {122, "VCFTable4", 2815, 226, 37, 0},
    {123, "VCFTable5", 2928, 226, 37, 0},
    {124, "VCFTable6", 3041, 226, 37, 0},
    {125, "VCFTable7", 3154, 226, 37, 0},
    {126, "VCFTable8", 3267, 226, 37, 0},
    {127, "CfgTxVarEx", 3380, 44, 40, 0},
};
static_assert(std::size(Blocks) == Catalogue::BlockCount);

constexpr CoilDef Coils[] = {
    {0, "Elec Zero"}, {1, "Sys Zero"}, {2, "Temp Stabil"}, {3, "Temp Cal"}, {4, "Dens Stabil"}, {5, "Dens Cal"},
    {6, "Dump Cal"}, {7, "Batch Cal"}, {8, "Mass Cal Scalar"}, {9, "Analog1 Cal Set"}, {10, "Analog2 Cal Set"},
    {11, "Analog4 Cal Set"}, {12, "Analog1 Cal"}, {13, "Analog2 Cal"}, {14, "Analog4 Cal"}, {15, "Analog1 Set"},
    {16, "Analog2 Set"}, {17, "Analog4 Set"}, {18, "Analog1 Cancel"}, {19, "Analog2 Cancel"}, {20, "Analog4 Cancel"},
    {21, "Alarm1 Test Start"}, {22, "Alarm1 Test Stop"}, {23, "Alarm2 Test Start"}, {24, "Alarm2 Test Stop"},
    {25, "Batch1 Test Start"}, {26, "Batch1 Test Stop"}, {27, "Batch2 Test Start"}, {28, "Batch2 Test Stop"},
    {29, "Pulse Test"}, {30, "Pulse Test Cancel"}, {31, "Tube Test"}, {32, "Get Time"}, {33, "Set Time"},
    {34, "Get Date"}, {35, "Set Date"}, {36, "Display Date/Time"}, {37, "Display Directory"}, {38, "File Delete"},
    {39, "Display File Info"}, {40, "System Reboot"}, {41, "Load Defaults"}, {42, "File Download"},
    {43, "Alarm1 Pause"}, {44, "Alarm1 Resume"}, {45, "Alarm2 Pause"}, {46, "Alarm2 Resume"},
    {47, "Pulse Output Reset"}, {48, "Read Modbus Cfg"}, {49, "Read PConc Table"}, {50, "Read NetOil Table"},
    {51, "Read Transducer Cfg"}, {52, "Reset Comm Protocol"}, {53, "Batch Total Reset"}, {54, "Erase Error Log"},
    {55, "Reset Mass Total"}, {56, "Reset Vol Total"}, {57, "Reset StdVol Total"}, {58, "Reset Conc Total"},
    {59, "Reset Batch Total"}, {60, "Reset Time Total"}, {61, "Get Sys. Version"}, {62, "Check Alarm Log"},
    {63, "Read Density"}, {64, "Read Std. Density"}, {65, "Density Cal. Start"}, {66, "Density Cal. Stop"},
    {67, "Reset NetOil Total"}, {68, "Reset NetWater Total"}, {69, "Dens Stabil Update"}, {70, "Dump Cal Update"},
    {71, "Batch Cal Update"}, {72, "Tube Test Update"}, {73, "Disp Date/Time Update"}, {79, "Start Button"},
    {80, "Stop Button"}, {81, "Busy"}, {82, "Abort"}, {83, "Ready"}, {84, "Batch Complete"}, {85, "Batch Status"},
    {86, "Start Well Test"}, {87, "Stop Well Test"},
};
static_assert(std::size(Coils) == Catalogue::CoilCount);

// Appends the plain fields of a layout at byteOffset; nested layouts are walked
// with the same block name, as their own names never appear in keys.
void collectFields(const QString &blockName, const LayoutDef &layout, int byteOffset, QList<FieldRef> &out)
{
    int offset = byteOffset;
    for (const FieldDef &field : layout.fields) {
        if (field.nested != 0) {
            if (const LayoutDef *inner = Catalogue::layout(field.nested))
                collectFields(blockName, *inner, offset, out);
        } else {
            out.append({blockName + QLatin1Char('.') + field.qName(), offset, field.bytes, field.type});
        }
        offset += field.bytes;
    }
}

}  // namespace

ValueKind valueKindOf(uint8_t valueType)
{
    switch (valueType) {
    case 0:
    case 1:
    case 2:
        return ValueKind::U8;
    case 3:
    case 4:
        return ValueKind::U16;
    case 5:
        return ValueKind::I32;
    case 6:
        return ValueKind::F64;
    case 9:
        return ValueKind::F32;
    default:
        return ValueKind::Text;
    }
}

std::span<const BlockDef> Catalogue::blocks() { return Blocks; }
std::span<const LayoutDef> Catalogue::layouts() { return Layouts; }
std::span<const CoilDef> Catalogue::coils() { return Coils; }

const BlockDef *Catalogue::block(int index)
{
    return index >= 0 && index < BlockCount ? &Blocks[index] : nullptr;
}

const BlockDef *Catalogue::blockByName(QStringView name)
{
    for (const BlockDef &b : Blocks) {
        if (name == QLatin1StringView(b.name.data(), qsizetype(b.name.size())))
            return &b;
    }
    return nullptr;
}

const BlockDef *Catalogue::blockStartingAt(int startRegister)
{
    for (const BlockDef &b : Blocks) {
        if (b.startRegister == startRegister)
            return &b;
    }
    return nullptr;
}

const LayoutDef *Catalogue::layout(int number)
{
    return number >= 1 && number <= LayoutCount ? &Layouts[number - 1] : nullptr;
}

const CoilDef *Catalogue::coilByNumber(int number)
{
    for (const CoilDef &c : Coils) {
        if (c.number == number)
            return &c;
    }
    return nullptr;
}

bool Catalogue::isConfigurationBlock(int index)
{
    return index >= FirstConfigBlock && index <= LastConfigBlock && index != SysMgrBlock;
}

QList<int> Catalogue::configurationBlocks()
{
    QList<int> out;
    for (int i = FirstConfigBlock; i <= LastConfigBlock; ++i) {
        if (isConfigurationBlock(i))
            out.append(i);
    }
    return out;
}

QList<FieldRef> Catalogue::fields(int blockIndex)
{
    QList<FieldRef> out;
    const BlockDef *b = block(blockIndex);
    if (!b)
        return out;
    if (b->layout == 0) {
        out.append({b->qName(), b->byteOffset(), b->bytes, b->type});
    } else if (const LayoutDef *l = layout(b->layout)) {
        collectFields(b->qName(), *l, b->byteOffset(), out);
    }
    return out;
}

std::optional<FieldRef> Catalogue::fieldByKey(QStringView key)
{
    const QStringView blockName = key.left(key.indexOf(QLatin1Char('.')));  // whole key when there is no '.'
    const BlockDef *b = blockByName(blockName);
    if (!b)
        return std::nullopt;
    for (const FieldRef &f : fields(b->index)) {
        if (f.key == key)
            return f;
    }
    return std::nullopt;
}

QStringList Catalogue::walkBlock(const RegisterImage &image, int blockIndex, QChar decimalPoint)
{
    QStringList lines;
    for (const FieldRef &f : fields(blockIndex))
        lines.append(f.key + QLatin1String(", ") +
                     ValueCodec::format(image, f.byteOffset, f.byteCount, f.type, decimalPoint));
    return lines;
}

QStringList Catalogue::blockNames()
{
    QStringList out;
    for (const BlockDef &b : Blocks)
        out.append(b.qName());
    return out;
}

QStringList Catalogue::coilNames()
{
    QStringList out;
    for (const CoilDef &c : Coils)
        out.append(c.qName());
    return out;
}

QString Catalogue::coilName(int number)
{
    const CoilDef *c = coilByNumber(number);
    return c ? c->qName() : QString();
}

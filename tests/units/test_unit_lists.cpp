#include "Catalogue.h"
#include "QuantityCode.h"
#include "RegisterBlocks.h"
#include "UnitLists.h"

#include <gtest/gtest.h>

TEST(UnitLists, UnitListsHoldTheirUnitsInOrder)
{
    struct { int code; int size; int index; const char *text; } cases[] = {
        {Quantity::MassFlow, 16, 0, "lb/sec"},   {Quantity::MassFlow, 16, 15, "Special"},
        {Quantity::ConcentrateFlow, 16, 4, "kg/min"},
        {Quantity::MassTotal, 6, 4, "g"},        {Quantity::ConcenTotalRev, 6, 5, "Special"},
        {Quantity::VolumeFlow, 18, 12, "Barrel/sec"}, {Quantity::VolumeFlow, 18, 15, "Special"},
        {Quantity::StdVolumeFlow, 18, 16, "m3/day"},  {Quantity::VolumeFlow, 18, 17, "Barrel/day"},
        {Quantity::VolumeTotal, 6, 4, "Barrel"}, {Quantity::StdVolTotalFwd, 6, 3, "USgal"},
        {Quantity::Density, 5, 4, "°API"},       {Quantity::DensityWithConcentration, 8, 6, "BAUME Heavy"},
        {Quantity::Temperature, 2, 1, "°F"},     {Quantity::Concentration, 4, 0, "%"},
        {Quantity::Frequency, 1, 0, "Hz"},       {Quantity::Phase, 2, 1, "Deg"},
        {Quantity::SensorVoltage, 2, 1, "mVolts"}, {Quantity::AnalogCurrent, 2, 0, "Amps"},
        {Quantity::Resistance, 2, 1, "mOhms"},   {Quantity::Time, 3, 2, "hr"},
        {Quantity::NotUsed, 1, 0, ""},
    };
    for (const auto &c : cases) {
        const QStringList list = UnitListFor(c.code);
        EXPECT_EQ(list.size(), c.size) << c.code;
        EXPECT_EQ(list.value(c.index), QString::fromUtf8(c.text)) << c.code << " " << c.index;
    }
    for (int code : {Quantity::VolumeFlow, Quantity::VolumeTotal})
        EXPECT_FALSE(UnitListFor(code).join(' ').contains("IMgal"));
    for (int code : {Quantity::MilliPairA, Quantity::NetOilFlow, Quantity::BatchSize, 255, -1})
        EXPECT_TRUE(UnitListFor(code).isEmpty()) << code;
}

TEST(UnitLists, SelectionListsAreComplete)
{
    struct { int code; int size; const char *first; const char *last; } cases[] = {
        {153, 23, "Raw DSP Data", "Batch Size"},   {154, 9, "Temperature", "Keyboard Data"},
        {155, 8, "Temperature", "Net Oil Flow"},    {156, 2, "Forward", "Reverse"},
        {157, 5, "Mass Total", "Net Oil Total"},    {158, 2, "Alarm1", "Alarm2"},
        {159, 22, "Not Used", "Driver Current"},    {160, 2, "Indicator", "FailSafe"},
        {161, 7, "9.0 kg/min (20lb/min)", "6800 kg/min (15000 lb/min)"},
        {162, 2, "HASTELLOY C-22", "316L Stainless Steel"},
        {163, 21, "3/8 Inch", "DN200"},             {164, 9, "VCO fittings", "Industrial Tri-Clamp"},
        {165, 4, "General Purpose", "CENELEC Approved"}, {166, 7, "m012", "m400"},
        {167, 2, "2", "8"},                         {168, 21, "0", "V"},
        {169, 9, "1", "F"},                         {170, 4, "0", "3"},
        {171, 3, "DSP", "OS"},                      {172, 2, "System", "Electronics"},
        {173, 3, "Analog 1", "Analog 4"},           {174, 2, "Dump", "Batch"},
        {175, 14, "Temperature", "Keyboard Data"},  {176, 8, "Mass Total", "Time"},
        {177, 2, "No", "Yes"},
    };
    for (const auto &c : cases) {
        const QStringList list = UnitListFor(c.code);
        EXPECT_EQ(list.size(), c.size) << c.code;
        EXPECT_EQ(list.value(0), c.first) << c.code;
        EXPECT_EQ(list.value(list.size() - 1), c.last) << c.code;
    }
    EXPECT_FALSE(UnitListFor(168).contains("E"));
    EXPECT_EQ(UnitListFor(169).mid(6), (QStringList{"7", "E", "F"}));
    EXPECT_FALSE(UnitListFor(154).contains("Mass Total"));
    EXPECT_EQ(UnitListFor(159).mid(9, 3), (QStringList{"Sensor Error", "Tubes Not Vib", "DSP Failure"}));
}

TEST(UnitLists, TransmitterIndexesNameRateAndDerivedTotalUnits)
{
    struct { int code; int index; const char *text; } cases[] = {
        {Quantity::VolumeTotal, 16, "m3"},        {Quantity::VolumeTotal, 17, "Barrel"},
        {Quantity::VolumeTotal, 15, "Special"},   {Quantity::VolumeTotal, 5, "liter"},
        {Quantity::StdVolTotalRev, 16, "m3"},     {Quantity::MassTotal, 5, "kg"},
        {Quantity::BatchTotal, 15, "Special"},    {Quantity::ConcenTotalFwd, 14, "g"},
        {Quantity::VolumeFlow, 16, "m3/day"},     {Quantity::MassFlow, 4, "kg/min"},
        {Quantity::Density, 4, "°API"},           {Quantity::Concentration, 1, "BRIX"},
        {Quantity::Temperature, -3, "°C"},
        // Beyond the list, and codes without a list.
        {Quantity::MassFlow, 16, ""},             {Quantity::VolumeFlow, 255, ""},
        {Quantity::MassTotal, 18, ""},            {Quantity::Density, 5, ""},
        {Quantity::NetOilTotal, 3, ""},           {Quantity::NetWaterTotalRev, 0, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(UnitTextFor(c.code, c.index), QString::fromUtf8(c.text)) << c.code << " " << c.index;
}

TEST(RegisterBlocks, BlocksByQuantityAreCatalogueBlocks)
{
    for (int code = 0; code < 256; ++code) {
        for (int address : {ValueBlockFor(code), ConfigBlockFor(code)}) {
            if (address) {
                EXPECT_NE(Catalogue::blockStartingAt(address), nullptr) << code << " at " << address;
            }
        }
    }
    EXPECT_EQ(Catalogue::blockStartingAt(ValueBlockFor(Quantity::WaterCut))->name, "NetOilPcntWC");
    EXPECT_EQ(Catalogue::blockStartingAt(ConfigBlockFor(Quantity::WaterCut))->name, "CfgFlowNetOilWC");
    EXPECT_EQ(ValueBlockFor(Quantity::MassTotalRev), 244);
    EXPECT_EQ(ConfigBlockFor(Quantity::BatchSize), 550);
    EXPECT_EQ(ValueBlockFor(Quantity::KeyboardData), 0);

    // Every block whose first byte is a unit index has the 68-byte layout that holds it.
    int unitBlocks = 0;
    for (int address = 0; address < 3402; ++address) {
        const std::optional<int> code = QuantityOfUnitBlock(address);
        if (!code)
            continue;
        ++unitBlocks;
        const BlockDef *block = Catalogue::blockStartingAt(address);
        ASSERT_NE(block, nullptr) << address;
        EXPECT_EQ(block->bytes, 2 * UnitBlockRegisters) << address;
        EXPECT_EQ(block->layout, 5) << address;
        EXPECT_EQ(ConfigBlockFor(*code), address) << address;
    }
    EXPECT_EQ(unitBlocks, 10);
}

#include "Catalogue.h"
#include "QuantityCode.h"
#include "RegisterBlocks.h"
#include "UnitLists.h"

#include <gtest/gtest.h>

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

#include "ApiGravity.h"
#include "ByteOrder.h"
#include "QuantityCode.h"
#include "RegisterImage.h"
#include "UserUnitRecords.h"
#include "UnitConversion.h"

#include <QList>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double RelTol = 1e-9;

void expectNear(double actual, double expected, double relTol = RelTol)
{
    EXPECT_NEAR(actual, expected, std::max(std::fabs(expected), 1.0) * relTol);
}

struct Case {
    int code;
    int index;
    double base;
    double display;
};

// Display values worked out from the physical definitions, not from the tables.
const Case KnownConversions[] = {
    {Quantity::MassFlow, 4, 1.0, 27.21554244},              // lb/sec -> kg/min
    {Quantity::MassFlow, 2, 1.0, 3600.0},                   // lb/hr
    {Quantity::MassFlow, 14, 1.0, 453.592374 * 3600.0},     // g/hr
    {Quantity::ConcentrateFlow, 8, 2.0, 2 * 1.6329325464},  // tonne/hr
    {Quantity::MassTotal, 3, 2.0, 32.0},                    // oz
    {Quantity::BatchTotal, 1, 1.0 / 0.453592374, 1.0},      // 1 kg
    {Quantity::VolumeFlow, 16, 1.0, 86400.0 / 1e6},         // m3/day
    {Quantity::VolumeFlow, 17, 158987.294928 / 86400.0, 1.0},  // 1 barrel/day
    {Quantity::StdVolumeFlow, 10, 3785.411784 / 60.0, 1.0},    // 1 USgal/min
    {Quantity::VolumeTotal, 4, 158987.294928, 1.0},         // 1 barrel
    {Quantity::StdVolTotalRev, 2, 2.5e6, 2.5},              // m3
    {Quantity::Density, 3, 1.0, 8.345406105},               // g/cc -> lb/gal
    {Quantity::Density, 2, 0.998, 998.0},                   // kg/m3
    {Quantity::DensityWithConcentration, 1, 1.0, 62.427961},
    {Quantity::Phase, 0, std::numbers::pi, 180.0},                      // radians shown in degrees
    {Quantity::Temperature, 1, 100.0, 212.0},
    {Quantity::Temperature, 1, -40.0, -40.0},
    {Quantity::Temperature, 0, 21.5, 21.5},
    {Quantity::SensorVoltage, 0, 133053.061224, 1000.0},
    {Quantity::SensorVoltage, 1, 133053.061224 / 2, 0.5},
    {Quantity::DriveAmplitude, 0, 10240.0, 2.2},
    {Quantity::DriveAmplitude, 0, 18432.0, 3.5},
    {Quantity::DriveAmplitude, 0, 4654.545454, 1.0},
    {Quantity::DriveAmplitude, 0, 25000.0, (25000.0 + 10627.459459) / 8302.7027027},
    {Quantity::AnalogCurrent, 0, 65535.0, 24.0},
    {Quantity::AnalogCurrent, 0, 65535.0 / 6.0, 4.0},
    {Quantity::MilliPairA, 0, 1500.0, 1.5},                 // divided by 1000
    {Quantity::Resistance, 1, 2.0, 0.002},
    {Quantity::Time, 1, 120.0, 7200.0},                     // reversed: divided by 1/60
    {Quantity::Time, 2, 1.0, 3600.0},
    {Quantity::Concentration, 3, 42.0, 42.0},
    {Quantity::NetOilFlow, 2, 7.0, 7.0},                    // no conversion
};

} // namespace

TEST(UnitConversion, KnownValuesConvertBothWays)
{
    for (const Case &c : KnownConversions) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " index " << c.index);
        expectNear(FromBase(c.code, c.base, c.index), c.display, 1e-6);
        expectNear(ToBase(c.code, c.display, c.index), c.base, 1e-6);
    }
}

TEST(UnitConversion, DriveAmplitudePiecesMeetAtTheirKnees)
{
    for (double knee : {10240.0, 18432.0}) {
        SCOPED_TRACE(knee);
        const double below = FromBase(Quantity::DriveAmplitude, knee - 1e-6, 0);
        const double above = FromBase(Quantity::DriveAmplitude, knee + 1e-6, 0);
        EXPECT_NEAR(below, above, 1e-7);
    }
    for (double volts : {2.2, 3.5}) {
        SCOPED_TRACE(volts);
        EXPECT_NEAR(ToBase(Quantity::DriveAmplitude, volts - 1e-9, 0),
                    ToBase(Quantity::DriveAmplitude, volts + 1e-9, 0), 1e-3);
    }
    // Each piece inverts the other direction across the whole range.
    for (double raw = 0.0; raw <= 30000.0; raw += 1250.0)
        EXPECT_NEAR(ToBase(Quantity::DriveAmplitude, FromBase(Quantity::DriveAmplitude, raw, 0), 0), raw, 1e-3);
}

TEST(UnitConversion, ConvertUnitsGoesThroughTheBaseUnit)
{
    expectNear(ConvertUnits(Quantity::MassFlow, 60.0, 1, 4, {}), 27.21554244);     // lb/min -> kg/min
    expectNear(ConvertUnits(Quantity::Temperature, 212.0, 1, 0, {}), 100.0);       // °F -> °C
    expectNear(ConvertUnits(Quantity::VolumeTotal, 1.0, 2, 1, {}), 1000.0);        // m3 -> liter
}

TEST(UnitConversion, IndexesOutsideTheListLeaveTheValueAlone)
{
    const int codes[] = {Quantity::MassFlow, Quantity::MassTotal, Quantity::VolumeFlow, Quantity::VolumeTotal,
                         Quantity::Density, Quantity::Phase, Quantity::SensorVoltage, Quantity::Time,
                         Quantity::Temperature};
    for (int code : codes) {
        SCOPED_TRACE(code);
        EXPECT_EQ(FromBase(code, 3.25, 18), 3.25);
        EXPECT_EQ(ToBase(code, 3.25, 255), 3.25);
        // A negative index is the first unit.
        EXPECT_EQ(FromBase(code, 3.25, -4), FromBase(code, 3.25, 0));
    }
}

TEST(UnitConversion, SpecialIndexTakesTheFactorOfItsCode)
{
    QList<int> asked;
    const SpecialFactorSource source = [&](int code) {
        asked << code;
        return 4.0;
    };
    EXPECT_EQ(FromBase(Quantity::MassFlow, 2.0, 15, source), 8.0);
    EXPECT_EQ(ToBase(Quantity::VolumeTotal, 8.0, 5, source), 2.0);
    EXPECT_EQ(FromBase(Quantity::ConcentrateFlow, 2.0, 15, source), 8.0);
    EXPECT_EQ(asked, (QList<int>{Quantity::MassFlow, Quantity::VolumeTotal, Quantity::ConcentrateFlow}));
    // Without a source the value is not converted rather than multiplied by nothing.
    EXPECT_EQ(FromBase(Quantity::MassFlow, 2.0, 15), 2.0);
    // Index 15 of a volume rate list is Special, 16 is an ordinary unit.
    asked.clear();
    FromBase(Quantity::VolumeFlow, 1.0, 16, source);
    EXPECT_TRUE(asked.isEmpty());
}

namespace {

SpecialUnitRecord record(double flowFactor, double totalFactor, int baseRate)
{
    SpecialUnitRecord r;
    r.flowFactor = flowFactor;
    r.flowText = "bag/h";
    r.totalFactor = totalFactor;
    r.totalText = "bags";
    r.baseRate = uint8_t(baseRate);
    return r;
}

} // namespace

TEST(SpecialUnits, FactorsComeFromTheStagedRecords)
{
    RegisterImage image;
    image.store(SpecialUnitRecord::MassRegister, record(2.0, 3.0, 4).toBytes());      // kg/min
    image.store(SpecialUnitRecord::VolumeRegister, record(5.0, 7.0, 15).toBytes());   // m3/day
    const SpecialFactorSource special = SpecialFactorsFromImage(image);

    expectNear(special(Quantity::MassFlow), 2.0 * 27.21554244);
    expectNear(special(Quantity::ConcentrateFlow), 2.0 * 27.21554244);
    expectNear(special(Quantity::MassTotal), 3.0 * 0.453592374);        // kg
    expectNear(special(Quantity::BatchTotal), 3.0 * 0.453592374);
    expectNear(special(Quantity::VolumeFlow), 5.0 * 0.0864);
    expectNear(special(Quantity::StdVolTotalRev), 7.0 * 1e-06);         // m3
    EXPECT_EQ(special(Quantity::Temperature), 0.0);

    expectNear(FromBase(Quantity::VolumeFlow, 10.0, 15, special), 10.0 * 5.0 * 0.0864);

    // The last volume position is Barrel/day, whose total is the barrel.
    image.store(SpecialUnitRecord::VolumeRegister, record(1.0, 1.0, 16).toBytes());
    expectNear(special(Quantity::VolumeFlow), 0.5434395428571429);
    expectNear(special(Quantity::VolumeTotal), 6.289809523809524e-06);
}

TEST(SpecialUnits, BaseRateBeyondItsListLeavesValuesUnconverted)
{
    RegisterImage image;
    image.store(SpecialUnitRecord::MassRegister, record(2.0, 3.0, 15).toBytes());
    image.store(SpecialUnitRecord::VolumeRegister, record(2.0, 3.0, 200).toBytes());
    const SpecialFactorSource special = SpecialFactorsFromImage(image);
    for (int code : {Quantity::MassFlow, Quantity::MassTotal, Quantity::VolumeFlow, Quantity::VolumeTotal})
        EXPECT_EQ(special(code), 1.0) << code;
}

TEST(SpecialUnits, RecordBytesStandAsTheTransmitterKeepsThem)
{
    SpecialUnitRecord r = record(1.0, -2.0, 16);
    r.flowText = "barrels";  // longer than the field allows
    r.reserved = 0xAB;
    const QByteArray bytes = r.toBytes();
    ASSERT_EQ(bytes.size(), 30);
    EXPECT_EQ(bytes.left(8), QByteArray::fromHex("3ff0000000000000"));
    EXPECT_EQ(bytes.mid(8, 6), QByteArray("barre\0", 6));
    EXPECT_EQ(bytes.mid(14, 8), QByteArray::fromHex("c000000000000000"));
    EXPECT_EQ(bytes.mid(22, 6), QByteArray("bags\0\0", 6));
    EXPECT_EQ(uint8_t(bytes[28]), 16);
    EXPECT_EQ(uint8_t(bytes[29]), 0xAB);

    const SpecialUnitRecord back = SpecialUnitRecord::fromBytes(bytes);
    EXPECT_EQ(back.flowText, "barre");
    EXPECT_EQ(back.totalText, "bags");
    EXPECT_EQ(back.flowFactor, 1.0);
    EXPECT_EQ(back.totalFactor, -2.0);
    EXPECT_EQ(back.baseRate, 16);
    EXPECT_EQ(back.reserved, 0xAB);

    // A text field without its terminating zero still yields at most 5 characters,
    // and a short buffer reads as zeros beyond its end.
    QByteArray unterminated = bytes;
    unterminated.replace(8, 6, "ABCDEF");
    EXPECT_EQ(SpecialUnitRecord::fromBytes(unterminated).flowText, "ABCDE");
    EXPECT_EQ(SpecialUnitRecord::fromBytes(bytes.left(10)).totalFactor, 0.0);

    EXPECT_EQ(SpecialUnitTextFrom(Quantity::MassFlow, back), "barre");
    EXPECT_EQ(SpecialUnitTextFrom(Quantity::StdVolumeTotal, back), "bags");
    EXPECT_EQ(SpecialUnitTextFrom(Quantity::ConcentrateFlow, back), "");
}

TEST(ByteOrder, ValuesStandMostSignificantByteFirstWithinTheBuffer)
{
    QByteArray bytes(18, '\0');
    EXPECT_TRUE(BigEndian::putDouble(bytes, 0, -2.0));
    EXPECT_TRUE(BigEndian::putFloat(bytes, 8, 1.0f));
    EXPECT_TRUE(BigEndian::putInt32(bytes, 12, -2));
    EXPECT_EQ(bytes.left(16).toHex(), "c0000000000000003f800000fffffffe");
    EXPECT_EQ(BigEndian::doubleAt(bytes, 0), -2.0);
    EXPECT_EQ(BigEndian::floatAt(bytes, 8), 1.0f);
    EXPECT_EQ(BigEndian::int32At(bytes, 12), -2);

    EXPECT_FALSE(BigEndian::putDouble(bytes, 11, 1.0));
    EXPECT_FALSE(BigEndian::putInt32(bytes, -1, 1));
    EXPECT_EQ(bytes.size(), 18);
    EXPECT_EQ(BigEndian::doubleAt(bytes, 12), 0.0);
    EXPECT_EQ(BigEndian::int32At(bytes, 15), 0);
}

TEST(ApiGravity, BothWaysAtEitherStandardTemperature)
{
    const struct {
        double density;
        int stdTemp;
        double api;
    } cases[] = {
        {1.0, ApiGravity::Celsius15, 9.8767535},
        {1.0, ApiGravity::Fahrenheit60, 9.864443},
        {0.85, ApiGravity::Celsius15, 34.82559},
        {1.02, ApiGravity::Celsius15, 7.10466},
        {0.0, ApiGravity::Celsius15, 200.0},   // "no density" both ways
        {0.0, ApiGravity::Fahrenheit60, 200.0},
    };
    for (const auto &c : cases) {
        EXPECT_NEAR(ApiGravity::FromDensity(c.density, c.stdTemp), c.api, 5e-6) << c.density;
        EXPECT_NEAR(ApiGravity::ToDensity(c.api, c.stdTemp), c.density, 5e-7) << c.api;
    }
    EXPECT_FALSE(std::isfinite(ApiGravity::ToDensity(-131.5, ApiGravity::Celsius15)));
}

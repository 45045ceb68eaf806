#pragma once

#include "UnitConversion.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class RegisterImage;

// One user-defined "Special" unit as the transmitter keeps it: 15 registers, a
// rate factor and text, a total factor and text, and the base rate the factors
// apply to.
struct SpecialUnitRecord {
    static constexpr int MassRegister = 850;    // CfgFlowSpcMass
    static constexpr int VolumeRegister = 865;  // CfgFlowSpcVol
    static constexpr int ByteCount = 30;
    static constexpr int RegisterCount = ByteCount / 2;
    static constexpr int MaxTextLength = 5;

    double flowFactor = 0.0;
    QString flowText;
    double totalFactor = 0.0;
    QString totalText;
    // Position in the base-rate list (see RateIndexForBaseRate).
    uint8_t baseRate = 0;
    uint8_t reserved = 0;  // kept as read

    // From the record's bytes as they stand in the register image. Texts end at
    // their first zero byte and never exceed MaxTextLength characters.
    static SpecialUnitRecord fromBytes(const QByteArray &bytes);
    static SpecialUnitRecord fromImage(const RegisterImage &image, int firstRegister);
    // The 30 bytes to write; texts are cut to MaxTextLength characters (Latin-1).
    QByteArray toBytes() const;
};

// The base-rate convention the program and the simulated transmitter share:
// `BaseRate` is the position in the base-rate list, which is the record kind's
// rate list without "Special" (the list the Special units window shows). Mass
// positions 0..14 and volume positions 0..14 equal the rate indexes; volume
// positions 15 and 16 are "m3/day" and "Barrel/day", rate indexes 16 and 17.
// Returns -1 for a position beyond the list.
int RateIndexForBaseRate(bool volume, int baseRate);
// The position of a rate index in the base-rate list; -1 for "Special" and
// indexes beyond the list.
int BaseRateForRateIndex(bool volume, int rateIndex);

// Register of the Special record that serves a quantity code (850 for mass,
// 865 for volume quantities), or 0 when the code has no Special unit.
int SpecialRecordRegisterFor(int code);

// Factor of the Special unit of a code from its record: the rate factor times the
// factor of the base rate for rates, the total factor times the factor of the
// total unit derived from the base rate for totals. 0.0 for codes without a
// Special unit; 1.0 (the value stays unconverted) when the base rate lies beyond
// its list.
double SpecialFactorFrom(int code, const SpecialUnitRecord &record);
// The Special unit's own text for codes 5, 7, 9 (rate text) and 6, 8, 10 (total
// text); empty for other codes.
QString SpecialUnitTextFrom(int code, const SpecialUnitRecord &record);

// Special factors from the records as they stand in an image (nothing is read
// from the transmitter).
SpecialFactorSource SpecialFactorsFromImage(const RegisterImage &image);

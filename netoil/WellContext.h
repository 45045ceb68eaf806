#pragma once

#include <QString>

#include <optional>

class LiveRows;
class ModbusLink;

// What the net-oil live windows show about the net-oil setup: the quantity the
// net values convert with, the well in use with its oil and water densities, and
// the well table's density unit and standard temperature. Read from
// CfgFlowNetOilVar, CfgWell and the well's block; a failed read leaves the image's
// last contents to decide, and complete() says so.
class WellContext {
public:
    // The well is the one net oil uses, or well when given (the well under test).
    static WellContext read(ModbusLink &link, std::optional<int> well = std::nullopt);

    // 7 and 8 when net oil works on volume, 5 and 6 on mass.
    int rateCode() const { return m_rateCode; }
    int totalCode() const { return m_totalCode; }
    // 1..30, or 0 when no well is selected (any number outside the table counts so).
    int well() const { return m_well; }
    int densityUnit() const { return m_densityUnit; }
    int stdTemp() const { return m_stdTemp; }
    double oilDensity() const { return m_oilDensity; }      // g/cc, 0 without a well
    double waterDensity() const { return m_waterDensity; }  // g/cc, 0 without a well
    bool complete() const { return m_complete; }

    // " 7", or " No Well Selected!!".
    QString wellText() const;
    // " 15°C" or " 60°F".
    QString stdTempText() const;

    // Gives two rows of rows (combos of the five well-density units) the well's
    // densities: fills the combos, selects the table's unit in both and shows the
    // densities converted at the table's standard temperature (°API included).
    void showDensities(LiveRows &rows, int oilRow, int waterRow) const;

private:
    int m_rateCode = 7;
    int m_totalCode = 8;
    int m_well = 0;
    int m_densityUnit = 0;
    int m_stdTemp = 0;
    double m_oilDensity = 0.0;
    double m_waterDensity = 0.0;
    bool m_complete = true;
};

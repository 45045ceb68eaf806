#include "WellContext.h"

#include "ApiGravity.h"
#include "LiveRows.h"
#include "ModbusLink.h"
#include "QuantityCode.h"
#include "UnitCombos.h"
#include "WellDensity.h"
#include "WellTesting.h"

#include <QComboBox>

namespace {
constexpr int VarRegister = 1707, VarBytes = 12, MeasParamByte = 8, WellNoByte = 9;
constexpr int MeasuresMass = 1;
constexpr int WellCfgRegister = 1807, WellCfgBytes = 2, UnitByte = 0, StdTempByte = 1;
}  // namespace

WellContext WellContext::read(ModbusLink &link, std::optional<int> well)
{
    WellContext c;
    const RegisterImage &image = link.image();
    c.m_complete = link.readRegisters(VarRegister, VarBytes);
    const bool mass = image.u8At(2 * VarRegister + MeasParamByte) == MeasuresMass;
    c.m_rateCode = mass ? Quantity::MassFlow : Quantity::VolumeFlow;
    c.m_totalCode = mass ? Quantity::MassTotal : Quantity::VolumeTotal;
    c.m_complete = link.readRegisters(WellCfgRegister, WellCfgBytes) && c.m_complete;
    c.m_densityUnit = image.u8At(2 * WellCfgRegister + UnitByte);
    c.m_stdTemp = image.u8At(2 * WellCfgRegister + StdTempByte);
    const int number = well.value_or(image.u8At(2 * VarRegister + WellNoByte));
    if (number >= 1 && number <= WellTesting::WellCount) {
        c.m_well = number;
        const int at = WellTesting::wellRegister(number);
        c.m_complete = link.readRegisters(at, WellTesting::WellBlockBytes) && c.m_complete;
        c.m_oilDensity = image.f64At(2 * at + WellTesting::OilDensityByte);
        c.m_waterDensity = image.f64At(2 * at + WellTesting::WaterDensityByte);
    }
    return c;
}

QString WellContext::wellText() const
{
    return m_well == 0 ? QStringLiteral(" No Well Selected!!") : QStringLiteral(" %1").arg(m_well);
}

QString WellContext::stdTempText() const
{
    return m_stdTemp == ApiGravity::Fahrenheit60 ? QStringLiteral(" 60°F") : QStringLiteral(" 15°C");
}

void WellContext::showDensities(LiveRows &rows, int oilRow, int waterRow) const
{
    const int stdTemp = m_stdTemp;
    const std::pair<int, double> densities[] = {{oilRow, m_oilDensity}, {waterRow, m_waterDensity}};
    for (const auto &[row, gcc] : densities) {
        QComboBox *combo = rows.combo(row);
        if (combo->count() != WellDensity::UnitCount) {
            combo->clear();
            combo->addItems(WellDensity::unitItems());
        }
        SelectUnitIndex(combo, m_densityUnit);
        rows.setConversion(row, [stdTemp](double value, int unit) { return WellDensity::fromGcc(value, unit, stdTemp); });
        rows.setValue(row, gcc);
        rows.showRow(row);
    }
}

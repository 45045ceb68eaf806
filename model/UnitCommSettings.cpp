#include "UnitCommSettings.h"

#include "CommSettingsFile.h"
#include "ModbusLink.h"

namespace UnitCommSettings {

QString describe(const RegisterImage &image)
{
    const QString line = CommLists::lineFromSciBytes(image.read(2406, 8)).value_or(QStringLiteral("an unknown line"));
    return QStringLiteral("unit ID %1, %2, %3, protocol %4")
        .arg(image.u8At(2 * 2401))
        .arg(image.u8At(2 * 2402) == 1 ? QStringLiteral("RTU") : QStringLiteral("ASCII"), line,
             CommLists::protocols().value(image.u8At(2 * 2405), QStringLiteral("unknown")));
}

bool differ(const RegisterImage &a, const RegisterImage &b)
{
    for (const Block &block : Blocks)
        if (a.read(block.firstRegister, block.bytes) != b.read(block.firstRegister, block.bytes))
            return true;
    return false;
}

bool read(ModbusLink &link, RegisterImage *unit)
{
    RegisterImage before;
    keep(before, link.image());
    bool ok = true;
    for (const Block &block : Blocks) {
        ok = ok && link.readRegisters(block.firstRegister, block.bytes);
        if (ok)
            unit->store(block.firstRegister, link.image().read(block.firstRegister, block.bytes));
    }
    keep(link.image(), before);
    return ok;
}

void keep(RegisterImage &image, const RegisterImage &unit)
{
    for (const Block &block : Blocks)
        image.store(block.firstRegister, unit.read(block.firstRegister, block.bytes));
}

}  // namespace UnitCommSettings

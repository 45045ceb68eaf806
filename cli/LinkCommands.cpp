#include "LinkCommands.h"

#include "CommandTable.h"
#include "ModbusLink.h"
#include "OperationRecord.h"
#include "RegisterImage.h"

namespace {

constexpr int LastRegister = RegisterImage::RegisterCount - 1;

CliAction readRegisters(const QStringList &a, QTextStream &err)
{
    int start = 0;
    int count = 0;
    if (!parseNumber(a[0], 0, LastRegister, &start)
        || !parseNumber(a[1], 1, ModbusLink::MaxTransferBytes / 2, &count)
        || !RegisterImage::rangeValid(start, 2 * count)) {
        err << QStringLiteral("read: START must be 0 to %1 and COUNT 1 to %2 registers, ending at register %1.\n")
                   .arg(LastRegister)
                   .arg(ModbusLink::MaxTransferBytes / 2);
        return {};
    }
    return [start, count](CliContext &c) {
        if (refusedBroadcastRead(c))
            return int(ExitUsage);
        const bool sent = c.link.Read_Regs(start, 2 * count) != 0;
        const int outcome = requestOutcome(c, sent);
        if (outcome != ExitOk)
            return outcome;
        for (int i = 0; i < count; ++i) {
            const uint16_t v = c.link.image().reg(start + i);
            c.out << QStringLiteral("%1  %2  %3\n")
                         .arg(start + i, 4)
                         .arg(QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper())
                         .arg(v, 5);
        }
        c.out << "bytes: " << c.link.image().read(start, 2 * count).toHex(' ').toUpper() << "\n";
        return int(ExitOk);
    };
}

// What the history says about a request the unit did not take.
QString refusalText(const CliContext &c, bool sent, int outcome)
{
    if (outcome == ExitOk)
        return {};
    if (!sent || c.link.LastException() == 0)
        return QStringLiteral("No response from Unit");
    return ModbusLink::Exception_Text(c.link.LastException());
}

CliAction writeRegisters(const QStringList &a, QTextStream &err)
{
    int start = 0;
    QByteArray bytes;
    if (!parseNumber(a[0], 0, LastRegister, &start) || !parseHexBytes(a[1], &bytes) || bytes.size() % 2 != 0
        || bytes.size() > ModbusLink::MaxTransferBytes || !RegisterImage::rangeValid(start, int(bytes.size()))) {
        err << QStringLiteral("write: START is a register number, HEXBYTES an even number of bytes in hex "
                              "(e.g. 00F7), at most %1, ending at register %2.\n")
                   .arg(ModbusLink::MaxTransferBytes)
                   .arg(LastRegister);
        return {};
    }
    return [start, bytes](CliContext &c) {
        OperationRecord record(c.link, QStringLiteral("tarvine-cli write %1 %2").arg(start).arg(QString::fromLatin1(bytes.toHex().toUpper())));
        record.noteRange(start, bytes);
        const bool sent = c.link.Write_Regs(start, bytes) != 0;
        const int outcome = requestOutcome(c, sent);
        record.finish(outcome == ExitOk ? HistoryOutcome::Done : HistoryOutcome::Refused, refusalText(c, sent, outcome));
        if (outcome == ExitOk)
            c.err << QStringLiteral("Wrote %1 registers from %2.\n").arg(bytes.size() / 2).arg(start);
        return outcome;
    };
}

CliAction readCoils(const QStringList &a, QTextStream &err)
{
    int start = 0;
    int count = 0;
    if (!parseNumber(a[0], 0, 0xFFFF, &start) || !parseNumber(a[1], 1, 2000, &count)) {
        err << "coils: START must be 0 to 65535 and COUNT 1 to 2000.\n";
        return {};
    }
    return [start, count](CliContext &c) {
        if (refusedBroadcastRead(c))
            return int(ExitUsage);
        c.link.Read_Coil(start, count);
        const int outcome = requestOutcome(c, true);
        if (outcome != ExitOk)
            return outcome;
        const QByteArray bits = c.link.frameData();
        for (int i = 0; i < count && i / 8 < bits.size(); ++i) {
            const bool on = uint8_t(bits[i / 8]) & (1u << (i % 8));
            c.out << QStringLiteral("%1  %2\n").arg(start + i, 5).arg(on ? QStringLiteral("on") : QStringLiteral("off"));
        }
        return int(ExitOk);
    };
}

CliAction forceCoil(const QStringList &a, QTextStream &err)
{
    int coil = 0;
    const QString state = a[1].toLower();
    if (!parseNumber(a[0], 0, 0xFFFF, &coil) || (state != QLatin1String("on") && state != QLatin1String("off"))) {
        err << "coil: N is a coil number, followed by on or off.\n";
        return {};
    }
    const bool on = state == QLatin1String("on");
    return [coil, on](CliContext &c) {
        // No unit answers a broadcast, so there is no handshake to wait for either.
        OperationRecord record(c.link, QStringLiteral("tarvine-cli coil %1 %2").arg(coil).arg(on ? "on" : "off"));
        if (c.link.settings().unitId == 0) {
            c.link.Send_Coil(coil, on ? 0xFF00 : 0x0000);
            record.finish(HistoryOutcome::Done, QStringLiteral("broadcast: no unit answers"));
            return requestOutcome(c, true);
        }
        record.noteCoil(coil, on);
        if (c.link.Force_Coil(coil, on ? 0xFF00 : 0x0000)) {
            record.finish(HistoryOutcome::Done, {});
            return int(ExitOk);
        }
        // An answer without exception means the handshake after it failed.
        const int outcome = requestOutcome(c, true);
        const QString notReady = QStringLiteral("Coil %1: the unit did not report Ready.").arg(coil);
        if (outcome == ExitOk)
            c.err << notReady << "\n";
        record.finish(HistoryOutcome::Refused, outcome == ExitOk ? notReady : refusalText(c, true, outcome));
        return int(ExitFailed);
    };
}

} // namespace

void registerLinkCommands(CommandTable &table)
{
    table.add({QStringLiteral("read"), QStringLiteral("read START COUNT"),
               QStringLiteral("read COUNT holding registers from START; prints hex and 16-bit values"), 2,
               readRegisters});
    CliCommand write{QStringLiteral("write"), QStringLiteral("write START HEXBYTES"),
                     QStringLiteral("write the bytes (an even number, in hex) to the registers from START"), 2,
                     writeRegisters};
    write.usesHistory = true;
    table.add(write);
    table.add({QStringLiteral("coils"), QStringLiteral("coils START COUNT"),
               QStringLiteral("read COUNT coils from START"), 2, readCoils});
    CliCommand coil{QStringLiteral("coil"), QStringLiteral("coil N on|off"),
                    QStringLiteral("force coil N on or off (command coils wait for the unit's Ready)"), 2, forceCoil};
    coil.usesHistory = true;
    table.add(coil);
}

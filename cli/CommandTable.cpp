#include "CommandTable.h"

#include "ModbusLink.h"

namespace {
int inputFailed(CliContext &)
{
    return ExitFailed;
}
} // namespace

CliAction failedInput()
{
    return &inputFailed;
}

bool isFailedInput(const CliAction &action)
{
    const auto *target = action.target<int (*)(CliContext &)>();
    return target && *target == &inputFailed;
}

const CliCommand *CommandTable::find(const QString &name) const
{
    for (const CliCommand &c : m_commands) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

QString CommandTable::helpText() const
{
    QString text = QStringLiteral("Commands:\n");
    for (const CliCommand &c : m_commands)
        text += QStringLiteral("  %1  %2\n").arg(c.synopsis, -22).arg(c.description);
    return text;
}

bool parseNumber(const QString &text, int min, int max, int *value)
{
    bool ok = false;
    const QString t = text.trimmed();
    const int v = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? t.mid(2).toInt(&ok, 16) : t.toInt(&ok, 10);
    if (!ok || v < min || v > max)
        return false;
    *value = v;
    return true;
}

bool parseHexBytes(const QString &text, QByteArray *bytes)
{
    QString digits = text;
    digits.remove(QLatin1Char(' ')).remove(QLatin1Char(':'));
    if (digits.isEmpty() || digits.size() % 2 != 0)
        return false;
    for (QChar c : digits) {
        if (!isxdigit(c.toLatin1()))
            return false;
    }
    *bytes = QByteArray::fromHex(digits.toLatin1());
    return true;
}

bool refusedBroadcastRead(CliContext &c)
{
    if (c.link.settings().unitId != 0)
        return false;
    c.err << "Unit 0 is a broadcast, which no unit answers: give the unit's own ID to read.\n";
    return true;
}

QString noReplyAdvice(const ModbusLink &link)
{
    const CommSettings &s = link.settings();
    if (link.onNetwork())
        return QStringLiteral("No reply from unit %1 (%2 framing through %3). The connection is up: check the unit ID "
                              "and framing, and that the gateway reaches the unit.")
            .arg(s.unitId)
            .arg(link.modePanelText(), s.port);
    return QStringLiteral("No reply from unit %1 (%2, %3 on port %4). Check the unit ID, framing and line settings "
                          "and the cabling, or look for the unit with: tarvine-cli --port %4 scan")
        .arg(s.unitId)
        .arg(link.modePanelText(), s.settings, s.port);
}

int requestOutcome(CliContext &c, bool sent)
{
    ModbusLink &link = c.link;
    // A broadcast gets no reply: it went out unless the port closed first.
    if (link.settings().unitId == 0 && link.portOpen()) {
        c.err << "Broadcast sent: every unit carries it out, none answers.\n";
        return ExitOk;
    }
    if (!sent || !link.MsgComplete()) {
        c.err << noReplyAdvice(link) << "\n";
        return ExitFailed;
    }
    if (link.ReplyCorrupt()) {
        c.err << "The reply failed its checksum or framing check (noise on the line?).\n";
        return ExitFailed;
    }
    if (link.LastException() != 0) {
        c.err << QStringLiteral("The unit answered with exception %1: %2\n")
                     .arg(link.LastException())
                     .arg(ModbusLink::Exception_Text(link.LastException()));
        return ExitFailed;
    }
    return ExitOk;
}

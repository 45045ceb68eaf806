#include "OperationRecord.h"

#include "Catalogue.h"
#include "FieldChanges.h"
#include "ModbusLink.h"
#include "SerialControl.h"
#include "Session.h"
#include "ValueCodec.h"

#include <QScopeGuard>

#include <algorithm>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace {

// The unit's identity comes from these blocks, read when the record starts.
constexpr int MiscInfoRegister = 578;   // CfgMiscInfo: tag
constexpr int MiscInfoBytes = 114;
constexpr int MiscInfo2Register = 635;  // CfgMiscInfo2: model and serial numbers
constexpr int MiscInfo2Bytes = 90;

QString fieldText(const RegisterImage &image, const char *key)
{
    const std::optional<FieldRef> f = Catalogue::fieldByKey(QString::fromLatin1(key));
    return f ? ValueCodec::format(image, f->byteOffset, f->byteCount, f->type).trimmed() : QString();
}

} // namespace

QString OperationRecord::userName(const QString &loggedIn)
{
    if (!loggedIn.isEmpty())
        return loggedIn;
    if (const passwd *pw = getpwuid(getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString OperationRecord::Verification::text() const
{
    QString t = QStringLiteral("verified: %1 fields").arg(fields);
    if (!notTaken.isEmpty())
        t += QStringLiteral("; %1 differ: %2").arg(notTaken.size()).arg(notTaken.join(QStringLiteral(", ")));
    return t;
}

OperationRecord::OperationRecord(ModbusLink &link, const QString &operation) : m_link(link)
{
    Session *session = link.session();
    m_store = session ? session->history() : nullptr;
    if (!m_store || m_store->failed())
        return;
    OperationInfo info;
    info.startedUtc = QDateTime::currentDateTimeUtc();
    info.user = userName(session->userName());
    info.host = QSysInfo::machineHostName();
    info.port = link.settings().port;
    info.line = link.serial() ? link.serial()->settings() : link.settings().settings;
    info.framing = link.modePanelText();
    info.unitId = link.settings().unitId;
    info.operation = operation;
    // The identity is read aside: the image may hold what is about to be written.
    RegisterImage identity;
    if (identity.store(MiscInfoRegister, readRange(MiscInfoRegister, MiscInfoBytes)))
        info.tag = fieldText(identity, "CfgMiscInfo.Tag");
    if (identity.store(MiscInfo2Register, readRange(MiscInfo2Register, MiscInfo2Bytes))) {
        info.serial = fieldText(identity, "CfgMiscInfo2.TransSerNum");
        info.model = fieldText(identity, "CfgMiscInfo2.TransModelNum");
    }
    if (info.model.isEmpty())
        info.model = session->deviceModel();
    m_id = m_storedId = m_store->begin(info);
}

QByteArray OperationRecord::readRange(int first, int byteCount)
{
    // What the history reads never changes the link's image: a window or a download
    // may hold there what it is about to write.
    const QByteArray kept = m_link.image().read(first, byteCount);
    const auto restore = qScopeGuard([&] { m_link.image().store(first, kept); });
    QByteArray bytes;
    // Bounded by what one request carries.
    for (int done = 0; done < byteCount;) {
        const int chunk = std::min(byteCount - done, ModbusLink::MaxTransferBytes);
        if (!m_link.readRegisters(first + done / 2, chunk))
            return {};
        bytes += m_link.image().read(first + done / 2, chunk);
        done += chunk;
    }
    return bytes;
}

int OperationRecord::readCoil(int coil)
{
    switch (m_link.readCoilState(coil)) {
    case ModbusLink::CoilState::On: return 1;
    case ModbusLink::CoilState::Off: return 0;
    case ModbusLink::CoilState::NoReply: break;
    }
    return -1;
}

void OperationRecord::noteRange(int firstRegister, const QByteArray &intended)
{
    if (!active())
        return;
    for (Range &r : m_ranges) {
        const int at = 2 * (firstRegister - r.first);
        if (at >= 0 && at + intended.size() <= r.intended.size()) {
            r.intended.replace(at, intended.size(), intended);
            return;
        }
    }
    m_ranges << Range{firstRegister, intended, readRange(firstRegister, int(intended.size()))};
}

void OperationRecord::watchRange(int firstRegister, int byteCount)
{
    if (!active())
        return;
    // Unread, it says nothing: what is written to it is still noted as such.
    const QByteArray asFound = readRange(firstRegister, byteCount);
    if (!asFound.isEmpty())
        m_ranges << Range{firstRegister, asFound, asFound};
}

void OperationRecord::noteRange(int firstRegister, const QByteArray &intended, const QByteArray &asFound)
{
    if (active())
        m_ranges << Range{firstRegister, intended, asFound};
}

void OperationRecord::noteCoil(int coil, bool on)
{
    if (active())
        m_coils << Coil{coil, on, readCoil(coil)};
}

OperationRecord::Verification OperationRecord::finish(HistoryOutcome outcome, const QString &message)
{
    Verification verification;
    if (!active())
        return verification;
    QList<FieldChange> changes;
    for (qsizetype i = 0; i < m_ranges.size(); ++i) {
        Range &r = m_ranges[i];
        r.asLeft = readRange(r.first, int(r.intended.size()));
        // Bytes of an earlier range were found before this one was noted: its fields tell.
        const auto earlier = [&](const FieldChange &c) {
            return std::any_of(m_ranges.cbegin(), m_ranges.cbegin() + i, [&](const Range &e) {
                return c.firstRegister < e.first + e.intended.size() / 2 && e.first < c.firstRegister + c.byteCount / 2;
            });
        };
        for (const FieldChange &c : changedFields(r.first, r.asFound, r.asLeft, r.intended))
            if (!earlier(c))
                changes << c;
        verification.fields += fieldCount(r.first, int(r.intended.size()));
        verification.notTaken << fieldsNotTaken(r.first, r.intended, r.asLeft);
    }
    for (const Coil &c : std::as_const(m_coils)) {
        const int asLeft = readCoil(c.number);
        const int wanted = c.on ? 1 : 0;
        // A coil forced to the state it had is no change; a command coil that was
        // taken shows as off again, so the state forced is what was done.
        if (c.asFound == wanted)
            continue;
        const auto state = [](int s) {
            return s < 0 ? QStringLiteral("(not read)") : s ? QStringLiteral("on") : QStringLiteral("off");
        };
        const QString name = Catalogue::coilName(c.number);
        changes << FieldChange{.key = name.isEmpty() ? QStringLiteral("Coil %1").arg(c.number)
                                                     : QStringLiteral("Coil %1 %2").arg(c.number).arg(name),
                               .firstRegister = -1, .byteCount = 0, .coil = c.number,
                               .asFound = c.asFound < 0 ? QByteArray() : QByteArray(1, char(c.asFound)),
                               .asLeft = asLeft < 0 ? QByteArray() : QByteArray(1, char(asLeft)),
                               .asFoundText = state(c.asFound),
                               .asLeftText = state(asLeft)};
    }
    m_store->complete(m_id, outcome, message, changes);
    m_id = -1;
    return verification;
}

QList<FieldChange> OperationRecord::fieldsOf(int firstRegister) const
{
    for (const Range &r : m_ranges)
        if (r.first == firstRegister)
            return rangeFields(r.first, r.asFound, r.asLeft, int(r.intended.size()));
    return {};
}

#include "OperationRecord.h"

#include "Catalogue.h"
#include "FieldChanges.h"
#include "ModbusLink.h"
#include "Prompter.h"
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

OperationRecord::OperationRecord(ModbusLink &link, const QString &operation) : m_link(link), m_operation(operation)
{
    Session *session = link.session();
    m_store = session ? session->history() : nullptr;
    if (!m_store || link.writeObserver())
        return;
    if (!m_store->failed()) {
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
    m_stopped = !active() && !goOnWithoutHistory({}, true);
    // Installed also when going on without history: the writes are the user's
    // known choice, not a path that forgot its record.
    m_outerObserver = link.setWriteObserver(this);
    m_installed = true;
}

bool OperationRecord::goOnWithoutHistory(const QString &lost, bool before)
{
    const QString title = QStringLiteral("History");
    const QString why = m_store->failure() + lost;
    switch (m_store->whenUnwritable()) {
    case HistoryStore::WhenUnwritable::GoOn:
        if (m_store->takeFailureNotice())
            showMessage(why + QStringLiteral(" Changes are made without being recorded."), title, Prompter::Warning);
        return true;
    case HistoryStore::WhenUnwritable::Stop:
        // Only the command line stops without asking: name its way out.
        showMessage(why + (before ? QStringLiteral(" Nothing was sent to the transmitter") : QString())
                        + QStringLiteral(" (--go-on-without-history writes without recording)."),
                    title, Prompter::Error);
        return false;
    case HistoryStore::WhenUnwritable::Ask:
        break;
    }
    const QString question =
        why + QStringLiteral("\r\rGo on without recording changes until Tarvine is started again?\r") +
        (before ? QStringLiteral("No: \"%1\" is not sent to the transmitter.").arg(m_operation)
                : QStringLiteral("No: the next change asks again."));
    if (showMessage(question, title, Prompter::Warning, Prompter::Yes | Prompter::No) != Prompter::IdYes)
        return false;
    m_store->setWhenUnwritable(HistoryStore::WhenUnwritable::GoOn);
    m_store->takeFailureNotice();
    return true;
}

OperationRecord::~OperationRecord()
{
    if (m_installed)
        finish(HistoryOutcome::NotCompleted, QStringLiteral("ended without an outcome"));
}

bool OperationRecord::run(ModbusLink &link, const QString &operation, const std::function<bool()> &write,
                          const QString &failureText)
{
    OperationRecord record(link, operation);
    if (write()) {
        record.finish(HistoryOutcome::Done, {});
        return true;
    }
    record.finish(record.m_writesOffered > 1 ? HistoryOutcome::FailedPartWay : HistoryOutcome::Refused,
                  failureText.isEmpty() ? QStringLiteral("the transmitter did not take it") : failureText);
    return false;
}

bool OperationRecord::aboutToWriteRegisters(int first, const QByteArray &bytes)
{
    ++m_writesOffered;
    if (m_stopped)
        return false;
    noteRange(first, bytes);
    return true;
}

bool OperationRecord::aboutToForceCoil(int coil, bool on)
{
    ++m_writesOffered;
    if (m_stopped)
        return false;
    const bool noted = std::any_of(m_coils.cbegin(), m_coils.cend(), [coil](const Coil &c) { return c.number == coil; });
    if (!noted && m_coilsNoted)
        noteCoil(coil, on);
    return true;
}

QByteArray OperationRecord::readRange(int first, int byteCount)
{
    // What the history reads never changes the link's image: a window or a download
    // may hold there what it is about to write.
    // Nobody answers a broadcast: there is nothing to read.
    if (m_link.settings().unitId == 0)
        return {};
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
    if (m_link.settings().unitId == 0)
        return -1;
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

QList<QByteArray> OperationRecord::readRanges(const QList<std::pair<int, int>> &ranges)
{
    QList<QByteArray> bytes;
    for (qsizetype i = 0; i < ranges.size();) {
        const int first = ranges[i].first;
        int end = first + ranges[i].second / 2;
        qsizetype next = i + 1;
        while (next < ranges.size() && ranges[next].first == end)
            end += ranges[next++].second / 2;
        const QByteArray run = next - i > 1 ? readRange(first, 2 * (end - first)) : QByteArray();
        for (; i < next; ++i) {
            const auto [start, count] = ranges[i];
            bytes << (run.isEmpty() ? readRange(start, count) : run.mid(2 * (start - first), count));
        }
    }
    return bytes;
}

void OperationRecord::noteRanges(const QList<std::pair<int, QByteArray>> &ranges)
{
    if (!active())
        return;
    QList<std::pair<int, int>> sizes;
    for (const auto &[first, intended] : ranges)
        sizes << std::pair{first, int(intended.size())};
    const QList<QByteArray> found = readRanges(sizes);
    for (qsizetype i = 0; i < ranges.size(); ++i)
        m_ranges << Range{ranges[i].first, ranges[i].second, found[i]};
}

void OperationRecord::noteConfiguration()
{
    QList<std::pair<int, QByteArray>> blocks;
    for (int i = 0; i < Catalogue::BlockCount; ++i) {
        if (const BlockDef *b = Catalogue::block(i); Catalogue::isConfigurationBlock(i))
            blocks << std::pair{int(b->startRegister), m_link.image().read(b->startRegister, b->bytes)};
    }
    noteRanges(blocks);
}

void OperationRecord::noteCoil(int coil, bool on)
{
    if (active())
        m_coils << Coil{coil, on, readCoil(coil)};
}

OperationRecord::Verification OperationRecord::finish(HistoryOutcome outcome, const QString &message)
{
    Verification verification;
    m_stopped = false;
    if (m_installed && !active()) {
        m_installed = false;
        m_link.setWriteObserver(m_outerObserver);
    }
    if (!active())
        return verification;
    QList<FieldChange> changes;
    QList<std::pair<int, int>> sizes;
    for (const Range &r : std::as_const(m_ranges))
        sizes << std::pair{r.first, int(r.intended.size())};
    const QList<QByteArray> readBack = m_readBack ? readRanges(sizes) : QList<QByteArray>(sizes.size());
    for (qsizetype i = 0; i < m_ranges.size(); ++i) {
        Range &r = m_ranges[i];
        r.asLeft = readBack[i];
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
        const int asLeft = m_readBack ? readCoil(c.number) : -1;
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
    const bool stored = m_store->complete(m_id, outcome, message, changes);
    m_id = -1;
    m_installed = false;
    m_link.setWriteObserver(m_outerObserver);
    if (!stored)
        goOnWithoutHistory(QStringLiteral(" The record of \"%1\" says \"not completed\" and holds none of its changes.")
                               .arg(m_operation),
                           false);
    return verification;
}

QList<FieldChange> OperationRecord::fieldsOf(int firstRegister) const
{
    for (const Range &r : m_ranges)
        if (r.first == firstRegister)
            return rangeFields(r.first, r.asFound, r.asLeft, int(r.intended.size()));
    return {};
}

#pragma once

#include "HistoryStore.h"
#include "ModbusLink.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One operation that writes to the transmitter, as the history keeps it. Built before
// the first write: it stores the record as "not completed" with the unit's identity
// as read now. Each range is noted (its as-found bytes read) before it is written;
// finish reads every noted range and coil back (the as-left values), stores the
// fields whose bytes changed and the outcome. Without a history store in the link's
// session it sends nothing and records nothing.
// While it is active it watches the link: every range written and coil forced that
// was not noted is noted then, so an operation cannot leave a write out (the link
// does not offer the command area: its arguments belong in the operation's name). A
// record left without finish is completed as "not completed". A record made
// while another is active is part of that one: it records nothing of its own.
// When the history cannot be written, the store's WhenUnwritable decides: going on
// without a record, or stopping, in which case the link sends none of this
// operation's writes.
class OperationRecord final : public WriteObserver {
public:
    OperationRecord(ModbusLink &link, const QString &operation);
    ~OperationRecord() override;
    OperationRecord(const OperationRecord &) = delete;
    OperationRecord &operator=(const OperationRecord &) = delete;

    bool active() const { return m_id >= 0; }
    // The operation's id in the store (also after finish); -1 when none was stored.
    qint64 id() const { return m_storedId; }
    // The history failed and the user chose to stop: nothing of this operation is sent
    // (the question said so; a failure message of its own would blame the transmitter).
    bool stopped() const { return m_stopped; }

    // Reads the range's as-found bytes before it is written with intended. A range
    // inside one noted before keeps that one's as-found bytes: it is the same write
    // again, or a later one of the same operation.
    void noteRange(int firstRegister, const QByteArray &intended);
    // The same with as-found bytes the caller already read.
    void noteRange(int firstRegister, const QByteArray &intended, const QByteArray &asFound);
    // Reads the as-found bytes of a range that the transmitter itself may change
    // during the operation (calibration constants): nothing is written to it.
    void watchRange(int firstRegister, int byteCount);
    // Notes many ranges (first register, intended bytes) at once: adjacent ones are
    // read in requests as large as the link takes, so a download's as-found costs
    // as few round trips as possible.
    void noteRanges(const QList<std::pair<int, QByteArray>> &ranges);
    // Notes every configuration block, for a command that may change any of them.
    void noteConfiguration();
    // Reads the coil's state before it is forced to on.
    void noteCoil(int coil, bool on);

    // The transmitter restarts after this operation (a firmware download, a reboot):
    // nothing is read back, the as-left values stay unknown.
    void skipReadBack() { m_readBack = false; }

    // The coils this operation forces are commands that follow its register writes
    // (the re-read commands of a download): only the registers are changes.
    void leaveCoilsOut() { m_coilsNoted = false; }

    struct Verification {
        int fields = 0;           // fields read back
        QStringList notTaken;     // keys whose as-left differs from what was written
        QString text() const;     // "verified: 780 fields; 2 differ: …"
    };
    // Reads back, records and completes. Ranges noted but never written still
    // count: their read-back shows what the transmitter holds.
    Verification finish(HistoryOutcome outcome, const QString &message);
    // After finish: every field of the noted range that starts at firstRegister,
    // changed or not, as found and as left.
    QList<FieldChange> fieldsOf(int firstRegister) const;

    // Records write as one operation. write says whether the transmitter took every
    // request; when it did not, the outcome is "refused" if at most one request went
    // out, else "failed part-way", with failureText (what the user was told).
    static bool run(ModbusLink &link, const QString &operation, const std::function<bool()> &write,
                    const QString &failureText = {});

    // The Tarvine user logged in, else the user of the operating system.
    static QString userName(const QString &loggedIn);

    bool aboutToWriteRegisters(int first, const QByteArray &bytes) override;
    bool aboutToForceCoil(int coil, bool on) override;

private:
    struct Range {
        int first;
        QByteArray intended;
        QByteArray asFound;
        QByteArray asLeft = {};  // read back by finish
    };
    struct Coil {
        int number;
        bool on;
        int asFound;  // -1 unknown, 0 off, 1 on
    };
    // The range as the transmitter holds it (empty when it did not answer); the
    // link's image keeps its contents.
    QByteArray readRange(int first, int byteCount);
    // Says that the history cannot be written (with what was lost) and whether this
    // program goes on without it; before: no write of this operation has gone out yet.
    bool goOnWithoutHistory(const QString &lost, bool before);
    int readCoil(int coil);
    // The bytes of each range (first register, byte count), adjacent ones read
    // together; a run that cannot be read whole is read range by range.
    QList<QByteArray> readRanges(const QList<std::pair<int, int>> &ranges);

    ModbusLink &m_link;
    QString m_operation;
    HistoryStore *m_store = nullptr;
    qint64 m_id = -1;
    qint64 m_storedId = -1;
    QList<Range> m_ranges;
    QList<Coil> m_coils;
    WriteObserver *m_outerObserver = nullptr;
    int m_writesOffered = 0;
    bool m_readBack = true;
    bool m_coilsNoted = true;
    bool m_stopped = false;  // the history failed and the user chose to stop
    bool m_installed = false;  // the link's write observer
};

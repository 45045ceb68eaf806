#pragma once

#include "HistoryStore.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class ModbusLink;

// One operation that writes to the transmitter, as the history keeps it. Built before
// the first write: it stores the record as "not completed" with the unit's identity
// as read now. Each range is noted (its as-found bytes read) before it is written;
// finish reads every noted range and coil back (the as-left values), stores the
// fields whose bytes changed and the outcome. Without a history store in the link's
// session it sends nothing and records nothing.
class OperationRecord {
public:
    OperationRecord(ModbusLink &link, const QString &operation);
    OperationRecord(const OperationRecord &) = delete;
    OperationRecord &operator=(const OperationRecord &) = delete;

    bool active() const { return m_id >= 0; }
    // The operation's id in the store (also after finish); -1 when none was stored.
    qint64 id() const { return m_storedId; }

    // Reads the range's as-found bytes before it is written with intended. A range
    // inside one noted before keeps that one's as-found bytes: it is the same write
    // again, or a later one of the same operation.
    void noteRange(int firstRegister, const QByteArray &intended);
    // The same with as-found bytes the caller already read.
    void noteRange(int firstRegister, const QByteArray &intended, const QByteArray &asFound);
    // Reads the as-found bytes of a range that the transmitter itself may change
    // during the operation (calibration constants): nothing is written to it.
    void watchRange(int firstRegister, int byteCount);
    // Reads the coil's state before it is forced to on.
    void noteCoil(int coil, bool on);

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

    // The Tarvine user logged in, else the user of the operating system.
    static QString userName(const QString &loggedIn);

private:
    struct Range {
        int first;
        QByteArray intended;
        QByteArray asFound;
        QByteArray asLeft{};
    };
    struct Coil {
        int number;
        bool on;
        int asFound;  // -1 unknown, 0 off, 1 on
    };
    // The range as the transmitter holds it (empty when it did not answer); the
    // link's image keeps its contents.
    QByteArray readRange(int first, int byteCount);
    int readCoil(int coil);

    ModbusLink &m_link;
    HistoryStore *m_store = nullptr;
    qint64 m_id = -1;
    qint64 m_storedId = -1;
    QList<Range> m_ranges;
    QList<Coil> m_coils;
};

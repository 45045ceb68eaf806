#pragma once

#include "HistoryStore.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <utility>

class ModbusLink;
class OperationRecord;

// One calibration as the change history keeps it. Begun before the calibration's
// first write, with the constants the transmitter may change read as found; every
// block the window writes is noted before it is written. The first decision on how
// it ends (done, failed, aborted) stands; finish then reads the constants and the
// blocks back and stores the record with its certificate's content: the method,
// the readings the technician entered and each constant as found and as left.
// Without a history nothing is read or stored.
class CalibrationRecord {
public:
    // Registers of calibration constants, read as found and as left.
    struct Constants {
        int firstRegister;
        int bytes;
    };

    explicit CalibrationRecord(ModbusLink &link);
    ~CalibrationRecord();

    bool open() const { return m_operation != nullptr; }
    // The link's history (nullptr when it is off).
    HistoryStore *store() const;
    // Begins a record unless one is open; the readings entered so far become its own.
    // Without a method it is no calibration (a window's own set-up): no constants
    // are watched and no certificate is kept.
    void begin(const QString &operation, const QString &method, const QList<Constants> &constants);
    // Before a block is written.
    void noteWrite(int firstRegister, const QByteArray &bytes);
    // The transmitter took a write or a command: a later failure leaves it part-way.
    void wrote() { m_wrote = open() || m_wrote; }
    // A reading the technician entered (the latest entry of a caption counts).
    void noteReading(const QString &caption, const QString &value);
    // Drops the readings entered for no record yet.
    void forgetReadings();

    void done() { decide(HistoryOutcome::Done, {}); }
    void failed(const QString &message);
    // Only a calibration is aborted; a window's set-up completes with what it wrote.
    void aborted(const QString &message);
    bool decided() const { return m_outcome.has_value(); }

    // Completes an open record as decided, or as orElse when nothing was decided.
    // doneMessage is stored with a completed calibration (the status it shows), not
    // with a window's own set-up.
    // The id of the stored operation with its certificate, or -1.
    qint64 finish(HistoryOutcome orElse, const QString &orElseMessage, const QString &doneMessage = {});

private:
    void decide(HistoryOutcome outcome, const QString &message);

    ModbusLink &m_link;
    std::unique_ptr<OperationRecord> m_operation;
    QString m_method;
    QList<Constants> m_constants;
    QList<std::pair<QString, QString>> m_readings;
    std::optional<std::pair<HistoryOutcome, QString>> m_outcome;
    bool m_wrote = false;
};

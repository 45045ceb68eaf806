#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <utility>

// How an operation that writes to a transmitter ended. An operation is stored as
// NotCompleted before its first write and completed afterwards, so a program killed
// in between leaves a record that says so.
// Aborted: the technician stopped it (Escape, another method, the window closed).
enum class HistoryOutcome { NotCompleted, Done, Refused, FailedPartWay, Aborted };
QString outcomeText(HistoryOutcome outcome);

// Who wrote to which transmitter, over which line, and with what.
struct OperationInfo {
    QDateTime startedUtc;
    QString user;
    QString host;
    QString port;
    QString line;      // "9600,N,8,1"
    QString framing;   // "ASCII" / "RTU"
    int unitId = -1;
    QString tag;
    QString serial;    // sensor serial number
    QString model;
    QString operation; // window and action, or the command line
};

// One field whose bytes changed: by catalogue key and register range, or a coil by
// number. An empty byte array is a value that could not be read.
struct FieldChange {
    QString key;
    int firstRegister = -1;
    int byteCount = 0;
    int coil = -1;
    QByteArray asFound;
    QByteArray asLeft;
    QString asFoundText;
    QString asLeftText;
};

struct HistoryEntry {
    qint64 id = 0;
    OperationInfo info;
    QDateTime finishedUtc;
    HistoryOutcome outcome = HistoryOutcome::NotCompleted;
    QString message;
    QList<FieldChange> changes;
    // A calibration's certificate content (CalibrationCertificate), empty for other operations.
    QString certificate;
};

// What the history window and `tarvine-cli history` ask for. Dates are local days,
// both ends included; unit matches a tag or a serial number; field a catalogue key.
struct HistoryFilter {
    QString unit;
    QDate since;
    QDate until;
    QString field;
    QString user;
    qint64 id = 0;  // one operation (0: any)
};

// The change history in one SQLite file (Qt's QSQLITE driver), shared by the program
// and any number of tarvine-cli processes: WAL, a busy time-out and one immediate
// transaction per write, so concurrent writers wait rather than lose records. A
// file that is damaged, is not a history file or comes from a newer schema is
// refused, never written over. After the first failed write the store records
// nothing more; what becomes of the writes to the transmitter is the program's
// choice (see WhenUnwritable and OperationRecord).
class HistoryStore {
public:
    // What an operation does once the history cannot be written: the program asks
    // the user once whether to go on without it, the command line stops unless told
    // to go on.
    enum class WhenUnwritable { Ask, Stop, GoOn };
    static constexpr int SchemaVersion = 2;
    static constexpr int BusyTimeoutMs = 10000;

    // $XDG_DATA_HOME/tarvine/history.sqlite (~/.local/share/tarvine/history.sqlite).
    static QString defaultPath();
    // The store, or nullptr with *error saying why the file was refused.
    static std::unique_ptr<HistoryStore> open(const QString &path, QString *error);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    QString path() const { return m_path; }
    bool failed() const { return m_failed; }
    // Why the history cannot be written, once failed.
    QString failure() const { return m_failure; }
    WhenUnwritable whenUnwritable() const { return m_whenUnwritable; }
    void setWhenUnwritable(WhenUnwritable choice) { m_whenUnwritable = choice; }
    // True the first time only: the failure is said once.
    bool takeFailureNotice() { return !std::exchange(m_failureNoticed, true); }

    // The operation's id, stored as not completed; -1 when nothing could be stored.
    qint64 begin(const OperationInfo &info);
    bool complete(qint64 id, HistoryOutcome outcome, const QString &message, const QList<FieldChange> &changes);
    // Keeps a calibration certificate's content with its operation.
    bool setCertificate(qint64 id, const QString &certificate);

    // Newest first, each with its changed fields (only those of the filter's key).
    QList<HistoryEntry> entries(const HistoryFilter &filter = {}) const;

private:
    explicit HistoryStore(const QString &path);
    bool fail(const QString &what, const QString &reason);

    QString m_path;
    QString m_connection;
    bool m_failed = false;
    QString m_failure;
    WhenUnwritable m_whenUnwritable = WhenUnwritable::Ask;
    bool m_failureNoticed = false;
};

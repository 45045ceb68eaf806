#include "HistoryStore.h"

#include <QAtomicInt>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>

#include <array>

namespace {

// Marks the file as ours: a SQLite file of another program is not taken over.
constexpr int ApplicationId = 0x54525648;  // "TRVH"

// Migration n brings schema version n-1 to n. Steps are only ever appended.
const std::array<QStringList, HistoryStore::SchemaVersion> Migrations = {QStringList{
    QStringLiteral("CREATE TABLE operations ("
                   " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                   " started_utc TEXT NOT NULL, finished_utc TEXT,"
                   " user TEXT, host TEXT, port TEXT, line TEXT, framing TEXT, unit_id INTEGER,"
                   " tag TEXT, serial TEXT, model TEXT, operation TEXT NOT NULL,"
                   " outcome INTEGER NOT NULL DEFAULT 0, message TEXT)"),
    QStringLiteral("CREATE TABLE changes ("
                   " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                   " operation_id INTEGER NOT NULL REFERENCES operations(id),"
                   " key TEXT NOT NULL, first_register INTEGER, byte_count INTEGER, coil INTEGER,"
                   " as_found BLOB, as_left BLOB, as_found_text TEXT, as_left_text TEXT)"),
    QStringLiteral("CREATE INDEX changes_operation ON changes(operation_id)"),
    QStringLiteral("CREATE INDEX operations_started ON operations(started_utc)"),
}, QStringList{
    QStringLiteral("ALTER TABLE operations ADD COLUMN certificate TEXT"),
}};

QString isoUtc(const QDateTime &t)
{
    return t.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime fromIsoUtc(const QVariant &v)
{
    if (v.isNull())
        return {};
    // Stored with a "Z": parsed as UTC.
    return QDateTime::fromString(v.toString(), Qt::ISODateWithMs).toUTC();
}

bool exec(QSqlQuery &q, const QString &sql, QString *error)
{
    if (q.exec(sql))
        return true;
    *error = q.lastError().text();
    return false;
}

QVariant scalar(QSqlDatabase &db, const QString &sql, QString *error)
{
    QSqlQuery q(db);
    if (!exec(q, sql, error))
        return {};
    if (!q.next()) {
        *error = QStringLiteral("no result from \"%1\"").arg(sql);
        return {};
    }
    return q.value(0);
}

// A new file turns to WAL only while no other program has it open, and SQLite says
// "locked" at once then instead of waiting out the busy time-out: two programs
// opening the same new file together would lose one history. So the switch is
// tried again until the time-out has passed.
QVariant switchToWal(QSqlDatabase &db, QString *error)
{
    const QDeadlineTimer deadline(HistoryStore::BusyTimeoutMs);
    for (;;) {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && q.next())
            return q.value(0);
        const QString code = q.lastError().nativeErrorCode();
        const bool busyOrLocked = code == QLatin1String("5") || code == QLatin1String("6");
        if (!busyOrLocked || deadline.hasExpired()) {
            *error = q.lastError().text();
            return {};
        }
        QThread::msleep(10);
    }
}

bool looksLikeSqlite(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return f.read(16) == QByteArray("SQLite format 3\0", 16);
}

} // namespace

QString outcomeText(HistoryOutcome outcome)
{
    switch (outcome) {
    case HistoryOutcome::NotCompleted: return QStringLiteral("not completed");
    case HistoryOutcome::Done: return QStringLiteral("done");
    case HistoryOutcome::Refused: return QStringLiteral("refused");
    case HistoryOutcome::FailedPartWay: return QStringLiteral("failed part-way");
    case HistoryOutcome::Aborted: return QStringLiteral("aborted");
    }
    return {};
}

QString HistoryStore::defaultPath()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/tarvine/history.sqlite");
}

HistoryStore::HistoryStore(const QString &path) : m_path(path)
{
    static QAtomicInt counter;
    m_connection = QStringLiteral("tarvine-history-%1").arg(counter.fetchAndAddRelaxed(1));
}

HistoryStore::~HistoryStore()
{
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

std::unique_ptr<HistoryStore> HistoryStore::open(const QString &path, QString *error)
{
    const auto refuse = [&](const QString &why) {
        *error = QStringLiteral("The change history in %1 cannot be used: %2 The file was left as it is.")
                     .arg(QDir::toNativeSeparators(path), why);
        return nullptr;
    };
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return refuse(QStringLiteral("the SQLite driver of Qt is not installed (Debian package libqt6sql6-sqlite)."));
    const QFileInfo info(path);
    if (info.exists() && info.size() > 0 && !looksLikeSqlite(path))
        return refuse(QStringLiteral("it is not an SQLite database (damaged, or another program's file)."));
    if (!QDir().mkpath(info.absolutePath()))
        return refuse(QStringLiteral("its folder cannot be created."));

    std::unique_ptr<HistoryStore> store(new HistoryStore(path));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), store->m_connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!db.open())
        return refuse(db.lastError().text() + QLatin1Char('.'));

    QString why;
    const QVariant check = scalar(db, QStringLiteral("PRAGMA quick_check"), &why);
    if (!check.isValid() || check.toString() != QLatin1String("ok"))
        return refuse(QStringLiteral("the database is damaged (%1).").arg(why.isEmpty() ? check.toString() : why));
    const int appId = scalar(db, QStringLiteral("PRAGMA application_id"), &why).toInt();
    const int version = scalar(db, QStringLiteral("PRAGMA user_version"), &why).toInt();
    const int tables = scalar(db, QStringLiteral("SELECT count(*) FROM sqlite_master"), &why).toInt();
    if ((appId != 0 && appId != ApplicationId) || (appId == 0 && tables > 0))
        return refuse(QStringLiteral("it is another program's database."));
    if (version > SchemaVersion)
        return refuse(QStringLiteral("it was written by a newer Tarvine (history schema %1; this one knows up to %2).")
                          .arg(version)
                          .arg(SchemaVersion));

    QSqlQuery q(db);
    const QVariant mode = switchToWal(db, &why);
    if (mode.toString().toLower() != QLatin1String("wal"))
        return refuse(QStringLiteral("it cannot be shared with other Tarvine programs (%1).")
                          .arg(why.isEmpty() ? mode.toString() : why));
    if (version < SchemaVersion) {
        if (!exec(q, QStringLiteral("BEGIN IMMEDIATE"), &why))
            return refuse(why + QLatin1Char('.'));
        // Another program may have migrated the file while this one waited.
        int now = scalar(db, QStringLiteral("PRAGMA user_version"), &why).toInt();
        bool ok = true;
        for (; ok && now < SchemaVersion; ++now) {
            for (const QString &step : Migrations[now])
                ok = ok && exec(q, step, &why);
        }
        ok = ok && exec(q, QStringLiteral("PRAGMA application_id=%1").arg(ApplicationId), &why)
             && exec(q, QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion), &why)
             && exec(q, QStringLiteral("COMMIT"), &why);
        if (!ok) {
            q.exec(QStringLiteral("ROLLBACK"));
            return refuse(QStringLiteral("its schema could not be brought up to date (%1).").arg(why));
        }
    }
    return store;
}

bool HistoryStore::fail(const QString &what, const QString &reason)
{
    QSqlQuery(QSqlDatabase::database(m_connection, false)).exec(QStringLiteral("ROLLBACK"));
    if (!m_failed)
        m_failure = QStringLiteral("The change history in %1 cannot be written (%2: %3).")
                        .arg(QDir::toNativeSeparators(m_path), what, reason);
    m_failed = true;
    return false;
}

qint64 HistoryStore::begin(const OperationInfo &info)
{
    if (m_failed)
        return -1;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO operations (started_utc, user, host, port, line, framing, unit_id, tag, "
                             "serial, model, operation, outcome) VALUES (?,?,?,?,?,?,?,?,?,?,?,0)"));
    for (const QVariant &v : {QVariant(isoUtc(info.startedUtc)), QVariant(info.user), QVariant(info.host),
                              QVariant(info.port), QVariant(info.line), QVariant(info.framing),
                              QVariant(info.unitId), QVariant(info.tag), QVariant(info.serial),
                              QVariant(info.model), QVariant(info.operation)})
        q.addBindValue(v);
    // One statement is its own transaction; the busy time-out makes it wait for others.
    if (!q.exec())
        return fail(QStringLiteral("recording the start of an operation"), q.lastError().text()), -1;
    return q.lastInsertId().toLongLong();
}

bool HistoryStore::complete(qint64 id, HistoryOutcome outcome, const QString &message,
                            const QList<FieldChange> &changes)
{
    if (m_failed || id < 0)
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    const QString what = QStringLiteral("completing an operation");
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail(what, q.lastError().text());
    q.prepare(QStringLiteral("INSERT INTO changes (operation_id, key, first_register, byte_count, coil, as_found, "
                             "as_left, as_found_text, as_left_text) VALUES (?,?,?,?,?,?,?,?,?)"));
    for (const FieldChange &c : changes) {
        const auto bytesOrNull = [](const QByteArray &b) { return b.isEmpty() ? QVariant() : QVariant(b); };
        for (const QVariant &v : {QVariant(id), QVariant(c.key), QVariant(c.firstRegister), QVariant(c.byteCount),
                                  QVariant(c.coil), bytesOrNull(c.asFound), bytesOrNull(c.asLeft),
                                  QVariant(c.asFoundText), QVariant(c.asLeftText)})
            q.addBindValue(v);
        if (!q.exec())
            return fail(what, q.lastError().text());
    }
    QSqlQuery done(db);
    done.prepare(QStringLiteral("UPDATE operations SET finished_utc = ?, outcome = ?, message = ? WHERE id = ?"));
    done.addBindValue(isoUtc(QDateTime::currentDateTimeUtc()));
    done.addBindValue(int(outcome));
    done.addBindValue(message);
    done.addBindValue(id);
    if (!done.exec() || !done.exec(QStringLiteral("COMMIT")))
        return fail(what, done.lastError().text());
    return true;
}

bool HistoryStore::setCertificate(qint64 id, const QString &certificate)
{
    if (m_failed || id < 0)
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE operations SET certificate = ? WHERE id = ?"));
    q.addBindValue(certificate);
    q.addBindValue(id);
    if (!q.exec())
        return fail(QStringLiteral("keeping a calibration certificate"), q.lastError().text());
    return true;
}

QList<HistoryEntry> HistoryStore::entries(const HistoryFilter &filter) const
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QStringList where;
    QVariantList values;
    if (!filter.unit.isEmpty()) {
        where << QStringLiteral("(lower(o.tag) = lower(?) OR lower(o.serial) = lower(?))");
        values << filter.unit << filter.unit;
    }
    if (filter.since.isValid()) {
        where << QStringLiteral("o.started_utc >= ?");
        values << isoUtc(filter.since.startOfDay());
    }
    if (filter.until.isValid()) {
        where << QStringLiteral("o.started_utc < ?");
        values << isoUtc(filter.until.addDays(1).startOfDay());
    }
    if (filter.id > 0) {
        where << QStringLiteral("o.id = ?");
        values << filter.id;
    }
    if (!filter.user.isEmpty()) {
        where << QStringLiteral("lower(o.user) = lower(?)");
        values << filter.user;
    }
    if (!filter.field.isEmpty()) {
        where << QStringLiteral("o.id IN (SELECT operation_id FROM changes WHERE lower(key) = lower(?))");
        values << filter.field;
    }
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT o.id, o.started_utc, o.finished_utc, o.user, o.host, o.port, o.line, o.framing, "
                             "o.unit_id, o.tag, o.serial, o.model, o.operation, o.outcome, o.message, o.certificate "
                             "FROM operations o %1 ORDER BY o.started_utc DESC, o.id DESC")
                  .arg(where.isEmpty() ? QString() : QStringLiteral("WHERE ") + where.join(QStringLiteral(" AND "))));
    for (const QVariant &v : values)
        q.addBindValue(v);
    QList<HistoryEntry> list;
    if (!q.exec())
        return list;
    while (q.next()) {
        HistoryEntry e;
        e.id = q.value(0).toLongLong();
        e.info = {.startedUtc = fromIsoUtc(q.value(1)), .user = q.value(3).toString(), .host = q.value(4).toString(),
                  .port = q.value(5).toString(), .line = q.value(6).toString(), .framing = q.value(7).toString(),
                  .unitId = q.value(8).toInt(), .tag = q.value(9).toString(), .serial = q.value(10).toString(),
                  .model = q.value(11).toString(), .operation = q.value(12).toString()};
        e.finishedUtc = fromIsoUtc(q.value(2));
        e.outcome = HistoryOutcome(q.value(13).toInt());
        e.message = q.value(14).toString();
        e.certificate = q.value(15).toString();
        list << e;
    }
    QSqlQuery c(db);
    c.prepare(QStringLiteral("SELECT key, first_register, byte_count, coil, as_found, as_left, as_found_text, "
                             "as_left_text FROM changes WHERE operation_id = ? ORDER BY id"));
    for (HistoryEntry &e : list) {
        c.addBindValue(e.id);
        if (!c.exec())
            continue;
        while (c.next()) {
            FieldChange f{.key = c.value(0).toString(), .firstRegister = c.value(1).toInt(),
                          .byteCount = c.value(2).toInt(), .coil = c.value(3).toInt(),
                          .asFound = c.value(4).toByteArray(), .asLeft = c.value(5).toByteArray(),
                          .asFoundText = c.value(6).toString(), .asLeftText = c.value(7).toString()};
            if (filter.field.isEmpty() || f.key.compare(filter.field, Qt::CaseInsensitive) == 0)
                e.changes << f;
        }
    }
    return list;
}

#include "CliRunner.h"
#include "CommandTable.h"
#include "ConfigBlock.h"
#include "ConfigWindow.h"
#include "ConfigurationTransfer.h"
#include "HistoryStore.h"
#include "HistoryText.h"
#include "LinkCommands.h"
#include "HistoryCommand.h"
#include "Catalogue.h"
#include "SimWindowTest.h"
#include "TfrmHistory.h"
#include "TfrmTotalizerReset.h"
#include "WidgetQuery.h"
#include "WindowRegistry.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

constexpr int MiscInfo = 578;       // CfgMiscInfo: Tag (20 bytes), Descriptor (20), ...
constexpr int MiscInfoBytes = 114;
constexpr int ReReadDensityCoil = 63;
constexpr int NetOilTotal = 442;    // Value (f64), Forward (f64)

// A configuration window reduced to its write points.
class BlockWindow : public ConfigWindow {
public:
    explicit BlockWindow(const WindowContext &c) : ConfigWindow(c) {}
    ConfigBlock block{MiscInfo, MiscInfoBytes};
    bool read() { return readBlocks({&block}); }
    bool apply()
    {
        beginWrites();
        return writeBlocks({&block}, Copy::Working);
    }
    bool undo()
    {
        beginWrites();
        return writeBlocks({&block}, Copy::AsRead);
    }
    bool coil(int n) { return forceCoil(n); }
};

QByteArray text(const char *s, int bytes)
{
    QByteArray b(s);
    b.resize(bytes, '\0');
    return b;
}

QStringList keys(const HistoryEntry &e)
{
    QStringList k;
    for (const FieldChange &c : e.changes)
        k << c.key;
    return k;
}

class HistoryPathTest : public SimWindowTest {
public:
    using SimWindowTest::link;
    using SimWindowTest::regs;
    using SimWindowTest::serial;
    using SimWindowTest::session;
    using SimWindowTest::open;
    using SimWindowTest::click;
    using SimWindowTest::settle;

    void SetUp() override
    {
        SimWindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        QString error;
        store = HistoryStore::open(path(), &error);
        ASSERT_TRUE(store) << error.toStdString();
        session.setHistory(store.get());
        regs().store(MiscInfo, text("FT-101", 20) + text("Line 3", 20));
    }
    QString path() const { return dir.filePath(QStringLiteral("history.sqlite")); }
    WindowContext context() { return {*link, session, nullptr, [](const QString &) {}, {}}; }
    HistoryEntry latest() const { return store->entries().value(0); }

    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store;
};

} // namespace

// Every hooked write path records exactly the fields whose bytes changed, as found
// before and as read back after; a field written with its own value is no change.
TEST_F(HistoryPathTest, EveryWritePathRecordsExactlyTheChangedFields)
{
    struct Case {
        const char *name;
        std::function<bool(HistoryPathTest &)> write;
        QStringList expected;
        QString asFound;
        QString asLeft;
    };
    const auto window = [](HistoryPathTest &t, const std::function<bool(BlockWindow &)> &act) {
        BlockWindow w(t.context());
        return w.read() && act(w);
    };
    const auto cli = [](HistoryPathTest &t, const QStringList &args) {
        // The command line opens its own history on the same file, as another process would.
        CommandTable commands;
        registerLinkCommands(commands);
        QString out, err;
        QTextStream o(&out), e(&err);
        t.link->closePort();
        const int status = runCli(QStringList{"tarvine-cli", "--port", "/sim", "--history", t.path()} + args,
                                  *t.serial, commands, o, e);
        EXPECT_TRUE(t.link->openPort());
        return status == ExitOk;
    };
    const Case cases[] = {
        {"Apply changes the tag only", [&](HistoryPathTest &t) {
             return window(t, [](BlockWindow &w) { w.block.working().replace(0, 20, text("FT-102", 20)); return w.apply(); });
         }, {"CfgMiscInfo.Tag"}, "FT-101", "FT-102"},
        {"Apply with nothing edited", [&](HistoryPathTest &t) {
             return window(t, [](BlockWindow &w) { return w.apply(); });
         }, {}, {}, {}},
        {"Undo after a change elsewhere", [&](HistoryPathTest &t) {
             return window(t, [&t](BlockWindow &w) {
                 t.regs().store(MiscInfo + 10, text("Line 4", 20));
                 return w.undo();
             });
         }, {"CfgMiscInfo.Descriptor"}, "Line 4", "Line 3"},
        {"Apply command coil", [&](HistoryPathTest &t) {
             return window(t, [](BlockWindow &w) { return w.coil(ReReadDensityCoil); });
         }, {"Coil 63 " + Catalogue::coilName(ReReadDensityCoil)}, "off", {}},
        {"tarvine-cli write: tag changed, descriptor rewritten", [&](HistoryPathTest &t) {
             return cli(t, {"write", "578", QString::fromLatin1((text("FT-103", 20) + text("Line 3", 20)).toHex())});
         }, {"CfgMiscInfo.Tag"}, "FT-101", "FT-103"},
        {"tarvine-cli coil", [&](HistoryPathTest &t) { return cli(t, {"coil", "63", "on"}); },
         {"Coil 63 " + Catalogue::coilName(ReReadDensityCoil)}, "off", {}},
        {"totalizer reset of net oil", [&](HistoryPathTest &t) {
             t.regs().setF64At(2 * NetOilTotal, 12.5);
             QPointer<TfrmTotalizerReset> w = TfrmTotalizerReset::showInstance(t.context());
             open(w);
             control<QComboBox>(w, "cboParam")->setCurrentText("Net Oil Totalizer");
             click(w, "btnApply");
             const bool reset = t.regs().f64At(2 * NetOilTotal) == 0.0;
             w->close();
             settle();
             return reset;
         }, {"NetOilTotal.Value", "Coil 67 " + Catalogue::coilName(67)}, "12.5", "0"},
        {"download with one field changed", [&](HistoryPathTest &t) {
             ConfigurationTransfer upload(*t.link, t.session);
             if (!upload.upload().ok())
                 return false;
             t.link->image().store(MiscInfo, text("FT-104", 20));
             ConfigurationTransfer transfer(*t.link, t.session);
             const auto result = transfer.download();
             EXPECT_TRUE(result.summary.contains("Read back: verified:")) << result.summary.toStdString();
             return result.ok();
         }, {"CfgMiscInfo.Tag"}, "FT-101", "FT-104"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        regs().store(MiscInfo, text("FT-101", 20) + text("Line 3", 20));
        device().setCoil(ReReadDensityCoil, false);
        const qsizetype before = store->entries().size();
        ASSERT_TRUE(c.write(*this));
        const QList<HistoryEntry> all = store->entries();
        ASSERT_EQ(all.size(), before + 1);
        const HistoryEntry e = all.first();
        EXPECT_EQ(e.outcome, HistoryOutcome::Done);
        EXPECT_EQ(keys(e), c.expected) << keys(e).join(", ").toStdString();
        EXPECT_EQ(e.info.tag, "FT-101");  // the identity as read before the write
        if (!c.asFound.isEmpty() && !e.changes.isEmpty()) {
            EXPECT_EQ(e.changes[0].asFoundText.trimmed(), c.asFound);
        }
        if (!c.asLeft.isEmpty() && !e.changes.isEmpty()) {
            EXPECT_EQ(e.changes[0].asLeftText.trimmed(), c.asLeft);
        }
        EXPECT_EQ(e.info.unitId, 247);
        EXPECT_FALSE(e.info.user.isEmpty());
        EXPECT_TRUE(e.finishedUtc.isValid());
    }
}

// A write the transmitter refuses is recorded as refused with what the window said,
// and changes nothing.
TEST_F(HistoryPathTest, RefusedApplyIsRecordedWithItsMessage)
{
    BlockWindow w(context());
    ASSERT_TRUE(w.read());
    w.block.working().replace(0, 20, text("FT-102", 20));
    refuse(MiscInfo, MiscInfo + MiscInfoBytes / 2 - 1);
    EXPECT_FALSE(w.apply());
    const HistoryEntry e = latest();
    EXPECT_EQ(e.outcome, HistoryOutcome::Refused);
    EXPECT_EQ(e.message, ConfigWindow::WriteFailedText);
    EXPECT_TRUE(e.changes.isEmpty() || e.changes.first().asLeft.isEmpty());
}

// The command line and the window list and filter what was recorded.
TEST_F(HistoryPathTest, HistoryCommandAndWindowFilterByField)
{
    for (const char *tag : {"FT-102", "FT-103"}) {
        BlockWindow w(context());
        ASSERT_TRUE(w.read());
        w.block.working().replace(0, 20, text(tag, 20));
        w.block.working().replace(20, 20, text(tag, 20));
        ASSERT_TRUE(w.apply());
    }
    BlockWindow w(context());
    ASSERT_TRUE(w.read());
    ASSERT_TRUE(w.coil(ReReadDensityCoil));

    CommandTable commands;
    registerHistoryCommand(commands);
    QString out, err;
    QTextStream o(&out), e(&err);
    ASSERT_EQ(runCli({"tarvine-cli", "--history", path(), "history", "--csv", "field=CfgMiscInfo.Tag", "unit=ft-102"},
                     *serial, commands, o, e),
              ExitOk)
        << err.toStdString();
    o.flush();
    const QStringList lines = out.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << out.toStdString();  // header, the second Apply (its unit read as FT-102)
    EXPECT_TRUE(lines[1].contains(",CfgMiscInfo.Tag,FT-102,FT-103,done")) << lines[1].toStdString();

    TfrmHistory window(store.get());
    window.show();
    EXPECT_EQ(window.shown().size(), 3);
    auto *field = window.findChild<QLineEdit *>("edtField");
    field->setFocus();
    QTest::keyClicks(field, "cfgmiscinfo.descriptor");
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_EQ(window.shown().size(), 2);
    EXPECT_EQ(keys(window.shown()[0]), QStringList{"CfgMiscInfo.Descriptor"});
    auto *since = window.findChild<QLineEdit *>("edtSince");
    since->setFocus();
    QTest::keyClicks(since, "7/12/2026");
    QTest::keyClick(since, Qt::Key_Return);
    EXPECT_EQ(window.shown().size(), 2);  // refused: the list stays
    EXPECT_TRUE(window.findChild<QLabel *>("lblStatus")->text().contains("not a date"));
}

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// A program killed half-way through a download leaves a readable file whose record
// says "not completed".
TEST(HistoryProcess, KilledDownloadLeavesNotCompletedRecord)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("h.sqlite");
    QProcess helper;
    helper.start(HISTORY_HELPER, {"download", file});
    ASSERT_TRUE(helper.waitForStarted());
    while (!helper.readAllStandardOutput().contains("mid"))
        ASSERT_TRUE(helper.waitForReadyRead(60000)) << helper.readAllStandardError().toStdString();
    helper.kill();
    ASSERT_TRUE(helper.waitForFinished());
    QString error;
    const auto store = HistoryStore::open(file, &error);
    ASSERT_TRUE(store) << error.toStdString();
    const QList<HistoryEntry> entries = store->entries();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].outcome, HistoryOutcome::NotCompleted);
    EXPECT_EQ(entries[0].info.operation, "Download to Unit");
    EXPECT_FALSE(entries[0].finishedUtc.isValid());
    EXPECT_TRUE(historyCsv(entries).contains("not completed"));
}

// Two processes recording at the same time both keep every record.
TEST(HistoryProcess, TwoWritersAtOnceLoseNothing)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("h.sqlite");
    constexpr int Each = 150;
    QProcess a, b;
    a.start(HISTORY_HELPER, {"write", file, QString::number(Each)});
    b.start(HISTORY_HELPER, {"write", file, QString::number(Each)});
    for (QProcess *p : {&a, &b}) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    QString error;
    const auto store = HistoryStore::open(file, &error);
    ASSERT_TRUE(store) << error.toStdString();
    const QList<HistoryEntry> entries = store->entries();
    ASSERT_EQ(entries.size(), 2 * Each);
    for (const HistoryEntry &e : entries) {
        EXPECT_EQ(e.outcome, HistoryOutcome::Done);
        EXPECT_EQ(e.changes.size(), 1);
    }
}

// A file that is damaged, another program's or from a newer schema is refused with
// a message naming it, and left byte for byte as it was.
TEST(HistoryStoreFile, DamagedForeignOrNewerFileIsRefusedNotReplaced)
{
    QTemporaryDir dir;
    const auto sql = [](const QString &file, const QStringList &statements) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
            db.setDatabaseName(file);
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            for (const QString &s : statements)
                ASSERT_TRUE(q.exec(s)) << s.toStdString();
        }
        QSqlDatabase::removeDatabase("setup");
    };
    const auto history = [&](const QString &file) {
        QString error;
        auto store = HistoryStore::open(file, &error);
        ASSERT_TRUE(store) << error.toStdString();
        OperationInfo info;
        info.startedUtc = QDateTime::currentDateTimeUtc();
        info.operation = "x";
        for (int i = 0; i < 200; ++i)
            store->complete(store->begin(info), HistoryOutcome::Done, QString(500, 'm'), {});
    };
    struct Case {
        const char *name;
        std::function<void(const QString &)> make;
        const char *reason;
    };
    const Case cases[] = {
        {"garbage", [](const QString &f) { QFile x(f); x.open(QIODevice::WriteOnly); x.write(QByteArray(4096, 'x')); },
         "not an SQLite database"},
        {"another program's", [&](const QString &f) { sql(f, {"CREATE TABLE t (a)"}); }, "another program"},
        {"newer schema", [&](const QString &f) { history(f); sql(f, {"PRAGMA user_version=99"}); }, "newer Tarvine"},
        {"damaged pages", [&](const QString &f) {
             history(f);
             sql(f, {"PRAGMA wal_checkpoint(TRUNCATE)"});
             QFile x(f);
             x.open(QIODevice::ReadWrite);
             x.seek(4096 + 100);
             x.write(QByteArray(4096 * 3, '\xA5'));
         }, "damaged"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = dir.filePath(QString::fromLatin1(c.name) + ".sqlite");
        c.make(file);
        const QByteArray before = fileBytes(file);
        QString error;
        EXPECT_FALSE(HistoryStore::open(file, &error));
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
        EXPECT_TRUE(error.contains(file)) << error.toStdString();
        EXPECT_EQ(fileBytes(file), before);
    }
}

// A file of the first schema is brought up to date with its records kept, and
// then keeps a certificate with its operation.
TEST(HistoryStoreFile, OlderSchemaIsMigratedAndKeepsItsRecords)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("old.sqlite");
    qint64 id = 0;
    {
        QString error;
        auto store = HistoryStore::open(file, &error);
        ASSERT_TRUE(store) << error.toStdString();
        OperationInfo info;
        info.startedUtc = QDateTime::currentDateTimeUtc();
        info.operation = "x";
        id = store->begin(info);
        store->complete(id, HistoryOutcome::Done, {}, {});
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "downgrade");
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("ALTER TABLE operations DROP COLUMN certificate"));
        ASSERT_TRUE(q.exec("PRAGMA user_version=1"));
    }
    QSqlDatabase::removeDatabase("downgrade");
    QString error;
    auto store = HistoryStore::open(file, &error);
    ASSERT_TRUE(store) << error.toStdString();
    ASSERT_EQ(store->entries().size(), 1);
    EXPECT_TRUE(store->setCertificate(id, "{}"));
    HistoryFilter filter;
    filter.id = id;
    EXPECT_EQ(store->entries(filter).value(0).certificate, "{}");
}

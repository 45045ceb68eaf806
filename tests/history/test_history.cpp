#include "CliRunner.h"
#include "CommSetup.h"
#include "CommandTable.h"
#include "ConfigBlock.h"
#include "ConfigWindow.h"
#include "ConfigWindowTest.h"
#include "ConfigurationTransfer.h"
#include "HistoryStore.h"
#include "HistoryText.h"
#include "LinkCommands.h"
#include "HistoryCommand.h"
#include "IniFile.h"
#include "OperationRecord.h"
#include "PdfText.h"
#include "QuantityCode.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "Catalogue.h"
#include "SimFileTable.h"
#include "SimWindowTest.h"
#include "TfrmDateTime.h"
#include "TfrmHistory.h"
#include "TfrmTotalizerReset.h"
#include "TransmitterFiles.h"
#include "UserUnitsWindow.h"
#include "frmModbusTest.h"
#include "frmViewErrorLog.h"
#include "WidgetQuery.h"
#include "WindowRegistry.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

constexpr int MiscInfo = 578;       // CfgMiscInfo: Tag (20 bytes), Descriptor (20), ...
constexpr int MiscInfoBytes = 114;
constexpr int ReReadDensityCoil = 63;
constexpr int NetOilTotal = 442;    // Value (f64), Forward (f64)
constexpr int ErrorLog = 325;       // newest entry, then the entries

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
protected:
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
    // Runs the command line on the simulated port as another process would, with
    // its own history; the window's link lets go of the port meanwhile.
    struct CliRun {
        int status = -1;
        QString out, err;
    };
    CliRun cli(const QStringList &args)
    {
        CommandTable commands;
        registerLinkCommands(commands);
        registerHistoryCommand(commands);
        CliRun run;
        link->closePort();
        {
            QTextStream o(&run.out), e(&run.err);
            run.status = runCli(QStringList{"tarvine-cli", "--port", "/sim"} + args, *serial, commands, o, e);
        }
        EXPECT_TRUE(link->openPort());
        return run;
    }

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
        std::function<bool()> write;
        QStringList expected;
        QString asFound;
        QString asLeft;
    };
    const auto window = [&](const std::function<bool(BlockWindow &)> &act) {
        BlockWindow w(context());
        return w.read() && act(w);
    };
    const auto cliOk = [&](const QStringList &args) {
        return cli(QStringList{"--history", path()} + args).status == ExitOk;
    };
    const auto console = [&](const std::function<void(TfrmModbusTest &)> &act) {
        CommSetup comm(*link, session, workDir.path());
        TfrmModbusTest w(comm);
        open(&w);
        act(w);
        return true;
    };
    const auto type = [](QWidget *w, const char *edit, const QString &text) {
        auto *e = control<QLineEdit>(w, edit);
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
    };
    const Case cases[] = {
        {"Apply changes the tag only", [&] {
             return window([](BlockWindow &w) { w.block.working().replace(0, 20, text("FT-102", 20)); return w.apply(); });
         }, {"CfgMiscInfo.Tag"}, "FT-101", "FT-102"},
        {"Apply with nothing edited", [&] {
             return window([](BlockWindow &w) { return w.apply(); });
         }, {}, {}, {}},
        {"Undo after a change elsewhere", [&] {
             return window([&](BlockWindow &w) {
                 regs().store(MiscInfo + 10, text("Line 4", 20));
                 return w.undo();
             });
         }, {"CfgMiscInfo.Descriptor"}, "Line 4", "Line 3"},
        {"Apply command coil", [&] {
             return window([](BlockWindow &w) { return w.coil(ReReadDensityCoil); });
         }, {"Coil 63 " + Catalogue::coilName(ReReadDensityCoil)}, "off", {}},
        {"tarvine-cli write: tag changed, descriptor rewritten", [&] {
             return cliOk({"write", "578", QString::fromLatin1((text("FT-103", 20) + text("Line 3", 20)).toHex())});
         }, {"CfgMiscInfo.Tag"}, "FT-101", "FT-103"},
        {"tarvine-cli coil", [&] { return cliOk({"coil", "63", "on"}); },
         {"Coil 63 " + Catalogue::coilName(ReReadDensityCoil)}, "off", {}},
        {"totalizer reset of net oil", [&] {
             regs().setF64At(2 * NetOilTotal, 12.5);
             QPointer<TfrmTotalizerReset> w = TfrmTotalizerReset::showInstance(context());
             open(w);
             control<QComboBox>(w, "cboParam")->setCurrentText("Net Oil Totalizer");
             click(w, "btnApply");
             const bool reset = regs().f64At(2 * NetOilTotal) == 0.0;
             w->close();
             settle();
             return reset;
         }, {"NetOilTotal.Value", "Coil 67 " + Catalogue::coilName(67)}, "12.5", "0"},
        {"download with one field changed", [&] {
             ConfigurationTransfer upload(*link, session);
             if (!upload.upload().ok())
                 return false;
             link->image().store(MiscInfo, text("FT-104", 20));
             ConfigurationTransfer transfer(*link, session);
             const auto result = transfer.download();
             EXPECT_TRUE(result.summary.contains("Read back: verified:")) << result.summary.toStdString();
             return result.ok();
         }, {"CfgMiscInfo.Tag"}, "FT-101", "FT-104"},
        {"console register write puts back what it read", [&] {
             return console([&](TfrmModbusTest &w) {
                 type(&w, "txtStartAddr", "588");
                 type(&w, "txtNumRegs", "10");
                 click(&w, "btnRegRead");
                 regs().store(MiscInfo + 10, text("Line 9", 20));
                 click(&w, "btnRegWrite");
             });
         }, {"CfgMiscInfo.Descriptor"}, "Line 9", "Line 3"},
        {"console coil set", [&] {
             return console([&](TfrmModbusTest &w) {
                 type(&w, "txtCoilAddr", "63");
                 click(&w, "btnCoilSet");
             });
         }, {"Coil 63 " + Catalogue::coilName(ReReadDensityCoil)}, "off", {}},
        {"date set: the command's coil, its value in the operation", [&] {
             TfrmDateTime w(context());
             open(&w);
             type(&w, "MaskDate", "123126");
             click(&w, "btnApply");
             return latest().info.operation.endsWith("set date 123126");
         }, {"Coil 35 " + Catalogue::coilName(35)}, "off", {}},
        {"Special units Apply", [&] {
             TfrmSpecialUnits w(*link);
             open(&w);
             type(&w, "txtRateFactor", "0.25");
             click(&w, "btnApply");
             return true;
         }, {"CfgFlowSpcMass.FlowFactor"}, {}, "0.25"},
        {"file delete", [&] {
             device().files().setFiles({sim::SimFileTable::make("OLD.R", 10, "0100", 1, 26, 1, 2)});
             return TransmitterFiles(*link).remove("OLD.R");
         }, {"Coil 38 " + Catalogue::coilName(TransmitterFiles::DeleteCoil)}, "off", {}},
        {"error log clear", [&] {
             QByteArray log(98, '\0');
             log.replace(0, 4, QByteArray::fromHex("00010507"));  // one entry: task 5, error 7
             regs().store(ErrorLog, log);
             TfrmViewErrorLog w(*link, session);
             open(&w);
             click(&w, "btnClear");
             return true;
         }, {"ErrorLog.ErrPtr", "ErrorLog.Error", "ErrorLog.TaskID", "Coil 54 " + Catalogue::coilName(54)}, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        regs().store(MiscInfo, text("FT-101", 20) + text("Line 3", 20));
        device().setCoil(ReReadDensityCoil, false);
        const qsizetype before = store->entries().size();
        ASSERT_TRUE(c.write());
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
        EXPECT_EQ(link->unrecordedWrites(), 0);
    }
    // A write that no operation records is counted, so a forgotten path shows.
    EXPECT_TRUE(link->writeRegisters(MiscInfo, text("FT-110", 20)));
    EXPECT_EQ(link->unrecordedWrites(), 1);
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

    const CliRun run = cli({"--history", path(), "history", "--csv", "field=CfgMiscInfo.Tag", "unit=ft-102"});
    ASSERT_EQ(run.status, ExitOk) << run.err.toStdString();
    const QStringList lines = run.out.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << run.out.toStdString();  // header, the second Apply (its unit read as FT-102)
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

// The window shows a quantity's values in the unit chosen in View Measurements (the
// database keeps base units) and prints what it shows as PDF.
TEST_F(HistoryPathTest, WindowShowsChosenUnitsAndPrintsThem)
{
    constexpr int MassCutoff = 685;  // CfgFlowMass, byte 10: a mass flow in lb/sec
    const int kgPerMin = int(UnitListFor(Quantity::MassFlow).indexOf("kg/min"));
    ASSERT_GT(kgPerMin, 0);
    ASSERT_TRUE(IniFile(workDir.path(), "TARVINE.INI").writeString("ViewMeas Units", "MassRate", "kg/min", nullptr));
    RegisterImage values;
    values.setF64At(2 * MassCutoff, 0.5);
    const QByteArray asFound = regs().read(MassCutoff, 8);
    ASSERT_TRUE(OperationRecord::run(*link, "cutoff", [&] { return link->writeRegisters(MassCutoff, values.read(MassCutoff, 8)); }));
    const auto shown = [&](const QByteArray &base) {
        RegisterImage v;
        v.store(MassCutoff, base);
        return QString::number(FromBase(Quantity::MassFlow, v.f64At(2 * MassCutoff), kgPerMin), 'g', 10) + " kg/min";
    };

    TfrmHistory window(store.get());
    window.show();
    auto *changes = window.findChild<QTableWidget *>("grdChanges");
    ASSERT_EQ(changes->rowCount(), 1);
    EXPECT_EQ(changes->item(0, 2)->text(), shown(asFound));
    EXPECT_EQ(changes->item(0, 3)->text(), shown(values.read(MassCutoff, 8)));
    EXPECT_EQ(latest().changes[0].asLeft, values.read(MassCutoff, 8));  // stored in base units

    const QString pdf = dir.filePath("history.pdf");
    prompter.fileNames << pdf;
    alt(&window, Qt::Key_P);
    const QString text = pdfPages(pdf).join("\n");
    EXPECT_TRUE(text.contains(shown(values.read(MassCutoff, 8)))) << text.toStdString();
    EXPECT_TRUE(text.contains(latest().changes[0].key)) << text.toStdString();
}

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs statements on the file as another program would, behind the store's back.
void runSql(const QString &file, const QStringList &statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "behind");
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const QString &s : statements)
            ASSERT_TRUE(q.exec(s)) << s.toStdString();
    }
    QSqlDatabase::removeDatabase("behind");
}

// Records count completed operations in a history file; returns the last one's id.
qint64 recordOperations(const QString &file, int count, const QString &message = {})
{
    QString error;
    auto store = HistoryStore::open(file, &error);
    EXPECT_TRUE(store) << error.toStdString();
    OperationInfo info;
    info.startedUtc = QDateTime::currentDateTimeUtc();
    info.operation = "x";
    qint64 id = -1;
    for (int i = 0; store && i < count; ++i) {
        id = store->begin(info);
        store->complete(id, HistoryOutcome::Done, message, {});
    }
    return id;
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
    const auto history = [](const QString &file) { recordOperations(file, 200, QString(500, 'm')); };
    struct Case {
        const char *name;
        std::function<void(const QString &)> make;
        const char *reason;
    };
    const Case cases[] = {
        {"garbage", [](const QString &f) { QFile x(f); x.open(QIODevice::WriteOnly); x.write(QByteArray(4096, 'x')); },
         "not an SQLite database"},
        {"another program's", [](const QString &f) { runSql(f, {"CREATE TABLE t (a)"}); }, "another program"},
        {"newer schema", [&](const QString &f) { history(f); runSql(f, {"PRAGMA user_version=99"}); }, "newer Tarvine"},
        {"damaged pages", [&](const QString &f) {
             history(f);
             runSql(f, {"PRAGMA wal_checkpoint(TRUNCATE)"});
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
    const qint64 id = recordOperations(file, 1);
    runSql(file, {"ALTER TABLE operations DROP COLUMN certificate", "PRAGMA user_version=1"});
    QString error;
    auto store = HistoryStore::open(file, &error);
    ASSERT_TRUE(store) << error.toStdString();
    ASSERT_EQ(store->entries().size(), 1);
    EXPECT_TRUE(store->setCertificate(id, "{}"));
    HistoryFilter filter;
    filter.id = id;
    EXPECT_EQ(store->entries(filter).value(0).certificate, "{}");
}

// A history that cannot be written is said once: the program asks whether to go on
// without it (No sends nothing), the command line stops unless told to go on.
TEST_F(HistoryPathTest, UnwritableHistoryAsksOrStopsBeforeAnyWrite)
{
    using When = HistoryStore::WhenUnwritable;
    struct Case {
        const char *name;
        When when;
        QList<int> answers;
        bool sent;
        int said;  // times the failure was said, over two operations; nothing else is
    };
    const Case cases[] = {
        {"asked, go on: once", When::Ask, {Prompter::IdYes}, true, 1},
        {"asked, stop: nothing sent, asked again", When::Ask, {Prompter::IdNo, Prompter::IdNo}, false, 2},
        {"command line stops", When::Stop, {}, false, 2},
        {"command line told to go on: said once", When::GoOn, {}, true, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        regs().store(MiscInfo, text("FT-101", 20));
        QString error;
        auto broken = HistoryStore::open(dir.filePath(QString::fromLatin1(c.name) + ".sqlite"), &error);
        ASSERT_TRUE(broken) << error.toStdString();
        broken->setWhenUnwritable(c.when);
        session.setHistory(broken.get());
        runSql(broken->path(), {"DROP TABLE operations"});  // every record is refused
        prompter.messages.clear();
        prompter.answers = c.answers;
        for (const char *tag : {"FT-102", "FT-103"}) {
            BlockWindow w(context());
            ASSERT_TRUE(w.read());
            w.block.working().replace(0, 20, text(tag, 20));
            EXPECT_EQ(w.apply(), c.sent);
        }
        EXPECT_EQ(regs().read(MiscInfo, 20), text(c.sent ? "FT-103" : "FT-101", 20));
        EXPECT_EQ(prompter.texts().filter("cannot be written").size(), c.said) << prompter.texts().join("|").toStdString();
        EXPECT_EQ(prompter.messages.size(), c.said) << prompter.texts().join("|").toStdString();
        EXPECT_EQ(link->unrecordedWrites(), 0);
        session.setHistory(store.get());
    }

    // The command line with a history it cannot open: stops, or writes when told to go on.
    regs().store(MiscInfo, text("FT-101", 20));
    QFile garbage(dir.filePath("garbage.sqlite"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    for (const bool goOn : {false, true}) {
        QStringList args{"--history", garbage.fileName()};
        if (goOn)
            args << "--go-on-without-history";
        const CliRun run = cli(args + QStringList{"write", "578", QString::fromLatin1(text("FT-105", 20).toHex())});
        EXPECT_EQ(run.status, goOn ? ExitOk : ExitFailed) << run.err.toStdString();
        EXPECT_EQ(regs().read(MiscInfo, 20), text(goOn ? "FT-105" : "FT-101", 20));
        EXPECT_TRUE(run.err.contains("not an SQLite database")) << run.err.toStdString();
    }
}

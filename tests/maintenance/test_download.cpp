#include "SimWindowTest.h"
#include "WidgetQuery.h"

#include "Clock.h"
#include "QtSerialControl.h"
#include "SimDownload.h"
#include "SimTransmitter.h"
#include "frmFileDnld.h"

#include <QApplication>
#include <QComboBox>
#include <QProcess>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

// The window waits out the transmitter's download-mode time-out after a broken transfer.
static_assert(TfrmFileDnld::DownloadModeTimeoutMs == sim::SimDownload::IdleLimitMs);

QString writeFile(const QTemporaryDir &dir, const QString &name, qsizetype bytes)
{
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly))
        return {};
    QByteArray data(bytes, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes; ++i)
        data[i] = char(i * 7 + i / 251); // every byte value, NUL and ':' included
    f.write(data);
    return f.fileName();
}

// The in-process transmitter on a manual clock, so that the end of a download
// and the reboot after it pass without waiting.
class Download : public SimWindowTest {
protected:
    void SetUp() override
    {
        Clock::install(&clock);
        SimWindowTest::SetUp();
        window = std::make_unique<TfrmFileDnld>(WindowContext{*link, session, nullptr, {}, {}}, TfrmFileDnld::Tag);
        open(window.get());
        EXPECT_EQ(window->property("helpContext").toInt(), 4642); // not its menu tag, 4641
    }
    void TearDown() override
    {
        window.reset();
        SimWindowTest::TearDown();
        Clock::install(nullptr);
    }
    sim::SimDownload &download() { return *simulator->transmitter()->download(); }
    // Chooses the type and the file, answers OK and runs the download.
    void run(const QString &type, const QString &path)
    {
        control<QComboBox>(window.get(), "cboFileType")->setCurrentText(type);
        prompter.fileNames = {path};
        prompter.answers = {Prompter::IdOK};
        takeRequests();
        window->btnApplyClick();
        settle();
    }
    void finishOnTransmitter()
    {
        // Long enough for the end of a file and for a download mode left without one.
        clock.advance(sim::SimDownload::IdleLimitMs + 10);
        clock.advance(sim::SimDevice::RebootMs + 10);
        settle();
    }
    int gauge() { return control<QProgressBar>(window.get(), "prgDownload")->value(); }

    ManualClock clock;
    std::unique_ptr<TfrmFileDnld> window;
};

TEST_F(Download, EachTypeReachesTheTransmitterWholeAndOnlyApplicationsAskFirst)
{
    struct Case {
        const char *type, *dialog;
        bool asksFirst;
    };
    for (const Case &c : {Case{"DSP", "Download DSP File / DSP Files (*.r)", true},
                          Case{"APPL", "Download APPL File / APPL Files (*.r)", true},
                          Case{"OS", "Download OS File / OS Files (*.b)", false}}) {
        const QString name = QStringLiteral("image") + c.type + (c.asksFirst ? ".r" : ".b");
        const QString path = writeFile(workDir, name, 20000);
        if (!c.asksFirst)
            download().enterFromPanel();
        prompter.dialogTitles.clear();
        run(QString::fromLatin1(c.type), path);
        EXPECT_EQ(prompter.dialogTitles, QStringList{QString::fromLatin1(c.dialog)});
        EXPECT_EQ(prompter.messages.last().title, QStringLiteral("Download ") + c.type + " File");
        EXPECT_EQ(forcedOn(takeRequests()).contains(TfrmFileDnld::DownloadCoil), c.asksFirst) << c.type;
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Download: ") + name);
        EXPECT_EQ(gauge(), 1000) << c.type;
        EXPECT_EQ(textOf(window.get(), "lblProgress"), "All 20000 bytes sent.");
        EXPECT_FALSE(link->CommOverride());
        finishOnTransmitter();
        EXPECT_EQ(download().lastFileBytes(), 20000) << c.type;
        EXPECT_FALSE(prompter.shownWithTitle("Download Failure"));
    }
}

TEST_F(Download, FailuresAreReportedAndNeverShownAsComplete)
{
    // Files that are empty, cannot be read or do not look like firmware are refused before the transmitter is
    // put into download mode: the next request is answered as Modbus at once.
    const struct {
        QString path, title;
    } refused[] = {{writeFile(workDir, "empty.r", 0), "Download Failure"},
                   {workDir.filePath("missing.r"), "File Error"},
                   {workDir.path(), "File Error"},
                   {writeFile(workDir, "notes.txt", 100), "Download DSP File"}};  // not sent unless confirmed
    for (const auto &r : refused) {
        prompter.messages.clear();
        run("DSP", r.path);
        EXPECT_EQ(prompter.messages.size(), 1) << r.path.toStdString();
        EXPECT_EQ(prompter.messages.value(0).title, r.title);
        if (r.title == "Download Failure") {
            EXPECT_EQ(prompter.messages.value(0).text, "empty.r is empty: nothing was sent.\rVerify the file and retry.");
        }
        EXPECT_FALSE(forcedOn(takeRequests()).contains(TfrmFileDnld::DownloadCoil)) << r.path.toStdString();
        EXPECT_FALSE(download().active());
        EXPECT_TRUE(link->readRegisters(0, 2)) << r.path.toStdString();
    }

    // A transmitter that refuses the download gets nothing.
    simulator->transmitter()->setFaults([] { sim::Faults f; f.stuckBusyCoil = 42; return f; }());
    run("APPL", writeFile(workDir, "app.r", 5000));
    EXPECT_FALSE(download().active());
    EXPECT_EQ(download().received(), 0);
    EXPECT_TRUE(textOf(window.get(), "lblProgress").contains("nothing was sent"));

    // The line drops part way.
    simulator->transmitter()->setFaults([] { sim::Faults f; f.dropDownloadAfter = 9000; return f; }());
    prompter.messages.clear();
    run("DSP", writeFile(workDir, "dsp.r", 40000));
    EXPECT_TRUE(std::any_of(prompter.messages.begin(), prompter.messages.end(), [](const auto &m) {
        return m.title == "Download Failure" && m.text.startsWith("The download stopped after")
               && m.text.contains("leaves download mode");
    })) << prompter.texts().join(" | ").toStdString();
    EXPECT_LT(gauge(), 1000);
    EXPECT_FALSE(link->portOpen());
    EXPECT_FALSE(link->CommOverride());
    ASSERT_TRUE(link->openPort());

    // Escape in the window closes the port (and still raises the abort flag's handler).
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(link->portOpen());
}

// tarvine-sim in its own process on a pseudo-terminal, killed mid-download.
TEST(DownloadOverPty, KillingTheTransmitterEndsInDownloadFailure)
{
    QProcess sim;
    sim.setProgram(QStringLiteral(TARVINE_SIM_PATH));
    sim.setArguments({"--baud", "115200", "--no-live"});
    sim.start();
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();

    RecordingPrompter prompter;
    Session session;
    session.setAccessLevel(Session::Programmer);
    QtSerialControl serial;
    ModbusLink link(&serial, &session);
    CommSettings settings;
    settings.port = pty;
    settings.settings = QStringLiteral("115200,N,8,1");
    link.setSettings(settings);
    ASSERT_TRUE(link.openPort());

    QTemporaryDir dir;
    const QString path = writeFile(dir, "big.r", 100 * 1024);
    TfrmFileDnld window(WindowContext{link, session, nullptr, {}, {}}, TfrmFileDnld::Tag);
    window.show();
    prompter.fileNames = {path};
    prompter.answers = {Prompter::IdOK};
    QTimer::singleShot(1500, &sim, [&sim] { sim.kill(); });
    window.btnApplyClick();
    sim.waitForFinished(5000);
    QTest::qWait(300);

    EXPECT_TRUE(prompter.shownWithTitle("Download Failure")) << prompter.texts().join(" | ").toStdString();
    EXPECT_LT(control<QProgressBar>(&window, "prgDownload")->value(), 1000);
    EXPECT_FALSE(link.portOpen());
}

} // namespace

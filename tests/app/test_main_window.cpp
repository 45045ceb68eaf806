#include "AppFixture.h"
#include "Clock.h"
#include "CommSetup.h"
#include "SimTransmitter.h"
#include "FolderWindows.h"
#include "MessageBoxPrompter.h"
#include "MenuTags.h"
#include "TfrmTarvineDebug.h"
#include "TraceLog.h"
#include "WindowRegistry.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "DefaultImage.h"
#include "QtSerialControl.h"
#include "ScriptedSerialControl.h"
#include "SimulateMode.h"
#include "TfrmUnitID.h"

TEST_F(AppFixture, StartsConnectedAndIdentifiesTheTransmitter)
{
    start();
    EXPECT_TRUE(main->link().portOpen());
    EXPECT_TRUE(prompter.texts.isEmpty()) << prompter.texts.join('|').toStdString();
    EXPECT_EQ(TfrmMain::bitmapName(main->bmpOPN), "CommLedGreen");
    EXPECT_EQ(TfrmMain::bitmapName(main->bmpTX), "CommLedGray");
    EXPECT_EQ(TfrmMain::bitmapName(main->bmpRX), "CommLedGray");
    EXPECT_EQ(main->btnComStatus->toolTip(), "Port Opened");
    EXPECT_EQ(main->pnlTag->text(), QString("TAG: %1, Ostrel").arg(DefaultImage::Tag));
    EXPECT_EQ(main->pnlID->text(), "ID: 247");
    EXPECT_EQ(main->pnlMode->text(), "ASCII");
    EXPECT_EQ(main->pnlComm->text(), "COM1: 9600,N,8,1");
    EXPECT_EQ(main->session().deviceModel(), "Ostrel");
    EXPECT_EQ(main->session().hardwareInfo().size(), 244);

    // default.bin holds the built-in image.
    QFile bin(dir.filePath("default.bin"));
    ASSERT_TRUE(bin.open(QIODevice::ReadOnly));
    EXPECT_EQ(bin.readAll(), defaultConfigurationImage());

    // The status button closes and reopens the port and the indicators follow.
    main->btnComStatus->click();
    EXPECT_FALSE(main->link().portOpen());
    EXPECT_EQ(TfrmMain::bitmapName(main->bmpOPN), "CommLedGray");
    EXPECT_EQ(main->btnComStatus->toolTip(), "Port Closed");
    main->btnComStatus->click();
    EXPECT_TRUE(main->link().portOpen());
    EXPECT_GT(main->link().Read_Regs(0, 2), 0);

    // The button's hint in the status panel follows the port; it never contradicts it.
    main->pnlStatus->setText("Port Opened");
    main->btnComStatus->click();
    EXPECT_EQ(main->pnlStatus->text(), "Port Closed");
    main->btnComStatus->click();
    EXPECT_EQ(main->pnlStatus->text(), "Port Opened");

    // A device path widens the port panel so the line settings stay visible.
    CommSettings usb = main->link().settings();
    usb.port = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    main->link().setSettings(usb);
    EXPECT_TRUE(main->pnlComm->text().endsWith(": 9600,N,8,1")) << main->pnlComm->text().toStdString();
    EXPECT_GE(main->pnlComm->width(), main->pnlComm->fontMetrics().horizontalAdvance(main->pnlComm->text()));
}


TEST_F(AppFixture, WithoutSettingsFileUsesPortOneAndSaysSoWhenItCannotOpen)
{
    // Port 1 as on a machine without it.
    auto *port = new ScriptedSerialControl;
    port->failNextOpen(QStringLiteral("No such file or directory"));
    main = std::make_unique<TfrmMain>(port, dir.path());
    main->firstActivation();
    EXPECT_FALSE(main->link().portOpen());
    EXPECT_EQ(port->openedPort(), "1");
    EXPECT_EQ(TfrmMain::bitmapName(main->bmpOPN), "CommLedGray");
    EXPECT_EQ(main->pnlID->text(), "ID: 247");
    EXPECT_EQ(main->pnlMode->text(), "ASCII");
    EXPECT_EQ(main->pnlComm->text(), "COM1: 9600,N,8,1");
    EXPECT_TRUE(prompter.shown("Open Com Port Error: Check unit, cabling, or No such file or directory"));
    EXPECT_TRUE(prompter.shown("No TARVINE.INI was found")) << prompter.texts.join('|').toStdString();
    EXPECT_TRUE(prompter.shown("port 1, 9600,N,8,1, ASCII, unit ID 247"));
    // The first request afterwards says why it cannot be sent.
    prompter.texts.clear();
    EXPECT_EQ(main->link().Read_Regs(0, 2), 0);
    EXPECT_TRUE(prompter.shown("Comm Port must be open")) << prompter.texts.join('|').toStdString();
}

TEST_F(AppFixture, BadIdInSettingsFileIsNamedAndTheDefaultUsed)
{
    QFile ini(dir.filePath("tarvine.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Comm Settings]\r\nPort=1\r\nID=twelve\r\n");
    ini.close();
    start('N', false);
    EXPECT_TRUE(prompter.shown("ID \"twelve\""));
    EXPECT_TRUE(main->link().portOpen());
    EXPECT_EQ(main->pnlID->text(), "ID: 247");
}

TEST_F(AppFixture, PageNavigationFollowsTheAccessLevel)
{
    start();
    // Level 0: every programming button but SYS is refused with the level shown.
    loginAs(0);
    for (QToolButton *b : {main->btnProgram, main->btnCalibration, main->btnDiagnostics, main->btnConfiguration}) {
        prompter.texts.clear();
        b->click();
        EXPECT_EQ(prompter.texts, QStringList{"Level 1 (Viewer Access) Required: 0"}) << b->objectName().toStdString();
        EXPECT_EQ(main->currentPage(), MenuPages::MainPage);
    }

    // Level 2: SYS from the main page says so and lands on the Program page...
    main->session().setLoggedIn(false);
    loginAs(2);
    prompter.texts.clear();
    main->btnSystem->click();
    EXPECT_EQ(prompter.texts, QStringList{"Level 3 (Administrator Access) Required"});
    EXPECT_EQ(main->currentPage(), MenuPages::ProgramPage);
    EXPECT_EQ(main->windowTitle(), "Tarvine - [Program]");
    EXPECT_EQ(main->menuBar(), main->menus().bar(MenuPages::ProgramPage));
    // ...and from the Program page it stays there.
    main->btnSystem->click();
    EXPECT_EQ(main->currentPage(), MenuPages::ProgramPage);

    main->btnCalibration->click();
    EXPECT_EQ(main->currentPage(), MenuPages::CalibrationPage);
    EXPECT_EQ(main->windowTitle(), "Tarvine - [Program - Calibration]");
    main->menus().action(MenuPages::CalibrationPage, MenuTag::Program)->trigger();
    EXPECT_EQ(main->currentPage(), MenuPages::ProgramPage);

    // "Up" on the Program page logs out; the next page asks for a login again.
    main->menus().action(MenuPages::ProgramPage, MenuTag::Up)->trigger();
    EXPECT_EQ(main->currentPage(), MenuPages::MainPage);
    EXPECT_EQ(main->windowTitle(), "Tarvine 2nd Edition");
    EXPECT_FALSE(main->session().loggedIn());
    EXPECT_EQ(main->session().accessLevel(), 0);
    int logins = 0;
    main->services().login = [&logins](QWidget *, Session &) {
        ++logins;
        return false; // cancelled
    };
    main->btnProgram->click();
    EXPECT_EQ(logins, 1);
    EXPECT_EQ(main->currentPage(), MenuPages::MainPage);

    // Level 3 reaches the System page with its diagnostics menu.
    loginAs(3);
    main->btnSystem->click();
    EXPECT_EQ(main->currentPage(), MenuPages::SystemPage);
    EXPECT_TRUE(main->menus().systemDiagnosticsMenu->menuAction()->isVisible());

    // Every page switch kept the five bars alive.
    QList<QPointer<QMenuBar>> bars;
    for (int p = 0; p < MenuPages::PageCount; ++p)
        bars << main->menus().bar(MenuPages::Page(p));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QPointer<QMenuBar> &bar : bars)
        EXPECT_FALSE(bar.isNull());
    main->btnMain->click();
    EXPECT_EQ(main->currentPage(), MenuPages::MainPage);
    EXPECT_TRUE(main->session().loggedIn()) << "MAIN does not log out";
}

TEST_F(AppFixture, Krm410ItemsAreDisabledAndComeBackForAnotherUnit)
{
    // The model rule on items whose windows exist (a stand-in where one is not built yet).
    if (!WindowRegistry::contains(MenuTag::CfgAnalogOutputs))
        WindowRegistry::registerWindow(MenuTag::CfgAnalogOutputs,
                                       [](const WindowContext &c, int) { return new QDialog(c.parent); });
    start('R');
    new FolderWindows(*main);
    EXPECT_EQ(main->session().deviceModel(), "KRM410");
    EXPECT_EQ(main->pnlTag->text(), QString("TAG: %1, KRM410").arg(DefaultImage::Tag));
    MenuPages &m = main->menus();
    emit m.outputsMenu->aboutToShow();
    emit m.processVariablesMenu->aboutToShow();
    loginAs(2);
    main->btnConfiguration->click();
    main->btnCalibration->click();
    for (QAction *a : {m.cfgAnalogOutputs, m.cfgOptionCard, m.viewOutputs, m.viewNetOil, m.cfgBatch, m.cfgDisplay,
                       m.calAnalog})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();

    main->session().setDeviceModel("Ostrel");
    emit m.outputsMenu->aboutToShow();
    EXPECT_TRUE(m.cfgAnalogOutputs->isEnabled());
    EXPECT_TRUE(m.cfgOptionCard->isEnabled());
    EXPECT_FALSE(m.viewOutputs->isEnabled()) << "changes only when its own menu opens";
    emit m.processVariablesMenu->aboutToShow();
    EXPECT_TRUE(m.viewOutputs->isEnabled());
}

TEST_F(AppFixture, DispatchOpensRegisteredWindowsModallyAndDestroysThem)
{
    start();
    QPointer<QDialog> opened;
    int seenTag = 0;
    WindowRegistry::registerWindow(9001, [&](const WindowContext &c, int tag) -> QDialog * {
        seenTag = tag;
        EXPECT_EQ(&c.link, &main->link());
        auto *d = new QDialog(c.parent);
        opened = d;
        QTimer::singleShot(0, d, [d] { d->done(7); });
        return d;
    });
    main->dispatch(9001);
    EXPECT_EQ(seenTag, 9001);
    EXPECT_EQ(main->lastModalResult(), 7);
    EXPECT_TRUE(opened.isNull()) << "destroyed once closed";
    main->dispatch(3); // a page tag: nothing opens
    EXPECT_EQ(main->lastModalResult(), 7);
}

TEST_F(AppFixture, AnItemChosenWhileARequestWaitsOpensAfterTheStartUpIdentification)
{
    // The window records what the link and session looked like when it opened.
    bool openedDuringAWait = true;
    QString modelWhenOpened;
    int opened = 0;
    WindowRegistry::registerWindow(9002, [&](const WindowContext &c, int) -> QDialog * {
        ++opened;
        openedDuringAWait = !c.link.ReplyDone();
        modelWhenOpened = c.session.deviceModel();
        EXPECT_GT(c.link.Read_Regs(2406, 8), 0);
        auto *d = new QDialog(c.parent);
        QTimer::singleShot(0, d, [d] { d->done(0); });
        return d;
    });
    // Chosen from a timer, as a click would be, while an identification request waits.
    QTimer chooser;
    chooser.setInterval(0);
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        if (main && !main->link().ReplyDone()) {
            chooser.stop();
            main->itemChosen(9002);
        }
    });
    chooser.start();
    start();
    EXPECT_FALSE(chooser.isActive()) << "no request waited";
    EXPECT_EQ(opened, 0) << "not inside the start-up connection";
    for (int i = 0; i < 100 && opened == 0; ++i)
        QTest::qWait(5);
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(openedDuringAWait);
    EXPECT_EQ(modelWhenOpened, "Ostrel");
    EXPECT_EQ(main->session().deviceModel(), "Ostrel");
    EXPECT_EQ(main->pnlTag->text(), QString("TAG: %1, Ostrel").arg(DefaultImage::Tag));
}

TEST_F(AppFixture, ResetDefaultsAndReboot)
{
    start();
    main->link().image().setU8At(2 * 2401, 5);
    prompter.answers = {Prompter::IdCancel};
    main->itemChosen(MenuTag::SysResetDefaults);
    EXPECT_EQ(prompter.texts.last(), "Press OK to reset to Factory Defaults.\rPress CANCEL to abort");
    EXPECT_EQ(main->link().image().u8At(2 * 2401), 5) << "cancelled";

    prompter.texts.clear();
    main->itemChosen(MenuTag::SysResetDefaults);
    EXPECT_EQ(prompter.texts.last(), "Factory Defaults Loaded");
    EXPECT_EQ(main->link().image().bytes(), defaultConfigurationImage());

    main->itemChosen(MenuTag::SysReboot);
    EXPECT_EQ(prompter.texts.last(), "System Rebooted");
    EXPECT_EQ(prompter.titles.last(), "Reboot Ostrel System");
}

TEST_F(AppFixture, EscapeSetsTheAbortFlagAndStillClosesMenusAndBoxes)
{
    start();
    main->show();
    EXPECT_FALSE(main->session().abortRequested());
    QTest::keyClick(main->pnlStatus, Qt::Key_Escape);
    EXPECT_TRUE(main->session().abortRequested());

    // A message box and a dialog close on Escape as they always do.
    MessageBoxPrompter boxes;
    const std::function<void()> opens[] = {
        [&] { boxes.messageBox("Press Escape", "Tarvine 2", Prompter::Information, Prompter::OK | Prompter::Cancel, 0); },
        [&] { QDialog(main.get()).exec(); },
    };
    for (const auto &open : opens) {
        main->session().setAbort(false);
        bool forced = false;
        QTimer fallback;   // closes what Escape left open, so a failure cannot hang the test
        fallback.setSingleShot(true);
        QObject::connect(&fallback, &QTimer::timeout, [&] {
            forced = true;
            if (QWidget *w = QApplication::activeModalWidget())
                w->close();
        });
        fallback.start(3000);
        QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
        open();
        EXPECT_FALSE(forced);
        EXPECT_TRUE(main->session().abortRequested());
    }
    QMenu *file = main->menus().filePopup();
    file->popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
    QTest::keyClick(file, Qt::Key_Escape);
    EXPECT_FALSE(file->isVisible());
}

TEST_F(AppFixture, DiagnosticsWindowShowsTraceSinceStartAndSavesIt)
{
    trace("before the window opened");
    start();
    main->menus().openDiagnosticsWindow->trigger();
    TfrmTarvineDebug *debug = main->diagnosticsWindow();
    ASSERT_TRUE(debug->isVisible());
    EXPECT_EQ(debug->windowTitle(), "Tarvine Diagnostics");
    trace("after it opened");
    const QString memo = debug->MemoCtl->toPlainText();
    EXPECT_TRUE(memo.contains("before the window opened"));
    EXPECT_TRUE(memo.contains("after it opened"));
    EXPECT_TRUE(QRegularExpression(R"(\d\d:\d\d:\d\d\.\d\d\d  after it opened)").match(memo).hasMatch());

    prompter.saveName = dir.filePath("trace.txt");
    debug->btnSave->click();
    QFile saved(prompter.saveName);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("after it opened"));

    prompter.saveName = "/proc/nowhere/trace.txt";
    debug->btnSave->click();
    EXPECT_TRUE(prompter.shown("Cannot write"));
}

TEST_F(AppFixture, DeclinedTermsCloseTheWindowAfterStartUp)
{
    simulator = std::make_unique<sim::Simulator>();
    main = std::make_unique<TfrmMain>(new sim::SimSerialControl(simulator->transmitter()), dir.path());
    main->session().setLoggedIn(true);
    main->session().setAccessLevel(3);
    int asked = 0;
    main->services().disclaimer = [&asked](QWidget *) {
        ++asked;
        return false;
    };
    main->show();
    for (int i = 0; i < 200 && main->isVisible(); ++i)
        QTest::qWait(10);
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(main->session().loggedIn());
    EXPECT_EQ(main->session().accessLevel(), 0);
    main->firstActivation(); // only once per run
    EXPECT_EQ(asked, 1);
}

TEST_F(AppFixture, FileItemsRunTheConfigurationCommands)
{
    start();
    new FolderWindows(*main);
    prompter.saveName = dir.filePath("image.bin");
    main->menus().filePopup()->actions().at(3)->trigger(); // Save to Binary File
    QFile saved(prompter.saveName);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << prompter.texts.join('|').toStdString();
    EXPECT_EQ(saved.readAll(), main->link().image().bytes());
}
namespace {
// Chooses Upload from the menu, answers its unit-ID question, and calls duringTransfer
// every millisecond until the upload has ended.
void uploadWatching(TfrmMain &main, const std::function<void()> &duringTransfer)
{
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto *unitId = qobject_cast<TfrmUnitID *>(QApplication::activeModalWidget()))
            unitId->btnOK->click();
        else
            duringTransfer();
    });
    watch.start();
    main.itemChosen(MenuTag::UploadFromUnit);
}
}  // namespace

// The progress shows whole in the status panel; nothing chosen, clicked or closed
// meanwhile stops the transfer or opens another window.
TEST_F(AppFixture, ATransferShowsItsProgressAndNothingThatTalksClosesOrEndsCutsItShort)
{
    start();
    new FolderWindows(*main);
    main->session().setAccessLevel(Session::Administrator);
    auto *bar = main->findChild<QProgressBar *>(QStringLiteral("prgTransfer"));
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isHidden());
    main->show();
    const std::function<void()> attempts[] = {
        [&] { main->itemChosen(MenuTag::ViewMeasurements); },
        [&] { main->btnComStatus->click(); },
        [&] { main->btnMain->click(); },
        [&] { main->btnProgram->click(); },
        [&] { main->btnConfiguration->click(); },
        [&] { QTest::mouseDClick(main->pnlID, Qt::LeftButton); },
        [&] { main->btnExit->click(); },   // answered No below
        [&] { main->close(); },            // the title bar's close box
    };
    size_t tried = 0;
    int blocksDone = 0, maxShown = 0;
    QString cutText;   // a progress text the panel could not show whole
    uploadWatching(*main, [&] {
        const QString text = main->pnlStatus->text();
        if (!bar->isHidden()) {
            maxShown = std::max(maxShown, bar->maximum());
            if (main->pnlStatus->fontMetrics().horizontalAdvance(text) > main->pnlStatus->contentsRect().width())
                cutText = text;
        }
        if (tried < std::size(attempts) && text.startsWith("Retrieving")) {
            prompter.answers = {tried >= 6 ? Prompter::IdNo : Prompter::IdOK};
            attempts[tried++]();
        }
        if (text.startsWith("Retrieving 128"))
            blocksDone = 128;
    });
    EXPECT_EQ(tried, std::size(attempts));
    EXPECT_EQ(blocksDone, 128) << main->pnlStatus->text().toStdString();
    EXPECT_EQ(maxShown, 128);
    EXPECT_TRUE(cutText.isEmpty()) << cutText.toStdString();
    EXPECT_TRUE(bar->isHidden()) << "hidden again once the transfer ended";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the measurement view was not opened";
    EXPECT_TRUE(main->link().portOpen());
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->currentPage(), MenuPages::MainPage);
    EXPECT_TRUE(prompter.texts.contains("A configuration transfer is running.\rWait until it ends, or press Esc to stop it."))
        << prompter.texts.join('|').toStdString();
    EXPECT_TRUE(prompter.texts.contains("A configuration transfer is running.\rStop it and exit Tarvine?"));

    // Exit answered Yes stops the transfer between two blocks, then ends the program.
    uploadWatching(*main, [&] {
        if (main->pnlStatus->text().startsWith("Retrieving 5 ")) {
            prompter.answers = {Prompter::IdYes};
            main->btnExit->click();
        }
    });
    QCoreApplication::processEvents();
    EXPECT_TRUE(main->pnlStatus->text().startsWith("Upload aborted after")) << main->pnlStatus->text().toStdString();
    EXPECT_FALSE(main->isVisible());
    EXPECT_FALSE(main->link().portOpen());
}

TEST_F(AppFixture, EveryMenuItemOpensItsWindowOrSaysItIsNotAvailable)
{
    start();
    new FolderWindows(*main);
    main->refreshAvailableItems();
    QSet<int> unavailable;
    int windows = 0;
    for (int page = 0; page < MenuPages::PageCount; ++page) {
        for (QAction *a : main->menus().bar(MenuPages::Page(page))->findChildren<QAction *>()) {
            const QVariant tag = a->property("tag");
            if (!tag.isValid() || tag.toInt() == MenuTag::CfgFaultOutput
                || tag.toInt() == MenuTag::SysChangeOstrelPassword)
                continue;
            if (a->toolTip() == "This function is not available in this version.") {
                EXPECT_FALSE(a->isEnabled()) << tag.toInt();
                unavailable.insert(tag.toInt());
                continue;
            }
            if (!WindowRegistry::contains(tag.toInt()))
                continue;  // the main window's own action
            std::unique_ptr<QDialog> w(
                WindowRegistry::create(tag.toInt(), {main->link(), main->session(), main.get(), {}, {}}));
            // Totalizer reset is one modeless window that shows itself.
            if (tag.toInt() != MenuTag::CfgTotalizers) {
                ASSERT_NE(w, nullptr) << tag.toInt();
                EXPECT_FALSE(w->objectName().isEmpty()) << tag.toInt();
            }
            ++windows;
        }
    }
    // The about box and the account dialogs come with the program's services, which
    // this fixture leaves out.
    unavailable -= QSet<int>{MenuTag::About, MenuTag::SysAddUser, MenuTag::SysChangePassword};
    EXPECT_EQ(unavailable, QSet<int>{});
    EXPECT_GE(windows, 25);
}

TEST_F(AppFixture, DoubleClicksOnPanelsAndIndicator)
{
    start();
    QString opened;
    auto closeModal = [&opened] {
        QTimer::singleShot(0, [&opened] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                opened = w->metaObject()->className();
                w->close();
            }
        });
    };
    closeModal();
    QTest::mouseDClick(main->pnlID, Qt::LeftButton);
    EXPECT_TRUE(opened.isEmpty()) << "below level 3 nothing opens";

    main->session().setAccessLevel(Session::Administrator);
    closeModal();
    QTest::mouseDClick(main->pnlMode, Qt::LeftButton);
    EXPECT_EQ(opened, "TfrmModbusTest");

    QTest::mouseDClick(main->bmpOPN, Qt::LeftButton);
    EXPECT_EQ(prompter.texts.last(), "Main:: Incorrect password");
}

TEST(SimulateMode, ProgramTalksToTheSimulatorOverAPseudoTerminal)
{
    TestPrompter prompter;
    QTemporaryDir dir;
    SimulateMode simulation;
    QString error;
    ASSERT_TRUE(simulation.start(dir.path(), &error)) << error.toStdString();
    EXPECT_TRUE(simulation.devicePath().startsWith("/dev/pts/"));
    EXPECT_EQ(CommSettingsFile(dir.path()).load().port, simulation.devicePath());

    TfrmMain main(new QtSerialControl, dir.path());
    main.firstActivation();
    EXPECT_TRUE(main.link().portOpen()) << prompter.texts.join('|').toStdString();
    EXPECT_EQ(main.pnlComm->text(), simulation.devicePath() + ": 9600,N,8,1");
    EXPECT_EQ(main.pnlTag->text(), QString("TAG: %1, Ostrel").arg(DefaultImage::Tag));
    // The simulated process runs in this same thread: its mass rate moves.
    ASSERT_GT(main.link().Read_Regs(252, 4), 0);
    EXPECT_GT(main.link().image().f64At(2 * 252), 0.0);
    EXPECT_TRUE(prompter.texts.isEmpty());
}

TEST_F(AppFixture, FailedIdentificationKeepsWhatWasKnown)
{
    start();
    const QString panel = main->pnlTag->text();
    sim::Faults silent;
    silent.noReply = true;
    simulator->transmitter()->setFaults(silent);
    ManualClock clock;
    Clock::install(&clock);
    QTimer::singleShot(20, [&clock] { clock.advance(ModbusLink::NoResponseMs); });
    const bool identified = main->comm().identifier().identify();
    Clock::install(nullptr);
    EXPECT_FALSE(identified);
    EXPECT_EQ(main->session().deviceModel(), "Ostrel");
    EXPECT_EQ(main->session().tag(), DefaultImage::Tag);
    EXPECT_EQ(main->pnlTag->text(), panel);
    EXPECT_TRUE(prompter.shown("No response from Unit"));
    EXPECT_FALSE(main->link().portOpen());
    EXPECT_EQ(TfrmMain::bitmapName(main->bmpOPN), "CommLedGray");
}

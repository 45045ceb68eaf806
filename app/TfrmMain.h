#pragma once

#include "MenuPages.h"
#include "ModbusLink.h"
#include "Session.h"
#include "TfrmCommPort.h"
#include "TfrmTarvineDebug.h"

#include <QMainWindow>
#include <QPointer>

#include <deque>
#include <functional>
#include <map>
#include <memory>

class ClockTimer;
class CommSetup;
class EscapeFilter;
class QDialog;
class QLabel;
class QProgressBar;
class QToolButton;
class SerialControl;
class TfrmCommPort;
class TfrmTarvineDebug;
struct WindowContext;

// The program's permanent window: tool bar, picture, status panels and the five
// menu pages. It owns the serial control, the link with its register image and
// the session, and opens every other window by menu tag.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    // Services of the accounts and information windows, installed by the program
    // (tests install their own).
    struct Services {
        // Shows the login dialog and updates the session; false when cancelled.
        std::function<bool(QWidget *parent, Session &session)> login;
        std::function<void(QWidget *parent, Session &session)> addUser;
        std::function<void(QWidget *parent)> changePassword;
        // The terms of use at start; false when the program is to end.
        std::function<bool(QWidget *parent)> disclaimer;
        std::function<void(QWidget *parent)> acknowledgements;
        // The current user may open the acknowledgements.
        std::function<bool(const Session &session)> mayOpenAcknowledgements;
        std::function<void(QWidget *parent, int helpContext)> help;
    };

    // serial is taken over; workDir holds TARVINE.INI and default.bin.
    TfrmMain(SerialControl *serial, const QString &workDir, QWidget *parent = nullptr);
    ~TfrmMain() override;

    ModbusLink &link() { return m_link; }
    Session &session() { return m_session; }
    CommSetup &comm() { return *m_comm; }
    Services &services() { return m_services; }
    QString workDir() const { return m_workDir; }
    MenuPages &menus() { return *m_menus; }
    MenuPages::Page currentPage() const { return m_page; }
    TfrmCommPort *commPortWindow() const { return m_commPort; }
    TfrmTarvineDebug *diagnosticsWindow() const { return m_debug; }
    int lastModalResult() const { return m_lastModalResult; }
    int helpContext() const { return m_helpContext; }

    // Runs what the first showing of the window runs (the start-up connection,
    // clearing the login, the disclaimer); later calls do nothing.
    void firstActivation();
    // The menu item or tool button with tag was chosen.
    void itemChosen(int tag);
    // Page navigation guarded by login and access level.
    void pageCheck(int tag);
    void showMainPage(bool logout);
    // Opens the window registered for tag modally and destroys it afterwards.
    void dispatch(int tag);
    // An item that runs a command rather than opening a window (the file items).
    void setAction(int tag, std::function<void()> action) { m_actions[tag] = std::move(action); }
    void refreshPortPanels();
    void showStatus(const QString &text);
    // Progress of a long operation next to pnlStatus; steps 0 hides it.
    void showProgress(int step, int steps);
    // While a transfer runs every action that talks to the transmitter, closes the
    // port or ends the program is refused (Exit asks whether to stop it first).
    void setTransferRunning(bool on);
    // Whether choosing tag does something in this build: an action of the main
    // window or a registered window. Items without one are disabled.
    bool itemAvailable(int tag) const;
    void refreshAvailableItems();
    void adjustModelItems(QAction *item);

    // Status panels and indicators (named as the program's users know them).
    QLabel *pnlStatus = nullptr;
    QLabel *pnlTag = nullptr;
    QLabel *pnlID = nullptr;
    QLabel *pnlMode = nullptr;
    QLabel *pnlComm = nullptr;
    QLabel *pnlTime = nullptr;
    QProgressBar *prgTransfer = nullptr;
    QLabel *bmpOPN = nullptr;
    QLabel *bmpTX = nullptr;
    QLabel *bmpRX = nullptr;
    QLabel *lblCopyRight = nullptr;
    QToolButton *btnComStatus = nullptr;
    QToolButton *btnFile = nullptr;
    QToolButton *btnMain = nullptr;
    QToolButton *btnProgram = nullptr;
    QToolButton *btnCalibration = nullptr;
    QToolButton *btnDiagnostics = nullptr;
    QToolButton *btnConfiguration = nullptr;
    QToolButton *btnSystem = nullptr;
    QToolButton *btnHelp = nullptr;
    QToolButton *btnExit = nullptr;

    // Name of the indicator bitmap a label shows ("CommLedGreen", ...).
    static QString bitmapName(const QLabel *indicator);

public slots:
    void btnComStatusClick();
    void bringToFront();
    void exitProgram();
    void openDiagnosticsWindow();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildToolBar();
    void buildPicture();
    void buildStatusBar();
    void connectLink();
    void installDefaultImage();
    void setBitmap(QLabel *label, const QString &name);
    void showPage(MenuPages::Page page);
    void resetOrReboot(int tag);
    void openCommPort(int tag);
    void openModbusTest();
    void openTraffic();
    void updateClock();
    // Keeps an item chosen while a request waits (or the start-up connection runs)
    // for later; false when it may run now.
    bool queuedWhileBusy(std::function<void()> item);
    void runQueuedItem();
    WindowContext windowContext();
    // True (after saying so) while a transfer runs.
    bool refusedDuringTransfer();

    std::unique_ptr<SerialControl> m_serialOwner; // outlives the link that uses it
    Session m_session;
    ModbusLink m_link;
    QString m_workDir;
    CommSetup *m_comm = nullptr;
    MenuPages *m_menus = nullptr;
    MenuPages::Page m_page = MenuPages::MainPage;
    EscapeFilter *m_escape = nullptr;
    ClockTimer *m_clock = nullptr;
    Services m_services;
    std::map<int, std::function<void()>> m_actions;
    QPointer<TfrmCommPort> m_commPort;
    QPointer<TfrmTarvineDebug> m_debug;
    QPointer<class TfrmTraffic> m_traffic;
    std::deque<std::function<void()>> m_queuedItems;
    bool m_startingUp = false;
    bool m_firstActivation = true;
    bool m_dispatching = false;
    bool m_transferRunning = false;
    bool m_exitAfterTransfer = false;
    int m_lastModalResult = 0;
    int m_helpContext = 0;
};

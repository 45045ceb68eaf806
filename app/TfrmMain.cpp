#include "TfrmMain.h"

#include "BusyCursor.h"
#include "Clock.h"
#include "CommSetup.h"
#include "DefaultImage.h"
#include "EscapeFilter.h"
#include "MenuTags.h"
#include "OperationRecord.h"
#include "NumberFormat.h"
#include "UnitsLink.h"
#include "Prompter.h"
#include "SerialControl.h"
#include "TfrmCommPort.h"
#include "TfrmTarvineDebug.h"
#include "TfrmTraffic.h"
#include "WindowRegistry.h"

#include "frmModbusTest.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSaveFile>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTime>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const char *BitmapProperty = "bitmapName";
const QString NotAvailable = QStringLiteral("This function is not available in this version.");
constexpr int ClockIntervalMs = 2000;
constexpr int PortPanelWidth = 120;
constexpr int TagPanelWidth = 136;

// A panel at least minWidth wide that grows with its text, so a long device path
// or a tag of twenty characters stays whole.
void setPanelText(QLabel *panel, const QString &text, int minWidth)
{
    panel->setText(text);
    panel->setFixedWidth(std::max(minWidth, panel->fontMetrics().horizontalAdvance(text) + 12));
}
constexpr int LoadDefaultsCoil = 41;
constexpr int SystemRebootCoil = 40;
constexpr int MiscInfoTagOffset = 2 * 578; // CfgMiscInfo.Tag
constexpr int TagLength = 20;
} // namespace

TfrmMain::TfrmMain(SerialControl *serial, const QString &workDir, QWidget *parent)
    : QMainWindow(parent), m_serialOwner(serial), m_link(serial, &m_session), m_workDir(workDir)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(MenuPages::caption(MenuPages::MainPage));
    resize(822, 583);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    setStyleSheet(QStringLiteral("QMainWindow { background: black; }"));

    m_session.setUserName(QString());
    m_session.setAbort(false);
    m_link.setCommOverride(false);

    m_escape = new EscapeFilter(m_session, this);
    qApp->installEventFilter(m_escape);

    m_comm = new CommSetup(m_link, m_session, workDir, this);
    m_menus = new MenuPages(this);
    buildToolBar();
    buildPicture();
    buildStatusBar();
    setMenuBar(m_menus->bar(MenuPages::MainPage));
    connectLink();
    installDefaultImage();

    m_commPort = new TfrmCommPort(*m_comm, this);
    m_debug = new TfrmTarvineDebug(this);

    m_clock = new ClockTimer(this);
    m_clock->setInterval(ClockIntervalMs);
    connect(m_clock, &ClockTimer::timeout, this, &TfrmMain::updateClock);
    updateClock();
    m_clock->start();
    refreshPortPanels();
}

TfrmMain::~TfrmMain()
{
    // The link outlives nothing of ours: stop it from updating widgets while it goes.
    disconnect(&m_link, nullptr, this, nullptr);
    disconnect(m_comm, nullptr, this, nullptr);
    qApp->removeEventFilter(m_escape);
    // The installed bar is the window's; hand it back so the pages delete each bar once.
    if (QMenuBar *bar = menuBar())
        bar->setParent(nullptr);
    delete m_menus;
    m_menus = nullptr;
    BusyCursor::set(false);
}

void TfrmMain::installDefaultImage()
{
    const QByteArray image = defaultConfigurationImage();
    m_link.image().setBytes(image);
    const QString path = QDir(m_workDir).filePath(QStringLiteral("default.bin"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size() || !file.commit())
        showMessage(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()),
                    QStringLiteral("Tarvine 2"), Prompter::Error);
    m_session.setTag(m_link.image().textAt(MiscInfoTagOffset, TagLength));
    // Number formats follow the sensor size in the model text, now and after every
    // read of it from a transmitter.
    SelectSizeFormats(m_link.image());
}

namespace {
QToolButton *makeButton(QToolBar *bar, const QString &name, const QString &text, const QString &hint)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setAutoRaise(true);
    b->setMinimumWidth(44);
    bar->addWidget(b);
    return b;
}
} // namespace

void TfrmMain::buildToolBar()
{
    auto *bar = new QToolBar(QStringLiteral("pnlMenu"), this);
    bar->setObjectName(QStringLiteral("pnlMenu"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    addToolBar(Qt::TopToolBarArea, bar);

    btnFile = makeButton(bar, QStringLiteral("btnFile"), QStringLiteral("FILE"), QStringLiteral("File Menu"));
    btnMain = makeButton(bar, QStringLiteral("btnMain"), QStringLiteral("MAIN"), QStringLiteral("Main Menu"));
    btnProgram = makeButton(bar, QStringLiteral("btnProgram"), QStringLiteral("PRG"), QStringLiteral("Programming Menu"));
    btnCalibration =
        makeButton(bar, QStringLiteral("btnCalibration"), QStringLiteral("CAL"), QStringLiteral("Calibration Menu"));
    btnDiagnostics =
        makeButton(bar, QStringLiteral("btnDiagnostics"), QStringLiteral("DIAG"), QStringLiteral("Diagnostics"));
    btnConfiguration = makeButton(bar, QStringLiteral("btnConfiguration"), QStringLiteral("CFG"),
                                  QStringLiteral("Configuration Menu"));
    btnSystem = makeButton(bar, QStringLiteral("btnSystem"), QStringLiteral("SYS"), QStringLiteral("System Menu"));
    bar->addSeparator();
    btnComStatus = makeButton(bar, QStringLiteral("btnComStatus"), QString(), QStringLiteral("Port Closed"));
    btnComStatus->setToolButtonStyle(Qt::ToolButtonIconOnly);
    btnComStatus->setIconSize(QSize(24, 24));
    btnHelp = makeButton(bar, QStringLiteral("btnHelp"), QStringLiteral("?"), QStringLiteral("Help"));
    btnExit = makeButton(bar, QStringLiteral("btnExit"), QStringLiteral("EXIT"), QStringLiteral("Exit Tarvine"));

    auto *spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    auto indicator = [&](const QString &name, const QString &caption, const QString &hint) {
        auto *box = new QWidget(bar);
        auto *layout = new QVBoxLayout(box);
        layout->setContentsMargins(4, 0, 4, 0);
        layout->setSpacing(1);
        auto *image = new QLabel(box);
        image->setObjectName(name);
        image->setToolTip(hint);
        image->setStatusTip(hint);
        image->setAlignment(Qt::AlignCenter);
        auto *label = new QLabel(caption, box);
        label->setAlignment(Qt::AlignCenter);
        QFont small = label->font();
        small.setPointSizeF(small.pointSizeF() * 0.8);
        label->setFont(small);
        layout->addWidget(image);
        layout->addWidget(label);
        bar->addWidget(box);
        setBitmap(image, QStringLiteral("CommLedGray"));
        return image;
    };
    bmpOPN = indicator(QStringLiteral("bmpOPN"), QStringLiteral("RDY"), QStringLiteral("Port Status"));
    bmpTX = indicator(QStringLiteral("bmpTX"), QStringLiteral("TX"), QStringLiteral("Transmit Data"));
    bmpRX = indicator(QStringLiteral("bmpRX"), QStringLiteral("RX"), QStringLiteral("Receive Data"));
    bmpOPN->installEventFilter(this);

    btnProgram->setProperty("tag", MenuTag::Program);
    btnCalibration->setProperty("tag", MenuTag::Calibration);
    btnDiagnostics->setProperty("tag", MenuTag::Diagnostics);
    btnConfiguration->setProperty("tag", MenuTag::Configuration);
    btnSystem->setProperty("tag", MenuTag::System);

    connect(btnFile, &QToolButton::clicked, this,
            [this] { m_menus->filePopup()->popup(btnFile->mapToGlobal(QPoint(0, btnFile->height()))); });
    // Page buttons lead to windows that talk to the transmitter: not during a transfer.
    connect(btnMain, &QToolButton::clicked, this, [this] {
        if (!refusedDuringTransfer())
            showMainPage(false);
    });
    for (QToolButton *page : {btnProgram, btnDiagnostics, btnSystem}) {
        connect(page, &QToolButton::clicked, this, [this, page] {
            if (!refusedDuringTransfer())
                pageCheck(page->property("tag").toInt());
        });
    }
    connect(btnCalibration, &QToolButton::clicked, this, [this] {
        if (refusedDuringTransfer())
            return;
        adjustModelItems(m_menus->calAnalog);
        pageCheck(MenuTag::Calibration);
    });
    connect(btnConfiguration, &QToolButton::clicked, this, [this] { itemChosen(MenuTag::Configuration); });
    connect(btnComStatus, &QToolButton::clicked, this, &TfrmMain::btnComStatusClick);
    connect(btnHelp, &QToolButton::clicked, this, [this] { itemChosen(MenuTag::HelpContents); });
    connect(btnExit, &QToolButton::clicked, this, &TfrmMain::exitProgram);

    connect(m_menus, &MenuPages::itemChosen, this, &TfrmMain::itemChosen);
    connect(m_menus, &MenuPages::openDiagnosticsWindowChosen, this, &TfrmMain::openDiagnosticsWindow);
    connect(m_menus, &MenuPages::openModbusTestChosen, this, [this] {
        // The menu shows for administrators only; a level lowered since is refused here.
        if (refusedDuringTransfer())
            return;
        if (m_session.accessLevel() < Session::Administrator) {
            showMessage(QStringLiteral("Level 3 (Administrator Access) Required"), QStringLiteral("Access Denied"),
                        Prompter::Error);
            return;
        }
        if (!queuedWhileBusy([this] { openModbusTest(); }))
            openModbusTest();
    });
    connect(m_menus, &MenuPages::openTrafficChosen, this, [this] {
        // The Program page needs a Programmer's login; a level lowered since is refused here.
        if (m_session.accessLevel() < Session::Programmer) {
            showMessage(QStringLiteral("Level 2 (Programmer Access) Required"), QStringLiteral("Access Denied"),
                        Prompter::Error);
            return;
        }
        openTraffic();
    });
    connect(m_menus, &MenuPages::processVariablesAboutToShow, this, [this] {
        adjustModelItems(m_menus->viewOutputs);
        adjustModelItems(m_menus->viewNetOil);
    });
    connect(m_menus, &MenuPages::outputsAboutToShow, this, [this] {
        adjustModelItems(m_menus->cfgAnalogOutputs);
        adjustModelItems(m_menus->cfgOptionCard);
    });
}

void TfrmMain::buildPicture()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("picture"));
    central->setStyleSheet(QStringLiteral("#picture { background: black; }"));
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 2);
    auto *picture = new QLabel(central);
    picture->setAlignment(Qt::AlignCenter);
    picture->setPixmap(QPixmap(QStringLiteral(":/images/MainPicture.svg")));
    picture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    lblCopyRight = new QLabel(QStringLiteral("Tarvine %1 - configuration, calibration and monitoring of the Ostrel "
                                             "transmitter")
                                  .arg(QStringLiteral(TARVINE_VERSION)),
                              central);
    lblCopyRight->setObjectName(QStringLiteral("lblCopyRight"));
    lblCopyRight->setAlignment(Qt::AlignHCenter);
    lblCopyRight->setStyleSheet(QStringLiteral("color: #c0c0c0;"));
    layout->addWidget(picture, 1);
    layout->addWidget(lblCopyRight);
    setCentralWidget(central);
}

void TfrmMain::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("pnlStatusGrp"));
    bar->setSizeGripEnabled(false);
    // The window's black background must not swallow the panels' text.
    bar->setStyleSheet(QStringLiteral("QStatusBar { background: #d4d0c8; } QStatusBar QLabel { color: black; }"));
    auto panel = [&](const QString &name, int width) {
        auto *label = new QLabel(bar);
        label->setObjectName(name);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (width > 0)
            label->setFixedWidth(width);
        return label;
    };
    pnlStatus = panel(QStringLiteral("pnlStatus"), 0);
    pnlTag = panel(QStringLiteral("pnlTag"), TagPanelWidth);
    pnlID = panel(QStringLiteral("pnlID"), 48);
    pnlMode = panel(QStringLiteral("pnlMode"), 48);
    pnlComm = panel(QStringLiteral("pnlComm"), PortPanelWidth);
    pnlTime = panel(QStringLiteral("pnlTime"), 80);
    bar->addWidget(pnlStatus, 1);
    // A thin bar along the foot of pnlStatus: the progress text keeps the panel's
    // whole width, and the block names are not cut off.
    prgTransfer = new QProgressBar(pnlStatus);
    prgTransfer->setObjectName(QStringLiteral("prgTransfer"));
    prgTransfer->setTextVisible(false);
    prgTransfer->setFixedHeight(3);
    prgTransfer->hide();
    pnlStatus->setMinimumHeight(pnlStatus->fontMetrics().height() + 10);   // room below the text for the bar
    for (QLabel *l : {pnlTag, pnlID, pnlMode, pnlComm, pnlTime})
        bar->addPermanentWidget(l);
    pnlID->installEventFilter(this);
    pnlMode->installEventFilter(this);
}

void TfrmMain::connectLink()
{
    connect(&m_link, &ModbusLink::requestEnded, this, &TfrmMain::runQueuedItem, Qt::QueuedConnection);
    connect(&m_link, &ModbusLink::txActive, this,
            [this](bool on) { setBitmap(bmpTX, on ? QStringLiteral("CommLedGreen") : QStringLiteral("CommLedGray")); });
    connect(&m_link, &ModbusLink::rxActive, this,
            [this](bool on) { setBitmap(bmpRX, on ? QStringLiteral("CommLedRed") : QStringLiteral("CommLedGray")); });
    connect(&m_link, &ModbusLink::portStateChanged, this, [this](bool open) {
        refreshPortPanels();
        if (!open) {
            setBitmap(bmpTX, QStringLiteral("CommLedGray"));
            setBitmap(bmpRX, QStringLiteral("CommLedGray"));
        }
    });
    connect(&m_link, &ModbusLink::panelsChanged, this, &TfrmMain::refreshPortPanels);
    connect(&m_link, &ModbusLink::statusText, this, &TfrmMain::showStatus);
    connect(&m_link, &ModbusLink::busyCursor, this, [](bool on) { BusyCursor::set(on); });
    ConnectSizeFormats(m_link);
    connect(m_comm, &CommSetup::panelsChanged, this, &TfrmMain::refreshPortPanels);
    connect(&m_comm->identifier(), &TransmitterIdentifier::tagPanelChanged, this,
            [this](const QString &text) { setPanelText(pnlTag, text, TagPanelWidth); });
    connect(&m_comm->identifier(), &TransmitterIdentifier::busy, this, [](bool on) { BusyCursor::set(on); });
    setPanelText(pnlTag, TransmitterIdentifier::tagPanelText(m_session.tag(), m_session.deviceModel()), TagPanelWidth);
    // A tag read from or written to the transmitter names it in the tag panel.
    connect(&m_link, &ModbusLink::deviceTagChanged, this, [this](const QString &tag) {
        m_session.setTag(tag);
        setPanelText(pnlTag, TransmitterIdentifier::tagPanelText(m_session.tag(), m_session.deviceModel()), TagPanelWidth);
    });
}

void TfrmMain::setBitmap(QLabel *label, const QString &name)
{
    label->setProperty(BitmapProperty, name);
    const QSize size = name.startsWith(QLatin1String("CommLed")) ? QSize(16, 9) : QSize(24, 24);
    label->setPixmap(QIcon(QStringLiteral(":/images/%1.svg").arg(name)).pixmap(size));
    label->repaint();
}

QString TfrmMain::bitmapName(const QLabel *indicator)
{
    return indicator->property(BitmapProperty).toString();
}

void TfrmMain::refreshPortPanels()
{
    const bool open = m_link.portOpen();
    btnComStatus->setIcon(QIcon(open ? QStringLiteral(":/images/PortConnect.svg")
                                     : QStringLiteral(":/images/PortDisconnect.svg")));
    btnComStatus->setProperty(BitmapProperty, open ? QStringLiteral("PortConnect") : QStringLiteral("PortDisconnect"));
    const QString hint = open ? QStringLiteral("Port Opened") : QStringLiteral("Port Closed");
    btnComStatus->setToolTip(hint);
    btnComStatus->setStatusTip(hint);
    setBitmap(bmpOPN, open ? QStringLiteral("CommLedGreen") : QStringLiteral("CommLedGray"));

    const CommSettings &s = m_link.settings();
    pnlID->setText(QStringLiteral("ID: ") + QString::number(s.unitId));
    pnlMode->setText(m_link.modePanelText());
    setPanelText(pnlComm, m_link.commPanelText(), PortPanelWidth);
    pnlComm->setToolTip(pnlComm->text());
    // The button's hint left in pnlStatus must not contradict the new state.
    const QString oldHint = open ? QStringLiteral("Port Closed") : QStringLiteral("Port Opened");
    if (pnlStatus->text() == oldHint)
        pnlStatus->setText(hint);
}

void TfrmMain::showStatus(const QString &text)
{
    pnlStatus->setText(text);
    // The panel is one line wide; the whole message stays one hover away.
    pnlStatus->setToolTip(text);
}

void TfrmMain::updateClock()
{
    pnlTime->setText(QLocale().toString(QTime::currentTime(), QLocale::ShortFormat));
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_firstActivation) {
        // After the window has painted, so the user sees it while the port opens.
        QMetaObject::invokeMethod(this, &TfrmMain::firstActivation, Qt::QueuedConnection);
    }
}

void TfrmMain::firstActivation()
{
    if (!m_firstActivation)
        return;
    m_firstActivation = false;
    // Every window has registered by now.
    refreshAvailableItems();
    m_startingUp = true;
    m_comm->startupConnection();
    m_startingUp = false;
    m_session.setLoggedIn(false);
    m_session.setAccessLevel(Session::User);
    if (m_services.disclaimer && !m_services.disclaimer(this))
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    QMetaObject::invokeMethod(this, &TfrmMain::runQueuedItem, Qt::QueuedConnection);
}

bool TfrmMain::queuedWhileBusy(std::function<void()> item)
{
    // A window opened inside a wait would run its event loop there; it opens once
    // the link is idle instead.
    if (m_link.ReplyDone() && !m_startingUp)
        return false;
    m_queuedItems.push_back(std::move(item));
    return true;
}

void TfrmMain::runQueuedItem()
{
    if (m_queuedItems.empty() || !m_link.ReplyDone() || m_startingUp)
        return;
    const std::function<void()> item = std::move(m_queuedItems.front());
    m_queuedItems.pop_front();
    if (!m_queuedItems.empty())
        QMetaObject::invokeMethod(this, &TfrmMain::runQueuedItem, Qt::QueuedConnection);
    item();
}

bool TfrmMain::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent *>(event)->tip();
        if (!tip.isEmpty())
            pnlStatus->setText(tip);
        return true;
    }
    return QMainWindow::event(event);
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick && (watched == pnlID || watched == pnlMode || watched == bmpOPN)
        && refusedDuringTransfer())
        return true;
    if (event->type() == QEvent::MouseButtonDblClick) {
        if ((watched == pnlID || watched == pnlMode) && m_session.accessLevel() >= Session::Administrator) {
            if (!queuedWhileBusy([this] { openModbusTest(); }))
                openModbusTest();
            return true;
        }
        if (watched == bmpOPN) {
            if (m_services.mayOpenAcknowledgements && m_services.mayOpenAcknowledgements(m_session)) {
                if (m_services.acknowledgements)
                    m_services.acknowledgements(this);
            } else {
                showMessage(QStringLiteral("Main:: Incorrect password"), QStringLiteral("Tarvine 2"),
                            Prompter::Warning);
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::adjustModelItems(QAction *item)
{
    if (item)
        item->setEnabled(m_session.deviceModel() != QLatin1String("KRM410")
                         && itemAvailable(item->property("tag").toInt()));
}

bool TfrmMain::itemAvailable(int tag) const
{
    using namespace MenuTag;
    switch (tag) {
    case Program: case Up: case Calibration: case Diagnostics: case Configuration: case System:
    case CfgOptionCard: case Exit: case CfgCommPort: case CommPortPcOnly: case SysResetDefaults: case SysReboot:
    case HelpContents: case HelpOnHelp:
        return true;
    case SysAddUser:
        return bool(m_services.addUser);
    case SysChangePassword:
        return bool(m_services.changePassword);
    default:
        return m_actions.count(tag) > 0 || WindowRegistry::contains(tag);
    }
}

void TfrmMain::refreshAvailableItems()
{
    QList<QAction *> actions = m_menus->filePopup()->actions();
    for (int page = 0; page < MenuPages::PageCount; ++page)
        actions += m_menus->bar(MenuPages::Page(page))->findChildren<QAction *>();
    for (int page = 0; page < MenuPages::PageCount; ++page)
        for (QMenu *menu : m_menus->bar(MenuPages::Page(page))->findChildren<QMenu *>())
            menu->setToolTipsVisible(true);
    m_menus->filePopup()->setToolTipsVisible(true);
    for (QAction *a : std::as_const(actions)) {
        const QVariant tag = a->property("tag");
        // Items that are off by design (Fault Output, the transmitter password) stay so.
        if (!tag.isValid() || tag.toInt() == MenuTag::CfgFaultOutput || tag.toInt() == MenuTag::SysChangeOstrelPassword)
            continue;
        const bool available = itemAvailable(tag.toInt());
        if (!available) {
            a->setEnabled(false);
            a->setToolTip(NotAvailable);
            a->setStatusTip(NotAvailable);
        } else if (a->toolTip() == NotAvailable) {
            a->setEnabled(true);
            a->setToolTip(QString());
            a->setStatusTip(QString(a->text()).remove(QLatin1Char('&')));
        }
    }
}

void TfrmMain::showPage(MenuPages::Page page)
{
    m_page = page;
    refreshAvailableItems();
    if (menuBar() != m_menus->bar(page)) {
        // setMenuBar deletes the bar it replaces: take ours back first.
        if (QMenuBar *old = menuWidget() ? qobject_cast<QMenuBar *>(menuWidget()) : nullptr) {
            old->hide();
            old->setParent(nullptr);
        }
        setMenuBar(m_menus->bar(page));
        m_menus->bar(page)->show();
    }
    setWindowTitle(MenuPages::caption(page));
}

void TfrmMain::showMainPage(bool logout)
{
    if (logout) {
        m_session.setLoggedIn(false);
        m_session.setAccessLevel(Session::User);
    }
    showPage(MenuPages::MainPage);
}

void TfrmMain::pageCheck(int tag)
{
    if (!m_session.loggedIn()) {
        if (!m_services.login) {
            showMessage(QStringLiteral("User accounts are not available in this build."),
                        QStringLiteral("Access Denied"), Prompter::Error);
            return;
        }
        if (!m_services.login(this, m_session))
            return;
    }
    const int level = m_session.accessLevel();
    if (tag != MenuTag::System && level < Session::Viewer) {
        showMessage(QStringLiteral("Level 1 (Viewer Access) Required: ") + QString::number(level),
                    QStringLiteral("Access Denied"), Prompter::Error);
        return;
    }
    if (tag == MenuTag::System && level < Session::Administrator) {
        showMessage(QStringLiteral("Level 3 (Administrator Access) Required"), QStringLiteral("Access Denied"),
                    Prompter::Error);
        if ((level == Session::Viewer || level == Session::Programmer) && m_page == MenuPages::MainPage) {
            tag = MenuTag::Program;
        } else {
            m_menus->systemDiagnosticsMenu->menuAction()->setVisible(false);
            return;
        }
    }
    switch (tag) {
    case MenuTag::Program:
    case MenuTag::Diagnostics:
        showPage(MenuPages::ProgramPage);
        break;
    case MenuTag::Calibration:
        showPage(MenuPages::CalibrationPage);
        break;
    case MenuTag::Configuration:
        showPage(MenuPages::ConfigurationPage);
        break;
    case MenuTag::System:
        m_menus->systemDiagnosticsMenu->menuAction()->setVisible(true);
        showPage(MenuPages::SystemPage);
        break;
    default:
        break;
    }
    dispatch(tag);
}

void TfrmMain::showProgress(int step, int steps)
{
    if (steps <= 0) {
        prgTransfer->hide();
        return;
    }
    prgTransfer->setRange(0, steps);
    prgTransfer->setValue(step);
    prgTransfer->setGeometry(2, pnlStatus->height() - 5, std::max(0, pnlStatus->width() - 4), 3);
    prgTransfer->show();
}

bool TfrmMain::refusedDuringTransfer()
{
    if (!m_transferRunning)
        return false;
    showMessage(QStringLiteral("A configuration transfer is running.\rWait until it ends, or press Esc to stop it."),
                QStringLiteral("Tarvine 2"), Prompter::Information);
    return true;
}

void TfrmMain::setTransferRunning(bool on)
{
    m_transferRunning = on;
    if (!on && m_exitAfterTransfer) {
        m_exitAfterTransfer = false;
        // After the transfer's own wait has returned.
        QMetaObject::invokeMethod(this, &TfrmMain::exitProgram, Qt::QueuedConnection);
    }
}

void TfrmMain::itemChosen(int tag)
{
    // A transfer pumps events while it runs; nothing else may start meanwhile, since
    // it would interleave its requests with the transfer's or close what it uses.
    if (tag == MenuTag::Exit) {
        exitProgram();
        return;
    }
    if (tag != MenuTag::HelpContents && tag != MenuTag::HelpOnHelp && refusedDuringTransfer())
        return;
    if (queuedWhileBusy([this, tag] { itemChosen(tag); }))
        return;
    m_helpContext = tag & 0xFFFF;
    if (const auto action = m_actions.find(tag); action != m_actions.end()) {
        action->second();
        return;
    }
    switch (tag) {
    case MenuTag::Program:
        // "Up" of the sub-pages, "Program..." of the main page.
        if (m_page == MenuPages::CalibrationPage)
            adjustModelItems(m_menus->calAnalog);
        pageCheck(tag);
        return;
    case MenuTag::Configuration:
        adjustModelItems(m_menus->cfgBatch);
        adjustModelItems(m_menus->cfgDisplay);
        pageCheck(tag);
        return;
    case MenuTag::Calibration:
    case MenuTag::Diagnostics:
    case MenuTag::System:
        pageCheck(tag);
        return;
    case MenuTag::Up:
        showMainPage(true);
        return;
    case MenuTag::Exit:
        exitProgram();
        return;
    case MenuTag::CfgCommPort:
    case MenuTag::CommPortPcOnly:
        openCommPort(tag);
        return;
    case MenuTag::SysResetDefaults:
    case MenuTag::SysReboot:
        resetOrReboot(tag);
        return;
    case MenuTag::SysAddUser:
        if (m_services.addUser)
            m_services.addUser(this, m_session);
        return;
    case MenuTag::SysChangePassword:
        if (m_services.changePassword)
            m_services.changePassword(this);
        return;
    case MenuTag::HelpContents:
    case MenuTag::HelpOnHelp:
        if (m_services.help)
            m_services.help(this, tag);
        return;
    default:
        dispatch(tag);
        return;
    }
}

WindowContext TfrmMain::windowContext()
{
    return WindowContext{m_link, m_session, this, [this](const QString &t) { showStatus(t); },
                         [this] { refreshPortPanels(); },
                         [this](QWidget *parent) {
                             TfrmModbusTest console(*m_comm, parent);
                             console.exec();
                             refreshPortPanels();
                         }};
}

void TfrmMain::dispatch(int tag)
{
    if (!WindowRegistry::contains(tag))
        return;
    if (m_dispatching) {
        showStatus(QStringLiteral("Close the open window first."));
        return;
    }
    m_dispatching = true;
    QDialog *window = WindowRegistry::create(tag, windowContext());
    if (window) {
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        m_lastModalResult = window->exec();
        // Destroyed only now that its own event loop has returned.
        delete window;
    }
    m_dispatching = false;
    refreshPortPanels();
}

void TfrmMain::openCommPort(int tag)
{
    m_commPort->FormActivate(tag);
    m_commPort->show();
    m_commPort->raise();
    m_commPort->activateWindow();
}

void TfrmMain::openDiagnosticsWindow()
{
    m_debug->show();
    m_debug->raise();
    m_debug->activateWindow();
}

void TfrmMain::openTraffic()
{
    // Beside the other windows, so it shows what they send; it only watches the link.
    if (!m_traffic) {
        m_traffic = new TfrmTraffic(m_comm->link(), this);
        m_traffic->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_traffic->show();
    m_traffic->raise();
    m_traffic->activateWindow();
}

void TfrmMain::openModbusTest()
{
    if (m_dispatching)
        return;
    m_dispatching = true;
    auto *console = new TfrmModbusTest(*m_comm, this);
    console->exec();
    delete console;
    m_dispatching = false;
    refreshPortPanels();
}

void TfrmMain::resetOrReboot(int tag)
{
    if (!m_link.Comm_Ready())
        return;
    const bool reset = tag == MenuTag::SysResetDefaults;
    const QString caption = reset ? QStringLiteral("Reset Factory Defaults") : QStringLiteral("Reboot Ostrel System");
    const QString question = (reset ? QStringLiteral("Press OK to reset to Factory Defaults.")
                                    : QStringLiteral("Press OK to reboot Ostrel Unit.")) +
                             QStringLiteral("\rPress CANCEL to abort");
    if (showMessage(question, caption, Prompter::Confirmation, Prompter::OK | Prompter::Cancel) == Prompter::IdOK) {
        OperationRecord record(m_link, caption);
        // Loading the defaults may change any setting; a reboot leaves nothing to read back.
        if (reset)
            record.noteConfiguration();
        else
            record.skipReadBack();
        const bool done = m_link.Force_Coil(reset ? LoadDefaultsCoil : SystemRebootCoil, 0xFF00);
        record.finish(done ? HistoryOutcome::Done : HistoryOutcome::Refused,
                      done ? QString() : QStringLiteral("the transmitter did not take the command"));
        if (done && reset) {
            installDefaultImage();
            showMessage(QStringLiteral("Factory Defaults Loaded"), caption, Prompter::Information);
        } else if (done) {
            showMessage(QStringLiteral("System Rebooted"), caption, Prompter::Information);
        }
    }
    refreshPortPanels();
}

void TfrmMain::btnComStatusClick()
{
    if (refusedDuringTransfer())
        return;
    if (m_link.portOpen()) {
        m_link.closePort();
    } else {
        m_comm->openPort();
    }
    refreshPortPanels();
}

void TfrmMain::bringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TfrmMain::exitProgram()
{
    if (m_transferRunning) {
        // The transfer ends between two blocks; the program ends when it has.
        if (showMessage(QStringLiteral("A configuration transfer is running.\rStop it and exit Tarvine?"),
                        QStringLiteral("Exit Tarvine"), Prompter::Confirmation, Prompter::Yes | Prompter::No)
            == Prompter::IdYes) {
            m_exitAfterTransfer = true;
            m_session.setAbort(true);
        }
        return;
    }
    m_link.closePort();
    close();
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (m_transferRunning) {
        event->ignore();
        exitProgram();
        return;
    }
    QMainWindow::closeEvent(event);
}

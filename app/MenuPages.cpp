#include "MenuPages.h"

#include "MenuTags.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {
const char *TagProperty = "tag";
}

MenuPages::MenuPages(QWidget *owner) : QObject(owner)
{
    for (QMenuBar *&bar : m_bars)
        bar = new QMenuBar;
    m_bars[MainPage]->setObjectName(QStringLiteral("mnuMain"));
    m_bars[ProgramPage]->setObjectName(QStringLiteral("mnuProgram"));
    m_bars[CalibrationPage]->setObjectName(QStringLiteral("mnuCalibration"));
    m_bars[ConfigurationPage]->setObjectName(QStringLiteral("mnuConfiguration"));
    m_bars[SystemPage]->setObjectName(QStringLiteral("mnuSystem"));
    buildMain();
    buildProgram();
    buildCalibration();
    buildConfiguration();
    buildSystem();
    buildFilePopup();
}

MenuPages::~MenuPages()
{
    // The bar installed in the window belongs to it; the others are ours.
    for (QMenuBar *bar : m_bars) {
        if (!bar->parent())
            delete bar;
    }
    delete m_filePopup;
}

QString MenuPages::caption(Page page)
{
    switch (page) {
    case MainPage:
        return QStringLiteral("Tarvine 2nd Edition");
    case ProgramPage:
        return QStringLiteral("Tarvine - [Program]");
    case CalibrationPage:
        return QStringLiteral("Tarvine - [Program - Calibration]");
    case ConfigurationPage:
        return QStringLiteral("Tarvine - [Program - Configuration]");
    case SystemPage:
        return QStringLiteral("Tarvine - [Program - System]");
    case PageCount:
        break;
    }
    return {};
}

QAction *MenuPages::item(QMenu *menu, const QString &text, int tag)
{
    QAction *a = menu->addAction(text);
    a->setStatusTip(QString(text).remove(QLatin1Char('&')));
    a->setProperty(TagProperty, tag);
    connect(a, &QAction::triggered, this, [this, tag] { emit itemChosen(tag); });
    return a;
}

QAction *MenuPages::item(QMenuBar *bar, const QString &text, int tag)
{
    QAction *a = bar->addAction(text);
    a->setStatusTip(QString(text).remove(QLatin1Char('&')));
    a->setProperty(TagProperty, tag);
    connect(a, &QAction::triggered, this, [this, tag] { emit itemChosen(tag); });
    return a;
}

QAction *MenuPages::action(Page page, int tag) const
{
    const QList<QAction *> all = m_bars[page]->findChildren<QAction *>();
    for (QAction *a : all) {
        if (a->property(TagProperty).toInt() == tag)
            return a;
    }
    return nullptr;
}

void MenuPages::addFileItems(QMenu *menu, bool programPage)
{
    item(menu, QStringLiteral("Load from &Text File..."), MenuTag::LoadTextFile);
    item(menu, QStringLiteral("&Save to Text File..."), MenuTag::SaveTextFile);
    item(menu, QStringLiteral("Load from &Binary File..."), MenuTag::LoadBinaryFile);
    item(menu, QStringLiteral("Save to Binar&y File..."), MenuTag::SaveBinaryFile);
    menu->addSeparator();
    if (programPage)
        item(menu, QStringLiteral("&Download to Unit"), MenuTag::DownloadToUnit);
    item(menu, QStringLiteral("&Upload from Unit"), MenuTag::UploadFromUnit);
    item(menu, QStringLiteral("&Compare with Unit..."), MenuTag::CompareWithUnit);
    item(menu, QStringLiteral("&History..."), MenuTag::History);
    menu->addSeparator();
    item(menu, QStringLiteral("Pre&view Configuration"), MenuTag::PreviewConfiguration);
    item(menu, QStringLiteral("&Print Configuration"), MenuTag::PrintConfiguration);
    item(menu, QStringLiteral("P&rinter Setup..."), MenuTag::PrinterSetup);
    menu->addSeparator();
    QAction *exit = item(menu, QStringLiteral("E&xit"), MenuTag::Exit);
    exit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
}

void MenuPages::buildMain()
{
    QMenuBar *bar = m_bars[MainPage];
    addFileItems(bar->addMenu(QStringLiteral("&File")), false);
    processVariablesMenu = bar->addMenu(QStringLiteral("Process &Variables"));
    item(processVariablesMenu, QStringLiteral("View &Measurements"), MenuTag::ViewMeasurements);
    viewOutputs = item(processVariablesMenu, QStringLiteral("View &Outputs"), MenuTag::ViewOutputs);
    viewNetOil = item(processVariablesMenu, QStringLiteral("View &NetOil Measurements"), MenuTag::ViewNetOil);
    connect(processVariablesMenu, &QMenu::aboutToShow, this, &MenuPages::processVariablesAboutToShow);
    QMenu *status = bar->addMenu(QStringLiteral("View &Status"));
    item(status, QStringLiteral("View &Alarm Status"), MenuTag::ViewAlarmStatus);
    item(status, QStringLiteral("View &Error Log"), MenuTag::ViewErrorLog);
    item(bar, QStringLiteral("&Well Test"), MenuTag::WellTest);
    item(bar, QStringLiteral("&Program..."), MenuTag::Program);
    item(bar, QStringLiteral("&Comm Port"), MenuTag::CommPortPcOnly);
    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    item(help, QStringLiteral("&Contents"), MenuTag::HelpContents);
    item(help, QStringLiteral("&About..."), MenuTag::About);
    item(help, QStringLiteral("&How to use Help"), MenuTag::HelpOnHelp);
}

void MenuPages::buildProgram()
{
    QMenuBar *bar = m_bars[ProgramPage];
    item(bar, QStringLiteral("&Up"), MenuTag::Up);
    addFileItems(bar->addMenu(QStringLiteral("&File")), true);
    item(bar, QStringLiteral("&Calibration..."), MenuTag::Calibration);
    item(bar, QStringLiteral("&Diagnostics"), MenuTag::Diagnostics);
    item(bar, QStringLiteral("Confi&guration..."), MenuTag::Configuration);
    item(bar, QStringLiteral("&System..."), MenuTag::System);
    openTraffic = bar->addAction(QStringLiteral("&Traffic..."));
    connect(openTraffic, &QAction::triggered, this, &MenuPages::openTrafficChosen);
}

void MenuPages::buildCalibration()
{
    QMenuBar *bar = m_bars[CalibrationPage];
    // "Up" of the programming sub-pages leads back to the Program page.
    item(bar, QStringLiteral("&Up"), MenuTag::Program);
    item(bar, QStringLiteral("&Zero"), MenuTag::CalZero);
    item(bar, QStringLiteral("&Temperature"), MenuTag::CalTemperature);
    item(bar, QStringLiteral("&Density"), MenuTag::CalDensity);
    item(bar, QStringLiteral("&Mass"), MenuTag::CalMass);
    calAnalog = item(bar, QStringLiteral("&Analog"), MenuTag::CalAnalog);
}

void MenuPages::buildConfiguration()
{
    QMenuBar *bar = m_bars[ConfigurationPage];
    item(bar, QStringLiteral("&Up"), MenuTag::Program);
    cfgBatch = item(bar, QStringLiteral("&Batch"), MenuTag::CfgBatch);
    QMenu *info = bar->addMenu(QStringLiteral("Device &Info"));
    item(info, QStringLiteral("Misc Device Info"), MenuTag::CfgMiscDeviceInfo);
    item(info, QStringLiteral("Configuration"), MenuTag::CfgDeviceConfiguration);
    item(info, QStringLiteral("Revision Numbers"), MenuTag::CfgRevisionNumbers);
    item(bar, QStringLiteral("&Alarms"), MenuTag::CfgAlarms);
    cfgDisplay = item(bar, QStringLiteral("&Display"), MenuTag::CfgDisplay);
    item(bar, QStringLiteral("&Xmit Vars"), MenuTag::CfgXmitVars);
    outputsMenu = bar->addMenu(QStringLiteral("&Outputs"));
    cfgAnalogOutputs = item(outputsMenu, QStringLiteral("Analog Outputs"), MenuTag::CfgAnalogOutputs);
    item(outputsMenu, QStringLiteral("Pulse Output"), MenuTag::CfgPulseOutput);
    item(outputsMenu, QStringLiteral("&Comm Port"), MenuTag::CfgCommPort);
    item(outputsMenu, QStringLiteral("Fault Output"), MenuTag::CfgFaultOutput)->setEnabled(false);
    QMenu *option = outputsMenu->addMenu(QStringLiteral("Option Card"));
    cfgOptionCard = option->menuAction();
    cfgOptionCard->setProperty(TagProperty, MenuTag::CfgOptionCard);
    item(option, QStringLiteral("HART"), MenuTag::CfgHart);
    connect(outputsMenu, &QMenu::aboutToShow, this, &MenuPages::outputsAboutToShow);
    item(bar, QStringLiteral("&Totalizers"), MenuTag::CfgTotalizers);
    item(bar, QStringLiteral("&Sensor"), MenuTag::CfgSensor);
}

void MenuPages::buildSystem()
{
    QMenuBar *bar = m_bars[SystemPage];
    item(bar, QStringLiteral("&Up"), MenuTag::Program);
    item(bar, QStringLiteral("&Time/Date"), MenuTag::SysTimeDate);
    QMenu *password = bar->addMenu(QStringLiteral("&Password"));
    item(password, QStringLiteral("Change Ostrel Password"), MenuTag::SysChangeOstrelPassword)->setEnabled(false);
    item(password, QStringLiteral("Add Tarvine User"), MenuTag::SysAddUser);
    item(password, QStringLiteral("Change Tarvine Password"), MenuTag::SysChangePassword);
    QMenu *files = bar->addMenu(QStringLiteral("D&Base/File Mgmt"));
    item(files, QStringLiteral("File Management"), MenuTag::SysFileManagement);
    item(files, QStringLiteral("Download Files"), MenuTag::SysDownloadFiles);
    item(files, QStringLiteral("Reset Defaults"), MenuTag::SysResetDefaults);
    item(files, QStringLiteral("Reboot System"), MenuTag::SysReboot);
    systemDiagnosticsMenu = bar->addMenu(QStringLiteral("Diagnostics"));
    openDiagnosticsWindow = systemDiagnosticsMenu->addAction(QStringLiteral("Open Window"));
    connect(openDiagnosticsWindow, &QAction::triggered, this, &MenuPages::openDiagnosticsWindowChosen);
    openModbusTest = systemDiagnosticsMenu->addAction(QStringLiteral("Modbus &Test Console..."));
    connect(openModbusTest, &QAction::triggered, this, &MenuPages::openModbusTestChosen);
    systemDiagnosticsMenu->menuAction()->setVisible(false);
}

void MenuPages::buildFilePopup()
{
    m_filePopup = new QMenu;
    m_filePopup->setObjectName(QStringLiteral("btnFileMenu"));
    item(m_filePopup, QStringLiteral("Load from &Text File..."), MenuTag::LoadTextFile);
    item(m_filePopup, QStringLiteral("&Save to Text File..."), MenuTag::SaveTextFile);
    item(m_filePopup, QStringLiteral("Load from &Binary File..."), MenuTag::LoadBinaryFile);
    item(m_filePopup, QStringLiteral("Save to Binar&y File..."), MenuTag::SaveBinaryFile);
    m_filePopup->addSeparator();
    item(m_filePopup, QStringLiteral("&Upload to Unit"), MenuTag::DownloadToUnit);
    item(m_filePopup, QStringLiteral("&Download from Unit"), MenuTag::UploadFromUnit);
}

#include "frmDiagnostics.h"

#include "Prompter.h"
#include "Session.h"
#include "frmAnalogOutputTest.h"
#include "frmPulseOutputTest.h"
#include "frmSwitchedOutputTest.h"
#include "frmTubeDriveTest.h"
#include "TitleWidth.h"
#include "ui_frmDiagnostics.h"

TfrmDiagnostics::TfrmDiagnostics(const WindowContext &context, int)
    : OutputTestWindow(context, HelpContext), ui(std::make_unique<Ui::TfrmDiagnostics>())
{
    ui->setupUi(this);
    widenForTitle(this);
    connect(ui->btnPulseTest, &QPushButton::clicked, this, &TfrmDiagnostics::btnPulseTestClick);
    connect(ui->btnDriveTest, &QPushButton::clicked, this, &TfrmDiagnostics::btnDriveTestClick);
    connect(ui->btnOutputs, &QPushButton::clicked, this, &TfrmDiagnostics::btnOutputsClick);
    connect(ui->btnAnalog, &QPushButton::clicked, this, &TfrmDiagnostics::btnAnalogClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
}

TfrmDiagnostics::~TfrmDiagnostics() = default;

void TfrmDiagnostics::FormActivate()
{
    const bool hasOutputs = session().deviceModel() != QLatin1String("KRM410");
    ui->btnOutputs->setEnabled(hasOutputs);
    ui->btnAnalog->setEnabled(hasOutputs);
}

template <typename Window>
void TfrmDiagnostics::openTest()
{
    BusyScope scope(*this);
    Window window(childContext());
    window.exec();
}

void TfrmDiagnostics::btnPulseTestClick()
{
    const int answer = notice(QStringLiteral("WARNING: The Pulse Output Test will override the Pulse       \r"
                                             "         Output Configuration. When OK is clicked, the Pulse \r"
                                             "         Output will STOP and pulses will be lost.           \r"
                                             "         Click OK to continue...   "),
                              QStringLiteral("Pulse Output Test Warning"), Prompter::OK | Prompter::Cancel);
    if (answer == Prompter::IdOK)
        openTest<TfrmPulseOutputTest>();
}

void TfrmDiagnostics::btnDriveTestClick()
{
    openTest<TfrmTubeDriveTest>();
}

void TfrmDiagnostics::btnOutputsClick()
{
    openTest<TfrmSwitchedOutputTest>();
}

void TfrmDiagnostics::btnAnalogClick()
{
    openTest<TfrmAnalogOutputTest>();
}

TARVINE_REGISTER_WINDOW(44, TfrmDiagnostics);

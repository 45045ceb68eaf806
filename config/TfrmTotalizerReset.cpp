#include "TfrmTotalizerReset.h"

#include "OperationRecord.h"

#include "HelpWindow.h"
#include "ModbusLink.h"
#include "Session.h"
#include "ui_frmTotalizerReset.h"

#include <QComboBox>
#include <QPushButton>

// One reset: the coil that resets the total in the transmitter, and either the
// image block to clear once the transmitter accepted it or a block to write zeros
// to before the coil.
struct TfrmTotalizerReset::Step {
    int coil;
    int clearRegister = 0;
    int clearBytes = 16;
    int zeroRegister = 0;
};

namespace {
enum StepIndex { Mass, Volume, StdVol, Conc, NetOil, ProdWater, Batch, Time };
const char *const StepNames[] = {"Mass", "Volume", "Std Volume", "Concentrate", "Net Oil", "Prod. Water", "Batch",
                                 "Time"};

struct Choice {
    const char *text;
    QList<int> steps;  // StepIndex values, in order
};

const QList<Choice> Choices = {
    {"All Totalizers", {Mass, Volume, StdVol, Conc, NetOil, ProdWater, Batch}},
    {"Mass Totalizer", {Mass}},
    {"Volume Totalizer", {Volume}},
    {"Std. Vol. Totalizer", {StdVol}},
    {"Conc. Totalizer", {Conc}},
    {"Net Oil Totalizer", {NetOil}},
    {"Prod. Water Totalizer", {ProdWater}},
    {"Net Vol. Totalizer ", {NetOil, ProdWater}},
    {"Batching Totalizer", {Batch}},
    {"Time", {Time}},
};
constexpr int ReducedChoiceCount = 3;
}  // namespace

const TfrmTotalizerReset::Step TfrmTotalizerReset::Steps[] = {
    {.coil = 55, .clearRegister = 244},
    {.coil = 56, .clearRegister = 279},
    {.coil = 57, .clearRegister = 296},
    {.coil = 58, .clearRegister = 416},
    {.coil = 67, .zeroRegister = 442},
    {.coil = 68, .zeroRegister = 1790},
    {.coil = 59, .clearRegister = 313},
    {.coil = 60, .clearRegister = 321, .clearBytes = 8},
};

QPointer<TfrmTotalizerReset> TfrmTotalizerReset::s_instance;
int TfrmTotalizerReset::s_lastChoice = 0;

TfrmTotalizerReset::TfrmTotalizerReset(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmTotalizerReset>())
{
    ui->setupUi(this);
    setProperty("helpContext", HelpContext);
    // Gone once closed, so the next opening starts afresh.
    connect(this, &QDialog::finished, this, [this] {
        if (s_instance == this)
            s_instance = nullptr;
        deleteLater();
    });
    const int count = session().deviceModel() == QLatin1String("KRM410") ? ReducedChoiceCount : int(Choices.size());
    for (int i = 0; i < count; ++i)
        ui->cboParam->addItem(QString::fromLatin1(Choices[i].text));
    ui->cboParam->setCurrentIndex(s_lastChoice < count ? s_lastChoice : 0);
    ui->btnApply->setEnabled(false);
    connect(ui->cboParam, &QComboBox::activated, this, [](int i) { s_lastChoice = i; });
    connect(ui->btnApply, &QPushButton::clicked, this, &TfrmTotalizerReset::btnApplyClick);
    connect(ui->btnHelp, &QPushButton::clicked, this, [] { showHelpContext(HelpContext); });
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
}

TfrmTotalizerReset::~TfrmTotalizerReset() = default;

TfrmTotalizerReset *TfrmTotalizerReset::showInstance(const WindowContext &context)
{
    if (!s_instance)
        s_instance = new TfrmTotalizerReset(context);
    s_instance->show();
    s_instance->raise();
    s_instance->activateWindow();
    return s_instance;
}

void TfrmTotalizerReset::FormActivate()
{
    ui->btnApply->setEnabled(link().Comm_Ready());
}

bool TfrmTotalizerReset::run(const Step &step, OperationRecord &record)
{
    if (step.zeroRegister != 0)
        record.noteRange(step.zeroRegister, QByteArray(16, '\0'));
    record.noteCoil(step.coil, true);
    if (step.zeroRegister != 0 && !link().writeRegisters(step.zeroRegister, QByteArray(16, '\0')))
        return false;
    if (!link().Force_Coil(step.coil, 0xFF00))
        return false;
    // The image shows zero only once the transmitter has reset the total.
    if (step.clearRegister != 0)
        link().image().store(step.clearRegister, QByteArray(step.clearBytes, '\0'));
    return true;
}

void TfrmTotalizerReset::btnApplyClick()
{
    if (busy() || closing())
        return;
    GuardedWindow::BusyScope scope(*this);
    const int choice = ui->cboParam->currentIndex();
    if (choice < 0)
        return;
    s_lastChoice = choice;
    const QString text = ui->cboParam->currentText();
    ui->pnlStatus->setText(QStringLiteral("Resetting ") + text);
    const QList<int> &steps = Choices[choice].steps;
    OperationRecord record(link(), windowTitle() + QStringLiteral(": ") + text);
    for (qsizetype i = 0; i < steps.size(); ++i) {
        // The first refusal ends the run: the totals after it keep counting.
        if (!run(Steps[steps[i]], record)) {
            QStringList reset, left;
            for (qsizetype j = 0; j < steps.size(); ++j)
                (j < i ? reset : left) << QLatin1String(StepNames[steps[j]]);
            ui->pnlStatus->setText(QStringLiteral("Reset failed"));
            const QString failure =
                QStringLiteral("The transmitter did not reset %1.\nReset: %2.\nNot reset (they keep their values): %3.")
                    .arg(QLatin1String(StepNames[steps[i]]),
                         reset.isEmpty() ? QStringLiteral("none") : reset.join(QStringLiteral(", ")),
                         left.join(QStringLiteral(", ")));
            record.finish(i > 0 ? HistoryOutcome::FailedPartWay : HistoryOutcome::Refused, failure);
            tell(failure);
            return;
        }
    }
    record.finish(HistoryOutcome::Done, {});
    ui->pnlStatus->setText(link().Comm_Ready() ? QStringLiteral("Reset complete") : QString());
}

// Not modal: the registry shows the one instance and gives the main window nothing to run.
static const bool tarvineRegisteredTotalizerReset = [] {
    WindowRegistry::registerWindow(TfrmTotalizerReset::Tag, [](const WindowContext &c, int) -> QDialog * {
        TfrmTotalizerReset::showInstance(c);
        return nullptr;
    });
    return true;
}();

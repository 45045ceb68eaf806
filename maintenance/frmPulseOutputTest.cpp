#include "frmPulseOutputTest.h"

#include "ModbusLink.h"
#include "TitleWidth.h"
#include "ui_frmPulseOutputTest.h"

#include <QEvent>
#include <QRegularExpressionValidator>

#include <cmath>

namespace {
constexpr int MaxPulses = 0xFFFF; // the count is a 16-bit register
}

TfrmPulseOutputTest::TfrmPulseOutputTest(const WindowContext &context)
    : OutputTestWindow(context, HelpContext), ui(std::make_unique<Ui::TfrmPulseOutputTest>())
{
    ui->setupUi(this);
    widenForTitle(this);
    // Digits only, as on the transmitter's keypad, plus the decimal point of a
    // frequency; editing keys still work so that a mistake can be corrected.
    ui->txtFreq->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*\\.?[0-9]*")), this));
    ui->txtPulses->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    ui->txtFreq->installEventFilter(this);
    ui->txtPulses->installEventFilter(this);
    connect(ui->txtFreq, &QLineEdit::textEdited, this, &TfrmPulseOutputTest::updateStartButton);
    connect(ui->txtPulses, &QLineEdit::textEdited, this, &TfrmPulseOutputTest::updateStartButton);
    connect(ui->btnStart, &QPushButton::clicked, this, &TfrmPulseOutputTest::btnStartClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
}

TfrmPulseOutputTest::~TfrmPulseOutputTest() = default;

void TfrmPulseOutputTest::FormActivate()
{
    // The output stops at once: the test starts with no pulses at 0 Hz.
    ui->txtFreq->setText(QStringLiteral("0.0"));
    ui->txtPulses->setText(QStringLiteral("1"));
    m_frequency = 0.0;
    m_pulses = 1;
    startPulses();
    m_frequency = 0.0;
    m_pulses = 0;
    showValues();
}

bool TfrmPulseOutputTest::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        if (watched == ui->txtFreq)
            txtFreqExit();
        else if (watched == ui->txtPulses)
            txtPulsesExit();
    }
    return OutputTestWindow::eventFilter(watched, event);
}

void TfrmPulseOutputTest::txtFreqExit()
{
    bool ok = false;
    const double f = ui->txtFreq->text().toDouble(&ok);
    m_frequency = ok && std::isfinite(f) ? f : 0.0;
    ui->txtFreq->setText(QString::asprintf("%-7.6f", m_frequency));
}

void TfrmPulseOutputTest::txtPulsesExit()
{
    // A count that does not fit the 16-bit register is refused like text that is
    // not a number, rather than sent cut down to its low bits.
    bool ok = false;
    const qlonglong n = ui->txtPulses->text().toLongLong(&ok);
    m_pulses = ok && n >= 0 && n <= MaxPulses ? int(n) : 0;
    ui->txtPulses->setText(QString::asprintf("%-d", m_pulses));
}

void TfrmPulseOutputTest::showValues()
{
    ui->txtFreq->setText(QString::asprintf("%-7.6f", m_frequency));
    ui->txtPulses->setText(QString::asprintf("%-d", m_pulses));
}

void TfrmPulseOutputTest::updateStartButton()
{
    ui->btnStart->setEnabled(!ui->txtFreq->text().isEmpty() && !ui->txtPulses->text().isEmpty());
}

bool TfrmPulseOutputTest::startPulses()
{
    commandArea().setF64(0, m_frequency);
    commandArea().setU16(8, uint16_t(m_pulses));
    return writeArguments() && force(TestCoil, true);
}

void TfrmPulseOutputTest::btnStartClick()
{
    BusyScope scope(*this);
    txtFreqExit();
    txtPulsesExit();
    if (startPulses())
        ui->btnStart->setEnabled(false);
}

void TfrmPulseOutputTest::beforeFinish()
{
    link().image().store(CommandArea::FirstRegister, QByteArray(CommandArea::Bytes, '\0'));
    forceAbort();
    force(CancelCoil, true);
}

#include "frmAnalogOutputTest.h"

#include "ModbusLink.h"
#include "TitleWidth.h"
#include "ui_frmAnalogOutputTest.h"

#include <QEvent>

#include <algorithm>
#include <cmath>

const std::array<TfrmAnalogOutputTest::Output, 3> TfrmAnalogOutputTest::Outputs = {{
    {.suffix = "1", .startCoil = 15, .stopCoil = 18},
    {.suffix = "2", .startCoil = 16, .stopCoil = 19},
    {.suffix = "4", .startCoil = 17, .stopCoil = 20},
}};

TfrmAnalogOutputTest::TfrmAnalogOutputTest(const WindowContext &context)
    : OutputTestWindow(context, HelpContext), ui(std::make_unique<Ui::TfrmAnalogOutputTest>())
{
    ui->setupUi(this);
    widenForTitle(this);
    for (int i = 0; i < int(Outputs.size()); ++i) {
        QLineEdit *field = control<QLineEdit>("txtCurrent", i);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, &TfrmAnalogOutputTest::entriesEdited);
        connect(control<QCheckBox>("chkOutput", i), &QCheckBox::toggled, this, [this, i](bool on) {
            if (!on)
                release(i);
            entriesEdited();
        });
        setIndicator(i, false);
    }
    ui->btnStart->setEnabled(false);
    ui->btnStop->setEnabled(false);
    connect(ui->btnStart, &QPushButton::clicked, this, &TfrmAnalogOutputTest::btnStartClick);
    connect(ui->btnStop, &QPushButton::clicked, this, &TfrmAnalogOutputTest::btnStopClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
}

TfrmAnalogOutputTest::~TfrmAnalogOutputTest() = default;

template <typename T>
T *TfrmAnalogOutputTest::control(const char *prefix, int output) const
{
    return findChild<T *>(QLatin1String(prefix) + QLatin1String(Outputs[size_t(output)].suffix));
}

void TfrmAnalogOutputTest::FormActivate()
{
    link().Read_Regs(OptionCardRegister, 2);
    control<QCheckBox>("chkOutput", 2)->setChecked(false);
    control<QCheckBox>("chkOutput", 2)->setEnabled(true);
    control<QLineEdit>("txtCurrent", 2)->setEnabled(true);
    control<QLabel>("lblUnit", 2)->setEnabled(true);
}

bool TfrmAnalogOutputTest::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut)
        for (int i = 0; i < int(Outputs.size()); ++i)
            if (watched == control<QLineEdit>("txtCurrent", i))
                currentExit(i);
    return OutputTestWindow::eventFilter(watched, event);
}

void TfrmAnalogOutputTest::currentExit(int output)
{
    QLineEdit *field = control<QLineEdit>("txtCurrent", output);
    bool ok = false;
    const double mA = field->text().trimmed().toDouble(&ok);
    if (ok && std::isfinite(mA)) {
        m_current[size_t(output)] = mA;
        return;
    }
    m_current[size_t(output)].reset();
    field->clear();
}

void TfrmAnalogOutputTest::entriesEdited()
{
    bool any = false;
    for (int i = 0; i < int(Outputs.size()); ++i)
        any = any || (control<QCheckBox>("chkOutput", i)->isChecked() && !control<QLineEdit>("txtCurrent", i)->text().isEmpty());
    ui->btnStart->setEnabled(any);
    // New entries while a test runs: the outputs go back to normal first.
    if (ui->btnStart->isEnabled() && ui->btnStop->isEnabled())
        btnStopClick();
}

void TfrmAnalogOutputTest::setIndicator(int output, bool on)
{
    control<QLabel>("bmpOutput", output)->setPixmap(glyph(on ? "LedRedOn" : "LedRedOff").pixmap(16, 16));
}

void TfrmAnalogOutputTest::btnStartClick()
{
    BusyScope scope(*this);
    for (int i = 0; i < int(Outputs.size()); ++i) {
        if (!control<QCheckBox>("chkOutput", i)->isChecked())
            continue;
        currentExit(i);
        if (!m_current[size_t(i)])
            continue;
        commandArea().setF64(0, *m_current[size_t(i)]);
        if (!writeArguments())
            break;
        if (force(Outputs[size_t(i)].startCoil, true)) {
            m_running[size_t(i)] = true;
            setIndicator(i, true);
        }
    }
    ui->btnStart->setEnabled(false);
    ui->btnStop->setEnabled(true);
}

void TfrmAnalogOutputTest::release(int output)
{
    // An output taken out of the test goes back to normal at once.
    if (!m_running[size_t(output)])
        return;
    BusyScope scope(*this);
    force(BusyCoil, false);
    if (force(Outputs[size_t(output)].stopCoil, true)) {
        m_running[size_t(output)] = false;
        setIndicator(output, false);
    }
    if (std::none_of(m_running.begin(), m_running.end(), [](bool running) { return running; }))
        ui->btnStop->setEnabled(false);
}

void TfrmAnalogOutputTest::btnStopClick()
{
    BusyScope scope(*this);
    for (int i = 0; i < int(Outputs.size()); ++i) {
        force(BusyCoil, false);
        if (force(Outputs[size_t(i)].stopCoil, true)) {
            m_running[size_t(i)] = false;
            setIndicator(i, false);
        }
    }
    ui->btnStart->setEnabled(true);
    ui->btnStop->setEnabled(false);
}

void TfrmAnalogOutputTest::beforeFinish()
{
    forceInOrder({{18, true}, {19, true}, {20, true}, {18, false}, {19, false}, {20, false}});
    m_running.fill(false);
}

#include "frmSwitchedOutputTest.h"

#include "Clock.h"
#include "Prompter.h"
#include "TitleWidth.h"
#include "ui_frmSwitchedOutputTest.h"

const std::array<TfrmSwitchedOutputTest::Output, 4> TfrmSwitchedOutputTest::Outputs = {{
    {.button = "btnAlarm1", .latchCoil = 21, .unlatchCoil = 22, .name = "Alarm #1"},
    {.button = "btnAlarm2", .latchCoil = 23, .unlatchCoil = 24, .name = "Alarm #2"},
    {.button = "btnBatchHF", .latchCoil = 25, .unlatchCoil = 26, .name = "Batch High Flow Alarm"},
    {.button = "btnBatchLF", .latchCoil = 27, .unlatchCoil = 28, .name = "Batch Low Flow Alarm"},
}};

TfrmSwitchedOutputTest::TfrmSwitchedOutputTest(const WindowContext &context)
    : OutputTestWindow(context, HelpContext), ui(std::make_unique<Ui::TfrmSwitchedOutputTest>()), Timer1(new ClockTimer(this))
{
    ui->setupUi(this);
    widenForTitle(this);
    for (int i = 0; i < int(Outputs.size()); ++i) {
        button(i)->setIcon(glyph("PortOpen"));
        connect(button(i), &QPushButton::clicked, this, [this, i] { toggle(i); });
    }
    Timer1->setInterval(500);
    connect(Timer1, &ClockTimer::timeout, this, &TfrmSwitchedOutputTest::Timer1Timer);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
}

TfrmSwitchedOutputTest::~TfrmSwitchedOutputTest() = default;

QPushButton *TfrmSwitchedOutputTest::button(int output) const
{
    return findChild<QPushButton *>(QLatin1String(Outputs[size_t(output)].button));
}

void TfrmSwitchedOutputTest::FormActivate()
{
    notice(QStringLiteral("WARNING: The Switched Output Test can activate and de-activate\r"
                          "the devices and systems connected to the alarm and batch outputs\r"
                          "of the Ostrel.  Ensure that all devices and systems connected\r"
                          "to the alarm and batch outputs are in a safe state prior to\r"
                          "proceeding with this test."),
           QStringLiteral("Switched Output Test via Tarvine"), Prompter::OK);
    m_latched.fill(false);
    m_blinkPhase = false;
    Timer1->start();
}

void TfrmSwitchedOutputTest::toggle(int output)
{
    BusyScope scope(*this);
    const Output &o = Outputs[size_t(output)];
    QPushButton *b = button(output);
    if (!m_latched[size_t(output)]) {
        if (!force(o.latchCoil, true))
            return;
        m_latched[size_t(output)] = true;
        b->setText(QStringLiteral("Unlatch %1").arg(QLatin1String(o.name)));
    } else {
        if (!force(o.unlatchCoil, true))
            return;
        m_latched[size_t(output)] = false;
        b->setIcon(glyph("PortOpen"));
        b->setText(QStringLiteral("Latch %1").arg(QLatin1String(o.name)));
    }
}

void TfrmSwitchedOutputTest::Timer1Timer()
{
    m_blinkPhase = !m_blinkPhase;
    for (int i = 0; i < int(Outputs.size()); ++i)
        if (m_latched[size_t(i)])
            button(i)->setIcon(glyph(m_blinkPhase ? "PortClose" : "PortOff"));
}

void TfrmSwitchedOutputTest::beforeFinish()
{
    Timer1->stop();
    m_latched.fill(false);
    for (int i = 0; i < int(Outputs.size()); ++i)
        button(i)->setIcon(glyph("PortOpen"));
    for (const Output &o : Outputs)
        force(o.unlatchCoil, true);
    notice(QStringLiteral("REMEMBER: Return all devices and systems connected to the\r"
                          "alarm or batch outputs of the Ostrel to their proper state."),
           QStringLiteral("Terminate Switched Output Test"), Prompter::OK);
}

#include "CalibrationWindow.h"

#include "AccountManager.h"
#include "Clock.h"
#include "CoilWait.h"
#include "Codec.h"
#include "EntryFields.h"
#include "HelpWindow.h"
#include "ModbusLink.h"
#include "Prompter.h"
#include "Session.h"
#include "WindowRegistry.h"

#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
constexpr int ResultBytes = 244;

}  // namespace

CalibrationWindow::CalibrationWindow(const WindowContext &context, Options options)
    : GuardedWindow(context.parent), m_link(context.link), m_session(context.session),
      m_openTestConsole(context.openTestConsole), m_options(std::move(options)),
      m_fields(new EntryFields([this](const QString &t) { setStatus(t); }, this))
{
    setProperty("helpContext", m_options.helpContext);
    Timer1 = new ClockTimer(this);
    Timer1->setInterval(m_options.timerMs);
    connect(Timer1, &ClockTimer::timeout, this, [this] {
        if (closing() || m_waiting)
            return;
        BusyScope scope(*this);
        timerTick();
    });
}

CalibrationWindow::~CalibrationWindow() = default;

void CalibrationWindow::bindPattern()
{
    rbManual = findChild<QRadioButton *>(QStringLiteral("rbManual"));
    rbAuto = findChild<QRadioButton *>(QStringLiteral("rbAuto"));
    btnApply = findChild<QPushButton *>(QStringLiteral("btnApply"));
    btnClose = findChild<QPushButton *>(QStringLiteral("btnClose"));
    lblCancel = findChild<QLabel *>(QStringLiteral("lblCancel"));
    pnlStatus = findChild<QLabel *>(QStringLiteral("pnlStatus"));
    Q_ASSERT(btnApply && btnClose && lblCancel && pnlStatus);
    // The two radio buttons sit in different group boxes: each unchecks the other.
    for (QRadioButton *rb : {rbManual, rbAuto}) {
        if (!rb)
            continue;
        rb->setAutoExclusive(false);
        connect(rb, &QRadioButton::clicked, this, [this, rb] {
            BusyScope scope(*this);
            rb->setChecked(true);
            QRadioButton *other = rb == rbManual ? rbAuto : rbManual;
            if (other)
                other->setChecked(false);
            setApplyPending();
            rb == rbManual ? manualChosen() : autoChosen();
        });
    }
    connect(btnApply, &QPushButton::clicked, this, &CalibrationWindow::btnApplyClick);
    connect(btnClose, &QPushButton::clicked, this, &CalibrationWindow::btnCloseClick);
    if (auto *help = findChild<QPushButton *>(QStringLiteral("btnHelp")))
        connect(help, &QPushButton::clicked, this, [this] { showHelpContext(m_options.helpContext); });
    if (auto *notice = findChild<QLabel *>(QStringLiteral("lblNotice")))
        notice->setText(QStringLiteral("Calibration changes the transmitter's measurement.\n"
                                       "Check the result before returning the meter to service."));
    btnApply->setIcon(QIcon(QStringLiteral(":/images/TestNot.svg")));
    btnApply->setEnabled(false);
    lblCancel->setVisible(false);
}

RegisterImage &CalibrationWindow::image()
{
    return m_link.image();
}

CalibrationWindow::Method CalibrationWindow::method() const
{
    if (rbManual && rbManual->isChecked())
        return Method::Manual;
    if (rbAuto && rbAuto->isChecked())
        return Method::Auto;
    return Method::None;
}

void CalibrationWindow::setStatus(const QString &text)
{
    pnlStatus->setText(text);
    emit statusShown(text);
}

QString CalibrationWindow::status() const
{
    return pnlStatus->text();
}

void CalibrationWindow::showCancel(bool visible)
{
    lblCancel->setVisible(visible);
}

void CalibrationWindow::setApplyPending(bool enabled)
{
    btnApply->setIcon(QIcon(QStringLiteral(":/images/TestNot.svg")));
    btnApply->setProperty("glyph", QStringLiteral("TestNot"));
    btnApply->setEnabled(enabled);
}

void CalibrationWindow::setApplyDone()
{
    btnApply->setIcon(QIcon(QStringLiteral(":/images/TestPass.svg")));
    btnApply->setProperty("glyph", QStringLiteral("TestPass"));
    btnApply->setEnabled(false);
}

void CalibrationWindow::uncheckMethods()
{
    for (QRadioButton *rb : {rbManual, rbAuto})
        if (rb)
            rb->setChecked(false);
}

void CalibrationWindow::setFieldsEnabled(const QList<QLineEdit *> &edits, bool enabled)
{
    for (QLineEdit *e : edits)
        e->setEnabled(enabled);
}

void CalibrationWindow::reset()
{
    if (m_options.resetClearsResults)
        image().store(0, QByteArray(ResultBytes, '\0'));
    m_link.Force_Coil(AbortCoil, ModbusFrame::CoilOff);
    for (int coil : m_options.commandCoils)
        m_link.Force_Coil(coil, ModbusFrame::CoilOff);
    m_session.setAbort(false);
    m_refresh = true;
    m_consoleRequested = false;
}

void CalibrationWindow::abortCalibration()
{
    m_session.setAbort(false);
    m_refresh = false;
    showCancel(false);
    setStatus(QStringLiteral("Calibration aborted!"));
    m_link.Force_Coil(AbortCoil, ModbusFrame::CoilOn);
    abortCleanup();
    reset();
    abortDone();
}

void CalibrationWindow::abortDone()
{
    btnApply->setEnabled(false);
    uncheckMethods();
    setStatus(QStringLiteral("Select Manual or Auto Cal"));
}

bool CalibrationWindow::abortApplies() const
{
    return method() == Method::Auto;
}

CalibrationWindow::StepResult CalibrationWindow::runTimedStep(int coil, qint64 deadlineMs,
                                                              std::function<void(qint64)> tick)
{
    CoilWait wait(m_link, coil);
    if (deadlineMs >= 0)
        wait.setDeadlineMs(deadlineMs);
    wait.setOnTick([this, tick = std::move(tick)](qint64 elapsed) {
        if (tick)
            tick(elapsed);
        serveConsoleRequest();
    });
    // A stale Escape (pressed while nothing ran) must not end the new step at once.
    m_session.setAbort(false);
    // Apply and the method buttons would start or change a calibration inside this one.
    const QList<QWidget *> starters{btnApply, rbManual, rbAuto};
    QList<bool> wereEnabled;
    for (QWidget *w : starters)
        if (w) {
            wereEnabled.append(w->isEnabled());
            w->setEnabled(false);
        }
    m_waiting = true;
    const CoilWait::Result r = wait.start();
    m_waiting = false;
    qsizetype i = 0;
    for (QWidget *w : starters)
        if (w)
            w->setEnabled(wereEnabled[i++]);
    switch (r) {
    case CoilWait::Result::Refused: return StepResult::Refused;
    case CoilWait::Result::Aborted: return StepResult::Aborted;
    case CoilWait::Result::TimedOut: return StepResult::TimedOut;
    case CoilWait::Result::NoReply: return StepResult::LinkFailed;
    case CoilWait::Result::Finished: break;
    }
    // A transmitter that gives a step up clears its coil too; it says so with Busy.
    switch (m_link.readCoilState(TransmitterBusyCoil)) {
    case ModbusLink::CoilState::Off: return StepResult::Done;
    case ModbusLink::CoilState::NoReply: return StepResult::LinkFailed;
    case ModbusLink::CoilState::On: break;
    }
    m_link.Force_Coil(TransmitterBusyCoil, ModbusFrame::CoilOff);
    return StepResult::DeviceAborted;
}

bool CalibrationWindow::readBlock(int first, int bytes)
{
    if (m_link.readRegisters(first, bytes))
        return true;
    reportFailure(QStringLiteral("Registers %1 to %2 could not be read from the transmitter.")
                      .arg(first)
                      .arg(first + bytes / 2 - 1));
    return false;
}

bool CalibrationWindow::writeBlock(int first, const QByteArray &bytes)
{
    if (m_link.writeRegisters(first, bytes))
        return true;
    reportFailure(QStringLiteral("The transmitter did not accept the write to registers %1 to %2.")
                      .arg(first)
                      .arg(first + int(bytes.size()) / 2 - 1));
    return false;
}

void CalibrationWindow::reportFailure(const QString &text)
{
    showMessage(text + QStringLiteral("\rNothing more was written; check the calibration values."),
                QStringLiteral("Calibration Failure"), Prompter::Error, Prompter::OK);
}

void CalibrationWindow::reportStep(StepResult result)
{
    if (result == StepResult::LinkFailed)
        showMessage(QStringLiteral("No valid reply from the transmitter while it calibrated.\r"
                                   "The calibration was not completed."),
                    QStringLiteral("Calibration Failure"), Prompter::Error, Prompter::OK);
    else if (result == StepResult::DeviceAborted)
        showMessage(QStringLiteral("The transmitter aborted the calibration."), QStringLiteral("Calibration Failure"),
                    Prompter::Error, Prompter::OK);
}

void CalibrationWindow::timerTick()
{
    if (m_session.abortRequested() && abortApplies())
        abortCalibration();
    if (m_refresh)
        refresh();
    serveConsoleRequest();
}

void CalibrationWindow::btnApplyClick()
{
    if (closing())
        return;
    BusyScope scope(*this);
    const Method m = method();
    if (m == Method::Manual)
        applyManual();
    else if (m == Method::Auto)
        applyAuto();
}

void CalibrationWindow::btnCloseClick()
{
    if (mayClose())
        requestClose();
}

void CalibrationWindow::closeEvent(QCloseEvent *event)
{
    if (!finished() && !closing() && !mayClose()) {
        event->ignore();
        return;
    }
    GuardedWindow::closeEvent(event);
}

void CalibrationWindow::reject()
{
    if (mayClose())
        GuardedWindow::reject();
}

void CalibrationWindow::FormActivate()
{
    Timer1->stop();
    if (!m_options.openText.isEmpty())
        showMessage(m_options.openText, m_options.openTitle, Prompter::Warning, Prompter::OK);
    activate();
    if (!closing())
        Timer1->start();
}

void CalibrationWindow::beforeFinish()
{
    Timer1->stop();
    windowClosing();
    reset();
    m_refresh = false;
    if (!m_options.closeText.isEmpty())
        showMessage(m_options.closeText, m_options.closeTitle, Prompter::Warning, Prompter::OK);
}

bool CalibrationWindow::consoleUser() const
{
    const QStringList ids = AccountManager::builtInUserIds();
    return !ids.isEmpty() && m_session.userName().compare(ids.first(), Qt::CaseInsensitive) == 0;
}

void CalibrationWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    GuardedWindow::mouseDoubleClickEvent(event);
    if (!consoleUser())
        return;
    m_consoleRequested = true;
    // Idle (no refresh running): at once; otherwise the next tick or wait pass.
    if (!m_refresh && !m_waiting && !busy())
        serveConsoleRequest();
}

void CalibrationWindow::serveConsoleRequest()
{
    if (!m_consoleRequested)
        return;
    m_consoleRequested = false;
    const bool wasActive = Timer1->isActive();
    Timer1->stop();
    const bool refresh = m_refresh;
    m_refresh = false;
    if (m_openTestConsole)
        m_openTestConsole(this);
    m_refresh = refresh;
    if (wasActive && !closing())
        Timer1->start();
}

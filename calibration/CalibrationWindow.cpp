#include "CalibrationWindow.h"

#include "AccountManager.h"
#include "CertificateOffer.h"
#include "Clock.h"
#include "CoilWait.h"
#include "Codec.h"
#include "EntryFields.h"
#include "HelpWindow.h"
#include "InputLock.h"
#include "ModbusLink.h"
#include "Prompter.h"
#include "Session.h"
#include "WindowRegistry.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <utility>

namespace {
constexpr int ResultBytes = 244;

}  // namespace

CalibrationWindow::CalibrationWindow(const WindowContext &context, Options options)
    : GuardedWindow(context.parent), m_link(context.link), m_session(context.session),
      m_openTestConsole(context.openTestConsole), m_options(std::move(options)),
      m_fields(new EntryFields([this](const QString &t) { setStatus(t); }, [this](const QString &t) { showNotice(t); },
                               this)),
      m_lock(new InputLock(*this)), m_record(context.link)
{
    setProperty("helpContext", m_options.helpContext);
    Timer1 = new ClockTimer(this);
    Timer1->setInterval(m_options.timerMs);
    connect(Timer1, &ClockTimer::timeout, this, [this] {
        // Not inside a request or a box of the window: that would run a second step in the first.
        if (closing() || busy())
            return;
        if (m_lock->takeEscapeInPopup())
            m_session.setAbort(false);
        m_lock->runInBackground([this] {
            timerTick();
            settleRecord();
        });
    });
    connect(m_fields, &EntryFields::edited, this, [this] {
        if (!std::exchange(m_noticePinned, false) || m_pendingPrompt.isEmpty())
            return;
        setStatus(std::exchange(m_pendingPrompt, QString()));
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
    keepReturnForFields(this);
    // The two radio buttons sit in different group boxes: each unchecks the other.
    for (QRadioButton *rb : {rbManual, rbAuto}) {
        if (!rb)
            continue;
        rb->setAutoExclusive(false);
        connect(rb, &QRadioButton::clicked, this, [this, rb] {
            if (!userAction([this, rb] { chooseMethod(rb); }))
                rb->setChecked(!rb->isChecked());  // ignored: the choice stays as it was
        });
    }
    connect(btnApply, &QPushButton::clicked, this, [this] {
        userAction([this] {
            // Asked for during a refresh: only if it still applies.
            if (btnApply->isEnabled() && levelAllowsCalibration())
                btnApplyClick();
        });
    });
    connect(btnClose, &QPushButton::clicked, this, &CalibrationWindow::btnCloseClick);
    auto *help = findChild<QPushButton *>(QStringLiteral("btnHelp"));
    if (help)
        connect(help, &QPushButton::clicked, this, [this] { showHelpContext(m_options.helpContext); });
    m_certificate = new CertificateOffer(this, help ? help : btnClose, *m_fields, m_record);
    connect(m_certificate->button(), &QPushButton::clicked, this, [this] { userAction([this] { m_certificate->save(); }); });
    if (auto *notice = findChild<QLabel *>(QStringLiteral("lblNotice"))) {
        // Two lines as written; the window is as wide as they need.
        notice->setWordWrap(false);
        notice->setText(QStringLiteral("Calibration changes the transmitter's measurement.\n"
                                       "Check the result before returning the meter to service."));
    }
    // "Press ESC Key to cancel" comes and goes without moving the form.
    QSizePolicy keepSpace = lblCancel->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    lblCancel->setSizePolicy(keepSpace);
    // A long status wraps inside the window instead of widening it.
    pnlStatus->setWordWrap(true);
    pnlStatus->setSizePolicy(QSizePolicy::Ignored, pnlStatus->sizePolicy().verticalPolicy());
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

bool CalibrationWindow::userAction(const std::function<void()> &action)
{
    return m_lock->userAction([this, action] {
        // The user acted: what the window says next replaces the notice.
        m_noticePinned = false;
        m_pendingPrompt.clear();
        action();
        settleRecord();
    });
}

void CalibrationWindow::beginCalibration()
{
    // A calibration that ended in this same action is stored first.
    settleRecord();
    recordWrites();
}

void CalibrationWindow::recordWrites()
{
    // What the window writes to set itself up, or puts back on closing outside a
    // calibration, is no calibration, whatever is checked.
    if (m_activating || closing())
        m_record.begin(windowTitle() + (m_activating ? QStringLiteral(": opening") : QStringLiteral(": closing")), {}, {});
    else
        m_record.begin(windowTitle(), methodText(), constants());
}

QString CalibrationWindow::methodText() const
{
    const Method m = method();
    if (m == Method::None)
        return {};
    QString text = (m == Method::Manual ? rbManual : rbAuto)->text().remove(QLatin1Char('&'));
    // What the window's choices say (which zero, which run, which output).
    QStringList choices;
    for (const QComboBox *combo : findChildren<QComboBox *>())
        if (!combo->currentText().isEmpty())
            choices << combo->currentText();
    if (!choices.isEmpty())
        text += QStringLiteral(" (%1)").arg(choices.join(QStringLiteral(", ")));
    return text;
}

void CalibrationWindow::stepStarted()
{
    m_record.wrote();
}

void CalibrationWindow::noteReading(const QString &caption, const QString &value)
{
    m_record.noteReading(caption, value);
}

void CalibrationWindow::settleRecord(bool force)
{
    if (!m_record.open() || (!force && !m_record.decided()))
        return;
    const qint64 id = m_record.finish(HistoryOutcome::Done, {}, status());
    if (id >= 0 && m_certificate)
        m_certificate->setOperation(id);
}

void CalibrationWindow::chooseMethod(QRadioButton *rb)
{
    QRadioButton *other = rb == rbManual ? rbAuto : rbManual;
    if (!levelAllowsCalibration()) {
        uncheckMethods();
        return;
    }
    rb->setChecked(true);
    if (other)
        other->setChecked(false);
    // An unfinished calibration ends with what the new method's hook puts back.
    m_record.aborted(QStringLiteral("Another method was chosen before the calibration completed."));
    m_record.forgetReadings();
    // An Escape pressed before the choice (in a popup, a box) stops nothing of it.
    m_session.setAbort(false);
    setApplyPending();
    rb == rbManual ? manualChosen() : autoChosen();
}

void CalibrationWindow::beginStep()
{
    m_lock->beginStep();
}

void CalibrationWindow::endStep()
{
    m_lock->endStep();
}

int CalibrationWindow::message(const QString &text, const QString &title, int kind, unsigned buttons,
                               int helpContext)
{
    BusyScope scope(*this);
    const bool abortBefore = m_session.abortRequested();
    const int answer = showMessage(text, title, Prompter::Kind(kind), buttons, helpContext);
    if (!abortBefore)
        m_session.setAbort(false);
    return answer;
}

bool CalibrationWindow::levelAllowsCalibration()
{
    if (m_session.accessLevel() >= Session::Programmer)
        return true;
    message(QStringLiteral("Your user level does not allow calibration: nothing was sent to the transmitter.\r"
                           "Log in as a Programmer or Administrator to calibrate."),
            QStringLiteral("Calibration"), Prompter::Error, Prompter::OK);
    return false;
}

void CalibrationWindow::setStatus(const QString &text)
{
    if (m_noticePinned) {
        m_pendingPrompt = text;
        return;
    }
    pnlStatus->setText(text);
    emit statusShown(text);
}

void CalibrationWindow::showNotice(const QString &text)
{
    m_noticePinned = false;
    setStatus(text);
    m_noticePinned = true;
    m_pendingPrompt.clear();
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
    m_record.done();
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
    m_record.aborted(QStringLiteral("The calibration was stopped before it completed."));
    if (m_options.resetClearsResults)
        image().store(0, QByteArray(ResultBytes, '\0'));
    {
        // Command coils back at rest: the handshake, not a change to the transmitter.
        ModbusLink::QueryScope rest(m_link);
        m_link.Force_Coil(AbortCoil, ModbusFrame::CoilOff);
        for (int coil : m_options.commandCoils)
            m_link.Force_Coil(coil, ModbusFrame::CoilOff);
    }
    m_session.setAbort(false);
    m_refresh = true;
    m_consoleRequested = false;
}

void CalibrationWindow::abortCalibration()
{
    m_noticePinned = false;
    m_session.setAbort(false);
    m_refresh = false;
    showCancel(false);
    m_record.aborted(QStringLiteral("Calibration aborted!"));
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
    recordWrites();
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
    // Every input would start or change a calibration inside this one.
    m_lock->beginStep();
    const CoilWait::Result r = wait.start();
    m_lock->endStep();
    if (r != CoilWait::Result::Refused)
        m_record.wrote();
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

bool CalibrationWindow::runCommand(int coil, const QString &what)
{
    recordWrites();
    if (!m_link.Force_Coil(coil, ModbusFrame::CoilOn)) {
        m_record.failed(QStringLiteral("The command for %1 did not reach the transmitter.").arg(what));
        return false;
    }
    switch (m_link.readCoilState(TransmitterBusyCoil)) {
    case ModbusLink::CoilState::Off: return true;
    case ModbusLink::CoilState::NoReply: reportStep(StepResult::LinkFailed); return false;
    case ModbusLink::CoilState::On: break;
    }
    m_link.Force_Coil(TransmitterBusyCoil, ModbusFrame::CoilOff);
    failure(QStringLiteral("The transmitter refused %1.\rIts calibration is unchanged.").arg(what));
    return false;
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
    recordWrites();
    m_record.noteWrite(first, bytes);
    if (m_link.writeRegisters(first, bytes)) {
        m_record.wrote();
        return true;
    }
    reportFailure(QStringLiteral("The transmitter did not accept the write to registers %1 to %2.")
                      .arg(first)
                      .arg(first + int(bytes.size()) / 2 - 1));
    return false;
}

void CalibrationWindow::failure(const QString &text)
{
    m_record.failed(text);
    message(text, QStringLiteral("Calibration Failure"), Prompter::Error, Prompter::OK);
}

void CalibrationWindow::reportFailure(const QString &text)
{
    failure(text + QStringLiteral("\rNothing more was written; check the calibration values."));
}

void CalibrationWindow::reportStep(StepResult result)
{
    if (result == StepResult::LinkFailed)
        failure(QStringLiteral("No valid reply from the transmitter while it calibrated.\r"
                               "The calibration was not completed."));
    else if (result == StepResult::DeviceAborted)
        failure(QStringLiteral("The transmitter aborted the calibration."));
    else if (result == StepResult::TimedOut)
        m_record.failed(QStringLiteral("The step did not finish in time."));
    else if (result == StepResult::Refused)
        m_record.failed(QStringLiteral("The transmitter refused the step (busy)."));
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
    const Method m = method();
    if (m == Method::Manual)
        applyManual();
    else if (m == Method::Auto)
        applyAuto();
}

void CalibrationWindow::btnCloseClick()
{
    if (allowedToClose())
        requestClose();
}

bool CalibrationWindow::allowedToClose()
{
    // Its box is a box of the window: the timer waits while it is open.
    BusyScope scope(*this);
    return mayClose();
}

void CalibrationWindow::closeEvent(QCloseEvent *event)
{
    if (!finished() && !closing() && !allowedToClose()) {
        event->ignore();
        return;
    }
    GuardedWindow::closeEvent(event);
}

void CalibrationWindow::reject()
{
    if (allowedToClose())
        GuardedWindow::reject();
}

void CalibrationWindow::FormActivate()
{
    Timer1->stop();
    if (!m_options.openText.isEmpty())
        message(m_options.openText, m_options.openTitle, Prompter::Warning, Prompter::OK);
    m_activating = true;
    activate();
    m_activating = false;
    // What the window wrote to set itself up is one operation of its own.
    settleRecord(true);
    if (!closing())
        Timer1->start();
}

void CalibrationWindow::beforeFinish()
{
    Timer1->stop();
    m_record.aborted(QStringLiteral("The window was closed before the calibration completed."));
    windowClosing();
    reset();
    // What closing put back belongs to the calibration it ends, or is an operation of its own.
    settleRecord(true);
    m_refresh = false;
    if (!m_options.closeText.isEmpty())
        message(m_options.closeText, m_options.closeTitle, Prompter::Warning, Prompter::OK);
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
    if (!m_refresh && !busy())
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

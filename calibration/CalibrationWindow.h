#pragma once

#include "CalibrationRecord.h"
#include "GuardedWindow.h"

#include <QList>
#include <QString>

#include <functional>

class CertificateOffer;
class ClockTimer;
class EntryFields;
class InputLock;
class ModbusLink;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class RegisterImage;
class Session;
struct WindowContext;

// What every calibration window shares: the Manual and Auto radio buttons, Apply
// with its "TestNot"/"TestPass" glyph, the yellow status panel that carries every
// prompt, "Press ESC Key to cancel" while the transmitter runs a timed step, the
// abort ("Calibration aborted!" and the Abort coil), the reset that leaves the
// window's command coils off, the safety notices on opening and closing, and the
// route to the test console for the first built-in account (double-click).
//
// Each calibration goes to the change history as one operation, from its first
// write to its completion, failure or abort (CalibrationRecord): the window names
// the constants it calibrates, the pattern notes every block written, the readings
// typed and the outcome, and then offers the calibration's certificate.
//
// One step at a time: while a step, a request or a message box is in progress,
// every input of the window but Escape is ignored (InputLock), and a running step
// shows them disabled. No button is a default: Return moves to the next field.
// An invalid-entry notice stays in the status panel until the user types again.
//
// A window builds its controls from its .ui file, names the common ones as below,
// calls bindPattern() and overrides the hooks it needs.
class CalibrationWindow : public GuardedWindow {
    Q_OBJECT
public:
    static constexpr int AbortCoil = 82;
    static constexpr int TransmitterBusyCoil = 81;

    struct Options {
        int helpContext = 0;
        // Forced off by the reset, after the Abort coil, in this order.
        QList<int> commandCoils{};
        // The reset clears the command results (registers 0..121) in the image.
        bool resetClearsResults = true;
        int timerMs = 1000;
        // Shown when the window opens and when it closes (empty: none).
        QString openTitle{}, openText{}, closeTitle{}, closeText{};
    };

    CalibrationWindow(const WindowContext &context, Options options);
    ~CalibrationWindow() override;

    ClockTimer &timer() { return *Timer1; }
    QString status() const;

signals:
    // Every text the status panel shows, in order.
    void statusShown(const QString &text);

public:
    bool refreshing() const { return m_refresh; }

protected:
    enum class Method { None, Manual, Auto };
    // How a timed step of the transmitter ended.
    enum class StepResult {
        Done,            // the transmitter finished and cleared the coil
        Refused,         // the command was not accepted (Busy)
        Aborted,         // Escape
        TimedOut,        // still running at the deadline
        LinkFailed,      // no valid reply while waiting
        DeviceAborted,   // the transmitter gave the step up itself
    };

    // Finds the shared controls by name (rbManual, rbAuto, btnApply, btnClose,
    // btnHelp, lblNotice, lblCancel, pnlStatus) and wires them.
    void bindPattern();

    ModbusLink &link() { return m_link; }
    Session &session() { return m_session; }
    RegisterImage &image();
    EntryFields &fields() { return *m_fields; }

    Method method() const;
    void setStatus(const QString &text);
    // A refusal that stays shown until the next keystroke or action of the user;
    // prompts meanwhile wait and the latest appears with that keystroke.
    void showNotice(const QString &text);
    void showCancel(bool visible);
    // Apply waiting for the chosen method (glyph "TestNot") or done ("TestPass").
    void setApplyPending(bool enabled = true);
    void setApplyDone();
    void uncheckMethods();
    void setFieldsEnabled(const QList<QLineEdit *> &edits, bool enabled);
    void setRefresh(bool on) { m_refresh = on; }
    // A step that spans timer ticks (a mass run): inputs off until it ends.
    void beginStep();
    void endStep();
    // Runs a user's action unless a step, a request or a box is in progress (after
    // the timer's refresh when one runs); false when it is ignored.
    bool userAction(const std::function<void()> &action);
    // A message box; an Escape that closed it did not ask to abort anything.
    int message(const QString &text, const QString &title, int kind, unsigned buttons, int helpContext = 0);
    // A calibration goes to the history from here on (writeBlock, runTimedStep and
    // runCommand begin it too, as part of the one under way).
    void beginCalibration();
    // The transmitter took the command that starts a step the window follows itself
    // (a mass run, a driven output): a failure from here on leaves it part-way.
    void stepStarted();
    // A reading for the certificate that the technician did not type (a measured total).
    void noteReading(const QString &caption, const QString &value);
    // Whether the user's level allows writing to the transmitter; says so when not.
    bool levelAllowsCalibration();

    // Clears the results in the image (unless told not to), forces the Abort coil
    // and the command coils off, clears the abort flag and turns the refresh on.
    void reset();
    // "Calibration aborted!", the Abort coil on, the window's own clean-up, the
    // reset, then "Select Manual or Auto Cal" (or what abortDone() shows).
    void abortCalibration();

    // Forces coil on and waits while it reads on. Every way other than the
    // transmitter clearing the coil by itself is a failure.
    StepResult runTimedStep(int coil, qint64 deadlineMs = -1, std::function<void(qint64 elapsedMs)> tick = {});
    // Forces a command coil that the transmitter carries out at once, and checks it
    // was not refused (Busy). On failure says so and returns false.
    bool runCommand(int coil, const QString &what);
    // Reads or writes a block; on failure says what was not done and returns false.
    bool readBlock(int first, int bytes);
    bool writeBlock(int first, const QByteArray &bytes);
    // Shows a failure that ends the current step.
    void reportFailure(const QString &text);
    // Says why a timed step did not finish, where the link has not said it already.
    void reportStep(StepResult result);

    // Hooks.
    // The calibration constants the transmitter holds for this window's calibration.
    virtual QList<CalibrationRecord::Constants> constants() const { return {}; }
    virtual void manualChosen() {}
    virtual void autoChosen() {}
    virtual void applyManual() {}
    virtual void applyAuto() {}
    virtual void refresh() {}
    // The window's part of an abort, before the reset (restoring what Auto changed).
    virtual void abortCleanup() {}
    // Status and controls after an abort.
    virtual void abortDone();
    // Whether the abort flag aborts now (the pattern: only while Auto is checked).
    virtual bool abortApplies() const;
    // Each timer tick: abort on the flag, refresh, serve a console request.
    virtual void timerTick();
    // Close: after the timer stopped and before the reset.
    virtual void windowClosing() {}
    // Activation: after the opening notice.
    virtual void activate() {}
    // False keeps the window open when the user asks to close it (and says why).
    virtual bool mayClose() { return true; }

    void FormActivate() override;
    void beforeFinish() override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

    QRadioButton *rbManual = nullptr;
    QRadioButton *rbAuto = nullptr;
    QPushButton *btnApply = nullptr;
    QPushButton *btnClose = nullptr;
    QLabel *lblCancel = nullptr;
    QLabel *pnlStatus = nullptr;
    ClockTimer *Timer1 = nullptr;

private:
    void btnApplyClick();
    void chooseMethod(QRadioButton *rb);
    void btnCloseClick();
    bool allowedToClose();
    void serveConsoleRequest();
    bool consoleUser() const;
    // Shows a failure that ends the calibration, and records it.
    void failure(const QString &text);
    // Completes the history record when its end was decided (always when forced:
    // then it is done unless decided otherwise).
    void settleRecord(bool force = false);
    QString methodText() const;
    // Opens a record unless one is; what follows is written as part of it.
    void recordWrites();

    ModbusLink &m_link;
    Session &m_session;
    std::function<void(QWidget *)> m_openTestConsole;
    Options m_options;
    EntryFields *m_fields;
    InputLock *m_lock;
    CalibrationRecord m_record;
    CertificateOffer *m_certificate = nullptr;
    bool m_refresh = false;
    bool m_activating = false;
    bool m_consoleRequested = false;
    bool m_noticePinned = false;
    QString m_pendingPrompt;
};

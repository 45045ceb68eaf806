#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <utility>

class GuardedWindow;
class QWidget;

// Return moves between a calibration window's fields and never presses a button (it
// must not start a step or write with half the values typed); read-only displays are
// not stops on the way through the fields.
void keepReturnForFields(QWidget *window);

// One step at a time. While the window is busy (a handler waits in the link or
// shows a box) or a step runs, the user's input to the window is ignored: clicks,
// double-clicks, keys, mnemonics and the wheel. Escape alone goes through, so it
// can ask the step to stop. A running step also shows its inputs disabled, and
// gives each its own state back when it ends.
//
// The window's own background work (the timer's refresh) is not the user's step:
// input reaches the window meanwhile, and an action it asks for runs as soon as
// that work has returned, never inside it.
class InputLock : public QObject {
    Q_OBJECT
public:
    explicit InputLock(GuardedWindow &window);
    ~InputLock() override;

    bool locked() const;
    // Runs a user's action now, or after the background work in progress; false
    // when it is ignored because a step, a request or a box is in progress.
    bool userAction(std::function<void()> action);
    // Runs the window's background work, then the action the user asked for meanwhile.
    void runInBackground(const std::function<void()> &work);
    // Disables every input of the window (buttons, combos, editable fields).
    void beginStep();
    // Gives every input its state from before beginStep.
    void endStep();
    // Whether an Escape closed a popup of the window since the last call: that
    // Escape was for the popup, not a request to stop a calibration.
    bool takeEscapeInPopup();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static bool isInput(const QWidget *w);
    bool inWindow(const QWidget *w) const;
    bool inPopupOfWindow(const QWidget *w) const;

    GuardedWindow &m_window;
    bool m_stepRunning = false;
    bool m_background = false;
    std::function<void()> m_deferred;
    bool m_escapeInPopup = false;
    QList<std::pair<QPointer<QWidget>, bool>> m_enabledBefore;
};

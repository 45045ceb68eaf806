#pragma once

#include <QDialog>

// A window that talks to the transmitter. Link requests wait in a nested event
// loop, so Close can be pressed while one of the window's own operations is still
// inside the link; the window must then not go away under it. Close only sets the
// closing flag; the window ends (modal result Cancel) as soon as no operation is
// running, i.e. at once, or when the running one has returned.
//
// Escape does not close these windows: in this program it only sets the abort flag.
class GuardedWindow : public QDialog {
    Q_OBJECT
public:
    explicit GuardedWindow(QWidget *parent = nullptr);

    bool closing() const { return m_closing; }
    bool busy() const { return m_busyDepth > 0; }
    bool finished() const { return m_finished; }

    // Marks one operation that may wait in the link.
    class BusyScope {
    public:
        explicit BusyScope(GuardedWindow &w) : m_window(w) { ++m_window.m_busyDepth; }
        ~BusyScope();
        BusyScope(const BusyScope &) = delete;
        BusyScope &operator=(const BusyScope &) = delete;

    private:
        GuardedWindow &m_window;
    };

public slots:
    // What Close, the title bar's close box and the owner's closing do.
    void requestClose();

protected:
    // Runs once, when the window is about to end and nothing is in the link; a
    // window may still talk to the transmitter here (under its own BusyScope).
    virtual void beforeFinish() {}
    // The first time the window is shown: its activation, run from the event loop.
    virtual void FormActivate() {}

    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void reject() override;

private:
    void finishWhenIdle();

    int m_busyDepth = 0;
    bool m_closing = false;
    bool m_finishing = false;
    bool m_finished = false;
    bool m_activated = false;
};

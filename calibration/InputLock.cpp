#include "InputLock.h"

#include "GuardedWindow.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

InputLock::InputLock(GuardedWindow &window) : QObject(&window), m_window(window)
{
    qApp->installEventFilter(this);
}

InputLock::~InputLock()
{
    qApp->removeEventFilter(this);
}

bool InputLock::locked() const
{
    return m_stepRunning || (m_window.busy() && !m_background);
}

bool InputLock::userAction(std::function<void()> action)
{
    if (m_window.closing())
        return false;
    if (m_background) {
        // The latest wins: a double-click asks once.
        m_deferred = std::move(action);
        return true;
    }
    if (locked())
        return false;
    GuardedWindow::BusyScope scope(m_window);
    action();
    return true;
}

void InputLock::runInBackground(const std::function<void()> &work)
{
    m_background = true;
    {
        GuardedWindow::BusyScope scope(m_window);
        work();
    }
    m_background = false;
    if (std::function<void()> action = std::exchange(m_deferred, {}))
        userAction(std::move(action));
}

bool InputLock::isInput(const QWidget *w)
{
    if (auto *edit = qobject_cast<const QLineEdit *>(w))
        return !edit->isReadOnly();
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QComboBox *>(w) ||
           qobject_cast<const QAbstractSpinBox *>(w);
}

void InputLock::beginStep()
{
    if (m_stepRunning)
        return;
    m_stepRunning = true;
    m_enabledBefore.clear();
    for (QWidget *w : m_window.findChildren<QWidget *>()) {
        if (!isInput(w))
            continue;
        // The widget's own setting, not one it takes from a disabled parent.
        m_enabledBefore.append({w, !w->testAttribute(Qt::WA_ForceDisabled)});
        w->setEnabled(false);
    }
}

void InputLock::endStep()
{
    if (!m_stepRunning)
        return;
    m_stepRunning = false;
    for (const auto &[widget, enabled] : std::as_const(m_enabledBefore))
        if (widget)
            widget->setEnabled(enabled);
    m_enabledBefore.clear();
}

bool InputLock::takeEscapeInPopup()
{
    return std::exchange(m_escapeInPopup, false);
}

bool InputLock::inWindow(const QWidget *w) const
{
    return w == &m_window || m_window.isAncestorOf(w);
}

bool InputLock::inPopupOfWindow(const QWidget *w) const
{
    const QWidget *top = w->window();
    return top != &m_window && top->windowType() == Qt::Popup && top->parentWidget() &&
           inWindow(top->parentWidget());
}

bool InputLock::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        break;
    default:
        return false;
    }
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w)
        return false;
    const bool escape = (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease ||
                         event->type() == QEvent::ShortcutOverride) &&
                        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape;
    if (escape) {
        if (event->type() == QEvent::KeyPress && inPopupOfWindow(w))
            m_escapeInPopup = true;
        return false;
    }
    if (!locked() || !inWindow(w))
        return false;
    // The window's own background: its double-click is the route to the test console.
    const bool mouse = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
                       event->type() == QEvent::MouseButtonDblClick;
    if (mouse && w == &m_window)
        return false;
    return true;
}

void keepReturnForFields(QWidget *window)
{
    for (QPushButton *b : window->findChildren<QPushButton *>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    for (QLineEdit *e : window->findChildren<QLineEdit *>())
        if (e->isReadOnly())
            e->setFocusPolicy(Qt::NoFocus);
}

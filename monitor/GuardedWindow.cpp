#include "GuardedWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>

GuardedWindow::GuardedWindow(QWidget *parent) : QDialog(parent) {}

GuardedWindow::BusyScope::~BusyScope()
{
    --m_window.m_busyDepth;
    m_window.finishWhenIdle();
}

void GuardedWindow::requestClose()
{
    m_closing = true;
    finishWhenIdle();
}

void GuardedWindow::finishWhenIdle()
{
    if (!m_closing || m_busyDepth > 0 || m_finishing || m_finished)
        return;
    m_finishing = true;
    {
        BusyScope scope(*this);
        beforeFinish();
    }
    m_finished = true;
    done(QDialog::Rejected);
}

void GuardedWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_activated)
        return;
    m_activated = true;
    // From the event loop, so that a modal exec() is already running when the
    // activation's requests wait in the link.
    QTimer::singleShot(0, this, [this] {
        if (m_closing)
            return;
        BusyScope scope(*this);
        FormActivate();
    });
}

void GuardedWindow::closeEvent(QCloseEvent *event)
{
    if (m_finished) {
        event->accept();
        return;
    }
    event->ignore();
    requestClose();
}

void GuardedWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void GuardedWindow::reject()
{
    requestClose();
}

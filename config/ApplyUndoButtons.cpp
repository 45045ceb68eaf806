#include "ApplyUndoButtons.h"

#include "ConfigWindow.h"
#include "HelpWindow.h"

#include <QLineEdit>
#include <QPushButton>

void silenceEntryFields(QWidget *window)
{
    for (QLineEdit *edit : window->findChildren<QLineEdit *>())
        edit->blockSignals(true);
}

ApplyUndoButtons::ApplyUndoButtons(ConfigWindow *window, const Buttons &buttons, int helpContext)
    : QObject(window), m_window(window), m_buttons(buttons)
{
    window->setProperty("helpContext", helpContext);
    connect(buttons.apply, &QPushButton::clicked, this, &ApplyUndoButtons::apply);
    if (buttons.undo)
        connect(buttons.undo, &QPushButton::clicked, this, &ApplyUndoButtons::undo);
    connect(buttons.help, &QPushButton::clicked, this, [helpContext] { showHelpContext(helpContext); });
    connect(buttons.close, &QPushButton::clicked, window, &ConfigWindow::closeWindow);
}

void ApplyUndoButtons::edited()
{
    setApplyEnabled(true);
}

void ApplyUndoButtons::setApplyEnabled(bool on)
{
    m_buttons.apply->setEnabled(on);
}

void ApplyUndoButtons::setUndoEnabled(bool on)
{
    if (m_buttons.undo)
        m_buttons.undo->setEnabled(on);
}

void ApplyUndoButtons::apply()
{
    if (!m_apply || m_window->busy() || m_window->closing())
        return;
    GuardedWindow::BusyScope scope(*m_window);
    // A mnemonic leaves the focus in the field being typed in: its check runs first.
    if (!m_window->commitFocusedField())
        return;
    m_window->beginWrites();
    if (!m_apply()) {
        // Part of it was taken: Undo can take it back, and the window shows what
        // the transmitter now holds.
        if (m_window->wroteAny()) {
            setUndoEnabled(true);
            m_window->showTransmitterState();
        }
        return;
    }
    setApplyEnabled(false);
    setUndoEnabled(true);
}

void ApplyUndoButtons::undo()
{
    if (!m_undo || m_window->busy() || m_window->closing())
        return;
    GuardedWindow::BusyScope scope(*m_window);
    m_window->beginWrites();
    if (!m_undo())
        return;
    setUndoEnabled(false);
    setApplyEnabled(m_applyAfterUndo);
}

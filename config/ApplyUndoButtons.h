#pragma once

#include <QObject>

#include <functional>

class ConfigWindow;
class QPushButton;
class QWidget;

// Called first in a window's destructor: the entry fields lose focus while the
// window is torn down, and their leave-focus checks must not reach its members.
void silenceEntryFields(QWidget *window);

// The Apply / Undo / Help / Close row of a configuration window. Apply and Undo run
// as one link operation each (the window cannot go away under them); each returns
// true when the transmitter took the change, and only then do the buttons move on:
// after Apply, Apply is off and Undo on; after Undo, both are off (or Apply on
// again where the window says so). A failed Apply or Undo leaves them as they were.
// Apply first runs the focused field's leave check (the mnemonic takes no focus);
// Close runs it too when the window's closing applies.
class ApplyUndoButtons : public QObject {
    Q_OBJECT
public:
    struct Buttons {
        QPushButton *apply = nullptr;
        QPushButton *undo = nullptr;  // none in windows without Undo
        QPushButton *help = nullptr;
        QPushButton *close = nullptr;
    };

    ApplyUndoButtons(ConfigWindow *window, const Buttons &buttons, int helpContext);

    void onApply(std::function<bool()> apply) { m_apply = std::move(apply); }
    void onUndo(std::function<bool()> undo, bool applyAfterUndo = false)
    {
        m_undo = std::move(undo);
        m_applyAfterUndo = applyAfterUndo;
    }

    // The user changed something: Apply on.
    void edited();
    void setApplyEnabled(bool on);
    void setUndoEnabled(bool on);

    void apply();
    void undo();

private:
    ConfigWindow *m_window;
    Buttons m_buttons;
    std::function<bool()> m_apply;
    std::function<bool()> m_undo;
    bool m_applyAfterUndo = false;
};

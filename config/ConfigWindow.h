#pragma once

#include "GuardedWindow.h"
#include "WindowRegistry.h"

#include <QString>

#include <functional>
#include <QHash>
#include <QList>

class ConfigBlock;
class EntryField;
class ModbusLink;
class QAbstractButton;
class QLineEdit;
class Session;

// The base of every window that edits one configuration area of the transmitter.
//
// How such a window works:
// - It keeps each register block it edits in a ConfigBlock (the bytes as read, the
//   bytes being edited, and whether the read succeeded) and reads them on
//   activation with readBlocks, which says once when a read failed.
// - It shows values in the unit chosen in the window (ShownUnit) and converts them
//   back to base units into the working copy; choice lists that hold transmitter
//   codes use CodeChoice, so a code outside the list is kept, not overwritten.
// - A field holds the stored value and whether the technician edited it; its text
//   is only a view. Entry fields (EntryField, made by entryField) are checked when
//   an edited one loses focus: invalid text brings the previous value back and the
//   field's invalid-input text goes to the status panel; an accepted value goes
//   into the working copy at once. A field that was not edited leaves its bytes of
//   the working copy as read, and a unit change re-shows the stored values.
// - Apply (ApplyUndoButtons), a Close that applies and the close box first run the
//   focused field's leave check (commitFocusedField): a mnemonic or the title bar
//   takes no focus, so the field being typed in would otherwise be skipped. When
//   the check refuses, nothing is written and the field keeps the focus.
// - Apply writes the working copies whole (writeBlocks(..., Working)) and may then
//   force the coil that makes the transmitter take them up (forceCoil); Undo writes
//   the as-read copies (writeBlocks(..., AsRead)). A block whose read failed is
//   never written, by Apply, Close or Undo: writeBlocks refuses the whole set and
//   says so. A refused write stops the set there and says so; the blocks after it
//   stay as they are in the transmitter.
// - Close is deferred while a request waits (GuardedWindow); a window that writes on
//   closing does it in beforeFinish.
// - A window class takes (const WindowContext &, int tag), registers itself with
//   TARVINE_REGISTER_WINDOW(tag, Class) and lives in a window library that links
//   tarvine_config_pattern and is added to TARVINE_WINDOW_LIBRARIES (see
//   config/CMakeLists.txt). setHelp wires the Help button to the window's help page.
class ConfigWindow : public GuardedWindow {
    Q_OBJECT
public:
    enum class Copy { Working, AsRead };

    static const QString ReadFailedText;
    static const QString NotReadText;
    static const QString WriteFailedText;
    static const QString PartlyWrittenText;
    static const QString CoilFailedText;
    static const QString WrittenNotTakenUpText;
    static const QString AccessLevelText;

    ConfigWindow(const WindowContext &context, QWidget *parent = nullptr);

    ModbusLink &link() const { return m_context.link; }

    // What Close does: commits the focused field first when closing applies.
    void closeWindow();
    // Runs the focused field's leave check; false (and the field keeps the focus)
    // when it refused.
    bool commitFocusedField();


    // Counts the blocks an Apply or Undo writes, so that a step refused after
    // others were taken is known as a partial change (Undo stays on, and the
    // window shows what the transmitter now holds).
    void beginWrites() { m_blocksWritten = 0; }
    bool wroteAny() const { return m_blocksWritten > 0; }
    // A write made without writeBlocks that the transmitter took.
    void noteWritten() { ++m_blocksWritten; }
    // Shows the working copies again after a partial change; the blocks the
    // transmitter did not take were reverted to what it holds.
    virtual void showTransmitterState() {}
    Session &session() const { return m_context.session; }
    const WindowContext &context() const { return m_context; }

protected:
    // Reads every block; shows ReadFailedText once when any read failed. True when all were read.
    bool readBlocks(const QList<ConfigBlock *> &blocks);
    // Writes one copy of every block, in order. Nothing is written when any block
    // was not read (NotReadText) or the access level does not allow it
    // (AccessLevelText); a refusal stops there (WriteFailedText). When blocks were
    // already written in this Apply, the refused block and those after it go back
    // to their as-read copies and the window says so (PartlyWrittenText). True
    // when every block was written.
    bool writeBlocks(const QList<ConfigBlock *> &blocks, Copy copy);
    // False, and says why, when the user's access level does not allow writing.
    bool levelAllowsWriting() const;
    // Forces a command coil on; says so when the transmitter did not confirm it
    // (and, after blocks of this Apply were written, that they were).
    bool forceCoil(int coil);

    // The window's help context, shown by its Help button.
    void setHelp(QAbstractButton *helpButton, int context);
    // An entry field of this window whose refusals reach the status panel.
    EntryField *entryField(QLineEdit *edit, const QString &invalidText);
    // The leave check of a field that is not an EntryField (texts, addresses);
    // false when it refused the text.
    void setLeaveCheck(QLineEdit *edit, std::function<bool()> check);
    // Windows whose closing applies pending edits.
    virtual bool appliesOnClose() const { return false; }
    void closeEvent(QCloseEvent *event) override;
    // The window is at least as wide as its caption needs, so the title bar never cuts it.
    void showEvent(QShowEvent *event) override;
    void showStatus(const QString &text) const;
    void tell(const QString &text) const;

private:
    WindowContext m_context;
    QHash<QLineEdit *, std::function<bool()>> m_leaveChecks;
    int m_blocksWritten = 0;
};

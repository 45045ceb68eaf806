#pragma once

#include "GuardedWindow.h"
#include "WindowRegistry.h"

#include <QString>

#include <functional>
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
// - Entry fields are checked when they lose focus (EntryField, made by entryField):
//   invalid text brings the previous value back and the field's invalid-input text
//   goes to the status panel.
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
    static const QString CoilFailedText;

    ConfigWindow(const WindowContext &context, QWidget *parent = nullptr);

    ModbusLink &link() const { return m_context.link; }
    Session &session() const { return m_context.session; }
    const WindowContext &context() const { return m_context; }

protected:
    // Reads every block; shows ReadFailedText once when any read failed. True when all were read.
    bool readBlocks(const QList<ConfigBlock *> &blocks);
    // Writes one copy of every block, in order. Nothing is written when any block
    // was not read (NotReadText); a refusal stops there (WriteFailedText). True
    // when every block was written.
    bool writeBlocks(const QList<ConfigBlock *> &blocks, Copy copy);
    // Forces a command coil on; says so when the transmitter did not confirm it.
    bool forceCoil(int coil);

    // The window's help context, shown by its Help button.
    void setHelp(QAbstractButton *helpButton, int context);
    // An entry field of this window whose refusals reach the status panel.
    EntryField *entryField(QLineEdit *edit, const QString &invalidText);
    void showStatus(const QString &text) const;
    void tell(const QString &text) const;

private:
    WindowContext m_context;
};

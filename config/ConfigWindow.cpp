#include "ConfigWindow.h"

#include "ConfigBlock.h"
#include "EntryField.h"
#include "HelpWindow.h"
#include "ModbusLink.h"
#include "Prompter.h"

#include <QAbstractButton>

const QString ConfigWindow::ReadFailedText = QStringLiteral(
    "The settings could not be read from the transmitter. The values shown are not the "
    "transmitter's, and they will not be written to it.");
const QString ConfigWindow::NotReadText = QStringLiteral(
    "These settings were not read from the transmitter, so nothing was written. Close the "
    "window and open it again when the transmitter answers.");
const QString ConfigWindow::WriteFailedText = QStringLiteral(
    "The transmitter did not accept the new settings. Settings that were not written are "
    "unchanged in the transmitter.");
const QString ConfigWindow::CoilFailedText = QStringLiteral(
    "The transmitter did not confirm that it took up the new settings.");

ConfigWindow::ConfigWindow(const WindowContext &context, QWidget *parent)
    : GuardedWindow(parent ? parent : context.parent), m_context(context)
{
}

bool ConfigWindow::readBlocks(const QList<ConfigBlock *> &blocks)
{
    bool all = true;
    for (ConfigBlock *block : blocks)
        all = block->read(link()) && all;
    if (!all)
        tell(ReadFailedText);
    return all;
}

bool ConfigWindow::writeBlocks(const QList<ConfigBlock *> &blocks, Copy copy)
{
    for (const ConfigBlock *block : blocks) {
        if (!block->wasRead()) {
            tell(NotReadText);
            return false;
        }
    }
    for (const ConfigBlock *block : blocks) {
        const auto result = copy == Copy::Working ? block->writeWorking(link()) : block->writeAsRead(link());
        if (result != ConfigBlock::WriteResult::Written) {
            tell(WriteFailedText);
            return false;
        }
    }
    return true;
}

bool ConfigWindow::forceCoil(int coil)
{
    if (link().Force_Coil(coil, 0xFF00))
        return true;
    tell(CoilFailedText);
    return false;
}

void ConfigWindow::setHelp(QAbstractButton *helpButton, int context)
{
    setProperty("helpContext", context);
    connect(helpButton, &QAbstractButton::clicked, this, [context] { showHelpContext(context); });
}

EntryField *ConfigWindow::entryField(QLineEdit *edit, const QString &invalidText)
{
    auto *field = new EntryField(edit, invalidText, this);
    connect(field, &EntryField::refused, this, [this](const QString &text) { showStatus(text); });
    return field;
}

void ConfigWindow::showStatus(const QString &text) const
{
    if (m_context.showStatus)
        m_context.showStatus(text);
}

void ConfigWindow::tell(const QString &text) const
{
    showMessage(text, windowTitle(), Prompter::Error);
}

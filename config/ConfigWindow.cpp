#include "ConfigWindow.h"

#include "ConfigBlock.h"
#include "EntryField.h"
#include "HelpWindow.h"
#include "ModbusLink.h"
#include "OperationRecord.h"
#include "Prompter.h"
#include "Session.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCloseEvent>
#include <QLineEdit>

const QString ConfigWindow::ReadFailedText = QStringLiteral(
    "The settings could not be read from the transmitter. The values shown are not the "
    "transmitter's, and they will not be written to it.");
const QString ConfigWindow::NotReadText = QStringLiteral(
    "These settings were not read from the transmitter, so nothing was written. Close the "
    "window and open it again when the transmitter answers.");
const QString ConfigWindow::WriteFailedText = QStringLiteral(
    "The transmitter did not accept the new settings. Settings that were not written are "
    "unchanged in the transmitter.");
const QString ConfigWindow::PartlyWrittenText = QStringLiteral(
    "The transmitter took part of the new settings and refused the rest. The window now shows what the "
    "transmitter holds; Undo writes back the settings as they were read.");
const QString ConfigWindow::AccessLevelText = QStringLiteral(
    "Your access level does not allow changing the transmitter's settings (Programmer or higher is "
    "needed). Nothing was written.");
const QString ConfigWindow::CoilFailedText = QStringLiteral(
    "The transmitter did not confirm that it took up the new settings.");
const QString ConfigWindow::WrittenNotTakenUpText = QStringLiteral(
    "The new settings were written to the transmitter, but it did not confirm that it took them up. "
    "Undo writes back the settings as they were read.");

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
    if (!levelAllowsWriting())
        return false;
    OperationRecord record(link(), windowTitle() + (copy == Copy::Working ? QStringLiteral(": Apply")
                                                                          : QStringLiteral(": Undo")));
    for (const ConfigBlock *block : blocks)
        record.noteRange(block->firstRegister(), copy == Copy::Working ? block->working() : block->asRead());
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        const ConfigBlock *block = blocks[i];
        const auto result = copy == Copy::Working ? block->writeWorking(link()) : block->writeAsRead(link());
        if (result != ConfigBlock::WriteResult::Written && record.stopped())
            return false;
        if (result != ConfigBlock::WriteResult::Written) {
            // Part of the change is in the transmitter: the blocks it did not take
            // show what it still holds.
            if (m_blocksWritten > 0 && copy == Copy::Working) {
                for (qsizetype j = i; j < blocks.size(); ++j)
                    blocks[j]->revert();
                record.finish(i > 0 ? HistoryOutcome::FailedPartWay : HistoryOutcome::Refused, PartlyWrittenText);
                tell(PartlyWrittenText);
            } else {
                record.finish(i > 0 ? HistoryOutcome::FailedPartWay : HistoryOutcome::Refused, WriteFailedText);
                tell(WriteFailedText);
            }
            return false;
        }
        ++m_blocksWritten;
    }
    record.finish(HistoryOutcome::Done, {});
    return true;
}

bool ConfigWindow::levelAllowsWriting() const
{
    // The link sends no write below Programmer; the transmitter did not refuse it.
    if (session().accessLevel() >= Session::Programmer || link().CommOverride())
        return true;
    tell(AccessLevelText);
    return false;
}

bool ConfigWindow::forceCoil(int coil)
{
    OperationRecord record(link(), windowTitle() + QStringLiteral(": coil %1").arg(coil));
    record.noteCoil(coil, true);
    if (link().Force_Coil(coil, 0xFF00)) {
        record.finish(HistoryOutcome::Done, {});
        return true;
    }
    if (record.stopped())
        return false;
    const QString failure = wroteAny() ? WrittenNotTakenUpText : CoilFailedText;
    record.finish(HistoryOutcome::Refused, failure);
    tell(failure);
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
    setLeaveCheck(edit, [field] { return field->check(); });
    return field;
}

void ConfigWindow::setLeaveCheck(QLineEdit *edit, std::function<bool()> check)
{
    m_leaveChecks.insert(edit, std::move(check));
}

bool ConfigWindow::commitFocusedField()
{
    // A table cell being typed in takes its text when its editor loses the focus.
    QWidget *focused = focusWidget();
    for (QWidget *p = focused ? focused->parentWidget() : nullptr; p && p != this; p = p->parentWidget()) {
        if (auto *view = qobject_cast<QAbstractItemView *>(p)) {
            view->setFocus();
            return true;
        }
    }
    auto *edit = qobject_cast<QLineEdit *>(focused);
    const auto check = m_leaveChecks.constFind(edit);
    if (!edit || check == m_leaveChecks.constEnd() || !edit->isVisible() || !edit->isEnabled())
        return true;
    if ((*check)())
        return true;
    edit->setFocus();
    return false;
}

void ConfigWindow::closeWindow()
{
    // While a request waits, Close only marks the window to end after it.
    if (!busy() && !closing() && appliesOnClose() && !commitFocusedField())
        return;
    requestClose();
}

void ConfigWindow::showEvent(QShowEvent *event)
{
    // Room for the caption beside the title bar's icon and buttons.
    constexpr int TitleBarExtra = 160;
    const int needed = fontMetrics().horizontalAdvance(windowTitle()) + TitleBarExtra;
    if (minimumWidth() < needed && width() < needed) {
        setMinimumWidth(needed);
        resize(needed, height());
    }
    GuardedWindow::showEvent(event);
}

void ConfigWindow::closeEvent(QCloseEvent *event)
{
    if (!finished() && !closing() && !busy() && appliesOnClose() && !commitFocusedField()) {
        event->ignore();
        return;
    }
    GuardedWindow::closeEvent(event);
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

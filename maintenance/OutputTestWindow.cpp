#include "OutputTestWindow.h"

#include "Codec.h"
#include "ModbusLink.h"
#include "OperationRecord.h"
#include "AccountManager.h"
#include "Prompter.h"
#include "Session.h"

#include <QMouseEvent>

OutputTestWindow::OutputTestWindow(const WindowContext &context, int helpContext)
    : GuardedWindow(context.parent), m_context(context), m_commandArea(context.link)
{
    setProperty("helpContext", helpContext);
}

const QString OutputTestWindow::WellTestQuestion = QStringLiteral(
    "A well test is running in the transmitter. Ending this test with Abort would stop it.\r"
    "Keep the well test running (no Abort)?");
const QString OutputTestWindow::WellTestUnknownQuestion = QStringLiteral(
    "The transmitter did not say whether a well test is running. Ending this test with Abort "
    "would stop one.\rLeave Abort out?");

bool OutputTestWindow::forceAbort()
{
    const ModbusLink::CoilState wellTest = link().readCoilState(WellTestCoil);
    // Yes, the button Return presses, is the answer that stops nothing.
    if (wellTest != ModbusLink::CoilState::Off
        && showMessage(wellTest == ModbusLink::CoilState::On ? WellTestQuestion : WellTestUnknownQuestion,
                       windowTitle(), Prompter::Warning, Prompter::Yes | Prompter::No)
               != Prompter::IdNo)
        return false;
    return force(AbortCoil, true);
}

bool OutputTestWindow::force(int coil, bool on)
{
    return OperationRecord::run(link(), windowTitle() + QStringLiteral(": coil %1 %2").arg(coil).arg(on ? "on" : "off"),
                                [&] { return link().Force_Coil(coil, on ? ModbusFrame::CoilOn : ModbusFrame::CoilOff); });
}

bool OutputTestWindow::forceInOrder(std::initializer_list<std::pair<int, bool>> coils)
{
    OperationRecord record(link(), windowTitle() + QStringLiteral(": coils in turn"));
    bool all = true;
    for (const auto &[coil, on] : coils)
        all = force(coil, on) && all;
    record.finish(all ? HistoryOutcome::Done : HistoryOutcome::FailedPartWay,
                  all ? QString() : QStringLiteral("the transmitter did not take every coil"));
    return all;
}

bool OutputTestWindow::writeArguments()
{
    if (m_commandArea.write())
        return true;
    showMessage(QStringLiteral("The test settings did not reach the transmitter,\rso the test was not started."),
                windowTitle(), Prompter::Error, Prompter::OK);
    return false;
}

void OutputTestWindow::clearResults()
{
    link().image().store(CommandArea::ResultRegister, QByteArray(CommandArea::Bytes, '\0'));
}

int OutputTestWindow::notice(const QString &text, const QString &title, unsigned buttons)
{
    return showMessage(text, title, Prompter::Warning, buttons, property("helpContext").toInt());
}

QIcon OutputTestWindow::glyph(const char *name)
{
    return QIcon(QStringLiteral(":/images/%1.svg").arg(QLatin1String(name)));
}

void OutputTestWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    if (busy() || session().userName().compare(AccountManager::builtInUserIds().value(0), Qt::CaseInsensitive) != 0)
        return;
    if (!m_context.openTestConsole)
        return;
    BusyScope scope(*this);
    m_context.openTestConsole(this);
}

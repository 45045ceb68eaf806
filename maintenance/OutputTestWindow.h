#pragma once

#include "CommandArea.h"
#include "GuardedWindow.h"
#include "WindowRegistry.h"

#include <QIcon>

#include <initializer_list>
#include <utility>

class ModbusLink;
class Session;

// What the diagnostics windows share: the link and session, the command area,
// forcing command coils in a fixed order, the safety notices and the glyphs.
// A refused coil leaves the output as it was; the link has already said why.
class OutputTestWindow : public GuardedWindow {
    Q_OBJECT
public:
    static constexpr int AbortCoil = 82;
    static constexpr int BusyCoil = 81;
    static constexpr int WellTestCoil = 86;  // on while a well test runs
    static const QString WellTestQuestion, WellTestUnknownQuestion;

protected:
    OutputTestWindow(const WindowContext &context, int helpContext);

    ModbusLink &link() const { return m_context.link; }
    Session &session() const { return m_context.session; }
    CommandArea &commandArea() { return m_commandArea; }
    // The context for a window this one opens (it becomes the parent).
    WindowContext childContext()
    {
        WindowContext c = m_context;
        c.parent = this;
        return c;
    }

    // Forces one coil on or off; true only when the transmitter took it.
    bool force(int coil, bool on);
    // Forces each coil in turn, carrying on past refusals; true when all were taken.
    bool forceInOrder(std::initializer_list<std::pair<int, bool>> coils);
    // Forces the Abort coil, which also stops a running well test: coil 86 is read
    // first and, while a test runs (or the transmitter does not say), Abort goes out
    // only when the user answers No to keeping the test. True when Abort was taken.
    bool forceAbort();
    // Writes the command area; on failure says that the test was not started.
    bool writeArguments();
    // Registers 0..121 of the image, where results come back.
    void clearResults();

    // A safety notice or question with the window's fixed texts.
    int notice(const QString &text, const QString &title, unsigned buttons);
    static QIcon glyph(const char *name);

    // A double-click on the background opens the Modbus test console, for the
    // first built-in account only.
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    WindowContext m_context;
    CommandArea m_commandArea;
};

#pragma once

#include <QString>

#include <functional>
#include <map>

class ModbusLink;
class QDialog;
class QWidget;
class Session;

// What a window opened from the main menu gets to work with.
struct WindowContext {
    ModbusLink &link;
    Session &session;
    QWidget *parent;
    // Text for the main window's status panel.
    std::function<void(const QString &)> showStatus;
    // Port, ID, mode and settings panels after a window changed the link.
    std::function<void()> refreshPortPanels;
    // Opens the Modbus test console modally over parent (procedure windows offer it
    // to the first built-in account on a double-click).
    std::function<void(QWidget *parent)> openTestConsole = {};
};

// Windows opened by menu tag. Each folder registers its windows; the main window
// creates one when its menu item is chosen, shows it modally and destroys it when
// it has closed. Tags without a window open nothing.
class WindowRegistry {
public:
    using Factory = std::function<QDialog *(const WindowContext &context, int tag)>;

    static void registerWindow(int tag, Factory factory);
    static bool contains(int tag);
    // nullptr when nothing is registered for the tag.
    static QDialog *create(int tag, const WindowContext &context);

private:
    static std::map<int, Factory> &table();
};

// Registers a window class from its own source file:
//   TARVINE_REGISTER_WINDOW(432, TfrmZeroCalibration)
// The class needs a constructor (const WindowContext &, int tag). Link the folder's
// window library whole (see app/CMakeLists.txt) so the registration is kept.
#define TARVINE_REGISTER_WINDOW(tag, Class)                                                                   \
    static const bool tarvineRegistered_##Class##_##tag = [] {                                                \
        WindowRegistry::registerWindow(tag, [](const WindowContext &c, int t) -> QDialog * {                  \
            return new Class(c, t);                                                                           \
        });                                                                                                   \
        return true;                                                                                          \
    }()

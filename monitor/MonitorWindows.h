#pragma once

#include <QList>
#include <QString>

#include <functional>

class ModbusLink;
class QDialog;
class QWidget;
class Session;

// The monitoring windows by menu tag: 20 View Measurements, 21 View Outputs,
// 30 View Alarm Status, 31 View Error Log. The main window shows the window
// modally and deletes it after exec() has returned.
namespace MonitorWindows {
QList<int> tags();
// nullptr for a tag that is not a monitoring window. showStatus receives what the
// window's poll has to say about its data (for the main window's status panel).
QDialog *create(int tag, ModbusLink &link, Session &session, QWidget *parent,
                const std::function<void(const QString &)> &showStatus = {});
}  // namespace MonitorWindows

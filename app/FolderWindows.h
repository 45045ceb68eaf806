#pragma once

#include <QObject>

class TfrmMain;

// Connects the windows and commands that the other folders provide to the main
// window's menu items: the monitoring views by tag, the whole-configuration
// commands of the File menus. Folders missing from the build are left out.
class FolderWindows : public QObject {
    Q_OBJECT
public:
    explicit FolderWindows(TfrmMain &main);
};

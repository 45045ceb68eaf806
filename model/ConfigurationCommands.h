#pragma once

#include <QObject>
#include <QString>

#include <functional>

#include "ConfigurationFiles.h"

class CommSetup;
class ModbusLink;
class QWidget;
class Session;

// The whole-configuration items of the File menus: upload, download, the text and
// binary files, the editor, the configuration report, printer setup. The main
// window connects its menu items to the slots and its status panel and progress
// bar to the signals. One transfer runs at a time; while it runs, every item here
// is refused, since each of them reads or replaces the register image.
class ConfigurationCommands : public QObject {
    Q_OBJECT
public:
    // Returns false when the user cancelled.
    using Question = std::function<bool()>;

    ConfigurationCommands(ModbusLink &link, Session &session, CommSetup &comm, QWidget *parent);

    // Download asks for a login first when nobody is logged in; the main window
    // supplies its login dialog. Without one, the access level alone decides.
    void setLoginQuestion(Question login) { m_login = std::move(login); }
    // Replaces the "Verify Unit ID" dialog (tests, the command line).
    void setUnitIdQuestion(Question question) { m_unitId = std::move(question); }

    bool transferRunning() const;

public slots:
    void upload();
    void download();
    void saveText();
    void loadText();
    void saveBinary();
    void loadBinary();
    // The editor on the current register image.
    void showEditor();
    void previewReport();
    void printReport();
    void printerSetup();

signals:
    // pnlStatus.
    void statusText(const QString &text);
    // For a progress bar; steps == 0 hides it.
    void progress(int step, int steps);
    void transferRunningChanged(bool running);
    // The register image was replaced by a file, the editor or an upload.
    void imageChanged();
    void helpRequested(int helpContext);

private:
    // A download whose file would change the unit's address, framing or line asks
    // first; false when nothing is to be written.
    bool chooseCommSettings();
    bool refuseWhileRunning() const;
    bool askUnitId();
    void runTransfer(bool isUpload);
    void openEditor(const QList<ConfigurationFiles::TextLine> &lines);

    ModbusLink &m_link;
    Session &m_session;
    CommSetup &m_comm;
    QWidget *m_parent;
    Question m_login;
    Question m_unitId;
};

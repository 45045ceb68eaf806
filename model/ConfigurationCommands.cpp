#include "ConfigurationCommands.h"

#include "UnitCommSettings.h"

#include "CommSetup.h"
#include "ConfigurationFiles.h"
#include "ConfigurationReport.h"
#include "ConfigurationTransfer.h"
#include "ModbusLink.h"
#include "NetworkAddress.h"
#include "PrintObject.h"
#include "Prompter.h"
#include "ReportPrinter.h"
#include "Session.h"
#include "TPrintPreview.h"
#include "TfrmDisplayConfiguration.h"
#include "TfrmUnitID.h"

#include <QDate>
#include <QFileInfo>
#include <QGuiApplication>

namespace {

const QString TextFilter = QStringLiteral("Config Text Files (*.cfg)");
const QString BinaryFilter = QStringLiteral("Config Binary Files (*.bin)");
const QString ReportTitle = QStringLiteral("Ostrel - Configuration File");

// The hourglass for the length of one operation.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

}  // namespace

ConfigurationCommands::ConfigurationCommands(ModbusLink &link, Session &session, CommSetup &comm, QWidget *parent)
    : QObject(parent), m_link(link), m_session(session), m_comm(comm), m_parent(parent)
{
    m_unitId = [this] {
        TfrmUnitID dialog(m_comm, m_parent);
        return dialog.exec() == QDialog::Accepted;
    };
}

bool ConfigurationCommands::transferRunning() const
{
    return ConfigurationTransfer::running();
}

bool ConfigurationCommands::refuseWhileRunning() const
{
    if (!ConfigurationTransfer::running())
        return false;
    showMessage(QStringLiteral("A configuration transfer is running. Wait until it ends, or press Esc to stop it."),
                QStringLiteral("Tarvine"), Prompter::Information);
    return true;
}

bool ConfigurationCommands::askUnitId()
{
    return !m_unitId || m_unitId();
}

void ConfigurationCommands::upload()
{
    runTransfer(true);
}

void ConfigurationCommands::download()
{
    runTransfer(false);
}

void ConfigurationCommands::runTransfer(bool isUpload)
{
    if (refuseWhileRunning())
        return;
    ConfigurationTransfer transfer(m_link, m_session);
    if (isUpload) {
        if (!transfer.checkUpload() || !askUnitId())
            return;
    } else {
        if (!m_session.loggedIn() && m_login && !m_login())
            return;
        if (!transfer.checkDownload() || !askUnitId() || !chooseCommSettings())
            return;
    }
    transfer.setCommFollower([this](std::optional<int> unitId, std::optional<int> framing, std::optional<QString> line) {
        m_comm.follow({.unitId = unitId, .framing = framing, .line = line});
    });
    connect(&transfer, &ConfigurationTransfer::progress, this, [this](const QString &text, int step, int steps) {
        emit statusText(text);
        emit progress(step, steps);
    });
    emit transferRunningChanged(true);
    {
        WaitCursor busy;
        if (isUpload)
            transfer.upload();
        else
            transfer.download();
    }
    emit progress(0, 0);
    emit transferRunningChanged(false);
    if (isUpload)
        emit imageChanged();
}

bool ConfigurationCommands::chooseCommSettings()
{
    RegisterImage unit;
    if (!UnitCommSettings::read(m_link, &unit)) {
        showMessage(QStringLiteral("Download not started: the unit's communication settings could not be read. "
                                   "Nothing was written."),
                    QStringLiteral("Download to Unit"), Prompter::Error);
        return false;
    }
    if (!UnitCommSettings::differ(m_link.image(), unit))
        return true;
    const int answer = Prompter::instance().messageBox(
        QStringLiteral("The file's communication settings (%1) differ from the unit's (%2).\n\n"
                       "Yes: write the file's settings too; Tarvine follows the unit to them.\n"
                       "No: the unit keeps its own settings (as when a file from another meter on the same bus "
                       "is copied to this one).\nCancel: write nothing.%3")
            .arg(UnitCommSettings::describe(m_link.image()), UnitCommSettings::describe(unit),
                 NetworkAddress::isNetworkText(m_link.settings().port)
                     ? QStringLiteral("\n\nThrough a network port the unit keeps its line settings (and behind a "
                                      "Modbus TCP gateway its mode) either way: the gateway reaches it there only.")
                     : QString()),
        QStringLiteral("Download to Unit"), Prompter::Confirmation, Prompter::Yes | Prompter::No | Prompter::Cancel, 0);
    if (answer == Prompter::IdNo)
        UnitCommSettings::keep(m_link.image(), unit);
    return answer == Prompter::IdYes || answer == Prompter::IdNo;
}

void ConfigurationCommands::saveText()
{
    if (refuseWhileRunning())
        return;
    const QString fileName = Prompter::instance().saveFileName(QStringLiteral("Save to Text File"), TextFilter,
                                                               QString(), QStringLiteral("cfg"));
    if (fileName.isEmpty())
        return;
    QString error;
    bool ok = false;
    {
        WaitCursor busy;
        ok = ConfigurationFiles::writeText(fileName, m_link.image(), &error);
    }
    if (!ok)
        showMessage(error, QStringLiteral("Save to Text File"), Prompter::Error);
}

void ConfigurationCommands::loadText()
{
    if (refuseWhileRunning())
        return;
    const QString fileName =
        Prompter::instance().openFileName(QStringLiteral("Load from Text File"), TextFilter, QString());
    if (fileName.isEmpty())
        return;
    QList<ConfigurationFiles::TextLine> lines;
    QString error;
    if (!ConfigurationFiles::readText(fileName, &lines, &error)) {
        showMessage(error, QStringLiteral("Load from Text File"), Prompter::Error);
        return;
    }
    openEditor(lines);
}

void ConfigurationCommands::showEditor()
{
    if (refuseWhileRunning())
        return;
    QList<ConfigurationFiles::TextLine> lines;
    for (const QString &line : ConfigurationFiles::textLines(m_link.image()))
        lines << ConfigurationFiles::splitLine(line);
    openEditor(lines);
}

void ConfigurationCommands::openEditor(const QList<ConfigurationFiles::TextLine> &lines)
{
    TfrmDisplayConfiguration editor(m_link.image(), lines, m_parent);
    connect(&editor, &TfrmDisplayConfiguration::imageChanged, this, &ConfigurationCommands::imageChanged);
    connect(&editor, &TfrmDisplayConfiguration::helpRequested, this, &ConfigurationCommands::helpRequested);
    editor.exec();
}

void ConfigurationCommands::saveBinary()
{
    if (refuseWhileRunning())
        return;
    const QString fileName = Prompter::instance().saveFileName(QStringLiteral("Save to Binary File"), BinaryFilter,
                                                               QString(), QStringLiteral("bin"));
    if (fileName.isEmpty())
        return;
    QString error;
    bool ok = false;
    {
        WaitCursor busy;
        ok = ConfigurationFiles::writeBinary(fileName, m_link.image(), &error);
    }
    if (!ok)
        showMessage(error, QStringLiteral("Save to Binary File"), Prompter::Error);
}

void ConfigurationCommands::loadBinary()
{
    if (refuseWhileRunning())
        return;
    const QString fileName =
        Prompter::instance().openFileName(QStringLiteral("Load from Binary File"), BinaryFilter, QString());
    if (fileName.isEmpty())
        return;
    QString error;
    bool ok = false;
    {
        WaitCursor busy;
        ok = ConfigurationFiles::readBinary(fileName, m_link.image(), &error);
    }
    if (!ok) {
        showMessage(error, QStringLiteral("Load from Binary File"), Prompter::Error);
        return;
    }
    emit imageChanged();
}

void ConfigurationCommands::previewReport()
{
    if (refuseWhileRunning())
        return;
    PrintObject print(ReportPrinter::instance().pageSizeInches());
    buildConfigurationReport(print, m_link.image(), QDate::currentDate());
    TPrintPreview preview(print, ReportTitle, m_parent);
    preview.exec();
}

void ConfigurationCommands::printReport()
{
    if (refuseWhileRunning())
        return;
    PrintObject print(ReportPrinter::instance().pageSizeInches());
    buildConfigurationReport(print, m_link.image(), QDate::currentDate());
    ReportPrinter::instance().print(print, ReportTitle, 0, -1, false, m_parent);
}

void ConfigurationCommands::printerSetup()
{
    ReportPrinter::instance().setup(m_parent);
}

#include "ConfigurationCliCommands.h"

#include "UnitCommSettings.h"

#include "Catalogue.h"
#include "CommSettingsFile.h"
#include "CommandTable.h"
#include "ConfigurationFiles.h"
#include "ConfigurationReport.h"
#include "ConfigurationTransfer.h"
#include "DefaultImage.h"
#include "InterruptWatch.h"
#include "ModbusLink.h"
#include "PrintObject.h"
#include "Session.h"
#include "TransmitterIdentifier.h"

#include <QDate>
#include <QFileInfo>

#include <unistd.h>

namespace {

enum class FileKind { Text, Binary, Pdf, Other };

FileKind kindOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("cfg"))
        return FileKind::Text;
    if (suffix == QLatin1String("bin"))
        return FileKind::Binary;
    if (suffix == QLatin1String("pdf"))
        return FileKind::Pdf;
    return FileKind::Other;
}

// Whether the result file can be written, asked before a reading of many seconds.
bool writable(const QString &fileName, QTextStream &err)
{
    const QFileInfo file(fileName);
    const QString dir = file.absolutePath();
    QString problem;
    if (file.isDir())
        problem = QStringLiteral("it is a folder");
    else if (!QFileInfo(dir).isDir())
        problem = QStringLiteral("the folder %1 does not exist").arg(dir);
    else if (file.exists() ? ::access(QFile::encodeName(file.absoluteFilePath()).constData(), W_OK) != 0
                           : ::access(QFile::encodeName(dir).constData(), W_OK) != 0)
        problem = file.exists() ? QStringLiteral("the file is write-protected")
                                : QStringLiteral("the folder %1 is not writable").arg(dir);
    if (problem.isEmpty())
        return true;
    err << "Cannot write " << fileName << ": " << problem << ". Nothing was read from the unit.\n";
    return false;
}

// Progress as the command line words it: blocks, not registers.
void showBlockProgress(ConfigurationTransfer &transfer, CliContext &c, const QString &verb)
{
    if (!c.progress)
        return;
    QObject::connect(&transfer, &ConfigurationTransfer::progress, [&c, verb](const QString &text, int step, int steps) {
        const QString block = text.section(QStringLiteral(" registers: "), 1);
        if (block.isEmpty())
            c.progress(text, step, steps);
        else
            c.progress(QStringLiteral("%1 block %2 of %3: %4").arg(verb).arg(step).arg(Catalogue::BlockCount).arg(block),
                       step, steps);
    });
}

// What went wrong with a transfer, and what to try when the unit fell silent.
void reportFailure(CliContext &c, const QString &what)
{
    c.err << what << "\n";
    if (!c.link.portOpen() || !c.link.MsgComplete())
        c.err << noReplyAdvice(c.link) << "\n";
}

// Reads the whole transmitter into the link's image. Registers that belong to no
// block keep the built-in defaults, as in the program. Ctrl-C stops between blocks.
bool uploadAll(CliContext &c, ConfigurationTransfer::Result *result)
{
    c.link.image().setBytes(defaultConfigurationImage());
    ConfigurationTransfer transfer(c.link, *c.link.session());
    if (!transfer.checkUpload())
        return false;
    showBlockProgress(transfer, c, QStringLiteral("Reading"));
    Session &session = *c.link.session();
    InterruptWatch interrupt([&session] { session.setAbort(true); });
    *result = transfer.upload();
    return result->ok();
}

CliAction prepareUpload(const QStringList &args, QTextStream &err)
{
    const QString fileName = args[0];
    const FileKind kind = kindOf(fileName);
    if (kind != FileKind::Text && kind != FileKind::Binary) {
        err << "upload: the file name must end in .cfg (text) or .bin (binary).\n";
        return {};
    }
    if (!writable(fileName, err))
        return failedInput();
    return [fileName, kind](CliContext &c) {
        ConfigurationTransfer::Result read;
        if (!uploadAll(c, &read)) {
            reportFailure(c, read.summary + QStringLiteral(" Nothing was written to ") + fileName + QLatin1Char('.'));
            return int(ExitFailed);
        }
        QString error;
        const bool written = kind == FileKind::Text ? ConfigurationFiles::writeText(fileName, c.link.image(), &error)
                                                    : ConfigurationFiles::writeBinary(fileName, c.link.image(), &error);
        if (!written) {
            c.err << error << "\n";
            return int(ExitFailed);
        }
        c.out << QStringLiteral("Configuration read: %1 blocks, written to %2\n").arg(Catalogue::BlockCount).arg(fileName);
        return int(ExitOk);
    };
}

// Puts the unit's own communication settings into the image to be written, unless
// told to write the file's; says which it kept when they differ. False when the
// unit's settings could not be read (nothing is then written).
bool keepUnitComm(CliContext &c, RegisterImage &image, bool withComm)
{
    if (withComm)
        return true;
    RegisterImage unit;
    if (!UnitCommSettings::read(c.link, &unit)) {
        reportFailure(c, QStringLiteral("Download not started: the unit's communication settings could not be read."));
        return false;
    }
    if (!UnitCommSettings::differ(image, unit))
        return true;
    c.err << QStringLiteral("Kept the unit's communication settings (%1); the file's (%2) were not written. "
                            "Give --with-comm to write them.\n")
                 .arg(UnitCommSettings::describe(unit), UnitCommSettings::describe(image));
    UnitCommSettings::keep(image, unit);
    return true;
}

CliAction prepareDownload(const QStringList &args, QTextStream &err)
{
    const QString fileName = args[0];
    const bool withComm = args.contains(QStringLiteral("with-comm="));
    const FileKind kind = kindOf(fileName);
    if (kind != FileKind::Text && kind != FileKind::Binary) {
        err << "download: the file name must end in .cfg (text) or .bin (binary).\n";
        return {};
    }
    // The file is checked before the port is opened: a bad file sends nothing.
    QString error;
    RegisterImage binary;
    QStringList values;
    if (kind == FileKind::Binary) {
        if (!ConfigurationFiles::readBinary(fileName, binary, &error)) {
            err << error << "\n";
            return failedInput();
        }
    } else {
        QList<ConfigurationFiles::TextLine> lines;
        if (!ConfigurationFiles::readText(fileName, &lines, &error)) {
            err << error << "\n";
            return failedInput();
        }
        for (const auto &line : lines)
            values << line.value;
        RegisterImage probe;
        int badRow = -1;
        if (!ConfigurationFiles::applyValues(values, probe, &badRow, &error)) {
            err << fileName << ": " << error << "\n";
            return failedInput();
        }
    }
    return [fileName, kind, binary, values, withComm](CliContext &c) {
        Session &session = *c.link.session();
        // Identification decides whether the comm protocol is re-read. It reads
        // registers that the file also holds (the tag, descriptor and message), so
        // it runs before the file is put into the image, never after.
        TransmitterIdentifier(c.link, session).identify();
        RegisterImage image;
        if (kind == FileKind::Binary) {
            image = binary;
        } else {
            // A text file holds the configuration blocks only: the other blocks
            // go back to the transmitter as it holds them now.
            ConfigurationTransfer::Result read;
            if (!uploadAll(c, &read)) {
                reportFailure(c, QStringLiteral("Download not started: reading the unit's present configuration "
                                                "stopped after %1 of %2 blocks. Nothing was written.")
                                     .arg(read.blocksDone)
                                     .arg(Catalogue::BlockCount));
                return int(ExitFailed);
            }
            image = c.link.image();
            int badRow = -1;
            QString error;
            if (!ConfigurationFiles::applyValues(values, image, &badRow, &error)) {
                c.err << error << "\n";
                return int(ExitFailed);
            }
        }
        if (!keepUnitComm(c, image, withComm))
            return int(ExitFailed);
        c.link.image() = image;
        ConfigurationTransfer transfer(c.link, session);
        transfer.setHistoryName(QStringLiteral("tarvine-cli download %1%2")
                                    .arg(fileName, withComm ? QStringLiteral(" --with-comm") : QString()));
        if (!transfer.checkDownload())
            return int(ExitFailed);
        showBlockProgress(transfer, c, QStringLiteral("Writing"));
        InterruptWatch interrupt([&session] { session.setAbort(true); });
        const ConfigurationTransfer::Result result = transfer.download();
        for (const QString &kept : result.commKept)
            c.err << kept << "\n";
        if (!result.ok()) {
            reportFailure(c, result.summary);
            return int(ExitFailed);
        }
        c.out << QStringLiteral("Configuration written: %1 blocks; the unit re-read its configuration.\n")
                     .arg(Catalogue::BlockCount);
        if (session.history())
            c.out << result.summary << "\n";
        return int(ExitOk);
    };
}

CliAction prepareReport(const QStringList &args, QTextStream &err)
{
    const QString fileName = args[0];
    if (kindOf(fileName) != FileKind::Pdf) {
        err << "report: the file name must end in .pdf.\n";
        return {};
    }
    if (!writable(fileName, err))
        return failedInput();
    return [fileName](CliContext &c) {
        ConfigurationTransfer::Result read;
        if (!uploadAll(c, &read)) {
            reportFailure(c, read.summary + QStringLiteral(" No report was written."));
            return int(ExitFailed);
        }
        PrintObject print;
        buildConfigurationReport(print, c.link.image(), QDate::currentDate());
        QString error;
        if (!print.writePdf(fileName, QStringLiteral("Ostrel - Configuration File"), &error)) {
            c.err << error << "\n";
            return int(ExitFailed);
        }
        c.out << "Configuration report written to " << fileName << " (" << print.pageCount() << " pages)\n";
        return int(ExitOk);
    };
}

}  // namespace

void registerConfigurationCommands(CommandTable &table)
{
    table.add({QStringLiteral("upload"), QStringLiteral("upload FILE"),
               QStringLiteral("Read the whole configuration into FILE (.cfg text or .bin image)."), 1, prepareUpload});
    CliCommand download{QStringLiteral("download"), QStringLiteral("download FILE"),
                        QStringLiteral("Write the configuration in FILE (.cfg or .bin) to the transmitter; the unit "
                                       "keeps its own unit ID, framing, protocol and line unless --with-comm."),
                        1, prepareDownload};
    download.options = {QCommandLineOption(
        QStringLiteral("with-comm"),
        QStringLiteral("download: also write the file's unit ID, framing, protocol and line settings."))};
    download.usesHistory = true;
    table.add(download);
    table.add({QStringLiteral("report"), QStringLiteral("report FILE.pdf"),
               QStringLiteral("Read the configuration and print its report to a PDF file."), 1, prepareReport});
}

#include "ConfigurationCliCommands.h"

#include "CommandTable.h"
#include "ConfigurationFiles.h"
#include "ConfigurationReport.h"
#include "ConfigurationTransfer.h"
#include "DefaultImage.h"
#include "ModbusLink.h"
#include "PrintObject.h"
#include "Session.h"
#include "TransmitterIdentifier.h"

#include <QDate>
#include <QFileInfo>

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

// Reads the whole transmitter into the link's image. Registers that belong to no
// block keep the built-in defaults, as in the program.
bool uploadAll(CliContext &c)
{
    c.link.image().setBytes(defaultConfigurationImage());
    ConfigurationTransfer transfer(c.link, *c.link.session());
    if (!transfer.checkUpload())
        return false;
    if (c.progress)
        QObject::connect(&transfer, &ConfigurationTransfer::progress, c.progress);
    const ConfigurationTransfer::Result result = transfer.upload();
    if (!result.ok()) {
        c.err << result.summary << "\n";
        return false;
    }
    return true;
}

CliAction prepareUpload(const QStringList &args, QTextStream &err)
{
    const QString fileName = args[0];
    const FileKind kind = kindOf(fileName);
    if (kind != FileKind::Text && kind != FileKind::Binary) {
        err << "upload: the file name must end in .cfg (text) or .bin (binary).\n";
        return {};
    }
    return [fileName, kind](CliContext &c) {
        if (!uploadAll(c))
            return int(ExitFailed);
        QString error;
        const bool written = kind == FileKind::Text ? ConfigurationFiles::writeText(fileName, c.link.image(), &error)
                                                    : ConfigurationFiles::writeBinary(fileName, c.link.image(), &error);
        if (!written) {
            c.err << error << "\n";
            return int(ExitFailed);
        }
        c.out << "Configuration uploaded to " << fileName << "\n";
        return int(ExitOk);
    };
}

CliAction prepareDownload(const QStringList &args, QTextStream &err)
{
    const QString fileName = args[0];
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
    return [kind, binary, values](CliContext &c) {
        Session &session = *c.link.session();
        // Identification decides whether the comm protocol is re-read. It reads
        // registers that the file also holds (the tag, descriptor and message), so
        // it runs before the file is put into the image, never after.
        TransmitterIdentifier(c.link, session).identify();
        if (kind == FileKind::Binary) {
            c.link.image() = binary;
        } else {
            // A text file holds the configuration blocks only: the other blocks
            // go back to the transmitter as it holds them now.
            if (!uploadAll(c))
                return int(ExitFailed);
            int badRow = -1;
            QString error;
            if (!ConfigurationFiles::applyValues(values, c.link.image(), &badRow, &error)) {
                c.err << error << "\n";
                return int(ExitFailed);
            }
        }
        ConfigurationTransfer transfer(c.link, session);
        if (!transfer.checkDownload())
            return int(ExitFailed);
        if (c.progress)
            QObject::connect(&transfer, &ConfigurationTransfer::progress, c.progress);
        const ConfigurationTransfer::Result result = transfer.download();
        (result.ok() ? c.out : c.err) << result.summary << "\n";
        return int(result.ok() ? ExitOk : ExitFailed);
    };
}

CliAction prepareReport(const QStringList &args, QTextStream &err)
{
    const QString fileName = args[0];
    if (kindOf(fileName) != FileKind::Pdf) {
        err << "report: the file name must end in .pdf.\n";
        return {};
    }
    return [fileName](CliContext &c) {
        if (!uploadAll(c))
            return int(ExitFailed);
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
    table.add({QStringLiteral("download"), QStringLiteral("download FILE"),
               QStringLiteral("Write the configuration in FILE (.cfg or .bin) to the transmitter."), 1,
               prepareDownload});
    table.add({QStringLiteral("report"), QStringLiteral("report FILE.pdf"),
               QStringLiteral("Read the configuration and print its report to a PDF file."), 1, prepareReport});
}

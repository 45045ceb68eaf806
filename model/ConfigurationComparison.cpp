#include "ConfigurationComparison.h"

#include "CsvText.h"

#include "ConfigurationFiles.h"
#include "ConfigurationTransfer.h"
#include "DefaultImage.h"
#include "ModbusLink.h"
#include "PrintObject.h"
#include "RegisterImage.h"
#include "ValueCodec.h"
#include "Catalogue.h"

#include <QDate>
#include <QFileInfo>
#include <QHash>

namespace ConfigurationComparison {

bool isReading(const QString &key)
{
    static const QStringList blocks{"Cfg420AOut", "Cfg420BOut", "Cfg420COut", "CfgPulse",
                                    "NetOilPcntWC", "NetOilPWTotal", "NetOilPWRate"};
    static const QStringList fields{"Value", "mAmps", "PcntRange", "DACData", "Forward", "Reverse"};
    const qsizetype dot = key.indexOf(QLatin1Char('.'));
    return dot > 0 && blocks.contains(key.left(dot)) && fields.contains(key.mid(dot + 1));
}

bool isCommunicationSetting(const Difference &difference)
{
    const BlockDef *block = Catalogue::block(difference.block);
    if (!block)
        return false;
    // The unit ID, the Modbus mode and the line settings' registers.
    constexpr int CommRegisters[] = {2401, 2402, 2406};
    for (int r : CommRegisters)
        if (r >= block->startRegister && r < block->endRegister())
            return true;
    return false;
}

QList<Difference> differences(const RegisterImage &a, const RegisterImage &b, Readings readings, int *readingsSkipped)
{
    if (readingsSkipped)
        *readingsSkipped = 0;
    QHash<QString, int> seen;
    QList<Difference> result;
    // The same walk as the text file, so a difference reads as the two files would.
    for (int block : Catalogue::configurationBlocks()) {
        for (const FieldRef &f : Catalogue::fields(block)) {
            const int occurrence = ++seen[f.key];
            const QString valueA = ValueCodec::format(a, f.byteOffset, f.byteCount, f.type, QLatin1Char('.'));
            const QString valueB = ValueCodec::format(b, f.byteOffset, f.byteCount, f.type, QLatin1Char('.'));
            if (valueA == valueB)
                continue;
            if (readings == Readings::Skip && isReading(f.key)) {
                if (readingsSkipped)
                    ++*readingsSkipped;
                continue;
            }
            const QString key = occurrence == 1 ? f.key : QStringLiteral("%1[%2]").arg(f.key).arg(occurrence);
            result.append({key, valueA, valueB, block, f.byteOffset, f.byteCount});
        }
    }
    return result;
}

bool loadFile(const QString &fileName, RegisterImage &image, QString *error)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("bin"))
        return ConfigurationFiles::readBinary(fileName, image, error);
    if (suffix != QLatin1String("cfg")) {
        *error = QStringLiteral("%1: a configuration file ends in .cfg (text) or .bin (binary).").arg(fileName);
        return false;
    }
    QList<ConfigurationFiles::TextLine> lines;
    if (!ConfigurationFiles::readText(fileName, &lines, error))
        return false;
    QStringList values;
    for (const ConfigurationFiles::TextLine &line : lines)
        values << line.value;
    RegisterImage loaded;
    loaded.setBytes(defaultConfigurationImage());
    int badRow = -1;
    if (!ConfigurationFiles::applyValues(values, loaded, &badRow, error)) {
        *error = fileName + QStringLiteral(": ") + *error;
        return false;
    }
    image = loaded;
    return true;
}

bool loadUnit(ModbusLink &link, RegisterImage &image, QString *error, const Progress &progress, bool *cancelled)
{
    if (cancelled)
        *cancelled = false;
    const RegisterImage before = link.image();
    ConfigurationTransfer transfer(link, *link.session());
    if (progress)
        QObject::connect(&transfer, &ConfigurationTransfer::progress, &transfer, progress);
    if (!transfer.checkUpload()) {
        *error = QStringLiteral("The port is not open: the unit cannot be read.");
        return false;
    }
    const ConfigurationTransfer::Result result = transfer.upload();
    if (!result.ok()) {
        // A half-read image must not stand for the unit.
        link.image() = before;
        if (cancelled)
            *cancelled = result.aborted;
        *error = QStringLiteral("The unit's configuration could not be read: %1").arg(result.summary);
        return false;
    }
    image = link.image();
    return true;
}

QByteArray csv(const QList<Difference> &differences, const QStringList &columnTitles)
{
    QString text = CsvText::line(columnTitles);
    for (const Difference &d : differences)
        text += CsvText::line({d.key, d.valueA, d.valueB});
    return text.toUtf8();
}

void buildReport(PrintObject &print, const QList<Difference> &differences, const QString &nameA,
                 const QString &nameB, const QDate &today)
{
    constexpr int Heading = PrintObject::Bold | PrintObject::Underline;
    // The value columns are narrow: long side names are cut to what fits.
    auto columnTitle = [](const QString &name) { return name.size() > 28 ? QStringLiteral("…") + name.right(27) : name; };
    print.startDocument();
    print.setMargins(1.0, 1.0, 1.0, 1.0);
    print.setBodyArea(1.6, 10.0);
    print.setHeaderLine(1, {.text = QStringLiteral("Ostrel - Configuration Differences"), .top = 0.7,
                            .align = PrintObject::AlignCentred, .fontSize = 14, .fontStyle = Heading});
    print.setHeaderLine(2, {.text = QStringLiteral("Date: ") + today.toString(QStringLiteral("MM/dd/yyyy")),
                            .left = 6.3, .top = 1.05, .width = 1.5});
    print.setPageNumberLine({.text = QStringLiteral("Page: %d of %d"), .left = 6.3, .top = 1.2, .width = 1.5});
    print.setHeaderLine(3, {.text = QStringLiteral("Field"), .left = 0.7, .top = 1.4, .width = 2.6, .fontStyle = Heading});
    print.setHeaderLine(4, {.text = columnTitle(nameA), .left = 3.4, .top = 1.4, .width = 2.2, .fontStyle = Heading});
    print.setHeaderLine(5, {.text = columnTitle(nameB), .left = 5.7, .top = 1.4, .width = 2.2, .fontStyle = Heading});
    print.setBodyFont(QStringLiteral("Arial"), 9, 0);
    print.defineColumn(1, 0.7, 2.6);
    print.defineColumn(2, 3.4, 2.2);
    print.defineColumn(3, 5.7, 2.2);
    if (differences.isEmpty())
        print.writeColumn(1, QStringLiteral("No field differs."), PrintObject::CurrentLine);
    // A line is written where the body stands, then the body moves down one line.
    for (const Difference &d : differences) {
        print.writeColumn(1, d.key, PrintObject::CurrentLine);
        print.writeColumn(2, d.valueA, PrintObject::CurrentLine);
        print.writeColumn(3, d.valueB, PrintObject::CurrentLine);
        print.writeColumn(1, QString(), PrintObject::NextLine);
    }
    print.finishDocument();
}

}  // namespace ConfigurationComparison

#include "CalibrationCertificate.h"

#include "HistoryText.h"
#include "PrintObject.h"
#include "ReportPrinter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString Title = QStringLiteral("Calibration Certificate");
const QString FontName = QStringLiteral("Arial");
constexpr double Left = 1.0;
constexpr double Top = 0.8;
constexpr double Line = 0.22;
constexpr double ValueLeft = 2.9;
constexpr double FoundLeft = 3.9;
constexpr double LeftLeft = 5.6;
// What fits above the outcome and the signature on one page.
constexpr int MostTableLines = 24;

QJsonArray pairsToJson(const QList<std::pair<QString, QString>> &pairs)
{
    QJsonArray a;
    for (const auto &[caption, value] : pairs)
        a.append(QJsonArray{caption, value});
    return a;
}

} // namespace

QString CertificateContent::toJson() const
{
    QJsonArray constantsJson;
    for (const FieldChange &c : constants)
        constantsJson.append(QJsonArray{c.key, c.asFoundText, c.asLeftText});
    return QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("method"), method},
                                                       {QStringLiteral("readings"), pairsToJson(readings)},
                                                       {QStringLiteral("constants"), constantsJson}})
                                 .toJson(QJsonDocument::Compact));
}

CertificateContent CertificateContent::fromJson(const QString &json)
{
    const QJsonObject o = QJsonDocument::fromJson(json.toUtf8()).object();
    CertificateContent content;
    content.method = o.value(QStringLiteral("method")).toString();
    for (const QJsonValue &v : o.value(QStringLiteral("readings")).toArray())
        content.readings << std::pair{v[0].toString(), v[1].toString()};
    for (const QJsonValue &v : o.value(QStringLiteral("constants")).toArray())
        content.constants << FieldChange{.key = v[0].toString(), .firstRegister = -1, .byteCount = 0, .coil = -1,
                                         .asFound = {}, .asLeft = {}, .asFoundText = v[1].toString(),
                                         .asLeftText = v[2].toString()};
    return content;
}

void buildCertificate(PrintObject &print, const HistoryEntry &entry)
{
    const CertificateContent content = CertificateContent::fromJson(entry.certificate);
    const QFont title = PrintObject::makeFont(FontName, 16, PrintObject::Bold);
    const QFont heading = PrintObject::makeFont(FontName, 11, PrintObject::Bold | PrintObject::Underline);
    const QFont body = PrintObject::makeFont(FontName, 10, 0);
    print.startDocument();
    double y = Top;
    print.drawText(Left, y, Title, title);
    y += 2 * Line;
    const auto section = [&](const QString &text) {
        y += Line / 2;
        print.drawText(Left, y, text, heading);
        y += Line * 1.2;
    };
    const auto row = [&](const QStringList &cells, const QList<double> &lefts) {
        for (qsizetype i = 0; i < cells.size() && i < lefts.size(); ++i)
            print.drawText(lefts[i], y, cells[i], body);
        y += Line;
    };
    const QList<double> pair{Left, ValueLeft};
    section(QStringLiteral("Unit"));
    row({QStringLiteral("Tag:"), entry.info.tag}, pair);
    row({QStringLiteral("Sensor serial number:"), entry.info.serial}, pair);
    row({QStringLiteral("Model:"), entry.info.model}, pair);
    row({QStringLiteral("Unit ID:"), QString::number(entry.info.unitId)}, pair);
    row({QStringLiteral("Connection:"), QStringLiteral("%1 %2 %3").arg(entry.info.port, entry.info.line, entry.info.framing)},
        pair);
    section(QStringLiteral("Calibration"));
    row({QStringLiteral("Method:"), content.method}, pair);
    row({QStringLiteral("Technician:"), entry.info.user}, pair);
    row({QStringLiteral("Date and time:"),
         entry.info.startedUtc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"))},
        pair);

    int lines = 0;
    const auto fits = [&] { return ++lines <= MostTableLines; };
    section(QStringLiteral("Readings entered"));
    if (content.readings.isEmpty())
        row({QStringLiteral("(none)")}, pair);
    for (const auto &[caption, value] : content.readings)
        if (fits())
            row({caption + QLatin1Char(':'), value}, pair);
    section(QStringLiteral("Calibration constants"));
    row({QStringLiteral("As the transmitter holds them, in its own units.")}, pair);
    const QList<double> columns{Left, FoundLeft, LeftLeft};
    row({QStringLiteral("Constant"), QStringLiteral("As found"), QStringLiteral("As left")}, columns);
    for (const FieldChange &c : content.constants)
        if (fits())
            row({c.key, c.asFoundText.trimmed(), c.asLeftText.trimmed()}, columns);
    if (lines > MostTableLines)
        row({QStringLiteral("(%1 more lines in the change history, record %2)").arg(lines - MostTableLines).arg(entry.id)},
            pair);

    section(QStringLiteral("Outcome"));
    row({outcomeWithMessage(entry)}, pair);
    y += 3 * Line;
    print.drawLine(Left, y, Left + 3.0, y);
    print.drawLine(FoundLeft + 0.6, y, LeftLeft + 1.9, y);
    y += Line / 4;
    row({QStringLiteral("Signature of the technician"), QStringLiteral("Date")}, {Left, FoundLeft + 0.6});
    print.finishDocument();
}

bool saveCertificate(const HistoryEntry &entry)
{
    PrintObject print(ReportPrinter::instance().pageSizeInches());
    buildCertificate(print, entry);
    return ReportPrinter::instance().saveAsPdf(print, Title);
}

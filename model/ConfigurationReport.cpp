#include "ConfigurationReport.h"

#include "Catalogue.h"
#include "ConfigurationFiles.h"
#include "PrintObject.h"
#include "RegisterImage.h"

#include <QLocale>

namespace {

PrintObject::TextLine headerLine(const QString &text, double left, double top, double width, int align,
                                 double size, int style)
{
    PrintObject::TextLine line;
    line.text = text;
    line.left = left;
    line.top = top;
    line.width = width;
    line.align = align;
    line.fontName = QStringLiteral("Arial");
    line.fontSize = size;
    line.fontStyle = style;
    return line;
}

QString tagOf(const RegisterImage &image)
{
    const auto tag = Catalogue::fieldByKey(u"CfgMiscInfo.Tag");
    return tag ? image.textAt(tag->byteOffset, tag->byteCount) : QString();
}

}  // namespace

QString reportDate(const QDate &date)
{
    return QLocale::c().toString(date, QStringLiteral("MMM d, yyyy"));
}

void buildConfigurationReport(PrintObject &print, const RegisterImage &image, const QDate &today)
{
    constexpr int Heading = PrintObject::Bold | PrintObject::Underline;
    print.startDocument();
    print.setMargins(1.0, 1.0, 1.0, 1.0);
    print.setBodyArea(1.6, 10.0);
    print.setHeaderLine(1, headerLine(QStringLiteral("Tag: ") + tagOf(image), 6.8, 0.7, 1.5, PrintObject::AlignLeft, 10, 0));
    print.setHeaderLine(2, headerLine(QStringLiteral("Date: ") + reportDate(today), 6.8, 0.85, 1.5, PrintObject::AlignLeft, 10, 0));
    print.setPageNumberLine(headerLine(QStringLiteral("Page: %d of %d"), 6.8, 1.0, 1.5, PrintObject::AlignLeft, 10, 0));
    print.setHeaderLine(3, headerLine(QStringLiteral("Ostrel - Configuration File"), 0, 1.0, 0, PrintObject::AlignCentred, 14, Heading));
    print.setHeaderLine(4, headerLine(QStringLiteral("Register"), 1.0, 1.4, 2.5, PrintObject::AlignLeft, 10, Heading));
    print.setHeaderLine(5, headerLine(QStringLiteral("Value"), 4.6, 1.4, 1.0, PrintObject::AlignLeft, 10, Heading));
    print.setBodyFont(QStringLiteral("Arial"), 10, 0);
    print.defineColumn(1, 1.0, 2.5);
    print.defineColumn(2, 3.85, 1.0);
    print.defineColumn(3, 4.5, 1.0);

    for (const QString &text : ConfigurationFiles::textLines(image)) {
        const ConfigurationFiles::TextLine line = ConfigurationFiles::splitLine(text);
        print.writeColumn(1, line.key, PrintObject::CurrentLine);
        print.writeColumnRight(2, line.value, PrintObject::CurrentLine);
        print.writeColumn(3, QString(), PrintObject::NextLine);
    }
    print.finishDocument();
}

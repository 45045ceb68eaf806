#include "OnePageReport.h"

#include "PrintObject.h"
#include "ReportPrinter.h"

#include <QLocale>

namespace {
constexpr double Margin = 1.0;
constexpr double BodyTop = 1.0;
constexpr double BodyBottom = 10.0;
constexpr double InfoLeft = 6.8;
constexpr double InfoLineStep = 0.2;
constexpr double HeadsTop = 1.6;
const QString FontName = QStringLiteral("Arial");
constexpr double TitleSize = 14;
constexpr double BodySize = 11;
// Caption, value and unit columns: a caption of MaxCellChars characters ("Standard
// Temperature") and a text value ("No Well Selected!!") fit their columns whole.
constexpr double ColumnLeft[] = {1.0, 2.9, 4.6};
constexpr double ColumnWidth[] = {1.8, 1.6, 1.5};

QString cell(const QString &text)
{
    return text.left(OnePageReport::MaxCellChars);
}
}  // namespace

OnePageReport::OnePageReport(QString title, QString tag, QDate date)
    : m_title(std::move(title)), m_tag(std::move(tag)), m_date(date)
{
}

void OnePageReport::compose(PrintObject &doc) const
{
    doc.startDocument();
    doc.setMargins(Margin, Margin, Margin, Margin);
    doc.setBodyArea(BodyTop, BodyBottom);

    PrintObject::TextLine title;
    title.text = m_title;
    title.top = BodyTop;
    title.align = PrintObject::AlignCentred;
    title.fontName = FontName;
    title.fontSize = TitleSize;
    title.fontStyle = PrintObject::Bold | PrintObject::Underline;
    doc.setHeaderLine(1, title);

    const QString info[] = {
        QStringLiteral("Tag:  ") + m_tag,
        QStringLiteral("Date: ") + QLocale::c().toString(m_date, QStringLiteral("MMM d, yyyy")),
        QStringLiteral("Page: 1 of 1"),
    };
    const QFont body = PrintObject::makeFont(FontName, BodySize, 0);
    for (int i = 0; i < 3; ++i)
        doc.drawText(InfoLeft, BodyTop + i * InfoLineStep, info[i].left(MaxCellChars), body);

    for (int c = 0; c < 3; ++c)
        doc.defineColumn(c + 1, ColumnLeft[c], ColumnWidth[c]);
    doc.setBodyFont(FontName, BodySize, PrintObject::Bold | PrintObject::Underline);
    for (int c = 0; c < 3 && c < m_heads.size(); ++c)
        doc.writeColumn(c + 1, m_heads[c], c == 0 ? HeadsTop : PrintObject::CurrentLine);
    doc.setBodyFont(FontName, BodySize, 0);
    for (const Row &row : m_rows) {
        doc.writeColumn(1, cell(row.caption), PrintObject::NextLine);
        doc.writeColumn(2, cell(row.value), PrintObject::CurrentLine);
        doc.writeColumn(3, cell(row.unit), PrintObject::CurrentLine);
    }
    doc.finishDocument();
}

bool OnePageReport::print(QWidget *parent) const
{
    PrintObject doc;
    compose(doc);
    // The shared printer keeps the page at the resolution its pictures were recorded
    // in, and offers a PDF file when no printer is installed.
    return ReportPrinter::instance().print(doc, m_title, 0, -1, false, parent);
}

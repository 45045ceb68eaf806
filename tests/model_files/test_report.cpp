#include "ConfigurationFiles.h"
#include "ConfigurationReport.h"
#include "Catalogue.h"
#include "DefaultImage.h"
#include "PdfText.h"
#include "PrintObject.h"
#include "RegisterImage.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(ReportTest, DefaultConfigurationPrintsEveryHeaderPageNumberAndKeyInOrder)
{
    RegisterImage image;
    ASSERT_TRUE(image.setBytes(defaultConfigurationImage()));
    // A tag wider than its 1.5 inches (but still on the page) is printed whole.
    const QFontMetricsF metrics(PrintObject::makeFont(QStringLiteral("Arial"), 10, 0));
    QString tagText = QStringLiteral("T");
    while (metrics.horizontalAdvance(QStringLiteral("Tag: ") + tagText) < 1.55 * PrintObject::UnitsPerInch)
        tagText += QLatin1Char('X');
    ASSERT_LT(metrics.horizontalAdvance(QStringLiteral("Tag: ") + tagText), 1.65 * PrintObject::UnitsPerInch);
    const auto tag = Catalogue::fieldByKey(u"CfgMiscInfo.Tag");
    image.setTextAt(tag->byteOffset, tag->byteCount, tagText);

    PrintObject print;
    buildConfigurationReport(print, image, QDate(2026, 3, 4));
    ASSERT_TRUE(print.finished());
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    QString error;
    ASSERT_TRUE(print.writePdf(pdf, QStringLiteral("Ostrel - Configuration File"), &error)) << error.toStdString();

    const QStringList pages = pdfPages(pdf);
    const int count = print.pageCount();
    ASSERT_GT(count, 1);
    ASSERT_EQ(pages.size(), count);
    for (int p = 0; p < count; ++p) {
        const QString &page = pages[p];
        for (const QString &header : {QStringLiteral("Tag: ") + tagText, QStringLiteral("Date: Mar 4, 2026"),
                                      QStringLiteral("Page: %1 of %2").arg(p + 1).arg(count),
                                      QStringLiteral("Ostrel - Configuration File"), QStringLiteral("Register"),
                                      QStringLiteral("Value")})
            EXPECT_TRUE(page.contains(header)) << "page " << p + 1 << ": " << header.toStdString();
        EXPECT_TRUE(page.contains(QLatin1String("Cfg")) || page.contains(QLatin1String("VCF")))
            << "page " << p + 1 << " has no body";
    }

    // Every key in file order, each on a line with its value.
    const QString all = pages.join(QLatin1Char('\n'));
    qsizetype at = 0;
    int found = 0;
    for (const QString &text : ConfigurationFiles::textLines(image)) {
        const auto line = ConfigurationFiles::splitLine(text);
        qsizetype hit = at;
        do {
            hit = all.indexOf(line.key, hit);
            if (hit < 0)
                break;
            const qsizetype end = hit + line.key.size();
            if (end < all.size() && all[end].isSpace())
                break;
            ++hit;
        } while (true);
        ASSERT_GE(hit, 0) << "missing or out of order: " << text.toStdString();
        const qsizetype eol = all.indexOf(QLatin1Char('\n'), hit);
        const QString rest = all.mid(hit + line.key.size(), eol - hit - line.key.size());
        EXPECT_EQ(rest.trimmed(), line.value.trimmed()) << text.toStdString();
        at = eol;
        ++found;
    }
    EXPECT_EQ(found, ConfigurationFiles::TextLineCount);
}

TEST(PrintObjectTest, ListingBreaksPagesOnlyForLinesThatFollow)
{
    PrintObject print;
    print.startDocument();
    print.defineColumn(1, 1.0, 2.0);
    const double line = print.lineHeight();
    // Room for exactly four lines.
    print.setBodyArea(1.0, 1.0 + 3.5 * line);
    const auto write = [&](int lines) {
        for (int i = 0; i < lines; ++i) {
            print.writeColumn(1, QStringLiteral("line %1").arg(i), PrintObject::CurrentLine);
            print.writeColumn(1, QString(), PrintObject::NextLine);
        }
    };
    write(8);
    print.finishDocument();
    EXPECT_EQ(print.pageCount(), 2);   // the break after the last line starts no empty page

    print.startDocument();
    print.defineColumn(1, 1.0, 2.0);
    print.setBodyArea(1.0, 1.0 + 3.5 * line);
    write(9);
    print.finishDocument();
    EXPECT_EQ(print.pageCount(), 3);

    // A page-number format with stray placeholders is text, never a printf format.
    print.startDocument();
    PrintObject::TextLine number;
    number.text = QStringLiteral("%s %n %d/%d %d");
    number.left = 1;
    number.top = 1;
    print.setPageNumberLine(number);
    print.finishDocument();
    QTemporaryDir dir;
    ASSERT_TRUE(print.writePdf(dir.filePath(QStringLiteral("n.pdf")), QString()));
    EXPECT_TRUE(pdfPages(dir.filePath(QStringLiteral("n.pdf"))).value(0).contains(QLatin1String("%s %n 1/1 %d")));
}

TEST(PrintObjectTest, RefusesTargetsItCannotDrawTrueToSizeAndUnwritableFiles)
{
    PrintObject print;
    print.startDocument();
    print.finishDocument();
    QString error;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter highResolution(&buffer);
    highResolution.setResolution(1200);
    EXPECT_FALSE(print.renderTo(highResolution, 0, -1, {}, &error));
    EXPECT_EQ(error, QStringLiteral("The printer is set to 1200 dpi; this printout needs %1 dpi.").arg(PrintObject::replayDpi()));

    EXPECT_FALSE(print.writePdf(QStringLiteral("/nonexistent-folder/r.pdf"), QString(), &error));
    EXPECT_TRUE(error.startsWith(QLatin1String("Cannot write /nonexistent-folder/r.pdf: "))) << error.toStdString();
}

}  // namespace

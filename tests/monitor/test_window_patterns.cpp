#include "OnePageReport.h"
#include "PdfText.h"
#include "PrintObject.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(OnePageReport, OnePageWithHeadsAndCellsCutToTwentyCharacters)
{
    OnePageReport report(QStringLiteral("Ostrel - Test Page"), QStringLiteral("TAG-1"), QDate(2026, 3, 7));
    report.addRow({QStringLiteral("Caption that is far too long"), QStringLiteral("1.5"), QStringLiteral("kg")});
    for (int i = 0; i < 30; ++i)
        report.addRow({QStringLiteral("Row %1:").arg(i), QString::number(i), QStringLiteral("lb")});
    PrintObject doc;
    report.compose(doc);
    EXPECT_EQ(doc.pageCount(), 1);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    ASSERT_TRUE(doc.writePdf(pdf, QStringLiteral("test")));
    const QString page = pdfPages(pdf).value(0);
    EXPECT_TRUE(page.contains(QStringLiteral("Date: Mar 7, 2026")));
    EXPECT_TRUE(page.contains(QStringLiteral("Measurement")));
    EXPECT_TRUE(page.contains(QStringLiteral("Caption that is far ")));
    EXPECT_FALSE(page.contains(QStringLiteral("too long")));
    EXPECT_TRUE(page.contains(QStringLiteral("Row 29:")));
}

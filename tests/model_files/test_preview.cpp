#include "ConfigurationReport.h"
#include "DefaultImage.h"
#include "PdfText.h"
#include "PrintObject.h"
#include "RegisterImage.h"
#include "ReportPrinter.h"
#include "RecordingPrompter.h"
#include "TPrintPreview.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterImage image;
        ASSERT_TRUE(image.setBytes(defaultConfigurationImage()));
        buildConfigurationReport(print, image, QDate(2026, 12, 6));
        ReportPrinter::instance().setPrintersAvailableForTest(false);
        preview.setWindowState(Qt::WindowNoState);
        preview.resize(900, 700);
        preview.show();
        QCoreApplication::processEvents();
    }
    void TearDown() override { ReportPrinter::instance().setPrintersAvailableForTest(true); }

    void click(const char *button) { preview.findChild<QPushButton *>(QLatin1String(button))->click(); }
    QWidget *viewport() { return preview.findChild<QScrollArea *>(QStringLiteral("ScrollBox1"))->viewport(); }
    QWidget *page() { return preview.findChild<QWidget *>(QStringLiteral("PaintBox1")); }

    RecordingPrompter prompter;
    PrintObject print;
    TPrintPreview preview{print, QStringLiteral("Ostrel - Configuration File")};
};

TEST_F(PreviewTest, OpensOnTheFullFirstPageAndPagesWithinRange)
{
    const int count = print.pageCount();
    const QRect full = preview.pageRect();
    EXPECT_EQ(full.top(), TPrintPreview::Margin);
    EXPECT_EQ(full.height(), viewport()->height() - 2 * TPrintPreview::Margin);
    EXPECT_NEAR(double(full.width()) / full.height(), 8.5 / 11.0, 0.01);
    EXPECT_LE(std::abs(full.left() - (viewport()->width() - full.right() - 1)), 1);   // centred
    EXPECT_EQ(preview.statusText(), QStringLiteral("Page 1 of %1").arg(count));

    click("btnNext");
    EXPECT_EQ(preview.statusText(), QStringLiteral("Page 2 of %1").arg(count));
    click("btnLast");
    click("btnNext");   // past the end: ignored
    EXPECT_EQ(preview.currentPage(), count);
    click("btnPrior");
    EXPECT_EQ(preview.currentPage(), count - 1);
    click("btnFirst");
    click("btnPrior");
    EXPECT_EQ(preview.statusText(), QStringLiteral("Page 1 of %1").arg(count));

    // The header lines come out dark on the white page, whatever the widget's own pen.
    const QImage shot = page()->grab().toImage();
    const auto inches = [&](double x, double y) {
        return QPoint(full.left() + int(x / 8.5 * full.width()), full.top() + int(y / 11.0 * full.height()));
    };
    int dark = 0;
    for (QPoint at = inches(6.8, 0.7); at.y() < inches(6.8, 0.85).y(); at.ry()++)
        for (int x = at.x(); x < inches(8.0, 0).x(); ++x)
            dark += qGray(shot.pixel(x, at.y())) < 128;
    EXPECT_GT(dark, 10) << "the tag line is missing";

    click("btnPageWidth");
    EXPECT_EQ(preview.pageRect().left(), TPrintPreview::Margin);
    EXPECT_EQ(preview.pageRect().width(), preview.width() - 45);
    click("btnFullPage");
    EXPECT_EQ(preview.pageRect(), full);
}

TEST_F(PreviewTest, ClicksZoomAroundThePointAndTheGridToggles)
{
    const QRect before = preview.pageRect();
    QTest::mouseClick(page(), Qt::LeftButton, {}, before.center());
    const QRect enlarged = preview.pageRect();
    EXPECT_EQ(enlarged.width(), before.width() + int(std::lround(before.width() * 0.35)));
    EXPECT_EQ(enlarged.height(), before.height() + int(std::lround(before.height() * 0.35)));
    // The clicked point (the page's centre) is now in the middle of the window.
    const QPoint centreInViewport = page()->mapTo(viewport(), enlarged.center());
    EXPECT_LE(std::abs(centreInViewport.x() - viewport()->width() / 2), 2);
    EXPECT_LE(std::abs(centreInViewport.y() - viewport()->height() / 2), 2);

    QTest::mouseClick(page(), Qt::RightButton, {}, enlarged.center());
    EXPECT_EQ(preview.pageRect().width(), enlarged.width() - int(std::lround(enlarged.width() * 0.35)));
    // Outside the page a click does nothing.
    const QRect now = preview.pageRect();
    QTest::mouseClick(page(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(preview.pageRect(), now);

    auto *grid = preview.findChild<QPushButton *>(QStringLiteral("btnShowGrid"));
    EXPECT_TRUE(grid->isCheckable());
    grid->click();
    EXPECT_TRUE(static_cast<PreviewPage *>(page())->grid());
    grid->click();
    EXPECT_FALSE(static_cast<PreviewPage *>(page())->grid());
}

TEST_F(PreviewTest, SaveWritesOneSvgPerPageNamedWithPaddedName)
{
    QTemporaryDir dir;
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    prompter.inputs << QStringLiteral("A");
    click("btnSave");
    QDir::setCurrent(cwd);

    EXPECT_EQ(prompter.dialogTitles.value(0), QStringLiteral("Save Printout as SVG / Enter filename / REPORT"));
    const QStringList files = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), print.pageCount());
    EXPECT_EQ(files.first(), QStringLiteral("     A01.svg"));
    EXPECT_EQ(files.last(), QStringLiteral("     A%1.svg").arg(print.pageCount(), 2, 10, QLatin1Char('0')));
    QFile first(dir.filePath(files.first()));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QByteArray svg = first.readAll();
    EXPECT_TRUE(svg.contains("<svg"));
    EXPECT_TRUE(svg.contains("CfgBatch.Param"));
    // The user is told where the pages went.
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].text.contains(QDir(dir.path()).filePath(files.first()))) << prompter.messages[0].text.toStdString();
}

TEST_F(PreviewTest, WithoutPrinterPrintingOffersPdfAndPrintPageChecksTheNumber)
{
    QTemporaryDir dir;
    prompter.answers << Prompter::IdYes;
    prompter.fileNames << dir.filePath(QStringLiteral("all"));
    click("btnPrint");
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].text.startsWith(QLatin1String("No printer is installed.")));
    EXPECT_EQ(pdfPages(dir.filePath(QStringLiteral("all.pdf"))).size(), print.pageCount());
    EXPECT_EQ(preview.statusText(), QStringLiteral("Page 1 of %1").arg(print.pageCount()));

    prompter.messages.clear();
    prompter.inputs << QStringLiteral("abc") << QStringLiteral("99") << QStringLiteral("2");
    click("btnPrintPage");
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("'abc' is not a valid integer value"));
    click("btnPrintPage");   // out of range: nothing printed, nothing asked
    EXPECT_EQ(prompter.messages.size(), 1);
    prompter.answers << Prompter::IdYes;
    prompter.fileNames << dir.filePath(QStringLiteral("two.pdf"));
    click("btnPrintPage");
    const QStringList two = pdfPages(dir.filePath(QStringLiteral("two.pdf")));
    ASSERT_EQ(two.size(), 1);
    EXPECT_TRUE(two[0].contains(QStringLiteral("Page: 2 of %1").arg(print.pageCount())));
    EXPECT_TRUE(prompter.dialogTitles.contains(QStringLiteral("Print Page / Enter page number to print / 1")));
}

}  // namespace

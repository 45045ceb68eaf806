#include "Clock.h"
#include "RecordingPrompter.h"
#include "TfrmTrend.h"

#include <QApplication>
#include <QChart>
#include <QDateTimeAxis>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QList<TrendRow> Rows{{"Mass Rate", "lb/min"}, {"Density", "g/cc"}, {"Temperature", "°C"},
                           {"Volume Rate", "gal/min"}, {"Drive", "%"}};
// A fixed offset from UTC, so the time stamps written do not depend on the machine's zone.
const QDateTime Start(QDate(2026, 3, 4), QTime(10, 0), Qt::OffsetFromUTC, 3600);

} // namespace

TEST(Trend, PlotsTheValuesTheViewShowedAndSavesThem)
{
    RecordingPrompter prompter;
    TfrmTrend trend(Rows);
    ASSERT_TRUE(trend.setPlotted(0, true));
    for (int i = 0; i < 3; ++i)
        trend.addSample(Start.addSecs(i), {48.0 + i, 0.998, 21.5, NAN, 40});
    // Ticked later, a row shows what came before too; a fifth row is refused.
    for (int row : {1, 2, 3})
        ASSERT_TRUE(trend.setPlotted(row, true));
    EXPECT_FALSE(trend.setPlotted(4, true));
    EXPECT_EQ(trend.plottedRows(), (QList<int>{0, 1, 2, 3}));
    EXPECT_EQ(trend.points(0), (QList<QPointF>{{qreal(Start.toMSecsSinceEpoch()), 48.0},
                                               {qreal(Start.addSecs(1).toMSecsSinceEpoch()), 49.0},
                                               {qreal(Start.addSecs(2).toMSecsSinceEpoch()), 50.0}}));
    EXPECT_EQ(trend.points(1).size(), 3);
    EXPECT_TRUE(trend.points(3).isEmpty()); // no value, no point
    EXPECT_TRUE(trend.points(4).isEmpty());

    // Paused, the picture holds still; the samples appear on resume.
    auto *pause = trend.findChild<QPushButton *>(QStringLiteral("btnPause"));
    pause->setChecked(true);
    trend.addSample(Start.addSecs(3), {51.0, 0.999, 21.6, 7.5, 40});
    EXPECT_EQ(trend.points(0).size(), 3);
    pause->setChecked(false);
    EXPECT_EQ(trend.points(0).size(), 4);
    EXPECT_EQ(trend.points(3), (QList<QPointF>{{qreal(Start.addSecs(3).toMSecsSinceEpoch()), 7.5}}));

    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(trend.saveData(dir.filePath(QStringLiteral("trend.csv")), &error)) << error.toStdString();
    QFile csv(dir.filePath(QStringLiteral("trend.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    EXPECT_FALSE(bytes.contains('\r'));
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("time,Mass Rate [lb/min],Density [g/cc],Temperature [°C],Volume Rate [gal/min]"));
    EXPECT_EQ(lines[1], QStringLiteral("2026-03-04T10:00:00.000+01:00,48,0.998,21.5,"));
    EXPECT_EQ(lines[4], QStringLiteral("2026-03-04T10:00:03.000+01:00,51,0.999,21.6,7.5"));

    trend.resize(800, 500);
    for (const char *name : {"trend.png", "trend.svg"}) {
        ASSERT_TRUE(trend.savePicture(dir.filePath(QLatin1String(name)), &error)) << error.toStdString();
        EXPECT_GT(QFile(dir.filePath(QLatin1String(name))).size(), 1000) << name;
    }
    EXPECT_FALSE(trend.savePicture(dir.filePath(QStringLiteral("trend.bmp")), &error));
}

// Rows ticked before or after the first samples, one or two of them, with the window on
// screen or not: the time axis always has room under the plot, and a line breaks at a
// missing value, a failed poll and a stop in sampling, never joining across them.
TEST(Trend, TimeAxisShowsAndLinesBreakAtGaps)
{
    for (int shape = 0; shape < 8; ++shape) {
        SCOPED_TRACE(shape);
        const bool shownFirst = shape & 1, tickedFirst = shape & 2, twoRows = shape & 4;
        TfrmTrend trend(Rows);
        trend.resize(900, 600);
        if (shownFirst)
            trend.show();
        const auto sample = [&](int second, double mass) {
            trend.addSample(Start.addSecs(second), {mass, 0.998, 21.5, NAN, 40});
            QApplication::processEvents();
        };
        if (tickedFirst)
            trend.setPlotted(0, true);
        sample(0, 48);
        sample(1, 49);
        trend.setPlotted(0, true);
        if (twoRows)
            trend.setPlotted(1, true);
        sample(2, NAN);  // a missing value
        sample(3, 50);
        sample(4, 51);
        trend.addGap();  // a failed poll
        sample(5, 52);
        sample(6, 53);
        sample(30, 54);  // nothing for 24 s at a 1 s period
        trend.show();
        QApplication::processEvents();

        using Segment = QList<QPointF>;
        const auto at = [](int second, double v) { return QPointF(qreal(Start.addSecs(second).toMSecsSinceEpoch()), v); };
        EXPECT_EQ(trend.segments(0), (QList<Segment>{{at(0, 48), at(1, 49)}, {at(3, 50), at(4, 51)},
                                                     {at(5, 52), at(6, 53)}, {at(30, 54)}}));
        if (twoRows) {
            EXPECT_EQ(trend.segments(1).size(), 3);  // the density had no missing value
        }
        // The time axis' labels and title sit under the plot area.
        const QRectF plot = trend.chart()->plotArea();
        EXPECT_LT(plot.bottom(), trend.chart()->size().height() - 40);
        const auto *time = qobject_cast<QDateTimeAxis *>(trend.chart()->axes(Qt::Horizontal).value(0));
        ASSERT_TRUE(time);
        EXPECT_EQ(time->max(), Start.addSecs(30));
        EXPECT_EQ(trend.timeFormat(), QStringLiteral("HH:mm:ss"));
    }
}

// A zoom holds the view and says so; Reset Zoom follows the newest samples again.
// Saving adds the file type's suffix to a name typed without one.
TEST(Trend, ZoomHoldsTheViewAndSavingAddsTheSuffix)
{
    RecordingPrompter prompter;
    TfrmTrend trend(Rows);
    trend.resize(900, 600);
    trend.show();
    trend.setPlotted(0, true);
    for (int i = 0; i < 10; ++i)
        trend.addSample(Start.addSecs(i), {48.0 + i});
    QApplication::processEvents();
    auto *held = trend.findChild<QWidget *>(QStringLiteral("lblHeld"));
    EXPECT_FALSE(held->isVisible());
    trend.chart()->zoomIn(trend.chart()->plotArea().adjusted(10, 10, -200, -10));
    const auto *time = qobject_cast<QDateTimeAxis *>(trend.chart()->axes(Qt::Horizontal).value(0));
    const QDateTime zoomedMax = time->max();
    EXPECT_TRUE(trend.viewHeld());
    EXPECT_TRUE(held->isVisible());
    trend.addSample(Start.addSecs(10), {58.0});
    EXPECT_EQ(time->max(), zoomedMax);
    QTest::mouseClick(trend.findChild<QPushButton *>(QStringLiteral("btnResetZoom")), Qt::LeftButton);
    EXPECT_FALSE(trend.viewHeld());
    EXPECT_FALSE(held->isVisible());
    trend.addSample(Start.addSecs(11), {59.0});
    EXPECT_EQ(qobject_cast<QDateTimeAxis *>(trend.chart()->axes(Qt::Horizontal).value(0))->max(), Start.addSecs(11));

    QTemporaryDir dir;
    prompter.fileNames << dir.filePath(QStringLiteral("picture")) << dir.filePath(QStringLiteral("data"));
    trend.btnSavePictureClick();
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("picture.png"))));

    // Clicked while the view waits for a reply, the dialog opens once the poll has ended:
    // opened inside the wait, it would hold the poll until it closed.
    ManualClock clock;
    Clock::install(&clock);
    bool polling = true;
    trend.setOwnerBusy([&polling] { return polling; });
    trend.btnSaveDataClick();
    clock.advance(500);
    EXPECT_EQ(prompter.dialogTitles.size(), 1);
    polling = false;
    clock.advance(100);
    Clock::install(nullptr);
    EXPECT_EQ(prompter.dialogTitles.size(), 2);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("data.csv"))));
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.lastText().toStdString();
}

#include "RecordingPrompter.h"
#include "TfrmTrend.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QList<TrendRow> Rows{{"Mass Rate", "lb/min"}, {"Density", "g/cc"}, {"Temperature", "°C"},
                           {"Volume Rate", "gal/min"}, {"Drive", "%"}};
const QDateTime Start = QDateTime::fromString(QStringLiteral("2026-03-04T10:00:00.000"), Qt::ISODateWithMs);

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
    const QStringList lines = QString::fromUtf8(csv.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("time,Mass Rate (lb/min),Density (g/cc),Temperature (°C),Volume Rate (gal/min)"));
    EXPECT_EQ(lines[1], QStringLiteral("2026-03-04T10:00:00.000,48,0.998,21.5,"));
    EXPECT_EQ(lines[4], QStringLiteral("2026-03-04T10:00:03.000,51,0.999,21.6,7.5"));

    trend.resize(800, 500);
    for (const char *name : {"trend.png", "trend.svg"}) {
        ASSERT_TRUE(trend.savePicture(dir.filePath(QLatin1String(name)), &error)) << error.toStdString();
        EXPECT_GT(QFile(dir.filePath(QLatin1String(name))).size(), 1000) << name;
    }
    EXPECT_FALSE(trend.savePicture(dir.filePath(QStringLiteral("trend.bmp")), &error));
}

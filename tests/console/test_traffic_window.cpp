#include "Clock.h"
#include "SimTransmitter.h"
#include "SimWindowTest.h"
#include "TfrmTraffic.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
QStringList column(QTableWidget *table, int c)
{
    QStringList cells;
    for (int r = 0; r < table->rowCount(); ++r)
        cells << table->item(r, c)->text();
    return cells;
}
}  // namespace

using TrafficWindowTest = SimWindowTest;

// Every outcome of a request shows as its own row with the request's fields; the
// filter and the pause hold what is shown, the counters count everything, and the
// rows the filter shows are what is saved.
TEST_F(TrafficWindowTest, ShowsEachOutcomeFiltersAndSaves)
{
    TfrmTraffic w(*link);
    w.show();
    auto *table = w.findChild<QTableWidget *>(QStringLiteral("tblTraffic"));
    const auto setFaults = [this](const std::function<void(sim::Faults &)> &change) {
        sim::Faults f;
        change(f);
        simulator->transmitter()->setFaults(f);
    };

    auto *filter = w.findChild<QComboBox *>(QStringLiteral("cboFilter"));
    auto *pause = w.findChild<QPushButton *>(QStringLiteral("btnPause"));
    EXPECT_TRUE(link->readRegisters(578, 20));
    refuse(578, 600);
    EXPECT_FALSE(link->readRegisters(578, 20));
    setFaults([](sim::Faults &f) { f.corruptChecksum = true; });
    EXPECT_FALSE(link->readRegisters(578, 20));
    // Paused, the rows on screen hold still; they come on resume.
    filter->setCurrentText(QStringLiteral("All errors"));
    EXPECT_EQ(table->rowCount(), 2);
    QTest::mouseClick(pause, Qt::LeftButton);
    refuse(578, 600);
    EXPECT_FALSE(link->readRegisters(578, 20));
    EXPECT_EQ(table->rowCount(), 2);
    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_EQ(table->rowCount(), 3);
    filter->setCurrentText(QStringLiteral("All frames"));
    // A unit that does not answer (the link then closes the port).
    setFaults([](sim::Faults &f) { f.noReply = true; });
    ManualClock clock;
    Clock::install(&clock);
    QTimer::singleShot(20, [&clock] { clock.advance(ModbusLink::NoResponseMs); });
    EXPECT_FALSE(link->readRegisters(578, 20));
    Clock::install(nullptr);

    EXPECT_EQ(column(table, 1), (QStringList{"TX", "RX", "TX", "RX", "TX", "RX", "TX", "RX", "TX", "--"}));
    const QStringList outcomes = column(table, 6);
    EXPECT_EQ(outcomes.value(1), "reply");
    EXPECT_TRUE(outcomes.value(3).startsWith("exception 4")) << outcomes.value(3).toStdString();
    EXPECT_EQ(outcomes.value(5), "checksum error");
    EXPECT_EQ(outcomes.value(9), "no reply");
    EXPECT_EQ(column(table, 2).value(0), "247");
    EXPECT_EQ(column(table, 3).value(0), "3");
    EXPECT_EQ(column(table, 4).value(0), "578");
    EXPECT_EQ(column(table, 5).value(0), "10");
    EXPECT_FALSE(column(table, 7).value(1).isEmpty());       // the reply's time
    EXPECT_EQ(column(table, 7).value(9), QString::number(ModbusLink::NoResponseMs));
    EXPECT_TRUE(column(table, 8).value(0).startsWith("3A"));  // ":" of an ASCII frame
    const TrafficLog::Counters &c = w.log().counters();
    EXPECT_EQ(c.requests, 5);
    EXPECT_EQ(c.replies, 1);
    EXPECT_EQ(c.errors, 4);
    EXPECT_TRUE(w.findChild<QLabel *>(QStringLiteral("lblCounters"))->text().startsWith("Requests: 5   Replies: 1   Errors: 4"));

    filter->setCurrentText(QStringLiteral("All errors"));
    QTemporaryDir dir;
    prompter.fileNames << dir.filePath(QStringLiteral("errors"));
    w.btnSaveClick();
    QFile csv(dir.filePath(QStringLiteral("errors.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), 6);  // header, four errors, the empty end
    EXPECT_TRUE(lines[0].startsWith("time,direction,unit,function,address,count,outcome,reply time [ms],bytes"));
    EXPECT_TRUE(lines[1].contains(",RX,247,3,578,10,exception 4")) << lines[1].toStdString();
    QString error;
    ASSERT_TRUE(w.save(dir.filePath(QStringLiteral("errors.txt")), &error)) << error.toStdString();
    QFile text(dir.filePath(QStringLiteral("errors.txt")));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_TRUE(text.readAll().contains(" -- unit 247 fn 3 addr 578 count 10 no reply"));
}

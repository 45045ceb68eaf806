#include "Bench.h"
#include "TfrmFindUnit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The window on a link at the program's defaults; the unit answers at RTU, 19200, ID 5.
struct FindUnitTest : ::testing::Test, Bench {
    FindUnitTest() : Bench(ModbusLink::Rtu, 19200, 5)
    {
        window = std::make_unique<TfrmFindUnit>(*link);
        window->plan().replyMarginMs = 20;
        window->show();
        type("txtRates", "9600,19200");
        type("txtUnitIds", "1,5,247");
    }
    template <typename T> T *child(const char *name) { return window->findChild<T *>(QLatin1String(name)); }
    void type(const char *field, const QString &text)
    {
        QLineEdit *edit = child<QLineEdit>(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    std::unique_ptr<TfrmFindUnit> window;
};

} // namespace

TEST_F(FindUnitTest, FindsTheUnitAndOffersItsSettings)
{
    QTest::mouseClick(child<QPushButton>("btnStart"), Qt::LeftButton);
    QTableWidget *table = child<QTableWidget>("tblFound");
    ASSERT_EQ(table->rowCount(), 1);
    const QStringList row{"5", "RTU", "19200,N,8,1", "Ostrel"};
    for (int column = 0; column < row.size(); ++column)
        EXPECT_EQ(table->item(0, column)->text(), row[column]);
    EXPECT_TRUE(child<QLabel>("lblStatus")->text().contains(QStringLiteral("1 unit(s) found")));
    ASSERT_TRUE(child<QPushButton>("btnUse")->isEnabled());
    QTest::mouseClick(child<QPushButton>("btnUse"), Qt::LeftButton);
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_TRUE(window->chosen() == (CommSettings{.port = QStringLiteral("/sim"), .settings = QStringLiteral("19200,N,8,1"),
                                                  .framing = ModbusLink::Rtu, .unitId = 5}));
    // The window only offers: the link keeps its own settings until the caller applies them.
    EXPECT_EQ(link->settings().unitId, 247);
}

// The window's fields narrow the scan; one that cannot be used says why and scans nothing.
TEST_F(FindUnitTest, FramingRatesAndIdsNarrowTheScan)
{
    QCheckBox *ascii = child<QCheckBox>("chkAscii");
    ascii->setFocus();
    QTest::keyClick(ascii, Qt::Key_Space); // ASCII off: the unit answers in RTU only
    EXPECT_FALSE(child<QCheckBox>("chkAscii")->isChecked());
    type("txtUnitIds", "1-300");
    QTest::keyClick(child<QLineEdit>("txtUnitIds"), Qt::Key_Return);
    QTest::mouseClick(child<QPushButton>("btnStart"), Qt::LeftButton);
    EXPECT_EQ(child<QLabel>("lblStatus")->text(), QStringLiteral("Unit IDs are numbers or ranges from 1 to 247, e.g. 1-10,247."));
    EXPECT_EQ(child<QTableWidget>("tblFound")->rowCount(), 0);
    type("txtUnitIds", "5");
    QTest::mouseClick(child<QPushButton>("btnStart"), Qt::LeftButton);
    EXPECT_EQ(child<QProgressBar>("prgScan")->maximum(), 2 * 3) << "RTU at two rates and three parities, one ID";
    EXPECT_EQ(child<QTableWidget>("tblFound")->rowCount(), 1);
}

TEST_F(FindUnitTest, EscapeStopsTheScanAndKeepsTheWindow)
{
    ASSERT_TRUE(link->openPort());
    simulator->transmitter()->setFaults([] {
        sim::Faults f;
        f.noReply = true;
        return f;
    }());
    QProgressBar *progress = child<QProgressBar>("prgScan");
    QObject::connect(progress, &QProgressBar::valueChanged, window.get(), [this](int value) {
        if (value == 2)
            QTest::keyClick(window.get(), Qt::Key_Escape);
    });
    QTest::mouseClick(child<QPushButton>("btnStart"), Qt::LeftButton);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->scanning());
    EXPECT_EQ(progress->value(), 1) << "the bar shows the tries made; the second was stopped before it went out";
    EXPECT_EQ(child<QLabel>("lblStatus")->text(), QStringLiteral("Stopped; no unit found so far."));
    EXPECT_TRUE(link->portOpen());
    EXPECT_EQ(serial->settings(), QStringLiteral("9600,N,8,1"));
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

// Find Unit keeps to serial ports: on a network port it scans nothing and names the
// command that scans one.
TEST(FindUnitOnNetwork, ScansNothingAndSaysWhatDoes)
{
    Bench bench(ModbusLink::Rtu, 19200, 5);
    bench.link->setSettings({QStringLiteral("127.0.0.1:1502"), QStringLiteral("9600,N,8,1"), ModbusLink::Tcp, 247});
    TfrmFindUnit window(*bench.link);
    window.plan().replyMarginMs = 20;
    window.show();
    QLineEdit *ids = window.findChild<QLineEdit *>(QStringLiteral("txtUnitIds"));
    ids->setFocus();
    QTest::keyClicks(ids, QStringLiteral("5"));
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btnStart")), Qt::LeftButton);
    EXPECT_EQ(window.findChild<QTableWidget *>(QStringLiteral("tblFound"))->rowCount(), 0);
    EXPECT_TRUE(window.findChild<QLabel *>(QStringLiteral("lblStatus"))->text().contains(
        QStringLiteral("tarvine-cli --port 127.0.0.1:1502 scan")));
}

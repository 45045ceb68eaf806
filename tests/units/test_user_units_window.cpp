#include "FillUnitCombo.h"
#include "LinkedUnitFixture.h"
#include "QuantityCode.h"
#include "UserUnitsWindow.h"
#include "WidgetQuery.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

SpecialUnitRecord record(double flowFactor, const char *flowText, double totalFactor, const char *totalText,
                         int baseRate)
{
    SpecialUnitRecord r = specialRecord(flowFactor, flowText, totalFactor, totalText, baseRate);
    r.reserved = 0x5A;
    return r;
}

// The window against a small Modbus slave on a scripted port.
class SpecialUnitsWindowTest : public LinkedUnitTest {
protected:
    void SetUp() override
    {
        LinkedUnitTest::SetUp();
        putRecord(SpecialUnitRecord::MassRegister, record(2.5, "sack", 0.125, "sacks", 4));
        putRecord(SpecialUnitRecord::VolumeRegister, record(1.5, "drum", 3.0, "drums", 16));
        window = std::make_unique<TfrmSpecialUnits>(*link);
        window->show();
    }
    void TearDown() override
    {
        window.reset();
        LinkedUnitTest::TearDown();
    }

    template <typename T>
    T *child(const char *name) const { return control<T>(window.get(), name); }
    void chooseKind(int index) { pick(child<QComboBox>("cboUnit"), child<QComboBox>("cboUnit")->itemText(index)); }
    void chooseRate(int index) { pick(child<QComboBox>("cboRate"), child<QComboBox>("cboRate")->itemText(index)); }
    void typeInto(const char *edit, const QString &text)
    {
        auto *e = child<QLineEdit>(edit);
        e->selectAll();
        QTest::keyClicks(e, text);
    }

    std::unique_ptr<TfrmSpecialUnits> window;
};

} // namespace

TEST_F(SpecialUnitsWindowTest, ShowsEachRecordWithItsBaseRateList)
{
    auto *rate = child<QComboBox>("cboRate");
    EXPECT_EQ(child<QComboBox>("cboUnit")->currentText(), "Special Mass");
    EXPECT_EQ(rate->count(), 15);
    EXPECT_EQ(rate->currentText(), "kg/min");
    EXPECT_EQ(child<QLineEdit>("txtRateFactor")->text(), "2.5");
    EXPECT_EQ(child<QLineEdit>("txtRateText")->text(), "sack");
    EXPECT_EQ(child<QLineEdit>("txtTotalFactor")->text(), "0.125");
    EXPECT_EQ(child<QLineEdit>("txtTotalText")->text(), "sacks");
    EXPECT_FALSE(child<QPushButton>("btnApply")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("btnUndo")->isEnabled());

    chooseKind(1);
    EXPECT_EQ(rate->count(), 17);
    EXPECT_EQ(rate->findText("Special"), -1);
    EXPECT_EQ(rate->itemText(15), "m3/day");
    EXPECT_EQ(rate->currentText(), "Barrel/day");  // position 16
    EXPECT_EQ(child<QLineEdit>("txtRateText")->text(), "drum");
    EXPECT_EQ(writeCount(), 0);
}

TEST_F(SpecialUnitsWindowTest, ApplyWritesTheEditedRecordAndUndoRestoresIt)
{
    chooseKind(1);
    typeInto("txtRateFactor", "0.25");
    EXPECT_TRUE(child<QPushButton>("btnApply")->isEnabled());
    typeInto("txtTotalText", "casks");
    chooseRate(15);
    QTest::mouseClick(child<QPushButton>("btnApply"), Qt::LeftButton);

    const SpecialUnitRecord written = unitRecord(SpecialUnitRecord::VolumeRegister);
    EXPECT_EQ(written.flowFactor, 0.25);
    EXPECT_EQ(written.flowText, "drum");
    EXPECT_EQ(written.totalFactor, 3.0);
    EXPECT_EQ(written.totalText, "casks");
    EXPECT_EQ(written.baseRate, 15);     // m3/day
    EXPECT_EQ(written.reserved, 0x5A);   // left as read
    EXPECT_EQ(unitRecord(SpecialUnitRecord::MassRegister).flowFactor, 2.5);
    EXPECT_FALSE(child<QPushButton>("btnApply")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("btnUndo")->isEnabled());

    QTest::mouseClick(child<QPushButton>("btnUndo"), Qt::LeftButton);
    EXPECT_EQ(unitRecord(SpecialUnitRecord::VolumeRegister).toBytes(), record(1.5, "drum", 3.0, "drums", 16).toBytes());
    EXPECT_EQ(child<QLineEdit>("txtRateFactor")->text(), "1.5");
    EXPECT_FALSE(child<QPushButton>("btnUndo")->isEnabled());
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(SpecialUnitsWindowTest, RefusedFactorsAndFailedWritesAreReportedAndKeepApplyEnabled)
{
    for (const char *bad : {"abc", "INF", "NAN"}) {
        typeInto("txtTotalFactor", bad);
        QTest::mouseClick(child<QPushButton>("btnApply"), Qt::LeftButton);
        ASSERT_FALSE(prompter.messages.isEmpty()) << bad;
        EXPECT_EQ(prompter.messages.last().text, QString("'%1' is not a valid floating point value").arg(bad));
        EXPECT_TRUE(child<QPushButton>("btnApply")->isEnabled());
    }
    EXPECT_EQ(writeCount(), 0);
    EXPECT_TRUE(window->isVisible());

    typeInto("txtTotalFactor", "7");
    unit.exception = 4;
    QTest::mouseClick(child<QPushButton>("btnApply"), Qt::LeftButton);
    EXPECT_EQ(writeCount(), 1);
    EXPECT_TRUE(prompter.shown("The Special unit was not written to the unit."));
    EXPECT_TRUE(child<QPushButton>("btnApply")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("btnUndo")->isEnabled());
}

TEST_F(SpecialUnitsWindowTest, BaseRateChangeDisablesUndoAndEscapeLeavesTheWindowOpen)
{
    typeInto("txtRateFactor", "3");
    QTest::mouseClick(child<QPushButton>("btnApply"), Qt::LeftButton);
    ASSERT_TRUE(child<QPushButton>("btnUndo")->isEnabled());
    chooseRate(0);
    EXPECT_TRUE(child<QPushButton>("btnApply")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("btnUndo")->isEnabled());

    QTest::keyClick(child<QLineEdit>("txtRateText"), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
}

TEST(FillUnitCombo, ReplacesTheItemsAndSelectsTheFirst)
{
    QComboBox combo;
    combo.addItems({"old", "items", "here"});
    combo.setCurrentIndex(2);
    FillUnitCombo(Quantity::Temperature, &combo);
    ASSERT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.itemText(1), "°F");
    EXPECT_EQ(combo.currentIndex(), 0);
}

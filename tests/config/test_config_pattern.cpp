#include "CodeChoice.h"
#include "ConfigBlock.h"
#include "EntryField.h"
#include "SimWindowTest.h"
#include "SimTransmitter.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int Block = 680;  // a parameter configuration block
constexpr int Bytes = 68;

class ConfigBlockTest : public SimWindowTest {
protected:
    void refuseRegisters(int first, int last)
    {
        sim::Faults f;
        f.exceptionCode = 4;
        f.exceptionFirst = first;
        f.exceptionLast = last;
        simulator->transmitter()->setFaults(f);
    }
};

}  // namespace

TEST_F(ConfigBlockTest, WritesOnlyWhatWasReadAndSaysWhenRefused)
{
    const QByteArray original = regs().read(Block, Bytes);
    ConfigBlock block(Block, Bytes);

    // Not read: nothing reaches the transmitter, whatever the image holds.
    refuseRegisters(Block, Block);
    EXPECT_FALSE(block.read(*link));
    block.setF64(10, 123.0);
    EXPECT_EQ(block.writeWorking(*link), ConfigBlock::WriteResult::NotRead);
    EXPECT_EQ(block.writeAsRead(*link), ConfigBlock::WriteResult::NotRead);
    EXPECT_EQ(regs().read(Block, Bytes), original);

    // Read, then the transmitter refuses the write.
    simulator->transmitter()->setFaults({});
    ASSERT_TRUE(block.read(*link));
    EXPECT_EQ(block.asRead(), original);
    block.setF64(10, 123.0);
    refuseRegisters(Block + 5, Block + 5);
    EXPECT_EQ(block.writeWorking(*link), ConfigBlock::WriteResult::Refused);
    EXPECT_EQ(regs().read(Block, Bytes), original);

    // Accepted: the working copy whole, then Undo's copy.
    simulator->transmitter()->setFaults({});
    EXPECT_EQ(block.writeWorking(*link), ConfigBlock::WriteResult::Written);
    EXPECT_EQ(regs().f64At(2 * Block + 10), 123.0);
    EXPECT_EQ(block.writeAsRead(*link), ConfigBlock::WriteResult::Written);
    EXPECT_EQ(regs().read(Block, Bytes), original);

    // The port gone: refused, never "written".
    link->closePort();
    EXPECT_EQ(block.writeWorking(*link), ConfigBlock::WriteResult::Refused);
}

TEST(CodeChoice, KeepsACodeOutsideTheListUntilTheUserPicks)
{
    QComboBox combo;
    CodeChoice choice(&combo);
    choice.setItems({{QStringLiteral("Keyboard Data"), 21}, {QStringLiteral("Density"), 4}});
    choice.show(4);
    EXPECT_EQ(combo.currentText(), QStringLiteral("Density"));
    choice.show(99);
    EXPECT_FALSE(choice.matched());
    EXPECT_EQ(choice.code(), 99);
    combo.setCurrentIndex(0);
    EXPECT_EQ(choice.code(), 21);
}

TEST(EntryField, ParsesOnlyWhatWasTypedAndRefusesWhatDoesNotFit)
{
    struct Case {
        QString typed;
        bool accepted;
    };
    const Case cases[] = {{"255", true}, {"256", false}, {"-1", false}, {"2.5", false}, {"abc", false},
                          {"99999999999", false}, {"0", true}};
    QLineEdit edit;
    EntryField field(&edit, QStringLiteral("Invalid Damping, old value restored!"));
    field.setIntegerRange(0, 255);
    field.setValue(7);
    QSignalSpy refused(&field, &EntryField::refused);
    for (const Case &c : cases) {
        const double before = field.value();
        QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(&edit, c.typed);
        EXPECT_TRUE(field.isEdited());
        EXPECT_EQ(field.check(), c.accepted) << c.typed.toStdString();
        EXPECT_EQ(edit.text(), c.accepted ? c.typed : QString::number(before)) << c.typed.toStdString();
        EXPECT_EQ(field.value(), c.accepted ? c.typed.toDouble() : before) << c.typed.toStdString();
    }
    EXPECT_EQ(refused.count(), 5);
    EXPECT_EQ(refused.first().first().toString(), QStringLiteral("Invalid Damping, old value restored!"));

    // A value shown rounded is never taken back from its text.
    QLineEdit shown;
    EntryField rounded(&shown, QString());
    rounded.setFormat([](double v) { return QString::number(v, 'f', 3); });
    rounded.setValue(1.3333333);
    QSignalSpy accepted(&rounded, &EntryField::accepted);
    EXPECT_TRUE(rounded.check());
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_EQ(rounded.value(), 1.3333333);

    // An emptied field offers its placeholder selected, so the next key replaces it.
    rounded.setEmptyText(QStringLiteral("0.0"));
    QTest::keyClick(&shown, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&shown, Qt::Key_Delete);
    EXPECT_EQ(shown.text(), QStringLiteral("0.0"));
    QTest::keyClicks(&shown, QStringLiteral("12"));
    EXPECT_EQ(shown.text(), QStringLiteral("12"));

    QLineEdit number;
    EntryField any(&number, QString());
    any.setRange(0.0, 100.0);
    for (const char *bad : {"NAN", "INF", "1e999", "", "1e41", "-1", "100.5"}) {
        number.setText(QString::fromLatin1(bad));
        EXPECT_FALSE(any.parsed()) << bad;
    }
}

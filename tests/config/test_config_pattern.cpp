#include "CodeChoice.h"
#include "ConfigBlock.h"
#include "EntryField.h"
#include "SimWindowTest.h"
#include "SimTransmitter.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>

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

TEST(EntryField, RefusesWhatDoesNotFitItsField)
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
        edit.setText(c.typed);
        field.check();
        EXPECT_EQ(edit.text(), c.accepted ? c.typed : QString::number(before)) << c.typed.toStdString();
        EXPECT_EQ(field.value(), c.accepted ? c.typed.toDouble() : before) << c.typed.toStdString();
    }
    EXPECT_EQ(refused.count(), 5);
    EXPECT_EQ(refused.first().first().toString(), QStringLiteral("Invalid Damping, old value restored!"));

    QLineEdit number;
    EntryField any(&number, QString());
    for (const char *bad : {"NAN", "INF", "1e999", ""}) {
        number.setText(QString::fromLatin1(bad));
        EXPECT_FALSE(any.parsed()) << bad;
    }
}

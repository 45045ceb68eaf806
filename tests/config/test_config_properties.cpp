// Properties every configuration and table window keeps, driven from the
// keyboard against the simulated transmitter: a value nobody edited goes back
// byte for byte, a typed value is never dropped while success is shown, and a
// change the transmitter took only in part leaves the window showing what it holds.
#include "ConfigWindow.h"
#include "ConfigWindowTest.h"
#include "QuantityCode.h"
#include "RegisterBlocks.h"
#include "SimTransmitter.h"
#include "StandardDensityTableWindow.h"
#include "TfrmConcentrationTable.h"
#include "TfrmFlowDirection.h"

#include <QPushButton>
#include <QTableWidget>

#include <functional>
#include <map>

namespace {

struct Subject {
    const char *name;
    Maker make;
    QStringList unitCombos{};  // cycled through every unit and back
};

// Every window of this folder that writes configuration.
const QList<Subject> &subjects()
{
    static const QList<Subject> list = {
        {"alarms", byTag(454), {"cboUnit"}},
        {"batch", byTag(452), {"cboUnit"}},
        {"device information", byTag(4530)},
        {"device configuration", byTag(4531)},
        {"HART", byTag(4575)},
        {"display", byTag(455)},
        {"date and time", byTag(462)},
        {"transmitter variables", byTag(456), {"cboUnit", "cboStdDensUnit"}},
        {"pulse output", byTag(4571)},
        {"analog output", byTag(4570)},
        {"flow direction", byClass<TfrmFlowDirection>()},
        {"concentration tables", byClass<TfrmConcentrationTable>(), {"cboTempUnit", "cboDensUnit"}},
        {"special API", byClass<TfrmSpecialAPI>(), {"cboSAPITempUnit"}},
    };
    return list;
}

// Registers whose bytes a write of the transmitter's changed.
class ChangedWrites {
public:
    explicit ChangedWrites(sim::SimDevice &device) : m_before(device.image().bytes())
    {
        QObject::connect(&device, &sim::SimDevice::registersWritten, &m_context, [this, &device](int first, int count) {
            for (int r = first; r < first + count; ++r)
                if (device.image().read(r, 2) != m_before.mid(2 * r, 2))
                    m_changed << r;
        });
    }
    QList<int> registers() const { return m_changed; }

private:
    QObject m_context;
    QByteArray m_before;
    QList<int> m_changed;
};

// What a window shows: every visible field, list and table cell by name.
std::map<QString, QString> shownState(QWidget *w)
{
    std::map<QString, QString> state;
    for (auto *e : w->findChildren<QLineEdit *>())
        if (e->isVisibleTo(w) && !e->objectName().isEmpty() && !e->objectName().startsWith(QLatin1String("qt_")))
            state[e->objectName()] = e->text();
    for (auto *c : w->findChildren<QComboBox *>())
        if (c->isVisibleTo(w))
            state[c->objectName()] = c->currentText();
    for (auto *t : w->findChildren<QTableWidget *>())
        for (int r = 0; r < t->rowCount(); ++r)
            for (int c = 0; c < t->columnCount(); ++c)
                state[t->objectName() + QStringLiteral("[%1,%2]").arg(r).arg(c)] = t->item(r, c)->text();
    return state;
}

class ConfigPropertiesTest : public ConfigWindowTest {
protected:
    void SetUp() override
    {
        ConfigWindowTest::SetUp();
        storeAwkwardValues();
    }

    // Values no display format holds exactly, in every block the windows show,
    // so that a value taken back from its text would differ.
    void storeAwkwardValues()
    {
        const auto fill = [this](int block, std::initializer_list<int> offsets, double base) {
            for (int at : offsets)
                regs().setF64At(2 * block + at, base * (1.0 + at / 97.0));
        };
        using namespace Quantity;
        for (int code : {MassFlow, VolumeFlow, StdVolumeFlow, ConcentrateFlow, Concentration, Temperature, Density})
            fill(ConfigBlockFor(code), {2, 10, 18, 26, 34, 42, 50, 58}, 1.3333333 + code);
        fill(550, {2, 10, 18, 26, 34, 42}, 3.1415926);         // batch
        fill(983, {2, 10, 18, 26}, 2.7182818);                 // pulse output
        fill(881, {0, 8}, 5.4321987);                          // analog output 1
        regs().setU8At(2 * 881 + 66, 5);                       // on mass flow
        regs().setU8At(2 * 1010, 5);                           // alarm 1 on mass flow
        regs().store(3380 + 2, QByteArray::fromHex("3D4CCCCE"));  // a threshold just off 5 %
        for (int k = 0; k < 5; ++k)
            fill(1088 + 117 * k, {0, 8, 16, 24, 120, 128}, 0.9876543 + k);
        for (int k = 0; k < 8; ++k)
            fill(2476 + 113 * k, {0, 8, 112, 120}, 1.0123457 + k);
    }

    static void applyIfOffered(QWidget *w)
    {
        auto *apply = control<QPushButton>(w, "btnApply");
        if (apply && apply->isEnabled())
            click(w, "btnApply");
    }
};

}  // namespace

TEST_F(ConfigPropertiesTest, TabThroughEveryFieldApplyAndCloseChangeNothing)
{
    for (const Subject &s : subjects()) {
        SCOPED_TRACE(s.name);
        auto w = openMade(s.make);
        ChangedWrites writes(device());
        activate(w.get());
        for (int i = 0; i < 80; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w.get(), Qt::Key_Tab);
        applyIfOffered(w.get());
        w->close();
        settle();
        EXPECT_TRUE(writes.registers().isEmpty()) << "changed from register " << writes.registers().value(0);
    }
}

TEST_F(ConfigPropertiesTest, EveryUnitAndBackThenApplyChangesNothing)
{
    for (const Subject &s : subjects()) {
        if (s.unitCombos.isEmpty())
            continue;
        SCOPED_TRACE(s.name);
        auto w = openMade(s.make);
        // Transmitter variables: every parameter, each applied on the way to the next.
        auto *param = std::string(s.name) == "transmitter variables" ? control<QComboBox>(w.get(), "cboParam") : nullptr;
        ChangedWrites writes(device());
        for (int p = 0; p < (param ? param->count() - 1 : 1); ++p) {
            if (param)
                pick(param, param->itemText(p));
            for (const QString &name : s.unitCombos) {
                auto *combo = control<QComboBox>(w.get(), name.toLatin1().constData());
                if (!combo->isVisibleTo(w.get()))
                    continue;
                const QString original = combo->currentText();
                for (int i = 0; i < combo->count(); ++i)
                    pick(combo, combo->itemText(i));
                pick(combo, original);
            }
        }
        applyIfOffered(w.get());
        w->close();
        settle();
        EXPECT_TRUE(writes.registers().isEmpty()) << "changed from register " << writes.registers().value(0);
    }
}

TEST_F(ConfigPropertiesTest, TypedValueAndAltAIsWrittenOrRefusedWithAReason)
{
    struct Case {
        const char *window;
        Maker make;
        const char *field;  // a line edit, or a grid whose cell (0, 1) is typed into
        QString typed;
        bool written;
        std::function<void(QWidget *)> before{};
    };
    const auto keyboardData = [](QWidget *w) { pick(control<QComboBox>(w, "cboParam"), "Keyboard Data"); };
    const Case cases[] = {
        {"HART", byTag(4575), "txtAddress", "7", true},
        {"batch", byTag(452), "txtBatchSize", "200", true},
        {"alarms", byTag(454), "txtLoAlarmSet", "7", true},
        {"transmitter variables", byTag(456), "txtLoAlarmSet", "7", true},
        {"transmitter variables", byTag(456), "txtThreshold", "12.5", true},
        {"transmitter variables", byTag(456), "txtThreshold", "1e41", false},
        {"transmitter variables", byTag(456), "txtThreshold", "-1", false},
        {"transmitter variables", byTag(456), "txtThreshold", "100.5", false},
        {"device configuration", byTag(4531), "txtTransModNum", "m0258", false},
        {"device configuration", byTag(4531), "txtTransModNum", "m1008321", true},
        {"device information", byTag(4530), "txtTag", "WELL 9", true},
        {"device information", byTag(4530), "MaskDate", "1231", false},
        {"date and time", byTag(462), "MaskDate", "123126", true},
        {"pulse output", byTag(4571), "txtURange", "3", true},
        {"analog output", byTag(4570), "txtURange", "12..5", false},
        {"analog output", byTag(4570), "txtURange", "30", true},
        {"analog output", byTag(4570), "txtLRange", "-1e300", false, keyboardData},
        {"analog output", byTag(4570), "txtLRange", "24.5", false, keyboardData},
        {"analog output", byTag(4570), "txtLRange", "12", true, keyboardData},
        {"concentration tables", byClass<TfrmConcentrationTable>(), "grdDens1", "7", true},
        {"special API", byClass<TfrmSpecialAPI>(), "grdDens1", "0.9", true},
        {"special API", byClass<TfrmSpecialAPI>(), "txtSAPIName", "Light crude", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.window) + " " + c.field + " " + c.typed.toStdString());
        const QByteArray original = regs().bytes();
        auto w = openMade(c.make);
        if (c.before)
            c.before(w.get());
        prompter.messages.clear();
        status.clear();
        ChangedWrites writes(device());
        const bool cell = QByteArray(c.field).startsWith("grd");
        if (cell)
            typeInCell(control<QTableWidget>(w.get(), c.field), 0, 1, c.typed);
        else
            typeIn(w.get(), c.field, c.typed);
        alt(w.get(), Qt::Key_A);
        if (c.written) {
            auto again = openMade(c.make);
            if (c.before)
                c.before(again.get());
            const QString shown = cell ? control<QTableWidget>(again.get(), c.field)->item(0, 1)->text()
                                       : textOf(again.get(), c.field);
            bool typedNumber = false, shownNumber = false;
            const double v = c.typed.toDouble(&typedNumber), s = shown.toDouble(&shownNumber);
            if (typedNumber && shownNumber)
                EXPECT_NEAR(s, v, 1e-6 * std::max(1.0, std::abs(v))) << shown.toStdString();
            else
                EXPECT_EQ(QString(shown).remove(QLatin1Char('/')), c.typed);
        } else {
            EXPECT_TRUE(writes.registers().isEmpty()) << "changed from register " << writes.registers().value(0);
            EXPECT_TRUE(!prompter.messages.isEmpty() || !status.isEmpty()) << "refused without a reason";
        }
        w.reset();
        regs().store(0, original);
    }
}

TEST_F(ConfigPropertiesTest, RefusedStepOfAnApplyLeavesTheWindowShowingTheTransmitter)
{
    struct Case {
        const char *name;
        Maker make;
        std::function<void(QWidget *)> edit;
        int refusedFirst, refusedLast;  // registers refused; a coil that stays busy when last < 0
    };
    const Case cases[] = {
        {"transmitter variables", byTag(456),
         [](QWidget *w) {
             type(w, "txtLoAlarmSet", "7");
             type(w, "txtThreshold", "50");
         },
         3380, 3401},
        {"alarms", byTag(454),
         [](QWidget *w) {
             type(w, "txtLoAlarmSet", "7");
             pick(control<QComboBox>(w, "cboType"), "FailSafe");
         },
         1010, 1010},
        {"batch", byTag(452), [](QWidget *w) { type(w, "txtBatchSize", "200"); }, 59, -1},
        {"device configuration", byTag(4531), [](QWidget *w) { type(w, "txtTransSerNUm", "SN-42"); }, 51, -1},
        {"pulse output", byTag(4571), [](QWidget *w) { type(w, "txtURange", "3"); }, 47, -1},
        {"flow direction", byClass<TfrmFlowDirection>(),
         [](QWidget *w) { pick(control<QComboBox>(w, "cboDirection"), "Reverse"); }, 416, 423},
        {"concentration tables", byClass<TfrmConcentrationTable>(),
         [](QWidget *w) {
             control<QTableWidget>(w, "grdDens1")->item(0, 1)->setText("11");
             control<QTableWidget>(w, "grdDens3")->item(0, 1)->setText("33");
         },
         1088 + 2 * 117, 1088 + 3 * 117 - 1},
        {"special API", byClass<TfrmSpecialAPI>(),
         [](QWidget *w) {
             type(w, "txtSAPIName", "Partly");
             control<QTableWidget>(w, "grdDens3")->item(0, 1)->setText("0.95");
         },
         2476 + 2 * 113, 2476 + 3 * 113 - 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray original = regs().bytes();
        auto w = openMade(c.make);
        c.edit(w.get());
        prompter.messages.clear();
        if (c.refusedLast < 0)
            device().setStuckBusyCoil(c.refusedFirst);
        else
            refuse(c.refusedFirst, c.refusedLast);
        ChangedWrites writes(device());
        click(w.get(), "btnApply");
        simulator->transmitter()->setFaults({});
        device().setStuckBusyCoil(-1);
        EXPECT_FALSE(writes.registers().isEmpty()) << "the first step was not taken";
        // The window says that part of the change is in the transmitter.
        EXPECT_TRUE(prompter.shown(ConfigWindow::PartlyWrittenText) || prompter.shown(ConfigWindow::WrittenNotTakenUpText) ||
                    prompter.lastText().contains(QStringLiteral("Not reversed")))
            << prompter.texts().join('|').toStdString();
        EXPECT_TRUE(control<QPushButton>(w.get(), "btnUndo")->isEnabled()) << "what was taken cannot be undone";
        auto fresh = openMade(c.make);
        const auto shown = shownState(w.get()), held = shownState(fresh.get());
        for (const auto &[name, text] : held) {
            bool numbers = false;
            const double a = shown.at(name).toDouble(&numbers), b = text.toDouble(numbers ? &numbers : nullptr);
            if (numbers)
                EXPECT_NEAR(a, b, 1e-9 * std::max(1.0, std::abs(b))) << name.toStdString();
            else
                EXPECT_EQ(shown.at(name).toStdString(), text.toStdString()) << name.toStdString();
        }
        fresh.reset();
        w.reset();
        regs().store(0, original);
    }
}

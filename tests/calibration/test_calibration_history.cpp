// Every calibration goes to the change history with exactly the constants it
// changed, and its certificate carries them as found and as left.
#include "CalibrationTest.h"
#include "WidgetQuery.h"

#include "HistoryStore.h"
#include "TfrmHistory.h"
#include "frmAnalogCalibration.h"
#include "frmDensityCalibration.h"
#include "frmMassCalibration.h"
#include "frmSensorCalibration.h"
#include "frmTempCalibration.h"
#include "frmZeroCalibration.h"

#include <QAbstractButton>
#include <QProcess>
#include <QTemporaryDir>

namespace {

QStringList keys(const HistoryEntry &e)
{
    QStringList k;
    for (const FieldChange &c : e.changes)
        k << c.key;
    return k;
}

}  // namespace

class CalibrationHistory : public CalibrationTest {
protected:
    void SetUp() override
    {
        CalibrationTest::SetUp();
        QString error;
        store = HistoryStore::open(dir.filePath(QStringLiteral("history.sqlite")), &error);
        ASSERT_TRUE(store) << error.toStdString();
        session.setHistory(store.get());
    }
    void TearDown() override
    {
        CalibrationTest::TearDown();
        session.setHistory(nullptr);
    }
    void closeWindow()
    {
        if (QWidget *w = target(); w && w->isVisible())
            w->close();
        settle();
    }

    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store;
};

// One record a calibration, from its first write to its end: the fields whose
// bytes changed (constants the transmitter computed included), the outcome, and a
// certificate with every constant as found and as left.
TEST_F(CalibrationHistory, EachCalibrationRecordsExactlyTheConstantsItChanged)
{
    using T = CalibrationHistory;
    struct Case {
        const char *name;
        std::function<QWidget *(CalibrationTest &)> open;
        std::function<void(T &)> run;
        HistoryOutcome outcome;
        QStringList changed;
    };
    const auto manual = [](const char *field, const char *typed) {
        return [=](T &t) {
            t.click("rbManual");
            t.enter(field, QString::fromLatin1(typed));
            t.click("btnApply");
        };
    };
    const auto zero = opener<TfrmZeroCalibration>(), mass = opener<TfrmMassCalibration>(),
               density = opener<TfrmDensityCalibration>(), temperature = opener<TfrmTempCalibration>(),
               analog = opener<TfrmAnalogCalibration>();
    const auto stabilizeThen = [](std::function<void(T &)> then) {
        return [=](T &t) {
            t.click("rbAuto");
            t.click("btnApply");
            then(t);
        };
    };
    const Case cases[] = {
        {"zero manual", zero, manual("txtZeroValue", "5.72958e-02"), HistoryOutcome::Done, {"SysZero"}},
        {"zero auto", zero, stabilizeThen([](T &) {}), HistoryOutcome::Done, {"SysZero", "SysZeroDev"}},
        {"mass manual", mass, manual("txtMassScalar", "1.02"), HistoryOutcome::Done, {"MassScalar"}},
        {"mass dump run", mass, stabilizeThen([](T &t) {
             t.runFor(25'000);
             t.enter("txtActualMass", QString::number(numberOf(t.target(), "txtActualMass") * 1.01, 'g', 12));
             t.click("btnApply");
         }), HistoryOutcome::Done, {"MassScalar"}},
        {"density manual", density, manual("txtC1", "1.234567e+04"), HistoryOutcome::Done, {"DensityCal.C1"}},
        {"density auto", density, stabilizeThen([](T &t) {
             t.enter("txtActualDensity", QStringLiteral("1.0"));
             t.click("btnApply");
         }), HistoryOutcome::Done, {"DensityCal.C1", "DensityCal.C2", "DensityCal.FluFreq", "DensityCal.FluTemp"}},
        {"density auto refused", density, stabilizeThen([](T &t) {
             t.device().setStuckBusyCoil(5);
             t.enter("txtActualDensity", QStringLiteral("1.0"));
             t.click("btnApply");
             t.device().setStuckBusyCoil(-1);
         }), HistoryOutcome::FailedPartWay, {}},
        {"temperature manual", temperature, manual("txtRTDResOff", "3.0"), HistoryOutcome::Done, {"RTDResOff"}},
        {"temperature auto", temperature, stabilizeThen([](T &t) {
             t.enter("txtActualTemp", QStringLiteral("21"));
             t.click("btnApply");
         }), HistoryOutcome::Done, {"RTDResOff"}},
        {"temperature auto escaped", temperature, stabilizeThen([](T &t) {
             t.session.setAbort(true);
             t.runFor(1500);
         }), HistoryOutcome::Aborted, {}},
        {"analog manual", analog, manual("txtGain", "1.01"), HistoryOutcome::Done, {"Cfg420AOut.Gain"}},
        {"analog auto", analog, [](T &t) {
             t.click("rbAuto");
             t.enter("txtLoAmps", QStringLiteral("4.1"));
             t.enter("txtHiAmps", QStringLiteral("19.2"));
             t.click("btnApply");
         }, HistoryOutcome::Done, {"Cfg420AOut.Gain", "Cfg420AOut.Offset"}},
        {"sensor apply", opener<TfrmSensorCalibration>(), [](T &t) {
             t.enter("txtGainControl", QStringLiteral("20"));
             t.click("btnApply");
         }, HistoryOutcome::Done, {"DSPTxMsg.GainControl"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        regs().setF64At(2 * 2296, 0.0);
        regs().setF64At(2 * 2308, 0.0);
        regs().setF64At(2 * 2292, 1.0);
        regs().setF64At(2 * 881 + 42, 1.0);
        regs().setF64At(2 * 2356, 7.0);
        const qsizetype before = store->entries().size();
        c.open(*this);
        c.run(*this);
        EXPECT_TRUE(control<QAbstractButton>(target(), "btnCertificate")->isEnabled());
        closeWindow();
        const QList<HistoryEntry> all = store->entries();
        ASSERT_EQ(all.size(), before + 1);
        const HistoryEntry &e = all.first();
        EXPECT_EQ(e.outcome, c.outcome) << e.message.toStdString();
        EXPECT_EQ(keys(e), c.changed) << keys(e).join(", ").toStdString();
        EXPECT_FALSE(e.certificate.isEmpty());
        EXPECT_EQ(link->unrecordedWrites(), 0);
        for (const FieldChange &change : e.changes)
            EXPECT_TRUE(e.certificate.contains(change.asFoundText.trimmed()) &&
                        e.certificate.contains(change.asLeftText.trimmed()))
                << change.key.toStdString();
    }
}

// The certificate is one PDF page with the unit, the method, what the technician
// entered, the constants as found and as left, the outcome and a signature line;
// the History window prints it again.
TEST_F(CalibrationHistory, CertificateHoldsTheConstantsAsFoundAndAsLeft)
{
    regs().setF64At(2 * 2300, 0.0025);
    openAs<TfrmZeroCalibration>();
    pick(control<QComboBox>(window.get(), "cboZero"), QStringLiteral("Electronics"));
    click("rbManual");
    enter("txtZeroValue", QStringLiteral("5.72958e-02"));
    click("btnApply");
    const QString fromWindow = dir.filePath(QStringLiteral("window.pdf"));
    prompter.fileNames = {fromWindow};
    click("btnCertificate");
    closeWindow();

    TfrmHistory history(store.get());
    history.show();
    const QString fromHistory = dir.filePath(QStringLiteral("history.pdf"));
    prompter.fileNames = {fromHistory};
    SimWindowTest::click(&history, "btnCertificate");
    for (const QString &pdf : {fromWindow, fromHistory}) {
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        ASSERT_TRUE(text.waitForFinished(20000));
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        EXPECT_EQ(page.count(QLatin1Char('\f')), 1) << "one page";
        for (const QString &expected :
             {QStringLiteral("Calibration Certificate"), QStringLiteral("Zero Calibration, Manual (Electronics)"),
              QStringLiteral("5.72958e-02 Deg"), QStringLiteral("ElecZero"),
              QStringLiteral("0.0025"), QStringLiteral("0.001000000357564167"), QStringLiteral("done"),
              QStringLiteral("Signature")})
            EXPECT_TRUE(page.contains(expected)) << expected.toStdString() << "\n" << page.toStdString();
    }
}

// The density window's switch of a °API meter to g/cc and back is recorded as the
// window's own set-up: done, the unit field as found and as left, no certificate.
TEST_F(CalibrationHistory, SetUpWritesAreRecordedAsTheirOwnOperations)
{
    QByteArray api = regs().read(748, 68);
    api[0] = 4;
    regs().store(748, api);
    openAs<TfrmDensityCalibration>();
    click("rbManual");
    click("btnClose");
    const QList<HistoryEntry> entries = store->entries();
    ASSERT_EQ(entries.size(), 2);
    for (const auto &[e, operation] : {std::pair{entries[1], "Density Calibration: opening"},
                                       std::pair{entries[0], "Density Calibration: closing"}}) {
        EXPECT_EQ(e.info.operation, operation);
        EXPECT_EQ(e.outcome, HistoryOutcome::Done);
        EXPECT_EQ(keys(e), QStringList{"CfgDensity.UnitID"});
        EXPECT_TRUE(e.certificate.isEmpty());
    }
}

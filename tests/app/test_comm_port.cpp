#include "AppFixture.h"
#include "CommSetup.h"
#include "IniFile.h"
#include "MenuTags.h"
#include "TfrmCommPort.h"
#include "TfrmUnitID.h"
#include "WidgetQuery.h"
#include "SimTransmitter.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QApplication>
#include <QStandardItemModel>
#include <QTest>

namespace {

void typeUnitId(QLineEdit *field, const QString &text)
{
    field->selectAll();
    field->del();
    QTest::keyClicks(field, text);
}

void typePort(QComboBox *box, const QString &text)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
}

QStringList items(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

} // namespace

class CommPortTest : public AppFixture {
protected:
    TfrmCommPort *open(int tag)
    {
        main->session().setAccessLevel(Session::Programmer); // register writes need it
        main->itemChosen(tag);
        TfrmCommPort *w = main->commPortWindow();
        EXPECT_TRUE(w->isVisible());
        return w;
    }
    QString iniValue(const char *key)
    {
        return IniFile(dir.path(), "TARVINE.INI").readString("Comm Settings", key, "?");
    }
};

TEST_F(CommPortTest, UnitModeMovesTransmitterAndPcTogether)
{
    start('R'); // the baud list is open for this model
    TfrmCommPort *w = open(MenuTag::CfgCommPort);
    EXPECT_EQ(w->windowTitle(), "Configure Ostrel Comm Setup");
    EXPECT_EQ(w->txtAddress->text(), "247");
    EXPECT_EQ(w->cboBaud->currentText(), "9600");
    EXPECT_FALSE(w->btnApply->isEnabled());

    // Unit ID.
    typeUnitId(w->txtAddress, "17");
    ASSERT_TRUE(w->btnApply->isEnabled());
    w->btnApply->click();
    EXPECT_TRUE(prompter.shown("Change unit values?"));
    EXPECT_EQ(device().comm().unitId, 17);
    EXPECT_EQ(main->link().settings().unitId, 17);
    EXPECT_EQ(main->pnlID->text(), "ID: 17");
    EXPECT_EQ(iniValue("ID"), "17");
    EXPECT_GT(main->link().Read_Regs(0, 2), 0);

    // Framing.
    w->FormActivate(MenuTag::CfgCommPort);
    pick(w->cboMode, "RTU");
    w->btnApply->click();
    EXPECT_EQ(main->link().settings().framing, 1);
    EXPECT_EQ(main->pnlMode->text(), "RTU");
    EXPECT_EQ(iniValue("Mode"), "RTU");
    EXPECT_GT(main->link().Read_Regs(0, 2), 0);
    EXPECT_EQ(main->link().LastException(), 0);

    // Line speed: the PC follows once the transmitter took it.
    w->FormActivate(MenuTag::CfgCommPort);
    pick(w->cboBaud, "19200");
    w->btnApply->click();
    EXPECT_EQ(main->link().serial()->settings(), "19200,N,8,1");
    EXPECT_EQ(main->pnlComm->text(), "COM1: 19200,N,8,1");
    EXPECT_EQ(iniValue("BaudRate"), "19200");
    EXPECT_TRUE(main->link().portOpen());
    EXPECT_GT(main->link().Read_Regs(0, 2), 0);
    EXPECT_EQ(device().image().u8At(2 * 2406), 8) << "baud index of 19200";
    EXPECT_FALSE(prompter.shown("did not accept")) << prompter.texts.join('|').toStdString();
}

TEST_F(CommPortTest, UndoPutsTheLoadedSettingsBackOnBothEnds)
{
    start('R');
    TfrmCommPort *w = open(MenuTag::CfgCommPort);
    typeUnitId(w->txtAddress, "17");
    pick(w->cboMode, "RTU");
    pick(w->cboBaud, "19200");
    w->btnApply->click();
    ASSERT_EQ(device().comm().unitId, 17);
    ASSERT_EQ(device().comm().framing, 1);
    ASSERT_EQ(main->link().serial()->settings(), "19200,N,8,1");
    ASSERT_TRUE(w->btnUndo->isEnabled());
    w->btnUndo->click();
    EXPECT_EQ(device().comm().unitId, 247);
    EXPECT_EQ(device().comm().framing, 0);
    EXPECT_EQ(device().comm().line.baud, 9600);
    EXPECT_EQ(main->link().settings().unitId, 247);
    EXPECT_EQ(main->link().serial()->settings(), "9600,N,8,1");
    EXPECT_EQ(w->txtAddress->text(), "247");
    EXPECT_FALSE(w->btnApply->isEnabled());
    EXPECT_EQ(main->pnlID->text(), "ID: 247");
    EXPECT_EQ(main->pnlMode->text(), "ASCII");
    for (const auto &[key, value] : {std::pair{"ID", "247"}, {"Mode", "ASCII"}, {"BaudRate", "9600"}})
        EXPECT_EQ(iniValue(key), value) << key;
    EXPECT_GT(main->link().Read_Regs(0, 2), 0);
    EXPECT_EQ(main->link().LastException(), 0);
}

// The extra silence is the PC's own: Undo takes it back too, in the link and in TARVINE.INI.
TEST_F(CommPortTest, UndoPutsTheExtraSilenceBack)
{
    start('R');
    for (const int tag : {int(MenuTag::CommPortPcOnly), int(MenuTag::CfgCommPort)}) {
        TfrmCommPort *w = open(tag);
        QApplication::setActiveWindow(w);
        const auto press = [w](Qt::Key letter, QPushButton *button) {
            QSignalSpy clicked(button, &QPushButton::clicked);
            QTest::keyClick(QApplication::focusWidget(), letter, Qt::AltModifier);
            EXPECT_TRUE(clicked.count() > 0 || clicked.wait(2000)) << button->objectName().toStdString();
        };
        QTest::keyClick(w, Qt::Key_X, Qt::AltModifier);
        ASSERT_EQ(QApplication::focusWidget(), w->spnExtraSilence);
        QTest::keyClick(w->spnExtraSilence, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w->spnExtraSilence, "25");
        press(Qt::Key_A, w->btnApply);
        ASSERT_EQ(main->link().settings().extraSilenceMs, 25) << tag;
        ASSERT_EQ(iniValue("Delay"), "25");
        press(Qt::Key_U, w->btnUndo);
        EXPECT_EQ(main->link().settings().extraSilenceMs, 0) << tag;
        EXPECT_EQ(w->spnExtraSilence->value(), 0);
        EXPECT_EQ(iniValue("Delay"), "0") << tag;
        w->close();
    }
}

TEST_F(CommPortTest, LineSettingsThePcPortRefusesAreNeitherOfferedNorWritten)
{
    start('R'); // a model whose baud list is open
    TfrmCommPort *w = open(MenuTag::CfgCommPort);
    const auto offered = [](QComboBox *box, const char *text) {
        return qobject_cast<QStandardItemModel *>(box->model())->item(box->findText(text))->isEnabled();
    };
    EXPECT_FALSE(offered(w->cboBaud, "14400"));
    EXPECT_TRUE(offered(w->cboBaud, "19200"));
    EXPECT_FALSE(offered(w->cboDataBits, "9"));
    const QByteArray record = device().image().read(2406, 8);
    for (const auto &[list, text] : {std::pair{w->cboBaud, "14400"}, {w->cboDataBits, "9"}}) {
        w->FormActivate(MenuTag::CfgCommPort);
        prompter.texts.clear();
        pick(list, text); // forced past the disabled item
        w->btnApply->click();
        EXPECT_TRUE(prompter.shown("Error when changing Port Settings: ")) << prompter.texts.join('|').toStdString();
        EXPECT_EQ(device().image().read(2406, 8), record) << text;
        EXPECT_EQ(device().comm().line.baud, 9600);
        EXPECT_EQ(device().comm().line.dataBits, 8);
        EXPECT_EQ(iniValue("BaudRate"), "9600");
        EXPECT_EQ(iniValue("DataBits"), "8");
        EXPECT_GT(main->link().Read_Regs(0, 2), 0);
    }
}

TEST_F(CommPortTest, ARateThePortRefusesKeepsItOpenAndIsNeverSaved)
{
    start('R');
    TfrmCommPort *w = open(MenuTag::CommPortPcOnly);
    pick(w->cboBaud, "14400");
    w->btnApply->click();
    EXPECT_TRUE(prompter.shown("Error when changing Port Settings: 14400 baud is not a rate this port supports"));
    EXPECT_TRUE(main->link().portOpen());
    EXPECT_EQ(main->pnlComm->text(), "COM1: 9600,N,8,1");
    EXPECT_EQ(w->cboBaud->currentText(), "9600");
    EXPECT_EQ(iniValue("BaudRate"), "9600");

    // The opening sequence on a closed port, the path of every start: it goes on with
    // the settings the port has, and those are what is kept.
    main->link().closePort();
    main->comm().pc().baudRate = "14400";
    prompter.texts.clear();
    EXPECT_TRUE(main->comm().openPort());
    EXPECT_TRUE(prompter.shown("Error when changing Port Settings: 14400 baud"));
    EXPECT_FALSE(prompter.shown("Open Com Port Error"));
    EXPECT_EQ(main->comm().pc().baudRate, "9600");
    EXPECT_TRUE(main->comm().save());
    EXPECT_EQ(iniValue("BaudRate"), "9600");
    EXPECT_GT(main->link().Read_Regs(0, 2), 0);
}

TEST_F(CommPortTest, FlowControlAloneWritesNoSerialRecord)
{
    start('R');
    TfrmCommPort *w = open(MenuTag::CfgCommPort);
    device().image().setU8At(2 * 2406 + 4, 0x5A); // a byte the window must leave as read
    w->FormActivate(MenuTag::CfgCommPort);
    pick(w->cboFlow, "DTR");
    w->btnApply->click();
    EXPECT_EQ(device().image().u8At(2 * 2406 + 3), 0);
    EXPECT_EQ(device().image().u8At(2 * 2406 + 4), 0x5A);
    EXPECT_TRUE(main->link().portOpen());
}

TEST_F(CommPortTest, RefusedUnitIdChangeLeavesThePcAlone)
{
    start();
    TfrmCommPort *w = open(MenuTag::CfgCommPort);
    sim::Faults faults;
    faults.exceptionCode = 2; // the transmitter refuses the address register
    faults.exceptionFirst = 2401;
    faults.exceptionLast = 2401;
    simulator->transmitter()->setFaults(faults);
    typeUnitId(w->txtAddress, "30");
    w->btnApply->click();
    EXPECT_EQ(main->link().settings().unitId, 247);
    EXPECT_EQ(iniValue("ID"), "247");
    EXPECT_TRUE(prompter.shown("did not accept the new unit ID"));
}

TEST_F(CommPortTest, PcModeOnlyReconnects)
{
    start();
    TfrmCommPort *w = open(MenuTag::CommPortPcOnly);
    EXPECT_EQ(w->windowTitle(), "Configure Ostrel Comm Setup (PC SETTINGS ONLY)");
    EXPECT_FALSE(w->cboBaud->isEnabled()) << "closed for an Ostrel";
    typeUnitId(w->txtAddress, "247");
    EXPECT_TRUE(w->cboBaud->isEnabled()) << "typing an ID opens it again";
    pick(w->cboMode, "RTU");
    w->btnApply->click();
    EXPECT_FALSE(prompter.shown("Change unit values?"));
    EXPECT_EQ(device().comm().framing, 0) << "the transmitter is not told";
    EXPECT_EQ(main->link().settings().framing, 1);
    EXPECT_EQ(main->pnlMode->text(), "RTU");
    EXPECT_EQ(iniValue("Mode"), "RTU");
    EXPECT_TRUE(main->link().portOpen());

    // Choosing another port reopens at once, before Apply.
    pick(w->cboPort, "11");
    EXPECT_EQ(main->link().settings().port, "11");
    EXPECT_EQ(main->pnlComm->text(), "COM11: 9600,N,8,1");
}

TEST_F(CommPortTest, ATypedNetworkPortTakesModbusTcpAndNoLineSettings)
{
    start('R');
    TfrmCommPort *w = open(MenuTag::CommPortPcOnly);
    EXPECT_EQ(items(w->cboMode), (QStringList{"ASCII", "RTU"})) << "no TCP on a serial port";
    const QString portInFile = iniValue("Port");
    for (const char *bad : {"10.0.0.5:99999", "[fe80::zz]:502", "plc7:", "COM9"}) {
        prompter.texts.clear();
        typePort(w->cboPort, bad);
        w->btnApply->click();
        EXPECT_TRUE(prompter.shown("Port not changed: ")) << bad << prompter.texts.join('|').toStdString();
        EXPECT_EQ(main->link().settings().port, "1") << bad;
        EXPECT_EQ(iniValue("Port"), portInFile) << bad;
        EXPECT_EQ(w->cboPort->currentText(), "1") << "the port in use shown again";
    }

    const QWidget *lineFields[] = {w->cboBaud, w->cboParity, w->cboDataBits, w->cboStopBits};
    simulator->transmitter()->setMbap(true); // a gateway behind each address
    for (const char *address : {"127.0.0.1:1502", "[::1]:502", "localhost:4001"}) {
        typePort(w->cboPort, address);
        for (const QWidget *field : lineFields)
            EXPECT_FALSE(field->isEnabled()) << address;
        EXPECT_TRUE(w->txtAddress->isEnabled());
        ASSERT_EQ(items(w->cboMode), (QStringList{"ASCII", "RTU", "TCP"})) << address;
        w->cboMode->setFocus();
        QTest::keyClick(w->cboMode, Qt::Key_End); // the last item, as a technician picks it
        typeUnitId(w->txtAddress, "247");
        w->btnApply->click();
        EXPECT_EQ(main->link().settings().port, address);
        EXPECT_EQ(main->link().settings().framing, 2);
        EXPECT_TRUE(main->link().onNetwork());
        EXPECT_GT(main->link().Read_Regs(0, 2), 0) << address;
        EXPECT_EQ(iniValue("Port"), address);
        EXPECT_EQ(iniValue("Mode"), "TCP");
        EXPECT_EQ(iniValue("ID"), "247");
        EXPECT_EQ(iniValue("BaudRate"), "9600") << "the line settings stay for the next serial port";
    }

    // Back on a serial port (Return takes it at once) the line opens again and TCP is no longer a choice.
    simulator->transmitter()->setMbap(false);
    typePort(w->cboPort, "2");
    QTest::keyClick(w->cboPort, Qt::Key_Return);
    for (const QWidget *field : lineFields)
        EXPECT_TRUE(field->isEnabled());
    EXPECT_EQ(items(w->cboMode), (QStringList{"ASCII", "RTU"}));
    prompter.texts.clear();
    w->btnApply->click();
    EXPECT_TRUE(prompter.shown("Choose the Modbus mode")) << prompter.texts.join('|').toStdString();
    EXPECT_EQ(iniValue("Mode"), "TCP") << "nothing saved";
    EXPECT_EQ(main->link().settings().port, "2");
    w->cboMode->setFocus();
    QTest::keyClick(w->cboMode, Qt::Key_Home);
    w->btnApply->click();
    EXPECT_EQ(main->link().settings().port, "2");
    EXPECT_EQ(main->link().settings().framing, 0);
    EXPECT_EQ(iniValue("Mode"), "ASCII");
    EXPECT_GT(main->link().Read_Regs(0, 2), 0);
}

TEST_F(CommPortTest, TheTransmittersOwnModeNeverOffersTcp)
{
    start('R');
    TfrmCommPort *w = open(MenuTag::CfgCommPort);
    typePort(w->cboPort, "127.0.0.1:1502");
    EXPECT_EQ(items(w->cboMode), (QStringList{"ASCII", "RTU"}));
    EXPECT_FALSE(w->cboBaud->isEnabled());
}

TEST_F(CommPortTest, InvalidUnitIdsNeverReachTransmitterOrFile)
{
    start();
    TfrmCommPort *w = open(MenuTag::CfgCommPort);
    const QString range = "Unit ID not in range of 0 to 247.", numeric = "Unit ID must be numeric (0 to 247) and not null.";
    for (const auto &[typed, message] : {std::pair{"248", range}, {"-1", range}, {"x1", numeric}, {"1.5", numeric},
                                         {"", numeric}}) {
        prompter.texts.clear();
        typeUnitId(w->txtAddress, typed);
        w->txtAddressExit();
        EXPECT_EQ(prompter.texts, QStringList{message}) << typed;
        EXPECT_EQ(w->txtAddress->text(), "247");
        EXPECT_FALSE(w->btnApply->isEnabled());
    }
    // Straight to Apply without leaving the field.
    typeUnitId(w->txtAddress, "999");
    w->btnApply->click();
    EXPECT_TRUE(prompter.shown("Unit ID not in range of 0 to 247."));
    EXPECT_EQ(device().comm().unitId, 247);
    EXPECT_EQ(iniValue("ID"), "247");
}

TEST_F(CommPortTest, VerifyUnitIdWindow)
{
    start();
    TfrmUnitID w(main->comm());
    EXPECT_EQ(w.txtUnitID->text(), "247");
    w.txtUnitID->setText("248");
    EXPECT_EQ(prompter.texts.last(), "Unit ID not in range of 0 to 247.");
    EXPECT_EQ(w.txtUnitID->text(), "247");
    EXPECT_EQ(w.candidate(), -1);
    w.txtUnitID->setText("");
    EXPECT_EQ(prompter.texts.size(), 1) << "an empty field says nothing";
    w.txtUnitID->setText("42");
    w.btnOK->click();
    EXPECT_EQ(main->link().settings().unitId, 42);
    EXPECT_EQ(iniValue("ID"), "42");
    EXPECT_EQ(main->pnlID->text(), "ID: 42");
}

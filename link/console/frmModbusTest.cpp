#include "frmModbusTest.h"

#include "Catalogue.h"
#include "Codec.h"
#include "HexDump.h"
#include "LedPixmap.h"
#include "ModbusLink.h"
#include "Prompter.h"
#include "SelectionDecoder.h"
#include "Session.h"
#include "ValueCodec.h"
#include "frmCoilStatus.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QString InvalidData = QStringLiteral("Invalid Data");
constexpr int CoilReadBack = 1;
constexpr uint16_t CoilOn = 0xFF00;
constexpr uint16_t CoilOff = 0x0000;
constexpr int ReadModbusCfgCoil = 48;
constexpr int ResetCommProtocolCoil = 52;

QLabel *valueLabel(const char *name)
{
    auto *l = new QLabel;
    l->setObjectName(QLatin1String(name));
    l->setMinimumWidth(110);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    return l;
}

template <typename W>
W *named(W *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}
}  // namespace

TfrmModbusTest::TfrmModbusTest(ModbusLink &link, Session &session, QWidget *parent)
    : QDialog(parent), m_link(link), m_session(session)
{
    setObjectName(QStringLiteral("frmModbusTest"));
    setWindowTitle(QStringLiteral("Modbus Test"));
    buildLayout();
}

TfrmModbusTest::~TfrmModbusTest()
{
    FormDeactivate();
}

void TfrmModbusTest::buildLayout()
{
    auto *numbers = new QIntValidator(0, 99999, this);
    txtStartAddr = named(new QLineEdit, "txtStartAddr");
    txtNumRegs = named(new QLineEdit, "txtNumRegs");
    txtCoilAddr = named(new QLineEdit, "txtCoilAddr");
    for (QLineEdit *e : {txtStartAddr, txtNumRegs, txtCoilAddr})
        e->setValidator(numbers);
    cboReg = named(new QComboBox, "cboReg");
    cboCoil = named(new QComboBox, "cboCoil");
    btnRegRead = named(new QPushButton(QStringLiteral("&Read")), "btnRegRead");
    btnRegWrite = named(new QPushButton(QStringLiteral("&Write")), "btnRegWrite");
    btnWrite = named(new QPushButton(QStringLiteral("Wri&te")), "btnWrite");
    btnWrite->setToolTip(QStringLiteral("Write Values to Selected Ostrel Holding Registers"));
    btnCoilRead = named(new QPushButton(QStringLiteral("Rea&d")), "btnCoilRead");
    btnCoilSet = named(new QPushButton(QStringLiteral("&Set")), "btnCoilSet");
    btnCoilClear = named(new QPushButton(QStringLiteral("Clea&r")), "btnCoilClear");
    btnStatus = named(new QPushButton(QStringLiteral("S&how")), "btnStatus");
    Memo1 = named(new QPlainTextEdit, "Memo1");
    Memo1->setFont(QFont(QStringLiteral("Monospace"), 9));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setMinimumWidth(560);
    Memo1->viewport()->installEventFilter(this);
    Memo1->installEventFilter(this);
    lblText = named(new QLabel, "lblText");
    RegGrid = named(new QTableWidget(6, 2), "RegGrid");
    RegGrid->setHorizontalHeaderLabels({QStringLiteral("Register Name"), QStringLiteral("Register Value")});
    RegGrid->verticalHeader()->hide();
    RegGrid->setRowHidden(0, true);

    lblHex = valueLabel("lblHex");
    lblByteMotorola = valueLabel("lblByteMotorola");
    lblByteIntel = valueLabel("lblByteIntel");
    lblWordMotorola = valueLabel("lblWordMotorola");
    lblWordIntel = valueLabel("lblWordIntel");
    lblIntegerMotorola = valueLabel("lblIntegerMotorola");
    lblIntegerIntel = valueLabel("lblIntegerIntel");
    lblLongMotorola = valueLabel("lblLongMotorola");
    lblLongIntel = valueLabel("lblLongIntel");
    lblDoubleMotorola = valueLabel("lblDoubleMotorola");
    lblDoubleIntel = valueLabel("lblDoubleIntel");
    lblCRC = valueLabel("lblCRC");
    lblLRC = valueLabel("lblLRC");

    auto *regs = new QGridLayout;
    regs->addWidget(new QLabel(QStringLiteral("Starting Address:")), 0, 0);
    regs->addWidget(txtStartAddr, 0, 1);
    regs->addWidget(new QLabel(QStringLiteral("Number of Registers:")), 1, 0);
    regs->addWidget(txtNumRegs, 1, 1);
    regs->addWidget(new QLabel(QStringLiteral("Specific Register:")), 2, 0);
    regs->addWidget(cboReg, 2, 1);
    auto *regButtons = new QHBoxLayout;
    regButtons->addWidget(btnRegRead);
    regButtons->addWidget(btnRegWrite);
    regButtons->addWidget(lblText, 1);
    regs->addLayout(regButtons, 3, 0, 1, 2);

    auto *values = new QGridLayout;
    values->addWidget(new QLabel(QStringLiteral("Moto.")), 0, 1);
    values->addWidget(new QLabel(QStringLiteral("Intel")), 0, 2);
    values->addWidget(new QLabel(QStringLiteral("HEX")), 1, 0);
    values->addWidget(lblHex, 1, 1, 1, 2);
    const std::pair<const char *, std::pair<QLabel *, QLabel *>> rows[] = {
        {"Byte", {lblByteMotorola, lblByteIntel}},       {"Word", {lblWordMotorola, lblWordIntel}},
        {"Integer", {lblIntegerMotorola, lblIntegerIntel}}, {"Long", {lblLongMotorola, lblLongIntel}},
        {"Double", {lblDoubleMotorola, lblDoubleIntel}},
    };
    int row = 2;
    for (const auto &[caption, pair] : rows) {
        values->addWidget(new QLabel(QLatin1String(caption)), row, 0);
        values->addWidget(pair.first, row, 1);
        values->addWidget(pair.second, row, 2);
        ++row;
    }
    values->addWidget(new QLabel(QStringLiteral("CRC")), row, 0);
    values->addWidget(lblCRC, row++, 1, 1, 2);
    values->addWidget(new QLabel(QStringLiteral("LRC")), row, 0);
    values->addWidget(lblLRC, row, 1, 1, 2);

    auto *coils = new QGridLayout;
    coils->addWidget(new QLabel(QStringLiteral("Coil Address:")), 0, 0);
    coils->addWidget(txtCoilAddr, 0, 1);
    coils->addWidget(new QLabel(QStringLiteral("Specific Coil:")), 1, 0);
    coils->addWidget(cboCoil, 1, 1);
    auto *coilButtons = new QHBoxLayout;
    for (QPushButton *b : {btnCoilRead, btnCoilSet, btnCoilClear, btnStatus})
        coilButtons->addWidget(b);
    coils->addLayout(coilButtons, 2, 0, 1, 2);

    auto *left = new QVBoxLayout;
    left->addLayout(regs);
    left->addWidget(Memo1, 1);
    auto *right = new QVBoxLayout;
    right->addLayout(values);
    right->addWidget(RegGrid, 1);
    right->addWidget(btnWrite);
    right->addLayout(coils);
    auto *top = new QHBoxLayout(this);
    top->addLayout(left, 3);
    top->addLayout(right, 2);

    connect(cboReg, &QComboBox::activated, this, &TfrmModbusTest::cboRegChange);
    connect(cboCoil, &QComboBox::activated, this, &TfrmModbusTest::cboCoilChange);
    connect(btnRegRead, &QPushButton::clicked, this, &TfrmModbusTest::btnRegReadClick);
    connect(btnRegWrite, &QPushButton::clicked, this, &TfrmModbusTest::btnRegWriteClick);
    connect(btnWrite, &QPushButton::clicked, this, &TfrmModbusTest::btnWriteClick);
    connect(btnCoilRead, &QPushButton::clicked, this, &TfrmModbusTest::btnCoilReadClick);
    connect(btnCoilSet, &QPushButton::clicked, this, &TfrmModbusTest::btnCoilSetClick);
    connect(btnCoilClear, &QPushButton::clicked, this, &TfrmModbusTest::btnCoilClearClick);
    connect(btnStatus, &QPushButton::clicked, this, &TfrmModbusTest::btnStatusClick);
}

void TfrmModbusTest::fillLists()
{
    for (const BlockDef &b : Catalogue::blocks())
        cboReg->addItem(b.qName(), int(b.index));
    for (const CoilDef &c : Catalogue::coils())
        cboCoil->addItem(c.qName(), int(c.number));
    RegGrid->horizontalHeader()->setDefaultSectionSize((RegGrid->width() - 1) / 2);
    cboReg->setCurrentIndex(0);
    cboRegChange();
}

// Write_Regs transmits at level 2; the console lends that level while it is the
// active window and gives the user's own level back when it is not. The same goes
// for requests longer than the windows' usual 244 bytes.
void TfrmModbusTest::FormActivate()
{
    if (!m_listsFilled) {
        m_listsFilled = true;
        fillLists();
    }
    if (!m_levelRaised) {
        m_savedLevel = m_session.accessLevel();
        m_savedTransferLimit = m_link.transferLimit();
        m_levelRaised = true;
        m_session.setAccessLevel(Session::Programmer);
        m_link.setTransferLimit(ModbusLink::BufferBound);
    }
}

void TfrmModbusTest::FormDeactivate()
{
    if (m_levelRaised) {
        m_levelRaised = false;
        m_session.setAccessLevel(m_savedLevel);
        m_link.setTransferLimit(m_savedTransferLimit);
    }
}

bool TfrmModbusTest::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    else if (e->type() == QEvent::WindowDeactivate)
        FormDeactivate();
    return QDialog::event(e);
}

void TfrmModbusTest::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    FormActivate();
}

void TfrmModbusTest::hideEvent(QHideEvent *e)
{
    FormDeactivate();
    QDialog::hideEvent(e);
}

// Escape only sets the program's abort flag; it does not close the console.
void TfrmModbusTest::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape) {
        e->ignore();
        return;
    }
    QDialog::keyPressEvent(e);
}

bool TfrmModbusTest::eventFilter(QObject *watched, QEvent *e)
{
    // Decoded once the editor has handled the event, so the selection is final.
    if ((watched == Memo1->viewport() && e->type() == QEvent::MouseButtonRelease)
        || (watched == Memo1 && e->type() == QEvent::KeyRelease))
        QMetaObject::invokeMethod(this, &TfrmModbusTest::decodeSelection, Qt::QueuedConnection);
    return QDialog::eventFilter(watched, e);
}

int TfrmModbusTest::selectedBlock() const
{
    return cboReg->currentIndex() < 0 ? -1 : cboReg->currentData().toInt();
}

void TfrmModbusTest::cboRegChange()
{
    const BlockDef *b = Catalogue::block(selectedBlock());
    if (!b)
        return;
    txtStartAddr->setText(QString::number(b->startRegister));
    txtNumRegs->setText(QString::number(b->bytes / 2));
}

bool TfrmModbusTest::registerRange(int *start, int *count, int maxBytes)
{
    if (txtStartAddr->text().isEmpty() || txtNumRegs->text().isEmpty()) {
        showMessage(QStringLiteral("Starting Address and Number of Registers\rmust have values.  Unable to process."),
                    InvalidData, Prompter::Warning);
        return false;
    }
    *start = txtStartAddr->text().toInt();
    *count = txtNumRegs->text().toInt();
    QString why;
    const int maxRegisters = maxBytes / 2;
    if (*count < 1 || *count > maxRegisters)
        why = QStringLiteral("Number of Registers must be 1 to %1:\rone request carries no more in %2.")
                  .arg(maxRegisters)
                  .arg(m_link.settings().framing == ModbusLink::Rtu ? QStringLiteral("RTU") : QStringLiteral("ASCII"));
    else if (*start + *count > RegisterImage::RegisterCount)
        why = QStringLiteral("Registers %1 to %2 reach beyond the last register (%3).")
                  .arg(*start)
                  .arg(*start + *count - 1)
                  .arg(RegisterImage::RegisterCount - 1);
    if (why.isEmpty())
        return true;
    showMessage(why + QStringLiteral("\rUnable to process."), InvalidData, Prompter::Warning);
    return false;
}

void TfrmModbusTest::btnRegReadClick()
{
    int start = 0, count = 0;
    if (!registerRange(&start, &count, ModbusFrame::maxReadBytes(m_link.settings().framing)))
        return;
    const uint16_t result = m_link.Read_Regs(start, 2 * count);
    Memo1->clear();
    if (result != 0) {
        Memo1->setPlainText(HexDump::lines(m_link.lastReceived()).join(QLatin1Char('\n')));
        lblText->setText(ModbusLink::Exception_Text(m_link.LastException()));
    } else {
        Memo1->setPlainText(HexDump::lines(m_link.image().read(start, 2 * count)).join(QLatin1Char('\n')));
        lblText->setText(QStringLiteral("No Reply"));
    }
    fillGrid();
}

void TfrmModbusTest::fillGrid()
{
    const QStringList listing = Catalogue::walkBlock(m_link.image(), selectedBlock());
    RegGrid->clearContents();
    RegGrid->setRowCount(std::max(6, int(listing.size()) + 1));
    // Row 0 stands for the heads, which the grid's own header shows.
    RegGrid->setRowHidden(0, true);
    for (int i = 0; i < listing.size(); ++i) {
        const QString &line = listing[i];
        const qsizetype comma = line.indexOf(QStringLiteral(", "));
        const QString name = comma < 0 ? line : line.left(comma);
        const QString value = comma < 0 ? QString() : line.mid(comma + 2);
        RegGrid->setItem(i + 1, 0, new QTableWidgetItem(name));
        RegGrid->setItem(i + 1, 1, new QTableWidgetItem(value));
    }
}

void TfrmModbusTest::btnRegWriteClick()
{
    int start = 0, count = 0;
    if (!registerRange(&start, &count, ModbusFrame::maxWriteBytes(m_link.settings().framing)))
        return;
    const QByteArray bytes = HexDump::collect(Memo1->toPlainText().split(QLatin1Char('\n')));
    if (bytes.size() < 2 * count) {
        showMessage(QStringLiteral("The dump holds %1 bytes, but %2 registers need %3.\rUnable to process.")
                        .arg(bytes.size())
                        .arg(count)
                        .arg(2 * count),
                    InvalidData, Prompter::Warning);
        return;
    }
    m_link.Write_Regs(start, 2 * count, reinterpret_cast<const uint8_t *>(bytes.constData()));
}

void TfrmModbusTest::btnWriteClick()
{
    const BlockDef *block = Catalogue::block(selectedBlock());
    if (!block)
        return;
    const QList<FieldRef> fields = Catalogue::fields(block->index);
    for (int i = 0; i < fields.size(); ++i) {
        const FieldRef &f = fields[i];
        QTableWidgetItem *value = RegGrid->item(i + 1, 1);
        QString error;
        if (!ValueCodec::parseInto(m_link.image(), f.byteOffset, f.byteCount, f.type, value ? value->text() : QString(),
                                   &error)) {
            showMessage(error, QStringLiteral("Tarvine"), Prompter::Error);
            return;
        }
        QTableWidgetItem *name = RegGrid->item(i + 1, 0);
        if (!name)
            RegGrid->setItem(i + 1, 0, name = new QTableWidgetItem);
        name->setText(QStringLiteral("Added: ") + name->text());
    }
    const QByteArray bytes = m_link.image().read(block->startRegister, block->bytes);
    const int16_t result = m_link.Write_Regs(block->startRegister, bytes);
    // The transmitter re-reads its link settings only from values it accepted.
    if (result == 0 || m_link.LastException() != 0)
        return;
    const uint8_t first = uint8_t(bytes.isEmpty() ? 0 : bytes[0]);
    if (block->name == "ModbusAddr") {
        // The coil must reach the transmitter at its new address.
        m_link.setUnitId(first);
        m_link.Force_Coil(ReadModbusCfgCoil, CoilOn);
    } else if (block->name == "ModbusMode") {
        m_link.setFraming(first);
        m_link.Force_Coil(ReadModbusCfgCoil, CoilOn);
    } else if (block->name == "SCIProtocol") {
        m_link.Force_Coil(ResetCommProtocolCoil, CoilOn);
    }
}

bool TfrmModbusTest::coilAddress(int *coil)
{
    if (txtCoilAddr->text().isEmpty()) {
        showMessage(QStringLiteral("Coil Address must have a value.\rUnable to process."), InvalidData,
                    Prompter::Warning);
        return false;
    }
    *coil = txtCoilAddr->text().toInt();
    return true;
}

void TfrmModbusTest::showCoil(int coil)
{
    const bool on = m_link.Read_Coil(coil, CoilReadBack);
    btnCoilRead->setIcon(on ? LedPixmap::redOn() : LedPixmap::redOff());
    btnCoilRead->setProperty("ledOn", on);
}

void TfrmModbusTest::cboCoilChange()
{
    if (cboCoil->currentIndex() < 0)
        return;
    txtCoilAddr->setText(QString::number(cboCoil->currentData().toInt()));
    btnCoilReadClick();
}

void TfrmModbusTest::btnCoilReadClick()
{
    int coil = 0;
    if (coilAddress(&coil))
        showCoil(coil);
}

void TfrmModbusTest::btnCoilSetClick()
{
    int coil = 0;
    if (!coilAddress(&coil))
        return;
    m_link.Force_Coil(coil, CoilOn);
    showCoil(coil);
}

void TfrmModbusTest::btnCoilClearClick()
{
    int coil = 0;
    if (!coilAddress(&coil))
        return;
    m_link.Force_Coil(coil, CoilOff);
    showCoil(coil);
}

void TfrmModbusTest::btnStatusClick()
{
    TfrmCoilStatus status(m_link, this);
    status.exec();
}

void TfrmModbusTest::decodeSelection()
{
    showDecoded(DecodedSelection{});
    QString error;
    // The editor marks line ends in a selection with U+2029; they are not bytes.
    QString selected = Memo1->textCursor().selectedText();
    selected.remove(QChar(0x2029));
    const auto decoded = SelectionDecoder::decode(selected, &error);
    if (!decoded) {
        showMessage(error, QStringLiteral("Tarvine"), Prompter::Error);
        return;
    }
    showDecoded(*decoded);
}

void TfrmModbusTest::showDecoded(const DecodedSelection &d)
{
    lblHex->setText(d.hex);
    lblCRC->setText(d.crc);
    lblLRC->setText(d.lrc);
    lblByteMotorola->setText(d.byteMoto);
    lblByteIntel->setText(d.byteIntel);
    lblWordMotorola->setText(d.wordMoto);
    lblWordIntel->setText(d.wordIntel);
    lblIntegerMotorola->setText(d.integerMoto);
    lblIntegerIntel->setText(d.integerIntel);
    lblLongMotorola->setText(d.longMoto);
    lblLongIntel->setText(d.longIntel);
    lblDoubleMotorola->setText(d.doubleMoto);
    lblDoubleIntel->setText(d.doubleIntel);
}

#include "frmModbusTest.h"

#include "Catalogue.h"
#include "Codec.h"
#include "CommSetup.h"
#include "HexDump.h"
#include "LedPixmap.h"
#include "ModbusLink.h"
#include "OperationRecord.h"
#include "Prompter.h"
#include "SelectionDecoder.h"
#include "Session.h"
#include "ValueCodec.h"
#include "frmCoilStatus.h"
#include "ui_frmModbusTest.h"

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QCloseEvent>
#include <QTableWidget>

namespace {
const QString InvalidData = QStringLiteral("Invalid Data");
constexpr int CoilReadBack = 1;
constexpr uint16_t CoilOn = 0xFF00;
constexpr uint16_t CoilOff = 0x0000;
constexpr int ReadModbusCfgCoil = 48;
constexpr int ResetCommProtocolCoil = 52;
}  // namespace

TfrmModbusTest::TfrmModbusTest(CommSetup &comm, QWidget *parent)
    : QDialog(parent), m_comm(comm), m_link(comm.link()), m_session(comm.session()),
      ui(std::make_unique<Ui::TfrmModbusTest>())
{
    ui->setupUi(this);
    connectControls();
}

TfrmModbusTest::~TfrmModbusTest()
{
    FormDeactivate();
}

void TfrmModbusTest::connectControls()
{
    auto *numbers = new QIntValidator(0, 99999, this);
    for (QLineEdit *e : {ui->txtStartAddr, ui->txtNumRegs, ui->txtCoilAddr})
        e->setValidator(numbers);
    // Row 0 stands for the heads, which the grid's own header shows.
    ui->RegGrid->setRowHidden(0, true);
    ui->Memo1->viewport()->installEventFilter(this);
    ui->Memo1->installEventFilter(this);

    // The dump's offset column follows its lines and its scrolling.
    connect(ui->Memo1, &QPlainTextEdit::blockCountChanged, this, &TfrmModbusTest::showOffsets);
    connect(ui->Memo1->verticalScrollBar(), &QScrollBar::valueChanged, ui->memoOffsets->verticalScrollBar(),
            &QScrollBar::setValue);
    const int offsetWidth = ui->memoOffsets->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16;
    ui->memoOffsets->setFixedWidth(offsetWidth);
    showOffsets();

    // One step at a time: a click that talks to the transmitter counts as running
    // until it returns, and a Close asked for meanwhile waits for it.
    auto step = [this](void (TfrmModbusTest::*slot)()) {
        return [this, slot] {
            ++m_stepDepth;
            (this->*slot)();
            if (--m_stepDepth == 0 && m_closeRequested) {
                m_closeRequested = false;
                QDialog::reject();
            }
        };
    };
    connect(ui->cboReg, &QComboBox::activated, this, step(&TfrmModbusTest::cboRegChange));
    connect(ui->cboCoil, &QComboBox::activated, this, step(&TfrmModbusTest::cboCoilChange));
    connect(ui->btnRegRead, &QPushButton::clicked, this, step(&TfrmModbusTest::btnRegReadClick));
    connect(ui->btnRegWrite, &QPushButton::clicked, this, step(&TfrmModbusTest::btnRegWriteClick));
    connect(ui->btnWrite, &QPushButton::clicked, this, step(&TfrmModbusTest::btnWriteClick));
    connect(ui->btnCoilRead, &QPushButton::clicked, this, step(&TfrmModbusTest::btnCoilReadClick));
    connect(ui->btnCoilSet, &QPushButton::clicked, this, step(&TfrmModbusTest::btnCoilSetClick));
    connect(ui->btnCoilClear, &QPushButton::clicked, this, step(&TfrmModbusTest::btnCoilClearClick));
    connect(ui->btnStatus, &QPushButton::clicked, this, step(&TfrmModbusTest::btnStatusClick));
    connect(ui->btnClose, &QPushButton::clicked, this, &TfrmModbusTest::reject);
}

void TfrmModbusTest::fillLists()
{
    for (const BlockDef &b : Catalogue::blocks())
        ui->cboReg->addItem(b.qName(), int(b.index));
    for (const CoilDef &c : Catalogue::coils())
        ui->cboCoil->addItem(c.qName(), int(c.number));
    ui->RegGrid->horizontalHeader()->setDefaultSectionSize((ui->RegGrid->width() - 1) / 2);
    ui->cboReg->setCurrentIndex(0);
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

void TfrmModbusTest::reject()
{
    if (m_stepDepth > 0)
        m_closeRequested = true;
    else
        QDialog::reject();
}

void TfrmModbusTest::closeEvent(QCloseEvent *e)
{
    if (m_stepDepth > 0) {
        m_closeRequested = true;
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

void TfrmModbusTest::showOffsets()
{
    const int top = ui->Memo1->verticalScrollBar()->value();
    const int lines = ui->Memo1->document()->isEmpty() ? 0 : ui->Memo1->blockCount();
    ui->memoOffsets->setPlainText(HexDump::offsets(lines).join(QLatin1Char('\n')));
    ui->memoOffsets->verticalScrollBar()->setValue(top);
}

bool TfrmModbusTest::eventFilter(QObject *watched, QEvent *e)
{
    // Decoded once the editor has handled the event, so the selection is final.
    if ((watched == ui->Memo1->viewport() && e->type() == QEvent::MouseButtonRelease)
        || (watched == ui->Memo1 && e->type() == QEvent::KeyRelease))
        QMetaObject::invokeMethod(this, &TfrmModbusTest::decodeSelection, Qt::QueuedConnection);
    return QDialog::eventFilter(watched, e);
}

int TfrmModbusTest::selectedBlock() const
{
    return ui->cboReg->currentIndex() < 0 ? -1 : ui->cboReg->currentData().toInt();
}

void TfrmModbusTest::cboRegChange()
{
    const BlockDef *b = Catalogue::block(selectedBlock());
    if (!b)
        return;
    ui->txtStartAddr->setText(QString::number(b->startRegister));
    ui->txtNumRegs->setText(QString::number(b->bytes / 2));
    // Values shown for another block must never be written into this one.
    fillGrid(false);
}

bool TfrmModbusTest::registerRange(int *start, int *count, int maxBytes)
{
    if (ui->txtStartAddr->text().isEmpty() || ui->txtNumRegs->text().isEmpty()) {
        showMessage(QStringLiteral("Starting Address and Number of Registers\rmust have values.  Unable to process."),
                    InvalidData, Prompter::Warning);
        return false;
    }
    *start = ui->txtStartAddr->text().toInt();
    *count = ui->txtNumRegs->text().toInt();
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
    ui->Memo1->clear();
    // The dump holds the registers' bytes, so that Write without an edit changes
    // nothing; the frame as received is the status line's tool tip.
    ui->Memo1->setPlainText(HexDump::lines(m_link.image().read(start, 2 * count)).join(QLatin1Char('\n')));
    if (result != 0) {
        ui->lblText->setText(m_link.ReplyCorrupt() ? QStringLiteral("Checksum or framing error")
                                                   : ModbusLink::Exception_Text(m_link.LastException()));
        const QByteArray raw = m_link.MsgComplete() ? m_link.lastReceived() : QByteArray();
        ui->lblText->setToolTip(QStringLiteral("Reply as received:\n") + HexDump::lines(raw).join(QLatin1Char('\n')));
    } else {
        ui->lblText->setText(QStringLiteral("No Reply"));
        ui->lblText->setToolTip(QString());
    }
    fillGrid(true);
}

void TfrmModbusTest::fillGrid(bool withValues)
{
    m_gridBlock = selectedBlock();
    const QStringList listing = Catalogue::walkBlock(m_link.image(), m_gridBlock);
    ui->RegGrid->clearContents();
    ui->RegGrid->setRowCount(std::max(6, int(listing.size()) + 1));
    // Row 0 stands for the heads, which the grid's own header shows.
    ui->RegGrid->setRowHidden(0, true);
    for (int i = 0; i < listing.size(); ++i) {
        const QString &line = listing[i];
        const qsizetype comma = line.indexOf(QStringLiteral(", "));
        const QString name = comma < 0 ? line : line.left(comma);
        const QString value = comma < 0 || !withValues ? QString() : line.mid(comma + 2);
        ui->RegGrid->setItem(i + 1, 0, new QTableWidgetItem(name));
        ui->RegGrid->setItem(i + 1, 1, new QTableWidgetItem(value));
    }
}

void TfrmModbusTest::btnRegWriteClick()
{
    int start = 0, count = 0;
    if (!registerRange(&start, &count, ModbusFrame::maxWriteBytes(m_link.settings().framing)))
        return;
    const QByteArray bytes = HexDump::collect(ui->Memo1->toPlainText().split(QLatin1Char('\n')));
    if (bytes.size() < 2 * count) {
        showMessage(QStringLiteral("The dump holds %1 bytes, but %2 registers need %3.\rUnable to process.")
                        .arg(bytes.size())
                        .arg(count)
                        .arg(2 * count),
                    InvalidData, Prompter::Warning);
        return;
    }
    const QByteArray written = bytes.left(2 * count);
    OperationRecord::run(m_link, QStringLiteral("Modbus Test: write %1 %2").arg(start).arg(QString::fromLatin1(written.toHex().toUpper())),
                         [&] { return m_link.Write_Regs(start, written) != 0 && m_link.LastException() == 0; });
}

void TfrmModbusTest::btnWriteClick()
{
    const BlockDef *block = Catalogue::block(selectedBlock());
    if (!block || m_gridBlock != block->index)
        return;
    const QList<FieldRef> fields = Catalogue::fields(block->index);
    for (int i = 0; i < fields.size(); ++i) {
        const FieldRef &f = fields[i];
        QTableWidgetItem *value = ui->RegGrid->item(i + 1, 1);
        QString error;
        if (!ValueCodec::parseInto(m_link.image(), f.byteOffset, f.byteCount, f.type, value ? value->text() : QString(),
                                   &error)) {
            showMessage(error, QStringLiteral("Tarvine"), Prompter::Error);
            return;
        }
        QTableWidgetItem *name = ui->RegGrid->item(i + 1, 0);
        if (!name)
            ui->RegGrid->setItem(i + 1, 0, name = new QTableWidgetItem);
        name->setText(QStringLiteral("Added: ") + name->text());
    }
    const QByteArray bytes = m_link.image().read(block->startRegister, block->bytes);
    OperationRecord record(m_link, QStringLiteral("Modbus Test: write %1").arg(block->qName()));
    const int16_t result = m_link.Write_Regs(block->startRegister, bytes);
    // The transmitter re-reads its link settings only from values it accepted.
    if (result == 0 || m_link.LastException() != 0) {
        record.finish(HistoryOutcome::Refused, QStringLiteral("the transmitter did not take it"));
        return;
    }
    const uint8_t first = uint8_t(bytes.isEmpty() ? 0 : bytes[0]);
    // The PC follows the accepted value and keeps it, so the coil and every later
    // request (and the next start) reach the transmitter.
    bool reRead = true;
    if (block->name == "ModbusAddr") {
        if (first <= 247)
            m_comm.follow({.unitId = first});
        reRead = m_link.Force_Coil(ReadModbusCfgCoil, CoilOn);
    } else if (block->name == "ModbusMode") {
        if (first <= 1)
            m_comm.follow({.framing = first});
        reRead = m_link.Force_Coil(ReadModbusCfgCoil, CoilOn);
    } else if (block->name == "SCIProtocol") {
        reRead = m_link.Force_Coil(ResetCommProtocolCoil, CoilOn);
    }
    record.finish(reRead ? HistoryOutcome::Done : HistoryOutcome::FailedPartWay,
                  reRead ? QString() : QStringLiteral("the transmitter did not take up the new settings"));
}

bool TfrmModbusTest::coilAddress(int *coil)
{
    if (ui->txtCoilAddr->text().isEmpty()) {
        showMessage(QStringLiteral("Coil Address must have a value.\rUnable to process."), InvalidData,
                    Prompter::Warning);
        return false;
    }
    *coil = ui->txtCoilAddr->text().toInt();
    return true;
}

void TfrmModbusTest::showCoil(int coil)
{
    const bool on = m_link.Read_Coil(coil, CoilReadBack);
    ui->btnCoilRead->setIcon(on ? LedPixmap::redOn() : LedPixmap::redOff());
    ui->btnCoilRead->setProperty("ledOn", on);
}

void TfrmModbusTest::cboCoilChange()
{
    if (ui->cboCoil->currentIndex() < 0)
        return;
    ui->txtCoilAddr->setText(QString::number(ui->cboCoil->currentData().toInt()));
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
    OperationRecord::run(m_link, QStringLiteral("Modbus Test: coil %1 on").arg(coil),
                         [&] { return m_link.Force_Coil(coil, CoilOn); });
    showCoil(coil);
}

void TfrmModbusTest::btnCoilClearClick()
{
    int coil = 0;
    if (!coilAddress(&coil))
        return;
    OperationRecord::run(m_link, QStringLiteral("Modbus Test: coil %1 off").arg(coil),
                         [&] { return m_link.Force_Coil(coil, CoilOff); });
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
    QString selected = ui->Memo1->textCursor().selectedText();
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
    ui->lblHex->setText(d.hex);
    ui->lblCRC->setText(d.crc);
    ui->lblLRC->setText(d.lrc);
    ui->lblByteMotorola->setText(d.byteMoto);
    ui->lblByteIntel->setText(d.byteIntel);
    ui->lblWordMotorola->setText(d.wordMoto);
    ui->lblWordIntel->setText(d.wordIntel);
    ui->lblIntegerMotorola->setText(d.integerMoto);
    ui->lblIntegerIntel->setText(d.integerIntel);
    ui->lblLongMotorola->setText(d.longMoto);
    ui->lblLongIntel->setText(d.longIntel);
    ui->lblDoubleMotorola->setText(d.doubleMoto);
    ui->lblDoubleIntel->setText(d.doubleIntel);
}

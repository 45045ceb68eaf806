#include "TfrmHart.h"

#include "ApplyUndoButtons.h"
#include "ValueCodec.h"
#include "ui_frmHart.h"

#include <QSignalBlocker>

namespace {
constexpr int Block = 2430, Bytes = 28;
constexpr int AddrByte = 0, WriteProtectByte = 5, ReqPreamblesByte = 6;
}  // namespace

TfrmHart::TfrmHart(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmHart>()), m_writeProtect(nullptr), m_block(Block, Bytes)
{
    ui->setupUi(this);
    m_writeProtect = CodeChoice(ui->cboWriteProtect);
    m_writeProtect.setItems(QStringList{QStringLiteral("No"), QStringLiteral("Yes")});
    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); });
    connect(ui->txtAddress, &QLineEdit::editingFinished, this, &TfrmHart::txtAddressExit);
    connect(ui->txtAddress, &QLineEdit::textEdited, m_buttons, &ApplyUndoButtons::edited);
    connect(ui->udAddress, &QSpinBox::valueChanged, this, &TfrmHart::udAddressChange);
    connect(ui->cboWriteProtect, &QComboBox::activated, m_buttons, &ApplyUndoButtons::edited);
}

TfrmHart::~TfrmHart()
{
    silenceEntryFields(this);
}

void TfrmHart::FormActivate()
{
    readBlocks({&m_block});
    showBlock();
}

void TfrmHart::showBlock()
{
    showAddress(m_block.u8(AddrByte));
    ui->txtReqPreambles->setText(QString::number(m_block.u8(ReqPreamblesByte)));
    m_writeProtect.show(m_block.u8(WriteProtectByte));
}

void TfrmHart::showAddress(int address)
{
    m_address = address;
    ui->txtAddress->setText(QString::number(address));
    const QSignalBlocker quiet(ui->udAddress);
    ui->udAddress->setValue(qBound(0, address, MaxAddress));
}

void TfrmHart::udAddressChange(int value)
{
    // The spin button steps one past either end; that wraps to the other end.
    const int stepped = value > m_address ? m_address + 1 : m_address - 1;
    showAddress(stepped > MaxAddress ? 0 : stepped < 0 ? MaxAddress : stepped);
    m_block.setU8(AddrByte, uint8_t(m_address));
    m_buttons->edited();
}

void TfrmHart::txtAddressExit()
{
    bool ok = false;
    const qint64 typed = ValueCodec::parseInteger(ui->txtAddress->text().trimmed(), &ok);
    if (!ok) {
        showAddress(m_address);
        m_buttons->setApplyEnabled(false);
        showStatus(QStringLiteral("Invalid Poll Address, old value restored!"));
        return;
    }
    showAddress(typed < 0 ? MaxAddress : typed > MaxAddress ? 0 : int(typed));
    m_block.setU8(AddrByte, uint8_t(m_address));
    m_buttons->edited();
}

bool TfrmHart::btnApplyClick()
{
    m_block.setU8(AddrByte, uint8_t(m_address));
    m_block.setU8(WriteProtectByte, uint8_t(m_writeProtect.code()));
    return writeBlocks({&m_block}, Copy::Working);
}

bool TfrmHart::btnUndoClick()
{
    if (!writeBlocks({&m_block}, Copy::AsRead))
        return false;
    m_block.revert();
    showBlock();
    return true;
}

TARVINE_REGISTER_WINDOW(4575, TfrmHart);

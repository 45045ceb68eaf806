#include "TfrmHart.h"

#include "ApplyUndoButtons.h"
#include "ValueCodec.h"
#include "ui_frmHart.h"


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
    setLeaveCheck(ui->txtAddress, [this] { return txtAddressExit(); });
    connect(ui->txtAddress, &QLineEdit::textEdited, this, [this] {
        m_addressTyped = true;
        m_buttons->edited();
    });
    connect(ui->udAddressUp, &QToolButton::clicked, this, [this] { udAddressStep(+1); });
    connect(ui->udAddressDown, &QToolButton::clicked, this, [this] { udAddressStep(-1); });
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
    m_buttons->setApplyEnabled(false);
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
    m_addressTyped = false;
    ui->txtAddress->setText(QString::number(address));
}

void TfrmHart::udAddressStep(int step)
{
    // A step past either end wraps to the other end.
    const int stepped = m_address + step;
    showAddress(stepped > MaxAddress ? 0 : stepped < 0 ? MaxAddress : stepped);
    m_block.setU8(AddrByte, uint8_t(m_address));
    m_buttons->edited();
}

bool TfrmHart::txtAddressExit()
{
    if (!m_addressTyped || !isVisible())
        return true;
    bool ok = false;
    const qint64 typed = ValueCodec::parseInteger(ui->txtAddress->text().trimmed(), &ok);
    if (!ok) {
        showAddress(m_address);
        m_buttons->setApplyEnabled(false);
        showStatus(QStringLiteral("Invalid Poll Address, old value restored!"));
        return false;
    }
    showAddress(typed < 0 ? MaxAddress : typed > MaxAddress ? 0 : int(typed));
    m_block.setU8(AddrByte, uint8_t(m_address));
    m_buttons->edited();
    return true;
}

bool TfrmHart::btnApplyClick()
{
    // The address went into the block when it was accepted.
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

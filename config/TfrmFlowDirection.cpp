#include "TfrmFlowDirection.h"

#include "CodeChoice.h"
#include "ModbusLink.h"
#include "UnitLists.h"
#include "ui_TfrmFlowDirection.h"

namespace {
constexpr int DirectionList = 156;  // "Forward", "Reverse"
constexpr int TotalBlocks[] = {244, 279, 296, 416, 442, 313};
constexpr int TotalBytes = 16, ForwardAt = 8;
}  // namespace

const QString TfrmFlowDirection::TotalsFailedText = QStringLiteral(
    "The flow direction was changed, but not every total could be reversed. Check the totals.");

bool ReverseTotals(ModbusLink &link)
{
    for (int first : TotalBlocks) {
        ConfigBlock total(first, TotalBytes);
        if (!total.read(link))
            return false;
        const double a = total.f64(0), b = total.f64(ForwardAt);
        total.setF64(0, -a);
        total.setF64(ForwardAt, b - a);
        if (total.writeWorking(link) != ConfigBlock::WriteResult::Written)
            return false;
    }
    return true;
}

TfrmFlowDirection::TfrmFlowDirection(const WindowContext &context, QWidget *parent)
    : ConfigWindow(context, parent), ui(std::make_unique<Ui::TfrmFlowDirection>()), m_block(DirectionRegister, 2)
{
    ui->setupUi(this);
    setHelp(ui->btnHelp, HelpContext);
    CodeChoice(ui->cboDirection).setItems(UnitListFor(DirectionList));
    connect(ui->cboDirection, &QComboBox::activated, this, [this] { ui->btnApply->setEnabled(true); });
    connect(ui->btnApply, &QPushButton::clicked, this, &TfrmFlowDirection::btnApplyClick);
    connect(ui->btnUndo, &QPushButton::clicked, this, &TfrmFlowDirection::btnUndoClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
}

TfrmFlowDirection::~TfrmFlowDirection() = default;

void TfrmFlowDirection::FormActivate()
{
    readBlocks({&m_block});
    m_asRead = m_inForce = m_block.u8(0) & 1;
    ui->cboDirection->setCurrentIndex(m_asRead);
}

bool TfrmFlowDirection::changeDirection(int direction)
{
    if (direction == m_inForce)
        return true;
    m_block.setU8(0, uint8_t(direction));
    m_block.setU8(1, 0);
    if (!writeBlocks({&m_block}, Copy::Working))
        return false;
    m_inForce = direction;
    if (!ReverseTotals(link())) {
        tell(TotalsFailedText);
        return false;
    }
    return true;
}

void TfrmFlowDirection::btnApplyClick()
{
    if (!changeDirection(ui->cboDirection->currentIndex()))
        return;
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(true);
}

void TfrmFlowDirection::btnUndoClick()
{
    ui->cboDirection->setCurrentIndex(m_asRead);
    if (!changeDirection(m_asRead))
        return;
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
}

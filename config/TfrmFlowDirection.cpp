#include "TfrmFlowDirection.h"

#include "ApplyUndoButtons.h"
#include "CodeChoice.h"
#include "ModbusLink.h"
#include "OperationRecord.h"
#include "UnitLists.h"
#include "ui_TfrmFlowDirection.h"

#include <QStringList>

namespace {
constexpr int DirectionList = 156;  // "Forward", "Reverse"
constexpr int TotalBlocks[] = {244, 279, 296, 416, 442, 313};
constexpr const char *TotalNames[] = {"Mass", "Volume", "Std Volume", "Concentrate", "Net Oil", "Batch"};
constexpr int TotalBytes = 16, ForwardAt = 8;
}  // namespace

const QString TfrmFlowDirection::TotalsFailedText = QStringLiteral(
    "The flow direction was changed, but the transmitter did not accept every total.\n"
    "Reversed: %1.\nNot reversed: %2.\nApply again to reverse the rest.");

bool ReverseTotal(ModbusLink &link, int index)
{
    ConfigBlock total(TotalBlocks[index], TotalBytes);
    if (!total.read(link))
        return false;
    const double a = total.f64(0), b = total.f64(ForwardAt);
    total.setF64(0, -a);
    total.setF64(ForwardAt, b - a);
    return total.writeWorking(link) == ConfigBlock::WriteResult::Written;
}

TfrmFlowDirection::TfrmFlowDirection(const WindowContext &context, QWidget *parent)
    : ConfigWindow(context, parent), ui(std::make_unique<Ui::TfrmFlowDirection>()), m_block(DirectionRegister, 2)
{
    ui->setupUi(this);
    CodeChoice(ui->cboDirection).setItems(UnitListFor(DirectionList));
    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); });
    connect(ui->cboDirection, &QComboBox::activated, m_buttons, &ApplyUndoButtons::edited);
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
    // The direction and the totals it reverses are one change.
    OperationRecord record(link(), windowTitle() + QStringLiteral(": Apply"));
    if (direction != m_inForce) {
        m_block.setU8(0, uint8_t(direction));
        m_block.setU8(1, 0);
        if (!writeBlocks({&m_block}, Copy::Working)) {
            record.finish(HistoryOutcome::Refused, WriteFailedText);
            return false;
        }
        m_inForce = direction;
    }
    const bool reversed = direction != m_asRead;
    for (int i = 0; i < TotalCount; ++i) {
        if (m_reversed[size_t(i)] == reversed)
            continue;
        if (!ReverseTotal(link(), i)) {
            QStringList done, left;
            for (int t = 0; t < TotalCount; ++t)
                (m_reversed[size_t(t)] == reversed ? done : left) << QLatin1String(TotalNames[t]);
            const QString failure = TotalsFailedText.arg(
                done.isEmpty() ? QStringLiteral("none") : done.join(QStringLiteral(", ")), left.join(QStringLiteral(", ")));
            record.finish(HistoryOutcome::FailedPartWay, failure);
            tell(failure);
            return false;
        }
        m_reversed[size_t(i)] = reversed;
    }
    record.finish(HistoryOutcome::Done, {});
    return true;
}

bool TfrmFlowDirection::btnApplyClick()
{
    if (changeDirection(ui->cboDirection->currentIndex()))
        return true;
    // Totals that are reversed can be reversed back by Undo.
    if (m_inForce != m_asRead || std::find(m_reversed.begin(), m_reversed.end(), true) != m_reversed.end())
        m_buttons->setUndoEnabled(true);
    return false;
}

bool TfrmFlowDirection::btnUndoClick()
{
    ui->cboDirection->setCurrentIndex(m_asRead);
    if (changeDirection(m_asRead))
        return true;
    ui->cboDirection->setCurrentIndex(m_inForce);
    m_buttons->setApplyEnabled(true);
    return false;
}

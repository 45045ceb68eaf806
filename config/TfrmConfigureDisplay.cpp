#include "TfrmConfigureDisplay.h"

#include "ApplyUndoButtons.h"
#include "ui_frmConfigureDisplay.h"

namespace {
constexpr int Block = 576, Bytes = 4;
}  // namespace

const QList<CodeChoice::Item> TfrmConfigureDisplay::LineChoices = {
    {"Blank Line", 0},           {"Mass Flow", 5},          {"Mass Total", 6},
    {"Mass Total Fwd", 38},      {"Mass Total Rev", 39},    {"Volume Flow", 7},
    {"Volume Total", 8},         {"Volume Total Fwd", 40},  {"Volume Total Rev", 41},
    {"Std. Vol. Flow", 9},       {"Std. Vol. Total", 10},   {"Std. Vol. Total Fwd", 42},
    {"Std. Vol. Total Rev", 43}, {"Concentration Flow", 12}, {"Concentration Total", 13},
    {"Conc. Total Fwd", 44},     {"Conc. Total Rev", 45},   {"Concentration", 11},
    {"Density", 4},              {"Temperature", 3},        {"Batch Size", 46},
    {"Batch Total", 16},         {"% Water Cut", 50},       {"Net Oil Flow", 14},
    {"Net Oil Total", 15},       {"Net Oil Total Fwd", 47}, {"Net Oil Total Rev", 48},
    {"Prod. Water Flow", 51},    {"Prod. Water Total", 52}, {"Prod. Water Total Fwd", 53},
    {"Prod. Water Total Rev", 54}, {"Net Volume Total", 56}, {"Net Volume Total Fwd", 57},
    {"Net Vol Total Rev", 58},   {"Raw DSP Data", 19},
};

TfrmConfigureDisplay::TfrmConfigureDisplay(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmConfigureDisplay>()),
      m_lines{CodeChoice(nullptr), CodeChoice(nullptr), CodeChoice(nullptr)}, m_block(Block, Bytes)
{
    ui->setupUi(this);
    m_lines = {CodeChoice(ui->cboLine1), CodeChoice(ui->cboLine2), CodeChoice(ui->cboLine3)};
    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); });
    for (CodeChoice &line : m_lines) {
        line.setItems(LineChoices);
        connect(line.combo(), &QComboBox::activated, m_buttons, &ApplyUndoButtons::edited);
    }
}

TfrmConfigureDisplay::~TfrmConfigureDisplay() = default;

void TfrmConfigureDisplay::FormActivate()
{
    readBlocks({&m_block});
    showBlock();
    m_buttons->setApplyEnabled(false);
}

void TfrmConfigureDisplay::showBlock()
{
    // A code this program does not know selects nothing and is written back as read.
    for (int i = 0; i < 3; ++i)
        m_lines[size_t(i)].show(m_block.u8(i));
}

bool TfrmConfigureDisplay::btnApplyClick()
{
    for (int i = 0; i < 3; ++i)
        m_block.setU8(i, uint8_t(m_lines[size_t(i)].code()));
    return writeBlocks({&m_block}, Copy::Working);
}

bool TfrmConfigureDisplay::btnUndoClick()
{
    if (!writeBlocks({&m_block}, Copy::AsRead))
        return false;
    m_block.revert();
    showBlock();
    return true;
}

TARVINE_REGISTER_WINDOW(455, TfrmConfigureDisplay);

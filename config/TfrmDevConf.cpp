#include "TfrmDevConf.h"

#include "ApplyUndoButtons.h"
#include "BlockText.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "Prompter.h"
#include "ui_frmDevConf.h"

namespace {
constexpr int Block = 635, Bytes = 90;
// Field offsets and lengths; the model number keeps at most 9 characters, the others 19.
struct TextField {
    int offset;
    int length;
    int maxChars;
};
constexpr TextField ModelField{.offset = 0, .length = 10, .maxChars = 9};
constexpr TextField OtherFields[] = {
    {.offset = 10, .length = 20, .maxChars = 19},
    {.offset = 30, .length = 20, .maxChars = 19},
    {.offset = 50, .length = 20, .maxChars = 19},
    {.offset = 70, .length = 20, .maxChars = 19},
};
}  // namespace

using namespace SensorModelNumber;

TfrmDevConf::TfrmDevConf(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmDevConf>()), m_block(Block, Bytes)
{
    ui->setupUi(this);
    m_parts = {ui->cboTranSize, ui->cboWetMatl, ui->cboConSize, ui->cboConRate, ui->cboElecRate};
    for (int p = 0; p < PartCount; ++p) {
        for (const Code &item : list(Part(p)))
            m_parts[p]->addItem(item.text);
        m_parts[p]->setMaxVisibleItems(int(list(Part(p)).size()));
        connect(m_parts[p], &QComboBox::activated, this, &TfrmDevConf::partChange);
    }
    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); });
    m_buttons->setApplyEnabled(false);
    connect(ui->txtTransModNum, &QLineEdit::textEdited, this, [this] {
        m_modelTyped = true;
        m_buttons->edited();
    });
    connect(ui->txtTransModNum, &QLineEdit::editingFinished, this, &TfrmDevConf::txtTransModNumExit);
    setLeaveCheck(ui->txtTransModNum, [this] { return txtTransModNumExit(); });
    QLineEdit *others[] = {ui->txtTransSerNUm, ui->txtElecModNum, ui->txtElecSerNum, ui->txtFinalAsyNum};
    for (size_t i = 0; i < 4; ++i)
        connect(others[i], &QLineEdit::textEdited, this, [this, i] {
            m_otherEdited[i] = true;
            m_buttons->edited();
        });
}

TfrmDevConf::~TfrmDevConf()
{
    silenceEntryFields(this);
}

void TfrmDevConf::FormActivate()
{
    readBlocks({&m_block});
    showBlock();
    m_buttons->setApplyEnabled(false);
}

void TfrmDevConf::showBlock()
{
    const QByteArray &bytes = m_block.working();
    QString model = BlockText::read(bytes, ModelField.offset, ModelField.length);
    // The lists spell the size with a lower-case "m"; Undo still writes back what was read.
    if (model.startsWith(QLatin1Char('M')))
        model[0] = QLatin1Char('m');
    ui->txtTransModNum->setText(model);
    QLineEdit *others[] = {ui->txtTransSerNUm, ui->txtElecModNum, ui->txtElecSerNum, ui->txtFinalAsyNum};
    for (int i = 0; i < 4; ++i)
        others[i]->setText(BlockText::read(bytes, OtherFields[i].offset, OtherFields[i].length));
    if (checkTyped(model).isEmpty())
        m_lastValidModel = model;
    select(decode(model));
    m_modelTyped = m_modelEdited = false;
    m_otherEdited = {};
}

void TfrmDevConf::select(const Positions &positions)
{
    for (int p = 0; p < PartCount; ++p)
        m_parts[p]->setCurrentIndex(positions[p]);
}

bool TfrmDevConf::txtTransModNumExit()
{
    // Only a number the technician typed is checked; a stored one stays as read.
    if (!m_modelTyped || !isVisible())
        return true;
    m_modelTyped = false;
    const QString model = ui->txtTransModNum->text();
    if (model == m_lastValidModel)
        return true;
    const QString problem = checkTyped(model);
    if (!problem.isEmpty()) {
        ui->txtTransModNum->setText(m_lastValidModel);
        select(decode(m_lastValidModel));
        if (problem != LengthText)
            m_buttons->setApplyEnabled(false);
        showMessage(problem, InvalidTitle, Prompter::Warning);
        return false;
    }
    select(decode(model));
    m_lastValidModel = model;
    m_modelEdited = true;
    m_buttons->edited();
    return true;
}

void TfrmDevConf::partChange()
{
    Positions selected;
    for (int p = 0; p < PartCount; ++p)
        selected[p] = m_parts[p]->currentIndex();
    if (std::find(selected.begin(), selected.end(), -1) != selected.end())
        return;  // a stored code outside the lists: the user picks the rest first
    const Rebuilt rebuilt = rebuild(selected);
    if (rebuilt.note == Rebuilt::Refused) {
        // The sensor cannot take the rating: the lists go back to the model number.
        select(decode(m_lastValidModel));
        showMessage(RefusedText, MismatchTitle, Prompter::Information);
        return;
    }
    m_parts[ConnectionSize]->setCurrentIndex(rebuilt.connectionSize);
    if (rebuilt.note == Rebuilt::Mismatch)
        showMessage(MismatchText, MismatchTitle, Prompter::Information);
    ui->txtTransModNum->setText(rebuilt.model);
    m_lastValidModel = rebuilt.model;
    m_modelEdited = true;
    m_modelTyped = false;
    m_buttons->edited();
}

bool TfrmDevConf::takeUp()
{
    const bool taken = forceCoil(ReadTransducerCfgCoil);
    SelectSizeFormats(link().image());
    return taken;
}

bool TfrmDevConf::btnApplyClick()
{
    // Only what was edited goes into the block; the rest keeps its bytes as read.
    QByteArray &bytes = m_block.working();
    if (m_modelEdited) {
        const QString model = ui->txtTransModNum->text();
        if (const QString problem = checkTyped(model); !problem.isEmpty()) {
            showMessage(problem, InvalidTitle, Prompter::Warning);
            return false;
        }
        BlockText::write(bytes, ModelField.offset, ModelField.length, model, ModelField.maxChars);
    }
    QLineEdit *others[] = {ui->txtTransSerNUm, ui->txtElecModNum, ui->txtElecSerNum, ui->txtFinalAsyNum};
    for (size_t i = 0; i < 4; ++i)
        if (m_otherEdited[i])
            BlockText::write(bytes, OtherFields[i].offset, OtherFields[i].length, others[i]->text(),
                             OtherFields[i].maxChars);
    return writeBlocks({&m_block}, Copy::Working) && takeUp();
}

bool TfrmDevConf::btnUndoClick()
{
    // Refused: the transmitter keeps the new values, and so does the window.
    if (!writeBlocks({&m_block}, Copy::AsRead))
        return false;
    m_block.revert();
    showBlock();
    return takeUp();
}

TARVINE_REGISTER_WINDOW(4531, TfrmDevConf);

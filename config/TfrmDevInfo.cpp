#include "TfrmDevInfo.h"

#include "ApplyUndoButtons.h"
#include "BlockText.h"
#include "ModbusLink.h"
#include "Session.h"
#include "ui_frmDevInfo.h"

#include <QRegularExpression>

namespace {
constexpr int Block = 578, Bytes = 114;
struct TextField {
    int offset;
    int length;
    int maxChars;
};
constexpr TextField TagField{.offset = 0, .length = 20, .maxChars = 19};
constexpr TextField DescriptorField{.offset = 20, .length = 20, .maxChars = 19};
constexpr TextField MessageField{.offset = 40, .length = 33, .maxChars = 32};
constexpr TextField DateField{.offset = 73, .length = 20, .maxChars = 8};
constexpr TextField DeviceIdField{.offset = 93, .length = 20, .maxChars = 19};
const QString DatePlaceholder = QStringLiteral("mmddyy");
}  // namespace

const QString TfrmDevInfo::IncompleteDateText =
    QStringLiteral("The date is incomplete: enter it as mm/dd/yy. Nothing was written.");

TfrmDevInfo::TfrmDevInfo(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmDevInfo>()), m_block(Block, Bytes)
{
    ui->setupUi(this);
    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); });
    m_buttons->setApplyEnabled(false);
    for (QLineEdit *edit : {ui->txtTag, ui->txtDescriptor, ui->txtMessage, ui->MaskDate, ui->txtDeviceID})
        connect(edit, &QLineEdit::textEdited, this, [this, edit] {
            m_edited.insert(edit);
            m_buttons->edited();
        });
}

TfrmDevInfo::~TfrmDevInfo()
{
    silenceEntryFields(this);
}

void TfrmDevInfo::FormActivate()
{
    if (readBlocks({&m_block}))
        takeTag();
    showBlock();
    m_buttons->setApplyEnabled(false);
}

void TfrmDevInfo::showBlock()
{
    m_edited.clear();
    const QByteArray &bytes = m_block.working();
    ui->txtTag->setText(BlockText::read(bytes, TagField.offset, TagField.length));
    ui->txtDescriptor->setText(BlockText::read(bytes, DescriptorField.offset, DescriptorField.length));
    ui->txtMessage->setText(BlockText::read(bytes, MessageField.offset, MessageField.length));
    ui->txtDeviceID->setText(BlockText::read(bytes, DeviceIdField.offset, DeviceIdField.length));
    const QString date = BlockText::read(bytes, DateField.offset, DateField.length);
    // Without a date the field only says what goes there; the empty date is kept.
    m_datePlaceholder = date.isEmpty();
    ui->MaskDate->setInputMask(QString());
    ui->MaskDate->setReadOnly(m_datePlaceholder);
    if (m_datePlaceholder) {
        ui->MaskDate->setInputMask(QStringLiteral("AA/AA/AA;_"));
        ui->MaskDate->setText(DatePlaceholder);
    } else {
        // A stored date longer than the field takes is shown whole; it is written
        // back as read unless the technician edits it.
        ui->MaskDate->setMaxLength(qMax<int>(DateField.maxChars, int(date.size())));
        static const QRegularExpression digitsDate(QStringLiteral("^\\d\\d/\\d\\d/\\d\\d$"));
        if (digitsDate.match(date).hasMatch())
            ui->MaskDate->setInputMask(QStringLiteral("99/99/99;_"));
        ui->MaskDate->setText(date);
    }
}

void TfrmDevInfo::takeTag()
{
    const QString tag = BlockText::read(m_block.working(), TagField.offset, TagField.length);
    session().setTag(tag);
    emit link().deviceTagChanged(session().tag());
    if (context().refreshPortPanels)
        context().refreshPortPanels();
}

bool TfrmDevInfo::btnApplyClick()
{
    // A date is written whole or not at all.
    if (m_edited.contains(ui->MaskDate) && !ui->MaskDate->hasAcceptableInput()) {
        ui->MaskDate->setFocus();
        tell(IncompleteDateText);
        return false;
    }
    // Only edited fields go into the block; the others keep their bytes as read.
    const std::pair<QLineEdit *, TextField> fields[] = {{ui->txtTag, TagField},
                                                        {ui->txtDescriptor, DescriptorField},
                                                        {ui->txtMessage, MessageField},
                                                        {ui->MaskDate, DateField},
                                                        {ui->txtDeviceID, DeviceIdField}};
    QByteArray &bytes = m_block.working();
    for (const auto &[edit, field] : fields)
        if (m_edited.contains(edit))
            BlockText::write(bytes, field.offset, field.length, edit->text(), field.maxChars);
    if (!writeBlocks({&m_block}, Copy::Working))
        return false;
    takeTag();
    return true;
}

bool TfrmDevInfo::btnUndoClick()
{
    if (!writeBlocks({&m_block}, Copy::AsRead))
        return false;
    m_block.revert();
    showBlock();
    takeTag();
    return true;
}

TARVINE_REGISTER_WINDOW(4530, TfrmDevInfo);

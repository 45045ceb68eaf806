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

TfrmDevInfo::TfrmDevInfo(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmDevInfo>()), m_block(Block, Bytes)
{
    ui->setupUi(this);
    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); });
    m_buttons->setApplyEnabled(false);
    for (QLineEdit *edit : {ui->txtTag, ui->txtDescriptor, ui->txtMessage, ui->MaskDate, ui->txtDeviceID})
        connect(edit, &QLineEdit::textEdited, m_buttons, &ApplyUndoButtons::edited);
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
    QByteArray &bytes = m_block.working();
    BlockText::write(bytes, TagField.offset, TagField.length, ui->txtTag->text(), TagField.maxChars);
    BlockText::write(bytes, DescriptorField.offset, DescriptorField.length, ui->txtDescriptor->text(),
                     DescriptorField.maxChars);
    BlockText::write(bytes, MessageField.offset, MessageField.length, ui->txtMessage->text(), MessageField.maxChars);
    if (!m_datePlaceholder)
        BlockText::write(bytes, DateField.offset, DateField.length, ui->MaskDate->text(), DateField.maxChars);
    BlockText::write(bytes, DeviceIdField.offset, DeviceIdField.length, ui->txtDeviceID->text(),
                     DeviceIdField.maxChars);
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

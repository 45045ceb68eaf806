#include "TfrmDateTime.h"

#include "ApplyUndoButtons.h"
#include "CommandArea.h"
#include "ModbusLink.h"
#include "OperationRecord.h"
#include "ui_frmDateTime.h"

#include <QDate>
#include <QKeyEvent>
#include <QTime>
#include <QTimer>

namespace {
constexpr int DisplayUpdateCoil = 73, DisplayDateTimeCoil = 36;
constexpr int ResultBytes = 244;

QString digitsOf(const QString &text)
{
    QString digits;
    for (QChar c : text)
        if (c.isDigit())
            digits += c;
    return digits;
}
}  // namespace

const QString TfrmDateTime::InvalidDateText =
    QStringLiteral("Invalid Date: enter six digits as mm/dd/yy. Nothing was sent.");
const QString TfrmDateTime::InvalidTimeText =
    QStringLiteral("Invalid Time: enter six digits as hh:mm:ss. Nothing was sent.");
const QString TfrmDateTime::NothingToSendText =
    QStringLiteral("Neither the date nor the time was edited, so nothing was sent.");
const QString TfrmDateTime::UndoKeepsText = QStringLiteral(
    "The transmitter keeps the date and time that were sent: Undo does not set its clock back. "
    "The fields show again what was read when the window opened.");
const QString TfrmDateTime::DateSetTimeRefusedText = QStringLiteral(
    "The new date was set, but the transmitter did not accept the new time; its time is unchanged.");

TfrmDateTime::TfrmDateTime(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmDateTime>())
{
    ui->setupUi(this);
    m_date = {.edit = ui->MaskDate, .getCoil = 34, .setCoil = 35, .fallback = QStringLiteral("010104"),
              .format = QStringLiteral("MMddyy"), .kept = {}};
    m_time = {.edit = ui->MaskTime, .getCoil = 32, .setCoil = 33, .fallback = QStringLiteral("120000"),
              .format = QStringLiteral("HHmmss"), .kept = {}};
    ui->MaskDate->setInputMask(QStringLiteral("99/99/99; "));
    ui->MaskTime->setInputMask(QStringLiteral("99:99:99; "));
    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->btnHelp, ui->btnClose}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); }, true);
    for (Field *field : {&m_date, &m_time}) {
        field->edit->setText(QStringLiteral("000000"));
        field->edit->installEventFilter(this);
        connect(field->edit, &QLineEdit::textEdited, this, [this, field] {
            field->edited = true;
            if (link().Comm_Ready())
                m_buttons->edited();
        });
    }
    m_buttons->setApplyEnabled(false);
}

TfrmDateTime::~TfrmDateTime()
{
    silenceEntryFields(this);
}

bool TfrmDateTime::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    if (edit && event->type() == QEvent::KeyPress) {
        // Characters are overwritten, never removed, so the digits keep their places.
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            edit->cursorBackward(false);
            return true;
        }
    }
    if (edit && event->type() == QEvent::MouseButtonPress)
        QTimer::singleShot(0, edit, [edit] { edit->setCursorPosition(0); });
    return ConfigWindow::eventFilter(watched, event);
}

void TfrmDateTime::stopDisplay()
{
    // The display coils and the reading commands change no setting.
    ModbusLink::QueryScope query(link());
    link().image().store(0, QByteArray(ResultBytes, '\0'));
    link().Force_Coil(DisplayUpdateCoil, 0x0000);
    link().Force_Coil(DisplayDateTimeCoil, 0x0000);
}

void TfrmDateTime::FormActivate()
{
    stopDisplay();
    m_buttons->setApplyEnabled(link().Comm_Ready());
    fetch(m_date);
    fetch(m_time);
}

void TfrmDateTime::fetch(Field &field)
{
    ModbusLink::QueryScope query(link());
    field.read = link().Force_Coil(field.getCoil, 0xFF00) && link().readRegisters(0, ResultBytes);
    field.edit->setText(field.read ? digitsOf(link().image().textAt(0, ResultBytes)) : field.fallback);
    field.kept = field.edit->text();
    field.edited = false;
}

bool TfrmDateTime::valid(const Field &field) const
{
    const QString digits = digitsOf(field.edit->text());
    if (digits.size() != 6)
        return false;
    return field.getCoil == m_date.getCoil ? QDate::fromString(digits, field.format).isValid()
                                           : QTime::fromString(digits, field.format).isValid();
}

bool TfrmDateTime::send(const Field &field, const QString &refusedText)
{
    if (!levelAllowsWriting())
        return false;
    const QString digits = digitsOf(field.edit->text());
    const QString what = field.getCoil == m_date.getCoil ? QStringLiteral("date") : QStringLiteral("time");
    CommandArea area(link());
    area.clear();
    area.setText(0, 7, digits);
    if (!OperationRecord::run(link(), windowTitle() + QStringLiteral(": set %1 %2").arg(what, digits),
                              [&] { return area.write() && link().Force_Coil(field.setCoil, 0xFF00); }, refusedText)) {
        tell(refusedText);
        return false;
    }
    return true;
}

bool TfrmDateTime::btnApplyClick()
{
    // Only an edited field is sent: the other one, read when the window opened,
    // would set the clock back by the time since.
    const bool sendDate = m_date.edited;
    const bool sendTime = m_time.edited;
    if (!sendDate && !sendTime) {
        tell(NothingToSendText);
        return false;
    }
    if (sendDate && !valid(m_date)) {
        tell(InvalidDateText);
        return false;
    }
    if (sendTime && !valid(m_time)) {
        tell(InvalidTimeText);
        return false;
    }
    stopDisplay();
    if (sendDate) {
        if (!send(m_date, WriteFailedText))
            return false;
        m_date.edited = false;
        m_sent = true;
    }
    if (sendTime) {
        if (!send(m_time, sendDate ? DateSetTimeRefusedText : WriteFailedText))
            return false;
        m_time.edited = false;
        m_sent = true;
    }
    return true;
}

bool TfrmDateTime::btnUndoClick()
{
    for (Field *field : {&m_date, &m_time}) {
        field->edit->setText(field->kept);
        field->edited = false;
    }
    if (m_sent)
        tell(UndoKeepsText);
    return true;
}

void TfrmDateTime::beforeFinish()
{
    stopDisplay();
}

TARVINE_REGISTER_WINDOW(462, TfrmDateTime);

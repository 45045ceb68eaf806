#include "UserUnitsWindow.h"

#include "ui_UserUnitsWindow.h"

#include "HelpWindow.h"
#include "ModbusLink.h"
#include "OperationRecord.h"
#include "Prompter.h"
#include "QuantityCode.h"
#include "UnitLists.h"
#include "ValueCodec.h"

#include <QKeyEvent>
#include <QLocale>

#include <cmath>

namespace {

constexpr int SpecialMassItem = 0;

QChar decimalPoint()
{
    return QLocale().decimalPoint().at(0);
}

} // namespace

TfrmSpecialUnits::TfrmSpecialUnits(ModbusLink &link, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmSpecialUnits>()), m_link(link)
{
    ui->setupUi(this);
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
    connect(ui->cboUnit, &QComboBox::activated, this, &TfrmSpecialUnits::cboUnitChange);
    connect(ui->cboRate, &QComboBox::activated, this, &TfrmSpecialUnits::cboRateChange);
    for (QLineEdit *edit : {ui->txtRateFactor, ui->txtRateText, ui->txtTotalFactor, ui->txtTotalText})
        connect(edit, &QLineEdit::textEdited, this, &TfrmSpecialUnits::markEdited);
    connect(ui->btnApply, &QPushButton::clicked, this, &TfrmSpecialUnits::btnApplyClick);
    connect(ui->btnUndo, &QPushButton::clicked, this, &TfrmSpecialUnits::btnUndoClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnHelp, &QPushButton::clicked, this, &TfrmSpecialUnits::btnHelpClick);
}

TfrmSpecialUnits::~TfrmSpecialUnits() = default;

void TfrmSpecialUnits::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        FormActivate();
    }
}

void TfrmSpecialUnits::keyPressEvent(QKeyEvent *event)
{
    // Escape belongs to the program-wide abort; it does not close this window.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfrmSpecialUnits::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!key->text().isEmpty() && key->key() != Qt::Key_Escape)
            markEdited();
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmSpecialUnits::FormActivate()
{
    ui->cboUnit->setCurrentIndex(SpecialMassItem);
    cboUnitChange();
}

bool TfrmSpecialUnits::volumeSelected() const
{
    return ui->cboUnit->currentIndex() != SpecialMassItem;
}

int TfrmSpecialUnits::recordRegister() const
{
    return volumeSelected() ? SpecialUnitRecord::VolumeRegister : SpecialUnitRecord::MassRegister;
}

void TfrmSpecialUnits::cboUnitChange()
{
    // The base-rate list is the rate list without "Special" (see RateIndexForBaseRate).
    const int rateCode = volumeSelected() ? Quantity::VolumeFlow : Quantity::MassFlow;
    QStringList rates = UnitListFor(rateCode);
    rates.removeAt(SpecialIndexOf(rateCode));
    ui->cboRate->clear();
    ui->cboRate->addItems(rates);
    ui->cboRate->setMaxVisibleItems(int(rates.size()));

    const int reg = recordRegister();
    m_link.Read_Regs(reg, SpecialUnitRecord::ByteCount);
    m_asRead = SpecialUnitRecord::fromImage(m_link.image(), reg);
    m_editing = m_asRead;
    showRecord(m_editing);
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
}

void TfrmSpecialUnits::showRecord(const SpecialUnitRecord &record)
{
    // A base rate beyond the list selects nothing rather than a wrong unit.
    ui->cboRate->setCurrentIndex(record.baseRate < ui->cboRate->count() ? record.baseRate : -1);
    ui->txtRateFactor->setText(ValueCodec::formatFloat(record.flowFactor, decimalPoint()));
    ui->txtRateText->setText(record.flowText);
    ui->txtTotalFactor->setText(ValueCodec::formatFloat(record.totalFactor, decimalPoint()));
    ui->txtTotalText->setText(record.totalText);
}

void TfrmSpecialUnits::cboRateChange()
{
    ui->btnApply->setEnabled(true);
    ui->btnUndo->setEnabled(false);
}

void TfrmSpecialUnits::markEdited()
{
    ui->btnApply->setEnabled(true);
}

bool TfrmSpecialUnits::factorFrom(const QString &text, double *value)
{
    bool ok = false;
    QString error;
    *value = ValueCodec::parseFloat(text, &ok, &error);
    // A factor of infinity or NaN would be written to the transmitter: refuse it too.
    if (ok && !std::isfinite(*value)) {
        ok = false;
        error = QStringLiteral("'%1' is not a valid floating point value").arg(text);
    }
    if (!ok)
        showMessage(error, windowTitle(), Prompter::Error);
    return ok;
}

bool TfrmSpecialUnits::writeRecord(const SpecialUnitRecord &record)
{
    const QString refused = QStringLiteral("The Special unit was not written to the unit.");
    const bool written = OperationRecord::run(m_link, windowTitle() + QStringLiteral(": Apply"), [&] {
        return m_link.Write_Regs(recordRegister(), record.toBytes()) != 0 && m_link.LastException() == 0;
    }, refused);
    if (!written)
        showMessage(refused, windowTitle(), Prompter::Warning);
    return written;
}

void TfrmSpecialUnits::btnApplyClick()
{
    SpecialUnitRecord edited = m_editing;
    if (!factorFrom(ui->txtRateFactor->text(), &edited.flowFactor)
        || !factorFrom(ui->txtTotalFactor->text(), &edited.totalFactor))
        return;
    if (ui->cboRate->currentIndex() >= 0)
        edited.baseRate = uint8_t(ui->cboRate->currentIndex());
    edited.flowText = ui->txtRateText->text().left(SpecialUnitRecord::MaxTextLength);
    edited.totalText = ui->txtTotalText->text().left(SpecialUnitRecord::MaxTextLength);
    if (!writeRecord(edited))
        return;
    m_editing = edited;
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(true);
}

void TfrmSpecialUnits::btnUndoClick()
{
    m_editing = m_asRead;
    showRecord(m_editing);
    if (!writeRecord(m_editing))
        return;
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
}

void TfrmSpecialUnits::btnHelpClick()
{
    showHelpContext(HelpContext);
}

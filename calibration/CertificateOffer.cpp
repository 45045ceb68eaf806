#include "CertificateOffer.h"

#include "CalibrationCertificate.h"
#include "CalibrationRecord.h"
#include "EntryFields.h"
#include "GuardedWindow.h"
#include "Prompter.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QString plain(QString text)
{
    text.remove(QLatin1Char('&'));
    while (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

// The grid that holds widget, searched from the layout down.
QGridLayout *gridOf(QLayout *layout, QWidget *widget)
{
    if (!layout)
        return nullptr;
    if (auto *grid = qobject_cast<QGridLayout *>(layout); grid && grid->indexOf(widget) >= 0)
        return grid;
    for (int i = 0; i < layout->count(); ++i)
        if (QGridLayout *grid = gridOf(layout->itemAt(i)->layout(), widget))
            return grid;
    return nullptr;
}

QBoxLayout *boxOf(QLayout *layout, QWidget *widget)
{
    if (!layout)
        return nullptr;
    if (auto *box = qobject_cast<QBoxLayout *>(layout); box && box->indexOf(widget) >= 0)
        return box;
    for (int i = 0; i < layout->count(); ++i)
        if (QBoxLayout *box = boxOf(layout->itemAt(i)->layout(), widget))
            return box;
    return nullptr;
}

// The label in the edit's grid row, next to it (step -1: before it).
QLabel *besideOf(QLineEdit *edit, int step)
{
    QGridLayout *grid = gridOf(edit->parentWidget()->layout(), edit);
    if (!grid)
        return nullptr;
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(grid->indexOf(edit), &row, &column, &rows, &columns);
    QLayoutItem *item = grid->itemAtPosition(row, step < 0 ? column - 1 : column + columns);
    return item ? qobject_cast<QLabel *>(item->widget()) : nullptr;
}

// "Actual Density" and "g/cc" of an entry field: its buddy's text (else the label
// before it), the label after it.
QString captionOf(QLineEdit *edit)
{
    for (QLabel *label : edit->window()->findChildren<QLabel *>())
        if (label->buddy() == edit)
            return plain(label->text());
    const QLabel *before = besideOf(edit, -1);
    return before ? plain(before->text()) : edit->objectName();
}

QString unitOf(QLineEdit *edit)
{
    const QLabel *after = besideOf(edit, 1);
    return after && !after->buddy() ? plain(after->text()) : QString();
}

} // namespace

CertificateOffer::CertificateOffer(GuardedWindow *window, QPushButton *before, EntryFields &fields, CalibrationRecord &record)
    : QObject(window), m_window(window), m_button(new QPushButton(QStringLiteral("Ce&rtificate..."), window)),
      m_record(record)
{
    m_button->setObjectName(QStringLiteral("btnCertificate"));
    m_button->setAutoDefault(false);
    m_button->setEnabled(false);
    m_button->setToolTip(QStringLiteral("Saves the certificate of the last calibration as a PDF file."));
    QBoxLayout *box = boxOf(before->parentWidget()->layout(), before);
    if (box)
        box->insertWidget(box->indexOf(before), m_button);
    QWidget::setTabOrder(m_button, before);
    connect(&fields, &EntryFields::accepted, this, [this, &fields](QLineEdit *edit) {
        if (!fields.entered(edit))
            return;
        const QString unit = unitOf(edit);
        m_record.noteReading(captionOf(edit), unit.isEmpty() ? edit->text().trimmed()
                                                             : edit->text().trimmed() + QLatin1Char(' ') + unit);
    });
}

void CertificateOffer::setOperation(qint64 id)
{
    m_id = id;
    m_button->setEnabled(id >= 0);
}

bool CertificateOffer::save()
{
    // Its dialogs are the window's: the timer's refresh waits meanwhile.
    GuardedWindow::BusyScope busy(*m_window);
    HistoryStore *history = m_record.store();
    HistoryFilter operation;
    operation.id = m_id;
    const QList<HistoryEntry> entries = history && m_id >= 0 ? history->entries(operation) : QList<HistoryEntry>();
    if (entries.isEmpty()) {
        showMessage(QStringLiteral("The certificate could not be read from the change history."),
                    QStringLiteral("Certificate"), Prompter::Error);
        return false;
    }
    return saveCertificate(entries.first());
}

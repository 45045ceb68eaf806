#include "TfrmDisplayConfiguration.h"

#include "Prompter.h"
#include "ui_TfrmDisplayConfiguration.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTableWidgetItem>

namespace {
const QString AddedPrefix = QStringLiteral("Added: ");
}

TfrmDisplayConfiguration::TfrmDisplayConfiguration(RegisterImage &image,
                                                   const QList<ConfigurationFiles::TextLine> &lines,
                                                   QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmDisplayConfiguration>()), m_image(image), m_undoCopy(image)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("frmDisplayConfiguration"));
    QTableWidget *grid = ui->StringGrid1;
    grid->setRowCount(int(lines.size()));
    for (int row = 0; row < lines.size(); ++row) {
        auto *key = new QTableWidgetItem(lines[row].key);
        key->setFlags(key->flags() & ~Qt::ItemIsEditable);
        grid->setItem(row, 0, key);
        grid->setItem(row, 1, new QTableWidgetItem(lines[row].value));
    }
    connect(ui->btnApply, &QPushButton::clicked, this, &TfrmDisplayConfiguration::btnApplyClick);
    connect(ui->btnUndo, &QPushButton::clicked, this, &TfrmDisplayConfiguration::btnUndoClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnHelp, &QPushButton::clicked, this, [this] { emit helpRequested(HelpContext); });
    // Both columns as wide as half the grid, rows one line high.
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

TfrmDisplayConfiguration::~TfrmDisplayConfiguration() = default;

QStringList TfrmDisplayConfiguration::values() const
{
    QStringList result;
    const QTableWidget *grid = ui->StringGrid1;
    for (int row = 0; row < grid->rowCount(); ++row)
        result << grid->item(row, 1)->text();
    return result;
}

void TfrmDisplayConfiguration::btnApplyClick()
{
    // A value being typed is committed before the values are read.
    ui->StringGrid1->setCurrentItem(nullptr);
    int badRow = -1;
    QString error;
    const bool ok = ConfigurationFiles::applyValues(values(), m_image, &badRow, &error);
    setAddedPrefix(ok ? ui->StringGrid1->rowCount() : badRow);
    if (!ok) {
        if (badRow >= 0)
            ui->StringGrid1->setCurrentCell(badRow, 1);
        showMessage(error, windowTitle(), Prompter::Error);
        return;
    }
    emit imageChanged();
    ui->btnUndo->setEnabled(true);
    ui->btnApply->setEnabled(false);
}

void TfrmDisplayConfiguration::btnUndoClick()
{
    clearAddedPrefix();
    m_image = m_undoCopy;
    emit imageChanged();
    ui->btnUndo->setEnabled(false);
    ui->btnApply->setEnabled(true);
}

void TfrmDisplayConfiguration::setAddedPrefix(int rows)
{
    for (int row = 0; row < rows; ++row) {
        QTableWidgetItem *key = ui->StringGrid1->item(row, 0);
        if (!key->text().startsWith(AddedPrefix))
            key->setText(AddedPrefix + key->text());
    }
}

void TfrmDisplayConfiguration::clearAddedPrefix()
{
    for (int row = 0; row < ui->StringGrid1->rowCount(); ++row) {
        QTableWidgetItem *key = ui->StringGrid1->item(row, 0);
        if (key->text().startsWith(AddedPrefix))
            key->setText(key->text().mid(AddedPrefix.size()));
    }
}


void TfrmDisplayConfiguration::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

#include "TfrmHistory.h"

#include "CalibrationCertificate.h"
#include "HistoryReport.h"
#include "HistoryText.h"
#include "PrintObject.h"
#include "Prompter.h"
#include "ReportPrinter.h"
#include "Session.h"
#include "WindowRegistry.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString Title = QStringLiteral("History");

QTableWidget *table(const QStringList &columns, QWidget *parent)
{
    auto *t = new QTableWidget(0, int(columns.size()), parent);
    t->setHorizontalHeaderLabels(columns);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void setRow(QTableWidget *t, int row, const QStringList &cells)
{
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

// An empty field is no bound; anything else must be a date.
bool dateFrom(QLineEdit *edit, QDate *date)
{
    const QString text = edit->text().trimmed();
    *date = text.isEmpty() ? QDate() : QDate::fromString(text, Qt::ISODate);
    return text.isEmpty() || date->isValid();
}

} // namespace

TfrmHistory::TfrmHistory(const WindowContext &context, int)
    : TfrmHistory(context.session.history(), context.parent)
{
}

TfrmHistory::TfrmHistory(HistoryStore *store, QWidget *parent)
    : QDialog(parent), m_store(store), m_units(QDir::currentPath())
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(Title);
    resize(900, 600);
    auto *layout = new QVBoxLayout(this);
    auto *filter = new QFormLayout;
    const auto field = [&](const QString &label, const QString &name, const QString &placeholder) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setPlaceholderText(placeholder);
        auto *caption = new QLabel(label, this);
        caption->setBuddy(edit);
        filter->addRow(caption, edit);
        return edit;
    };
    m_unit = field(QStringLiteral("&Unit (tag or serial number):"), QStringLiteral("edtUnit"), {});
    m_user = field(QStringLiteral("U&ser:"), QStringLiteral("edtUser"), {});
    m_field = field(QStringLiteral("Fiel&d:"), QStringLiteral("edtField"), QStringLiteral("catalogue key"));
    m_since = field(QStringLiteral("Si&nce:"), QStringLiteral("edtSince"), QStringLiteral("YYYY-MM-DD"));
    m_until = field(QStringLiteral("Un&til:"), QStringLiteral("edtUntil"), QStringLiteral("YYYY-MM-DD"));
    layout->addLayout(filter);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    layout->addWidget(m_status);
    m_operations = table({QStringLiteral("Time"), QStringLiteral("User"), QStringLiteral("Unit"),
                          QStringLiteral("Operation"), QStringLiteral("Outcome")},
                         this);
    m_operations->setObjectName(QStringLiteral("grdOperations"));
    m_changes = table({QStringLiteral("Field"), QStringLiteral("Register / coil"), QStringLiteral("As found"),
                       QStringLiteral("As left")},
                      this);
    m_changes->setObjectName(QStringLiteral("grdChanges"));
    layout->addWidget(m_operations, 3);
    layout->addWidget(m_changes, 2);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *findButton = buttons->addButton(QStringLiteral("&Find"), QDialogButtonBox::ActionRole);
    findButton->setObjectName(QStringLiteral("btnFind"));
    findButton->setDefault(true);
    QPushButton *exportButton = buttons->addButton(QStringLiteral("&Export CSV..."), QDialogButtonBox::ActionRole);
    exportButton->setObjectName(QStringLiteral("btnExport"));
    QPushButton *printButton = buttons->addButton(QStringLiteral("&Print..."), QDialogButtonBox::ActionRole);
    printButton->setObjectName(QStringLiteral("btnPrint"));
    m_certificate = buttons->addButton(QStringLiteral("Ce&rtificate..."), QDialogButtonBox::ActionRole);
    m_certificate->setObjectName(QStringLiteral("btnCertificate"));
    m_certificate->setEnabled(false);
    QPushButton *closeButton = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    closeButton->setObjectName(QStringLiteral("btnClose"));
    layout->addWidget(buttons);

    connect(findButton, &QPushButton::clicked, this, &TfrmHistory::find);
    connect(exportButton, &QPushButton::clicked, this, &TfrmHistory::exportCsv);
    connect(printButton, &QPushButton::clicked, this, &TfrmHistory::printPdf);
    connect(m_certificate, &QPushButton::clicked, this, [this] {
        if (const int row = m_operations->currentRow(); row >= 0 && row < m_entries.size())
            saveCertificate(m_entries[row]);
    });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_operations, &QTableWidget::currentCellChanged, this, [this](int row) { showChanges(row); });

    if (!m_store) {
        m_status->setText(QStringLiteral("The change history is off or could not be opened; nothing can be shown."));
        for (QWidget *w : {static_cast<QWidget *>(findButton), static_cast<QWidget *>(exportButton),
                           static_cast<QWidget *>(printButton),
                           static_cast<QWidget *>(m_unit), static_cast<QWidget *>(m_user),
                           static_cast<QWidget *>(m_field), static_cast<QWidget *>(m_since),
                           static_cast<QWidget *>(m_until)})
            w->setEnabled(false);
        return;
    }
    find();
}

bool TfrmHistory::find()
{
    HistoryFilter filter;
    filter.unit = m_unit->text().trimmed();
    filter.field = m_field->text().trimmed();
    filter.user = m_user->text().trimmed();
    for (auto [edit, date] : {std::pair{m_since, &filter.since}, std::pair{m_until, &filter.until}}) {
        if (!dateFrom(edit, date)) {
            m_status->setText(QStringLiteral("\"%1\" is not a date; write it as YYYY-MM-DD.").arg(edit->text()));
            edit->setFocus();
            return false;
        }
    }
    m_entries = m_store->entries(filter);
    m_operations->setRowCount(0);
    m_operations->setRowCount(int(m_entries.size()));
    for (int row = 0; row < m_entries.size(); ++row) {
        const HistoryEntry &e = m_entries[row];
        setRow(m_operations, row,
               {e.info.startedUtc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), e.info.user,
                unitText(e.info), e.info.operation, outcomeWithMessage(e)});
    }
    m_operations->resizeColumnsToContents();
    // A long command line must not push the outcome out of sight.
    constexpr int OperationColumn = 3;
    constexpr int WidestOperation = 360;
    m_operations->setColumnWidth(OperationColumn, std::min(m_operations->columnWidth(OperationColumn), WidestOperation));
    m_status->setText((m_entries.size() == 1 ? QStringLiteral("1 operation") : QStringLiteral("%1 operations").arg(m_entries.size()))
                      + QStringLiteral(", newest first."));
    if (!m_entries.isEmpty())
        m_operations->setCurrentCell(0, 0);
    else
        showChanges(-1);
    return true;
}

void TfrmHistory::showChanges(int row)
{
    m_changes->setRowCount(0);
    m_certificate->setEnabled(row >= 0 && row < m_entries.size() && !m_entries[row].certificate.isEmpty());
    if (row < 0 || row >= m_entries.size())
        return;
    const QList<FieldChange> &changes = m_entries[row].changes;
    m_changes->setRowCount(int(changes.size()));
    for (int i = 0; i < changes.size(); ++i) {
        const FieldChange &c = changes[i];
        const QString where = c.coil >= 0 ? QStringLiteral("coil %1").arg(c.coil)
                                          : QStringLiteral("register %1 (%2 bytes)").arg(c.firstRegister).arg(c.byteCount);
        setRow(m_changes, i, {c.key, where, m_units.asFound(c), m_units.asLeft(c)});
    }
    m_changes->resizeColumnsToContents();
}

bool TfrmHistory::exportCsv()
{
    const QString fileName = Prompter::instance().saveFileName(QStringLiteral("Export History"),
                                                               QStringLiteral("CSV files (*.csv);;All files (*)"),
                                                               QString(), QStringLiteral("csv"));
    if (fileName.isEmpty())
        return false;
    QSaveFile file(fileName);
    const QByteArray csv = historyCsv(m_entries).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit()) {
        showMessage(QStringLiteral("The history could not be written to %1: %2").arg(fileName, file.errorString()),
                    Title, Prompter::Error);
        return false;
    }
    m_status->setText(QStringLiteral("%1 operations written to %2.").arg(m_entries.size()).arg(fileName));
    return true;
}

bool TfrmHistory::printPdf()
{
    ReportPrinter &printer = ReportPrinter::instance();
    PrintObject print(printer.pageSizeInches());
    buildHistoryReport(print, m_entries, m_units);
    return printer.saveAsPdf(print, Title);
}

TARVINE_REGISTER_WINDOW(192, TfrmHistory);  // MenuTag::History

#include "TfrmTraffic.h"

#include "Prompter.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

struct FilterItem {
    const char *text;
    TrafficLog::Filter filter;
};
constexpr FilterItem Filters[] = {
    {.text = "All frames", .filter = TrafficLog::Filter::All},
    {.text = "Requests", .filter = TrafficLog::Filter::Requests},
    {.text = "Replies", .filter = TrafficLog::Filter::Replies},
    {.text = "Exceptions", .filter = TrafficLog::Filter::Exceptions},
    {.text = "No reply", .filter = TrafficLog::Filter::NoReply},
    {.text = "Checksum errors", .filter = TrafficLog::Filter::ChecksumErrors},
    {.text = "Stray input", .filter = TrafficLog::Filter::StrayInput},
    {.text = "All errors", .filter = TrafficLog::Filter::AllErrors},
};

const QStringList Columns{QStringLiteral("Time"),    QStringLiteral("Dir"),     QStringLiteral("Unit"),
                          QStringLiteral("Function"), QStringLiteral("Address"), QStringLiteral("Count"),
                          QStringLiteral("Outcome"), QStringLiteral("Reply (ms)"), QStringLiteral("Bytes")};

}  // namespace

TfrmTraffic::TfrmTraffic(ModbusLink &link, QWidget *parent)
    : QDialog(parent), m_log(new TrafficLog(link, this)), m_table(new QTableWidget(0, int(Columns.size()), this)),
      m_filter(new QComboBox(this)), m_pause(new QPushButton(tr("&Pause"), this)), m_counters(new QLabel(this))
{
    setObjectName(QStringLiteral("frmTraffic"));
    setWindowTitle(tr("Modbus Traffic"));
    m_table->setObjectName(QStringLiteral("tblTraffic"));
    m_table->setHorizontalHeaderLabels(Columns);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    // One line a frame; long byte strings are cut at the column's edge (Save keeps them whole).
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    const int widths[] = {95, 40, 45, 65, 65, 55, 220, 80};
    for (int c = 0; c < int(std::size(widths)); ++c)
        m_table->setColumnWidth(c, widths[c]);
    m_filter->setObjectName(QStringLiteral("cboFilter"));
    for (const FilterItem &f : Filters)
        m_filter->addItem(tr(f.text));
    m_pause->setObjectName(QStringLiteral("btnPause"));
    m_pause->setCheckable(true);
    m_counters->setObjectName(QStringLiteral("lblCounters"));
    auto *clear = new QPushButton(tr("C&lear"), this);
    clear->setObjectName(QStringLiteral("btnClear"));
    auto *saveButton = new QPushButton(tr("&Save..."), this);
    saveButton->setObjectName(QStringLiteral("btnSave"));
    auto *close = new QPushButton(tr("&Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    auto *filterLabel = new QLabel(tr("&Show:"), this);
    filterLabel->setBuddy(m_filter);
    for (QPushButton *b : {m_pause, clear, saveButton, close})
        b->setAutoDefault(false);

    auto *top = new QHBoxLayout;
    top->addWidget(filterLabel);
    top->addWidget(m_filter);
    top->addStretch(1);
    top->addWidget(m_pause);
    top->addWidget(clear);
    top->addWidget(saveButton);
    top->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_counters);
    resize(980, 520);

    connect(m_log, &TrafficLog::rowAdded, this, [this](const TrafficLog::Row &row) {
        showCounters();
        if (!m_pause->isChecked() && TrafficLog::passes(row, filter()))
            addRow(row);
    });
    connect(m_log, &TrafficLog::rowsDropped, this, [this] {
        if (!m_pause->isChecked())
            rebuild();
        showCounters();
    });
    connect(m_filter, &QComboBox::currentIndexChanged, this, &TfrmTraffic::rebuild);
    connect(m_pause, &QPushButton::toggled, this, [this](bool on) {
        m_pause->setText(on ? tr("&Resume") : tr("&Pause"));
        // What came in while paused shows now.
        if (!on)
            rebuild();
    });
    connect(clear, &QPushButton::clicked, m_log, &TrafficLog::clear);
    connect(saveButton, &QPushButton::clicked, this, &TfrmTraffic::btnSaveClick);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    showCounters();
}

TrafficLog::Filter TfrmTraffic::filter() const
{
    return Filters[std::clamp(m_filter->currentIndex(), 0, int(std::size(Filters)) - 1)].filter;
}

void TfrmTraffic::addRow(const TrafficLog::Row &row)
{
    const LinkTraffic &s = row.step;
    const bool stray = s.kind == LinkTraffic::Stray;
    const QStringList cells{row.time.toString(QStringLiteral("HH:mm:ss.zzz")),
                            TrafficLog::direction(s),
                            stray ? QString() : QString::number(s.unit),
                            stray ? QString() : QString::number(s.function),
                            stray ? QString() : QString::number(s.address),
                            stray ? QString() : QString::number(s.count),
                            TrafficLog::outcome(s),
                            row.replyMs ? QString::number(*row.replyMs) : QString(),
                            TrafficLog::hex(s)};
    const int r = m_table->rowCount();
    m_table->insertRow(r);
    for (int c = 0; c < int(cells.size()); ++c)
        m_table->setItem(r, c, new QTableWidgetItem(cells[c]));
    m_table->scrollToBottom();
}

void TfrmTraffic::rebuild()
{
    m_table->setRowCount(0);
    const TrafficLog::Filter f = filter();
    for (const TrafficLog::Row &row : m_log->rows())
        if (TrafficLog::passes(row, f))
            addRow(row);
}

void TfrmTraffic::showCounters()
{
    m_counters->setText(m_log->summary());
}

bool TfrmTraffic::save(const QString &fileName, QString *error) const
{
    const bool asText = QFileInfo(fileName).suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0;
    const QByteArray bytes = (asText ? m_log->text(filter()) : m_log->csv(filter())).toUtf8();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = tr("Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

void TfrmTraffic::btnSaveClick()
{
    const QString fileName = Prompter::instance().saveFileName(
        windowTitle(), tr("CSV file (*.csv);;Text file (*.txt)"), QString(), QStringLiteral("csv"));
    QString error;
    if (!fileName.isEmpty() && !save(fileName, &error))
        showMessage(error, windowTitle(), Prompter::Error);
}

#include "TfrmTrend.h"

#include "Prompter.h"
#include "ui_TfrmTrend.h"

#include <QChartView>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QLineSeries>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QValueAxis>

#include <cmath>

namespace {

// About a day of one-second polls; older samples make way for new ones.
constexpr int MaxSamples = 100'000;

QString csvCell(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

} // namespace

TfrmTrend::TfrmTrend(const QList<TrendRow> &rows, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmTrend>()), m_rows(rows), m_chart(new QChart),
      m_view(new QChartView(m_chart)), m_timeAxis(new QDateTimeAxis)
{
    ui->setupUi(this);
    m_view->setObjectName(QStringLiteral("chtTrend"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setRubberBand(QChartView::RectangleRubberBand);
    ui->layout->insertWidget(0, m_view, 1);
    m_timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
    m_timeAxis->setTitleText(tr("Time"));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->legend()->setAlignment(Qt::AlignTop);

    for (int row = 0; row < m_rows.size(); ++row) {
        auto *item = new QListWidgetItem(label(row), ui->lstRows);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    connect(ui->lstRows, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        const int row = ui->lstRows->row(item);
        const bool on = item->checkState() == Qt::Checked;
        if (!setPlotted(row, on)) {
            const QSignalBlocker quiet(ui->lstRows);
            item->setCheckState(Qt::Unchecked);
            showMessage(tr("At most %1 rows can be plotted at once.").arg(MaxPlotted), windowTitle(),
                        Prompter::Information);
        }
    });
    connect(ui->btnPause, &QPushButton::toggled, this, &TfrmTrend::btnPauseClick);
    connect(ui->btnResetZoom, &QPushButton::clicked, m_chart, &QChart::zoomReset);
    connect(ui->btnSavePicture, &QPushButton::clicked, this, &TfrmTrend::btnSavePictureClick);
    connect(ui->btnSaveData, &QPushButton::clicked, this, &TfrmTrend::btnSaveDataClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

TfrmTrend::~TfrmTrend() = default;

QString TfrmTrend::label(int row) const
{
    const TrendRow &r = m_rows[row];
    return r.unit.isEmpty() ? r.name : QStringLiteral("%1 (%2)").arg(r.name, r.unit);
}

QChart *TfrmTrend::chart() const
{
    return m_chart;
}

bool TfrmTrend::paused() const
{
    return ui->btnPause->isChecked();
}

QList<int> TfrmTrend::plottedRows() const
{
    return m_plotted;
}

bool TfrmTrend::setPlotted(int row, bool on)
{
    if (row < 0 || row >= m_rows.size())
        return false;
    if (on == m_plotted.contains(row))
        return true;
    if (on && m_plotted.size() >= MaxPlotted)
        return false;
    if (on) {
        m_plotted.append(row);
        std::sort(m_plotted.begin(), m_plotted.end());
    } else {
        m_plotted.removeAll(row);
    }
    {
        const QSignalBlocker quiet(ui->lstRows);
        ui->lstRows->item(row)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    rebuildSeries();
    return true;
}

void TfrmTrend::rebuildSeries()
{
    m_chart->removeAllSeries();
    for (QAbstractAxis *axis : m_chart->axes(Qt::Vertical)) {
        m_chart->removeAxis(axis);
        delete axis;
    }
    m_series.clear();
    for (qsizetype i = 0; i < m_plotted.size(); ++i) {
        auto *series = new QLineSeries;
        series->setName(label(m_plotted[i]));
        m_chart->addSeries(series);
        // Each row keeps its own scale and unit: two axes on each side.
        auto *axis = new QValueAxis;
        axis->setLabelFormat(QStringLiteral("%.5g"));
        axis->setTruncateLabels(false);
        m_chart->addAxis(axis, i % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
        series->attachAxis(m_timeAxis);
        series->attachAxis(axis);
        // An axis in its row's colour says which row it measures; the legend gives the unit.
        axis->setLinePenColor(series->color());
        axis->setLabelsColor(series->color());
        m_series.append(series);
    }
    for (const Sample &sample : m_samples)
        appendToSeries(sample);
}

void TfrmTrend::appendToSeries(const Sample &sample)
{
    const qreal x = qreal(sample.time.toMSecsSinceEpoch());
    for (qsizetype i = 0; i < m_plotted.size(); ++i) {
        const double value = sample.values.value(m_plotted[i], NAN);
        if (!std::isfinite(value))
            continue;
        QLineSeries *series = m_series[i];
        series->append(x, value);
        auto *axis = static_cast<QValueAxis *>(series->attachedAxes().constLast());
        if (series->count() == 1) {
            // A still value sits mid-axis; the axis widens as the value moves.
            const double margin = std::max(std::abs(value) * 0.001, 1e-9);
            axis->setRange(value - margin, value + margin);
        } else {
            const double low = std::min(axis->min(), value);
            const double high = std::max(axis->max(), value);
            if (low < axis->min() || high > axis->max())
                axis->setRange(low, high);
        }
    }
    if (!m_samples.isEmpty() && !m_chart->isZoomed())
        m_timeAxis->setRange(m_samples.first().time, std::max(sample.time, m_samples.first().time.addSecs(1)));
}

void TfrmTrend::addSample(const QDateTime &time, const QList<double> &values)
{
    if (m_samples.size() >= MaxSamples) {
        m_samples.removeFirst();
        if (!paused())
            rebuildSeries();
    }
    m_samples.append({time, values});
    if (!paused())
        appendToSeries(m_samples.last());
}

QList<QPointF> TfrmTrend::points(int row) const
{
    const qsizetype i = m_plotted.indexOf(row);
    return i < 0 ? QList<QPointF>() : m_series[i]->points();
}

void TfrmTrend::btnPauseClick(bool on)
{
    ui->btnPause->setText(on ? tr("&Resume") : tr("&Pause"));
    // What came in while paused shows now.
    if (!on)
        rebuildSeries();
}

bool TfrmTrend::savePicture(const QString &fileName, QString *error) const
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setFileName(fileName);
        svg.setSize(m_view->size());
        svg.setViewBox(m_view->rect());
        svg.setTitle(windowTitle());
        QPainter painter;
        if (!painter.begin(&svg)) {
            *error = tr("Cannot write %1.").arg(fileName);
            return false;
        }
        m_view->render(&painter);
        return true;
    }
    if (suffix != QLatin1String("png")) {
        *error = tr("%1: a picture is saved as .png or .svg.").arg(fileName);
        return false;
    }
    if (!m_view->grab().save(fileName, "PNG")) {
        *error = tr("Cannot write %1.").arg(fileName);
        return false;
    }
    return true;
}

bool TfrmTrend::saveData(const QString &fileName, QString *error) const
{
    QString text = QStringLiteral("time");
    for (int row : m_plotted)
        text += QLatin1Char(',') + csvCell(label(row));
    text += QLatin1String("\r\n");
    for (const Sample &sample : m_samples) {
        text += sample.time.toString(Qt::ISODateWithMs);
        for (int row : m_plotted) {
            const double value = sample.values.value(row, NAN);
            text += QLatin1Char(',') + (std::isfinite(value) ? QString::number(value, 'g', 15) : QString());
        }
        text += QLatin1String("\r\n");
    }
    QSaveFile file(fileName);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = tr("Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

void TfrmTrend::btnSavePictureClick()
{
    const QString fileName = Prompter::instance().saveFileName(windowTitle(), tr("PNG picture (*.png);;SVG picture (*.svg)"),
                                                               QString());
    QString error;
    if (!fileName.isEmpty() && !savePicture(fileName, &error))
        showMessage(error, windowTitle(), Prompter::Error);
}

void TfrmTrend::btnSaveDataClick()
{
    const QString fileName = Prompter::instance().saveFileName(windowTitle(), tr("CSV data (*.csv)"), QString());
    QString error;
    if (!fileName.isEmpty() && !saveData(fileName, &error))
        showMessage(error, windowTitle(), Prompter::Error);
}

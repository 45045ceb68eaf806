#include "TfrmTrend.h"

#include "Clock.h"
#include "CsvText.h"
#include "Prompter.h"
#include "ui_TfrmTrend.h"

#include <QChartView>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QValueAxis>

#include <cmath>

namespace {

// About a day of one-second polls; older samples make way for new ones.
constexpr int MaxSamples = 100'000;


} // namespace

TfrmTrend::TfrmTrend(const QList<TrendRow> &rows, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmTrend>()), m_rows(rows), m_chart(nullptr),
      m_view(new QChartView), m_timeAxis(nullptr), m_idleWait(new ClockTimer(this))
{
    ui->setupUi(this);
    m_view->setObjectName(QStringLiteral("chtTrend"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setRubberBand(QChartView::RectangleRubberBand);
    ui->layout->insertWidget(0, m_view, 1);
    rebuildSeries();

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
    connect(ui->btnResetZoom, &QPushButton::clicked, this, [this] {
        m_chart->zoomReset();
        updateHeld();
        showTimeSpan();
    });
    ui->lblHeld->setVisible(false);
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
    // A new chart each time: axes and series removed from a chart on screen leave
    // their drawings behind, and a time axis that had no series stays hidden.
    auto *chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignTop);
    m_timeAxis = new QDateTimeAxis;
    m_timeAxis->setTitleText(tr("Time"));
    m_timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
    chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_plots.clear();
    for (qsizetype i = 0; i < m_plotted.size(); ++i) {
        Plot plot;
        plot.row = m_plotted[i];
        plot.axis = new QValueAxis;
        // Each row keeps its own scale and unit: two axes on each side.
        plot.axis->setLabelFormat(QStringLiteral("%.5g"));
        plot.axis->setTruncateLabels(false);
        chart->addAxis(plot.axis, i % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
        m_plots.append(plot);
    }
    QChart *old = m_chart;
    m_chart = chart;
    // Every row starts with a line of its own before the chart is laid out: a time axis
    // that has no series then is never drawn.
    for (Plot &plot : m_plots)
        newSegment(plot);
    // The new chart is not zoomed: it follows the samples again.
    m_following = true;
    ui->lblHeld->setVisible(false);
    for (const Sample &sample : std::as_const(m_samples))
        appendToSeries(sample);
    showTimeSpan();
    m_view->setChart(chart);
    delete old;
    // A rubber-band zoom changes the time axis' range without a signal of its own.
    connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, [this] { updateHeld(); });
}

QLineSeries *TfrmTrend::newSegment(Plot &plot)
{
    auto *series = new QLineSeries;
    series->setName(label(plot.row));
    m_chart->addSeries(series);
    series->attachAxis(m_timeAxis);
    series->attachAxis(plot.axis);
    if (plot.segments.isEmpty()) {
        // An axis in its row's colour says which row it measures; the legend gives the unit.
        plot.axis->setLinePenColor(series->color());
        plot.axis->setLabelsColor(series->color());
    } else {
        // Later stretches of the same row: same colour, one legend entry.
        series->setPen(plot.segments.constFirst()->pen());
        for (QLegendMarker *marker : m_chart->legend()->markers(series))
            marker->setVisible(false);
    }
    plot.segments.append(series);
    plot.open = true;
    return series;
}

void TfrmTrend::appendToSeries(const Sample &sample)
{
    const qreal x = qreal(sample.time.toMSecsSinceEpoch());
    for (Plot &plot : m_plots) {
        const double value = sample.values.value(plot.row, NAN);
        if (sample.gapBefore || !std::isfinite(value))
            plot.open = false;
        if (!std::isfinite(value))
            continue;
        QLineSeries *series = plot.open ? plot.segments.constLast() : newSegment(plot);
        series->append(x, value);
        if (!plot.ranged) {
            plot.ranged = true;
            // A still value sits mid-axis; the axis widens as the value moves.
            const double margin = std::max(std::abs(value) * 0.001, 1e-9);
            plot.axis->setRange(value - margin, value + margin);
        } else if (value < plot.axis->min() || value > plot.axis->max()) {
            plot.axis->setRange(std::min(plot.axis->min(), value), std::max(plot.axis->max(), value));
        }
    }
}

void TfrmTrend::showTimeSpan()
{
    if (m_samples.isEmpty() || !m_following)
        return;
    const QDateTime first = m_samples.constFirst().time;
    const QDateTime last = std::max(m_samples.constLast().time, first.addSecs(1));
    m_timeAxis->setRange(first, last);
    m_timeAxis->setFormat(timeFormat());
}

QString TfrmTrend::timeFormat() const
{
    // Labels as fine as the span needs, and no longer than fits under a tick.
    const qint64 spanSecs = m_timeAxis->min().secsTo(m_timeAxis->max());
    if (spanSecs <= 3600)
        return QStringLiteral("HH:mm:ss");
    if (spanSecs <= 24 * 3600)
        return QStringLiteral("HH:mm");
    return QStringLiteral("dd MMM HH:mm");
}

bool TfrmTrend::viewHeld() const
{
    return !m_following;
}

void TfrmTrend::updateHeld()
{
    m_following = !m_chart->isZoomed();
    ui->lblHeld->setVisible(!m_following);
    m_timeAxis->setFormat(timeFormat());
}

void TfrmTrend::addSample(const QDateTime &time, const QList<double> &values)
{
    if (m_samples.size() >= MaxSamples) {
        // Make room a tenth at a time, so the picture is not redrawn whole on every poll.
        m_samples.remove(0, MaxSamples / 10);
        m_samples.first().gapBefore = false;
        if (!paused())
            rebuildSeries();
    }
    // Sampling that stopped for a while (a poll that hung, a stopped view) is a gap
    // too: more than three times the usual period with nothing.
    bool gap = m_gapPending;
    if (m_samples.size() >= 2) {
        const qint64 usual = m_samples[m_samples.size() - 2].time.msecsTo(m_samples.constLast().time);
        gap = gap || m_samples.constLast().time.msecsTo(time) > 3 * std::max<qint64>(usual, 1000);
    }
    m_gapPending = false;
    m_samples.append({.time = time, .values = values, .gapBefore = gap});
    if (!paused()) {
        appendToSeries(m_samples.constLast());
        showTimeSpan();
    }
}

void TfrmTrend::addGap()
{
    m_gapPending = true;
}

QList<QList<QPointF>> TfrmTrend::segments(int row) const
{
    QList<QList<QPointF>> result;
    for (const Plot &plot : m_plots)
        if (plot.row == row)
            for (const QLineSeries *series : plot.segments)
                if (series->count() > 0)
                    result.append(series->points());
    return result;
}

QList<QPointF> TfrmTrend::points(int row) const
{
    QList<QPointF> all;
    for (const QList<QPointF> &segment : segments(row))
        all += segment;
    return all;
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
    QStringList heads{QStringLiteral("time")};
    for (int row : m_plotted)
        heads << CsvText::header(m_rows[row].name, m_rows[row].unit);
    QString text = CsvText::line(heads);
    for (const Sample &sample : m_samples) {
        QStringList cells{CsvText::isoTime(sample.time)};
        for (int row : m_plotted) {
            const double value = sample.values.value(row, NAN);
            cells << (std::isfinite(value) ? QString::number(value, 'g', QLocale::FloatingPointShortest) : QString());
        }
        text += CsvText::line(cells);
    }
    QSaveFile file(fileName);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = tr("Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

void TfrmTrend::whenOwnerIdle(std::function<void()> dialog)
{
    if (!m_ownerBusy || !m_ownerBusy()) {
        dialog();
        return;
    }
    // Look again shortly; a poll's requests take about a second at the slowest line.
    m_idleWait->disconnect();
    m_idleWait->setSingleShot(true);
    m_idleWait->setInterval(50);
    connect(m_idleWait, &ClockTimer::timeout, this, [this, dialog] { whenOwnerIdle(dialog); });
    m_idleWait->start();
}

void TfrmTrend::btnSavePictureClick()
{
    whenOwnerIdle([this] { savePictureAs(); });
}

void TfrmTrend::btnSaveDataClick()
{
    whenOwnerIdle([this] { saveDataAs(); });
}

void TfrmTrend::savePictureAs()
{
    const QString fileName = Prompter::instance().saveFileName(
        windowTitle(), tr("PNG picture (*.png);;SVG picture (*.svg)"), QString(), QStringLiteral("png"));
    QString error;
    if (!fileName.isEmpty() && !savePicture(fileName, &error))
        showMessage(error, windowTitle(), Prompter::Error);
}

void TfrmTrend::saveDataAs()
{
    const QString fileName =
        Prompter::instance().saveFileName(windowTitle(), tr("CSV data (*.csv)"), QString(), QStringLiteral("csv"));
    QString error;
    if (!fileName.isEmpty() && !saveData(fileName, &error))
        showMessage(error, windowTitle(), Prompter::Error);
}

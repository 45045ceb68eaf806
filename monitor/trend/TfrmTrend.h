#pragma once

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class TfrmTrend;
}

class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
class QDateTimeAxis;
class ClockTimer;

// One row a live view offers for plotting, named and in the unit the view shows.
struct TrendRow {
    QString name;
    QString unit;
};

// "Trend": plots up to four of a live view's rows against time as the view polls.
// The view passes every poll's values to addSample and a failed poll to addGap; all
// rows are kept, so a row ticked later shows its history too. A line never joins
// across a missing value, a failed poll, or a pause in sampling. Pause freezes the
// picture (samples are still kept and appear on resume); drag a rectangle to zoom,
// which holds the view until Reset Zoom, otherwise the view follows the newest
// samples. The picture saves as PNG or SVG, the ticked rows' data as CSV with ISO 8601
// time stamps and units.
class TfrmTrend : public QDialog {
    Q_OBJECT
public:
    static constexpr int MaxPlotted = 4;

    explicit TfrmTrend(const QList<TrendRow> &rows, QWidget *parent = nullptr);
    ~TfrmTrend() override;

    // One poll: a value per row, in the order of the rows (a missing or NaN value
    // leaves a gap in that row only).
    void addSample(const QDateTime &time, const QList<double> &values);
    // A poll failed: the lines break here.
    void addGap();
    // While this says the owner is inside a link request, the file dialogs wait: a
    // dialog opened inside the request's wait would hold the poll until it closed.
    void setOwnerBusy(std::function<bool()> busy) { m_ownerBusy = std::move(busy); }

    // Rows ticked for plotting, in row order; ticking a fifth is refused.
    QList<int> plottedRows() const;
    bool setPlotted(int row, bool on);
    bool paused() const;
    QChart *chart() const;
    // The plotted points of a row (empty when it is not plotted), and the same split
    // into the unbroken stretches of its line.
    QList<QPointF> points(int row) const;
    QList<QList<QPointF>> segments(int row) const;
    // The time axis' label format for the span shown.
    QString timeFormat() const;
    // The user zoomed: the view does not follow new samples.
    bool viewHeld() const;

    bool savePicture(const QString &fileName, QString *error) const;  // .png or .svg
    bool saveData(const QString &fileName, QString *error) const;     // CSV

public slots:
    void btnPauseClick(bool on);
    void btnSavePictureClick();
    void btnSaveDataClick();

private:
    struct Sample {
        QDateTime time;
        QList<double> values;
        bool gapBefore = false;  // the line does not join this sample to the one before
    };
    // One plotted row: its axis and the stretches of its line.
    struct Plot {
        int row = 0;
        QValueAxis *axis = nullptr;
        QList<QLineSeries *> segments;
        bool open = false;    // the next value continues the last segment
        bool ranged = false;  // the axis was set from a first value
    };
    void rebuildSeries();
    void appendToSeries(const Sample &sample);
    QLineSeries *newSegment(Plot &plot);
    void showTimeSpan();
    void updateHeld();
    QString label(int row) const;
    // Runs a dialog now, or once the owner's request has ended.
    void whenOwnerIdle(std::function<void()> dialog);
    void savePictureAs();
    void saveDataAs();

    std::unique_ptr<Ui::TfrmTrend> ui;
    QList<TrendRow> m_rows;
    QList<Sample> m_samples;
    QChart *m_chart;
    QChartView *m_view;
    QDateTimeAxis *m_timeAxis;
    QList<int> m_plotted;
    QList<Plot> m_plots;   // parallel to m_plotted
    bool m_gapPending = false;
    std::function<bool()> m_ownerBusy;
    ClockTimer *m_idleWait;
    bool m_following = true;  // the time axis is set by the samples, not by a zoom
};

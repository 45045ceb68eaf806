#pragma once

#include "GuardedWindow.h"
#include "UnitCombos.h"

#include <QList>
#include <QPointer>

#include <array>
#include <memory>

namespace Ui {
class TfrmViewMeasurements;
}

class ModbusLink;
class PollCycle;
class Session;
class QComboBox;
class QLabel;
class QLineEdit;
class OnePageReport;
class TfrmTrend;

// "View Measurements": the transmitter's process values, polled once a second and
// shown in the units the user picks per row. Rate and total units are linked
// while the total unit is the one the rate unit implies. Unit choices are kept in
// TARVINE.INI; the values print as one page.
class TfrmViewMeasurements : public GuardedWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 20;
    static constexpr int HelpContext = 20;
    static constexpr const char *IniSection = "ViewMeas Units";

    TfrmViewMeasurements(ModbusLink &link, Session &session, QWidget *parent = nullptr);
    ~TfrmViewMeasurements() override;

    PollCycle &pollCycle() { return *m_poll; }
    // The page btnPrint prints, as rows of caption, value and unit.
    OnePageReport report() const;

public slots:
    void btnSaveUnitsClick();
    void btnLoadUnitsClick();
    void btnCloseClick();
    void btnPrintClick();
    // Opens the trend beside the view; it takes every poll's values as shown.
    void btnTrendClick();

protected:
    void FormActivate() override;
    void beforeFinish() override;

private:
    enum class Source { Plain, Forward, Reverse };
    enum class Group { Always, StdVolume, Concentration, Batch };
    enum class UnitKind { Combo, TotalLabel, FixedLabel };
    static constexpr int BatchCode = -1;  // stands for the batched quantity's code
    static constexpr int NoConversion = -2;
    struct RowDef {
        const char *valueName;
        int reg;
        Source source;
        int conversion;
        int format;
        const char *unitName;
        UnitKind unitKind;
        int unitRow;  // row whose combo holds the unit index (itself for a combo)
        Group group;
        int listCode;     // unit list of a combo row
        int specialCode;  // code whose Special text a combo row shows
    };
    struct RowWidgets {
        QLabel *caption = nullptr;
        QLineEdit *value = nullptr;
        QComboBox *combo = nullptr;
        QLabel *unitLabel = nullptr;
    };
    struct UnitPair {
        int rateRow;
        int totalRow;
    };
    static const RowDef Rows[];
    static const UnitPair Pairs[];
    static constexpr int PairCount = 5;

    void bindRows();
    void poll();
    void showRow(int row);
    void showRows(int first, int last);
    int codeOf(int code) const { return code == BatchCode ? m_batchCode : code; }
    bool rowEnabled(int row) const;
    // Rate or total combo changed (by the user or by the rate's link).
    void unitChanged(int row);
    void showSpecialText(int row);
    int derivedTotalIndex(const UnitPair &pair) const;
    void recomputeLinks();
    void selectConfiguredUnits();
    void showDensityUnit();
    int pairOfRow(int row, bool *isRate) const;
    void restoreCursor();

    ModbusLink &m_link;
    Session &m_session;
    std::unique_ptr<Ui::TfrmViewMeasurements> ui;
    PollCycle *m_poll;
    UnitChoiceFile m_unitFile;
    QList<RowWidgets> m_rows;
    QPointer<TfrmTrend> m_trend;
    std::array<bool, PairCount> m_linked{};
    bool m_unitsTouched = false;
    bool m_cursorSet = false;
    bool m_fullModel = true;
    bool m_densityApi = false;
    int m_batchCode = 0;
    int m_percentConcIndex = 0;
};

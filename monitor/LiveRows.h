#pragma once

#include "OnePageReport.h"
#include "UnitCombos.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <initializer_list>
#include <optional>

class GuardedWindow;
class ModbusLink;
class QComboBox;
class QLabel;
class QLineEdit;
class TfrmTrend;

// The rows of a live view: a value per row taken from the register image (or
// given by the window), converted into the unit picked in the row's combo and
// shown in the row's value control; rate/total unit pairs that stay linked while
// the total shows the unit its rate implies; the unit choices kept in TARVINE.INI;
// the one-page printout and the trend of the rows.
//
// A window declares its rows in a table, one LiveRowDef per row, with designated
// initializers, and names its controls as in its .ui file:
//
//   const LiveRowDef Rows[] = {
//       {.value = "txtMassRate", .reg = 252, .conversion = 5, .format = 5, .unit = "cboMassRate", .listCode = 5,
//        .specialCode = 5},
//       {.value = "txtMassTotalFwd", .reg = 244, .part = LiveRowDef::Part::Forward, .conversion = 38,
//        .format = 38, .unit = "lblMassTotalFwdUnit", .unitFrom = "cboMassTotal"},
//       {.value = "txtNetVolumeTotal", .reg = 442, .plusReg = 1790, ...},  // sum of two totalizers
//   };
//   LiveRows rows(window, link, Rows, {{.rate = "cboMassRate", .total = "cboMassTotal"}}, LiveRows::LinkRule::Always);
//
// The row's caption is the label whose buddy is its value control. The unit
// control is a QComboBox (the row's own unit choice) or a QLabel: a label with
// unitFrom copies that combo's text and converts with its selection; any other
// label is fixed (its unit index is 0 unless setFixedUnitIndex says otherwise).
//
// Codes may be known only at activation (the batched quantity, the net-oil basis):
// a table then uses RuntimeCode(n) and the window calls setRuntimeCode(n, code)
// before fillCombos() and the first showing.
//
// Reading is the window's: its poll reads the blocks (PollCycle::read) and calls
// showRows/showRow for the rows they feed. Unit changes by the user are handled
// here; they never read values, only the Special records they convert with.
struct LiveRowDef {
    enum class Part {
        Value,    // the double at reg
        Forward,  // a totalizer's forward total, four registers after its total
        Reverse,  // total minus forward total
    };
    enum class Source {
        Register,  // reg (plus plusReg), the part chosen
        Given,     // a base value the window sets with LiveRows::setValue
        Text,      // the window writes the value control's text itself
    };
    static constexpr int NoConversion = -1;

    const char *value = nullptr;   // QLineEdit, or QLabel for a text row
    Source source = Source::Register;
    int reg = 0;
    int plusReg = 0;               // a second block whose same part is added
    Part part = Part::Value;
    int conversion = NoConversion;  // FromBase code (or RuntimeCode); NoConversion shows the value as read
    int format = 0;                // FormatValue code (or RuntimeCode)
    const char *unit = nullptr;    // QComboBox or QLabel; none for a text row
    const char *unitFrom = nullptr;  // combo whose unit a label follows
    int listCode = 0;              // fillCombos fills the combo with this code's units; 0 keeps the .ui items
    int specialCode = 0;           // code whose Special unit text the combo shows; 0 for none
    int group = 0;                 // for setGroupEnabled
};

// A rate combo and the total combo that follows it. sameList: both hold the same
// list, so the total takes the rate's index (batch size and batch total).
struct LiveUnitPair {
    const char *rate;
    const char *total;
    bool sameList = false;
};

class LiveRows : public QObject {
    Q_OBJECT
public:
    // Which linked rate combos re-derive their total: every one, or only those of a
    // volume flow (the net-oil view, whose mass totals keep their unit).
    enum class LinkRule { Always, VolumeOnly };

    struct UnitKey {
        const char *key;
        const char *combo;
    };

    static constexpr int RuntimeCode(int n) { return -100 - n; }

    LiveRows(GuardedWindow &window, ModbusLink &link, std::initializer_list<LiveRowDef> rows,
             std::initializer_list<LiveUnitPair> pairs, LinkRule rule);
    ~LiveRows() override;

    int count() const { return int(m_rows.size()); }
    // Row of a value control's name; -1 when there is none.
    int rowOf(const char *valueName) const;
    QComboBox *combo(int row) const { return m_rows[row].combo; }
    QLabel *caption(int row) const { return m_rows[row].caption; }

    void setRuntimeCode(int n, int code);
    int codeOf(int code) const;
    // Fills every combo whose row names a list code (RuntimeCodes resolved).
    void fillCombos();
    // Selects a rate's unit and, for its pair, the total unit the rate implies.
    void selectRate(int rateRow, int rateIndex);
    // A pair is linked when its total shows the unit its rate implies.
    void recomputeLinks();
    void setFixedUnitIndex(int row, int unitIndex) { m_rows[row].fixedIndex = unitIndex; }
    // Converts a row with a function of its base value and the combo's index instead
    // of FromBase (well densities in °API).
    void setConversion(int row, std::function<double(double base, int unitIndex)> convert);
    // Shows label in place of the row's combo, converting with unitIndex; nullopt
    // puts the combo back (density reported in °API).
    void showLabelForUnit(int row, QLabel *label, std::optional<int> unitIndex);

    // Enables or disables the caption, value and unit of every row of a group.
    void setGroupEnabled(int group, bool on);
    bool rowEnabled(int row) const;

    void setValue(int row, double base);
    void showRow(int row);
    void showRows(int first, int last);

    // The unit choices in a section of TARVINE.INI, a key per combo; maxChars > 0
    // cuts the texts written.
    void keepUnits(const QString &section, std::initializer_list<UnitKey> keys, int maxChars = 0);
    // Save and Load: either marks the units as touched, so that the window saves
    // them again when it closes. A failed save is shown to the user.
    void saveUnits();
    // Loads the stored texts and recomputes the links.
    void loadUnits();
    void forgetUnitsTouched() { m_unitsTouched = false; }
    void saveUnitsIfTouched();

    // The page of caption, value and unit per row; rows whose caption is disabled
    // are left out. order names the value controls to print, all rows when empty.
    OnePageReport report(const QString &title, const QString &tag, std::initializer_list<const char *> order = {}) const;

    // The trend of the rows beside the window; after each poll feedTrend gives it the
    // values shown, or a break in its lines when the poll failed.
    void openTrend(QWidget *parent);
    void feedTrend(bool pollSucceeded);

private:
    struct Row {
        LiveRowDef def;
        QLabel *caption = nullptr;
        QLineEdit *edit = nullptr;
        QLabel *textLabel = nullptr;
        QComboBox *combo = nullptr;
        QLabel *unitLabel = nullptr;
        int unitRow = -1;  // the combo row a label follows
        int fixedIndex = 0;
        double given = 0.0;
        std::function<double(double, int)> convert;
        QLabel *overrideLabel = nullptr;
        std::optional<int> overrideIndex;
    };
    struct Pair {
        int rateRow;
        int totalRow;
        bool sameList;
        bool linked = false;
    };

    double baseValue(const Row &row) const;
    int unitIndexOf(const Row &row) const;
    QString unitTextOf(const Row &row) const;
    void showSpecialText(int row);
    void unitChanged(int row);
    void showFollowers(int comboRow);
    int derivedTotalIndex(const Pair &pair) const;
    bool followsRate(const Pair &pair) const;
    int comboRow(const char *name) const;

    GuardedWindow &m_window;
    bool m_unitsTouched = false;
    ModbusLink &m_link;
    QList<Row> m_rows;
    QList<Pair> m_pairs;
    LinkRule m_rule;
    QList<int> m_runtimeCodes;
    std::optional<UnitChoiceFile> m_unitFile;
    QPointer<TfrmTrend> m_trend;
};

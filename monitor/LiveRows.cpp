#include "LiveRows.h"

#include "GuardedWindow.h"
#include "TfrmTrend.h"

#include "FillUnitCombo.h"
#include "ModbusLink.h"
#include "NumberFormat.h"
#include "Prompter.h"
#include "UnitConversion.h"
#include "UnitsLink.h"
#include "UserUnitRecords.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

namespace {
// A totalizer block holds the total, then the forward total four registers on.
constexpr int ForwardOffsetRegs = 4;

QString plainCaption(const QLabel *caption)
{
    return caption->text().remove(QLatin1Char('&')).remove(QLatin1Char(':')).trimmed();
}
}  // namespace

LiveRows::LiveRows(GuardedWindow &window, ModbusLink &link, std::initializer_list<LiveRowDef> rows,
                   std::initializer_list<LiveUnitPair> pairs, LinkRule rule)
    : QObject(&window), m_window(window), m_link(link), m_rule(rule)
{
    const QList<QLabel *> labels = window.findChildren<QLabel *>();
    for (const LiveRowDef &def : rows) {
        Row row;
        row.def = def;
        const QString valueName = QLatin1String(def.value);
        row.edit = window.findChild<QLineEdit *>(valueName);
        row.textLabel = row.edit ? nullptr : window.findChild<QLabel *>(valueName);
        QWidget *value = row.edit ? static_cast<QWidget *>(row.edit) : row.textLabel;
        for (QLabel *l : labels)
            if (value && l->buddy() == value)
                row.caption = l;
        if (def.unit) {
            row.combo = window.findChild<QComboBox *>(QLatin1String(def.unit));
            if (!row.combo)
                row.unitLabel = window.findChild<QLabel *>(QLatin1String(def.unit));
        }
        Q_ASSERT_X(value && row.caption && (!def.unit || row.combo || row.unitLabel), "LiveRows", def.value);
        m_rows.append(row);
    }
    for (int r = 0; r < count(); ++r) {
        if (m_rows[r].def.unitFrom)
            m_rows[r].unitRow = comboRow(m_rows[r].def.unitFrom);
        if (QComboBox *c = m_rows[r].combo) {
            // Wide enough for the longest unit ("Barrel/day") whatever the list.
            c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
            connect(c, &QComboBox::activated, this, [this, r] { unitChanged(r); });
        }
    }
    for (const LiveUnitPair &p : pairs)
        m_pairs.append({comboRow(p.rate), comboRow(p.total), p.sameList});
}

LiveRows::~LiveRows() = default;

int LiveRows::rowOf(const char *valueName) const
{
    for (int r = 0; r < count(); ++r)
        if (qstrcmp(m_rows[r].def.value, valueName) == 0)
            return r;
    return -1;
}

int LiveRows::comboRow(const char *name) const
{
    for (int r = 0; r < count(); ++r)
        if (m_rows[r].combo && qstrcmp(m_rows[r].def.unit, name) == 0)
            return r;
    Q_ASSERT_X(false, "LiveRows", name);
    return -1;
}

void LiveRows::setRuntimeCode(int n, int code)
{
    if (m_runtimeCodes.size() <= n)
        m_runtimeCodes.resize(n + 1);
    m_runtimeCodes[n] = code;
}

int LiveRows::codeOf(int code) const
{
    if (code > RuntimeCode(0))
        return code;
    return m_runtimeCodes.value(RuntimeCode(0) - code);
}

void LiveRows::fillCombos()
{
    for (Row &row : m_rows)
        if (row.combo && row.def.listCode != 0)
            FillUnitCombo(codeOf(row.def.listCode), row.combo);
}

void LiveRows::selectRate(int rateRow, int rateIndex)
{
    SelectUnitIndex(m_rows[rateRow].combo, rateIndex);
    for (const Pair &p : std::as_const(m_pairs))
        if (p.rateRow == rateRow)
            SelectUnitIndex(m_rows[p.totalRow].combo, derivedTotalIndex(p));
}

int LiveRows::derivedTotalIndex(const Pair &pair) const
{
    const int rateIndex = m_rows[pair.rateRow].combo->currentIndex();
    if (pair.sameList)
        return rateIndex;
    return TotalIndexForRate(codeOf(m_rows[pair.rateRow].def.listCode), rateIndex);
}

bool LiveRows::followsRate(const Pair &pair) const
{
    return m_rule == LinkRule::Always || IsVolumeQuantity(codeOf(m_rows[pair.rateRow].def.listCode));
}

void LiveRows::recomputeLinks()
{
    for (Pair &p : m_pairs)
        p.linked = m_rows[p.totalRow].combo->currentIndex() == derivedTotalIndex(p);
}

void LiveRows::setConversion(int row, std::function<double(double, int)> convert)
{
    m_rows[row].convert = std::move(convert);
}

void LiveRows::showLabelForUnit(int row, QLabel *label, std::optional<int> unitIndex)
{
    Row &r = m_rows[row];
    r.overrideLabel = label;
    r.overrideIndex = unitIndex;
    r.combo->setVisible(!unitIndex);
    label->setVisible(bool(unitIndex));
}

void LiveRows::setGroupEnabled(int group, bool on)
{
    for (Row &row : m_rows) {
        if (row.def.group != group)
            continue;
        for (QWidget *w : std::initializer_list<QWidget *>{row.caption, row.edit, row.textLabel, row.combo, row.unitLabel})
            if (w)
                w->setEnabled(on);
    }
}

bool LiveRows::rowEnabled(int row) const
{
    return m_rows[row].caption->isEnabled();
}

void LiveRows::setValue(int row, double base)
{
    m_rows[row].given = base;
}

double LiveRows::baseValue(const Row &row) const
{
    if (row.def.source == LiveRowDef::Source::Given)
        return row.given;
    const RegisterImage &image = m_link.image();
    double sum = 0.0;
    for (int reg : {row.def.reg, row.def.plusReg}) {
        if (reg == 0)
            continue;
        switch (row.def.part) {
        case LiveRowDef::Part::Value: sum += image.f64Reg(reg); break;
        case LiveRowDef::Part::Forward: sum += image.f64Reg(reg + ForwardOffsetRegs); break;
        case LiveRowDef::Part::Reverse: sum += image.f64Reg(reg) - image.f64Reg(reg + ForwardOffsetRegs); break;
        }
    }
    return sum;
}

int LiveRows::unitIndexOf(const Row &row) const
{
    if (row.overrideIndex)
        return *row.overrideIndex;
    if (row.combo)
        return row.combo->currentIndex();
    if (row.unitRow >= 0)
        return m_rows[row.unitRow].combo->currentIndex();
    return row.fixedIndex;
}

void LiveRows::showRow(int r)
{
    Row &row = m_rows[r];
    if (row.def.source == LiveRowDef::Source::Text)
        return;
    double value = baseValue(row);
    const int unitIndex = unitIndexOf(row);
    if (row.convert)
        value = row.convert(value, unitIndex);
    else if (row.def.conversion != LiveRowDef::NoConversion)
        value = FromBase(codeOf(row.def.conversion), value, unitIndex, SpecialFactorsFrom(m_link));
    const QString text = FormatValue(codeOf(row.def.format), value);
    if (row.edit)
        row.edit->setText(text);
    else
        row.textLabel->setText(text);
    if (row.combo)
        showSpecialText(r);
    if (row.unitRow >= 0)
        row.unitLabel->setText(m_rows[row.unitRow].combo->currentText());
}

void LiveRows::showRows(int first, int last)
{
    for (int r = first; r <= last; ++r)
        showRow(r);
}

// A Special unit shows its own text. The conversion has just read its record, so
// the text comes from the image and stays in step with the factor.
void LiveRows::showSpecialText(int r)
{
    const Row &row = m_rows[r];
    if (row.def.specialCode == 0)
        return;
    const int special = SpecialIndexOf(codeOf(row.def.listCode));
    const int code = codeOf(row.def.specialCode);
    const int record = SpecialRecordRegisterFor(code);
    if (special < 0 || row.combo->currentIndex() != special || record == 0)
        return;
    const QString text = SpecialUnitTextFrom(code, SpecialUnitRecord::fromImage(m_link.image(), record));
    if (!text.isEmpty())
        row.combo->setItemText(special, text);
}

void LiveRows::showFollowers(int comboRow)
{
    for (int r = 0; r < count(); ++r)
        if (m_rows[r].unitRow == comboRow)
            showRow(r);
}

void LiveRows::unitChanged(int r)
{
    GuardedWindow::BusyScope scope(m_window);
    showRow(r);
    showFollowers(r);
    for (Pair &p : m_pairs) {
        if (p.rateRow == r) {
            if (p.linked && followsRate(p))
                SelectUnitIndex(m_rows[p.totalRow].combo, derivedTotalIndex(p));
            showRow(p.totalRow);
            showFollowers(p.totalRow);
        } else if (p.totalRow == r) {
            p.linked = m_rows[p.totalRow].combo->currentIndex() == derivedTotalIndex(p);
        }
    }
}

void LiveRows::keepUnits(const QString &section, std::initializer_list<UnitKey> keys, int maxChars)
{
    m_unitFile.emplace(section);
    m_unitFile->setMaxChars(maxChars);
    for (const UnitKey &k : keys)
        m_unitFile->add(QLatin1String(k.key), m_rows[comboRow(k.combo)].combo);
}

void LiveRows::saveUnits()
{
    m_unitsTouched = true;
    QString error;
    if (!m_unitFile->save(&error))
        showMessage(error, QStringLiteral("Save Units"), Prompter::Error);
}

void LiveRows::loadUnits()
{
    m_unitsTouched = true;
    m_unitFile->load();
    recomputeLinks();
}

void LiveRows::saveUnitsIfTouched()
{
    if (m_unitsTouched)
        saveUnits();
}

QString LiveRows::unitTextOf(const Row &row) const
{
    if (row.overrideIndex && row.overrideLabel)
        return row.overrideLabel->text();
    if (row.combo)
        return row.combo->currentText();
    if (row.unitLabel)
        return row.unitLabel->text();
    return {};
}

OnePageReport LiveRows::report(const QString &title, const QString &tag,
                               std::initializer_list<const char *> order) const
{
    QList<int> printed;
    for (const char *name : order)
        printed << rowOf(name);
    if (order.size() == 0)
        for (int r = 0; r < count(); ++r)
            printed << r;
    OnePageReport page(title, tag);
    for (int r : std::as_const(printed)) {
        if (r < 0 || !rowEnabled(r))
            continue;
        const Row &row = m_rows[r];
        page.addRow({row.caption->text(), row.edit ? row.edit->text() : row.textLabel->text(), unitTextOf(row)});
    }
    return page;
}

void LiveRows::openTrend(QWidget *parent)
{
    if (m_trend) {
        m_trend->raise();
        m_trend->activateWindow();
        return;
    }
    QList<TrendRow> rows;
    for (const Row &row : std::as_const(m_rows))
        if (row.edit)
            rows << TrendRow{plainCaption(row.caption), unitTextOf(row)};
    m_trend = new TfrmTrend(rows, parent);
    if (auto *owner = qobject_cast<GuardedWindow *>(parent))
        m_trend->setOwnerBusy([owner] { return owner->busy(); });
    m_trend->setAttribute(Qt::WA_DeleteOnClose);
    m_trend->show();
}

void LiveRows::feedTrend(bool pollSucceeded)
{
    if (!m_trend)
        return;
    if (!pollSucceeded) {
        m_trend->addGap();
        return;
    }
    QList<double> values;
    for (const Row &row : std::as_const(m_rows)) {
        if (!row.edit)
            continue;
        bool ok = false;
        const double v = row.edit->text().toDouble(&ok);
        values << (ok && row.edit->isEnabled() ? v : qQNaN());
    }
    m_trend->addSample(QDateTime::currentDateTime(), values);
}


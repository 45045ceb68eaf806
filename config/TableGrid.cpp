#include "TableGrid.h"

#include "NumberFormat.h"
#include "UnitConversion.h"
#include "ValueCodec.h"

#include <QHeaderView>
#include <QTableWidget>

#include <cmath>

namespace TableGrid {

void setUp(QTableWidget *grid, int rows, const QStringList &heads)
{
    grid->setRowCount(rows);
    grid->setColumnCount(int(heads.size()));
    grid->setHorizontalHeaderLabels(heads);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid->verticalHeader()->setVisible(rows > 1);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < heads.size(); ++c)
            if (!grid->item(r, c))
                grid->setItem(r, c, new QTableWidgetItem);
}

void setText(QTableWidget *grid, int row, int column, const QString &text)
{
    if (QTableWidgetItem *item = grid->item(row, column))
        item->setText(text);
}

QString text(const QTableWidget *grid, int row, int column)
{
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text() : QString();
}

std::optional<double> number(const QTableWidget *grid, int row, int column, QString *error)
{
    const QString t = text(grid, row, column).trimmed();
    if (t.isEmpty())
        return 0.0;
    bool ok = false;
    const double v = ValueCodec::parseFloat(t, &ok, error);
    if (ok && !std::isfinite(v)) {
        ok = false;
        if (error)
            *error = QStringLiteral("'%1' is not a valid floating point value").arg(t);
    }
    return ok ? std::optional<double>(v) : std::nullopt;
}

void convertColumn(QTableWidget *grid, int column, int code, int fromIndex, int toIndex, int formatIndex)
{
    for (int r = 0; r < grid->rowCount(); ++r) {
        // A cell that holds no number is left for Apply to point out.
        if (const auto v = number(grid, r, column))
            setText(grid, r, column, FormatByIndex(formatIndex, ConvertUnits(code, *v, fromIndex, toIndex)));
    }
}

}  // namespace TableGrid

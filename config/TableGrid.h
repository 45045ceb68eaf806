#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QTableWidget;

// Number tables edited in grids (the concentration and volume-correction tables):
// heads over the columns, one number per cell.
namespace TableGrid {

void setUp(QTableWidget *grid, int rows, const QStringList &heads);
void setText(QTableWidget *grid, int row, int column, const QString &text);
QString text(const QTableWidget *grid, int row, int column);
// The number in a cell; an empty cell counts as 0. Without a finite number the
// result is empty and *error holds the conversion message.
std::optional<double> number(const QTableWidget *grid, int row, int column, QString *error = nullptr);
// Re-expresses every cell of a column from one unit of a code into another.
void convertColumn(QTableWidget *grid, int column, int code, int fromIndex, int toIndex, int formatIndex);

}  // namespace TableGrid

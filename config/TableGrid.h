#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QTableWidget;
class QTableWidgetItem;

// Number tables edited in grids (the concentration and volume-correction tables):
// heads over the columns, one number per cell.
namespace TableGrid {

void setUp(QTableWidget *grid, int rows, const QStringList &heads);
void setText(QTableWidget *grid, int row, int column, const QString &text);
QString text(const QTableWidget *grid, int row, int column);
// The number in a cell; an empty cell counts as 0. Without a finite number the
// result is empty and *error holds the conversion message.
std::optional<double> number(const QTableWidget *grid, int row, int column, QString *error = nullptr);
// Calls typed as soon as the technician types in a cell's editor (before the cell
// takes the text), so that Apply can be offered while the editor is open.
void onTyping(QTableWidget *grid, std::function<void()> typed);
// Cells the technician changed are marked; only they are ever parsed, so a cell
// shown rounded is never written back rounded.
void markEdited(QTableWidgetItem *item);
bool isEdited(const QTableWidget *grid, int row, int column);
void clearEdited(QTableWidget *grid, int row, int column);
// Shows text in a cell that the technician has not changed (an edited cell keeps
// what was typed until it is taken).
void showUnlessEdited(QTableWidget *grid, int row, int column, const QString &text);

}  // namespace TableGrid

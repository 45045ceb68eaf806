#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Rows of cells as lines of text with the columns lined up (two spaces between
// columns, the last column not padded). Empty cells show as "-" so that every line
// has all its columns.
QString alignedColumns(const QList<QStringList> &rows);

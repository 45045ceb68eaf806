#pragma once

#include <QString>
#include <QStringList>

// Unit lists and selection lists by quantity code, built from the numbered
// display texts 1..247. A list is a set of text numbers taken in ascending order;
// the position of a text in its list is the unit index. Code 0 gives one empty
// item; codes without a list give an empty list.
QStringList UnitListFor(int code);

// Text of a transmitter unit index. For total codes the index is the rate index
// the transmitter keeps, and the total unit is derived from it. An index beyond
// the list gives an empty text.
QString UnitTextFor(int code, int transmitterUnitIndex);

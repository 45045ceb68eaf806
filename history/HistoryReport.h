#pragma once

#include "HistoryStore.h"

#include <QList>

class ChosenUnits;
class PrintObject;

// The history as a printed report: one line per operation (local time, user, unit,
// outcome, operation), under it its changed fields with as-found and as-left in
// the chosen units.
void buildHistoryReport(PrintObject &print, const QList<HistoryEntry> &entries, const ChosenUnits &units);

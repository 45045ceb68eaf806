#pragma once

#include "HistoryStore.h"

#include <QList>
#include <QStringList>

// The history as rows of text: one row per changed field (time in local time,
// user, unit, operation, key, as-found, as-left, outcome); an operation without
// changed fields (not completed, refused) gives one row with the field columns empty.
QStringList historyColumns();
QList<QStringList> historyRows(const QList<HistoryEntry> &entries);
// "tag / serial (ID n)"
QString unitText(const OperationInfo &info);
QString outcomeWithMessage(const HistoryEntry &entry);
// RFC 4180 CSV with a header line.
QString historyCsv(const QList<HistoryEntry> &entries);

#pragma once

#include "HistoryStore.h"

#include <QByteArray>
#include <QList>

// The fields of a register range whose bytes differ between as-found and as-left,
// by catalogue key; bytes that no catalogue field covers are named by register.
// An empty as-found or as-left was not read: the field counts as changed when the
// bytes written (intended) differ from the side that is known.
QList<FieldChange> changedFields(int firstRegister, const QByteArray &asFound, const QByteArray &asLeft,
                                 const QByteArray &intended);
// Every field of the range, changed or not, with its as-found and as-left text.
QList<FieldChange> rangeFields(int firstRegister, const QByteArray &asFound, const QByteArray &asLeft, int byteCount);
// Catalogue keys of the range whose as-left differs from what was written.
QStringList fieldsNotTaken(int firstRegister, const QByteArray &intended, const QByteArray &asLeft);
// Number of fields (catalogue keys and uncovered registers) in the range.
int fieldCount(int firstRegister, int byteCount);

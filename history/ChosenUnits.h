#pragma once

#include "HistoryStore.h"

#include <QHash>
#include <QString>

// The units the technician chose for the process quantities (the unit combos of
// View Measurements, kept in TARVINE.INI), applied to recorded values: the history
// keeps base units, the window shows a quantity value in the chosen unit with the
// unit's name. Values of other fields, and quantities without a choice, keep their
// recorded text.
class ChosenUnits {
public:
    // Reads the choices from TARVINE.INI in directory.
    explicit ChosenUnits(const QString &directory);

    QString asFound(const FieldChange &change) const { return shown(change, change.asFound, change.asFoundText); }
    QString asLeft(const FieldChange &change) const { return shown(change, change.asLeft, change.asLeftText); }

private:
    QString shown(const FieldChange &change, const QByteArray &base, const QString &recorded) const;

    QHash<int, int> m_unitIndex;  // quantity code -> index in its unit list
};

#pragma once

#include "HistoryStore.h"

#include <QList>
#include <QString>

#include <utility>

class PrintObject;
class QWidget;

// What a calibration certificate says beyond its operation's record (identity,
// technician, time, outcome): the method, the readings the technician entered and
// every calibration constant as found and as left. Kept as JSON with the record,
// so the History window prints the same page again later.
struct CertificateContent {
    QString method;
    QList<std::pair<QString, QString>> readings;  // caption, value with its unit
    QList<FieldChange> constants;                 // key, as-found and as-left text

    QString toJson() const;
    // Nothing (empty method) for a text that is not a certificate.
    static CertificateContent fromJson(const QString &json);
};

// Records the one-page certificate of a calibration's history entry into print.
void buildCertificate(PrintObject &print, const HistoryEntry &entry);
// Asks for a file name and writes the certificate there as PDF; failures are shown.
bool saveCertificate(const HistoryEntry &entry);

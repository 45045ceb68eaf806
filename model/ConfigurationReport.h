#pragma once

#include <QDate>

class PrintObject;
class RegisterImage;

// Lays the configuration out on the print object as a paginated two-column
// listing: tag, date and "Page: n of N" at the top right, a centred title, the
// column headings, then the 780 "Key, value" lines of the configuration text file.
// The document is finished and ready to print or preview.
void buildConfigurationReport(PrintObject &print, const RegisterImage &image, const QDate &today);

// "Dec 6, 2026": English month names whatever the locale.
QString reportDate(const QDate &date);

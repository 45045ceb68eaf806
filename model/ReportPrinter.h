#pragma once

#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>

class PrintObject;
class QPrinter;
class QWidget;

// The printer that reports go to: the system's default until the user picks
// another in Printer Setup, then that one for the rest of the run. With no printer
// installed, printing offers to write a PDF file instead of failing.
class ReportPrinter {
public:
    static ReportPrinter &instance();

    bool hasPrinter() const;
    // The page of the chosen printer in inches; Letter when there is no printer.
    QSizeF pageSizeInches() const;
    // The standard page setup dialog for the chosen printer.
    void setup(QWidget *parent);

    // Prints pages first..last (0-based, -1 = the last page) of a finished
    // document. withDialog shows the print dialog first. progress gets (page, count)
    // before each page. Failures and the PDF fallback go through the prompter.
    // True when the pages went somewhere.
    bool print(const PrintObject &print, const QString &title, int first, int last, bool withDialog,
               QWidget *parent, const std::function<void(int, int)> &progress = {});
    // Asks for a file name and writes pages first..last as PDF.
    bool saveAsPdf(const PrintObject &print, const QString &title, int first = 0, int last = -1);

    // Tests pretend there is no printer, whatever the machine has.
    void setPrintersAvailableForTest(bool available) { m_noPrintersForTest = !available; }

private:
    ReportPrinter();
    ~ReportPrinter();
    QPrinter &printer() const;

    mutable std::unique_ptr<QPrinter> m_printer;
    bool m_noPrintersForTest = false;
};

#include "ReportPrinter.h"

#include "PrintObject.h"
#include "Prompter.h"

#include <QCoreApplication>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

ReportPrinter &ReportPrinter::instance()
{
    static ReportPrinter printer;
    return printer;
}

ReportPrinter::ReportPrinter() = default;
ReportPrinter::~ReportPrinter() = default;

QPrinter &ReportPrinter::printer() const
{
    if (!m_printer) {
        // Recorded pages keep their size only at the picture resolution (vector output).
        m_printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
        // The printer goes with the application, not at static destruction after it.
        qAddPostRoutine([] { instance().m_printer.reset(); });
    }
    return *m_printer;
}

bool ReportPrinter::hasPrinter() const
{
    return !m_noPrintersForTest && !QPrinterInfo::availablePrinters().isEmpty();
}

QSizeF ReportPrinter::pageSizeInches() const
{
    if (!hasPrinter())
        return QPageSize(QPageSize::Letter).size(QPageSize::Inch);
    return printer().pageLayout().fullRect(QPageLayout::Inch).size();
}

void ReportPrinter::setup(QWidget *parent)
{
    if (!hasPrinter()) {
        showMessage(QStringLiteral("No printer is installed. Reports can still be saved as PDF files."),
                    QStringLiteral("Printer Setup"), Prompter::Information);
        return;
    }
    QPageSetupDialog dialog(&printer(), parent);
    dialog.exec();
}

bool ReportPrinter::saveAsPdf(const PrintObject &print, const QString &title, int first, int last)
{
    const QString fileName = Prompter::instance().saveFileName(
        QStringLiteral("Save as PDF"), QStringLiteral("PDF Files (*.pdf)"), QString(), QStringLiteral("pdf"));
    if (fileName.isEmpty())
        return false;
    QString error;
    if (!print.writePdf(fileName, title, &error, first, last)) {
        showMessage(error, QStringLiteral("Save as PDF"), Prompter::Error);
        return false;
    }
    return true;
}

bool ReportPrinter::print(const PrintObject &print, const QString &title, int first, int last, bool withDialog,
                          QWidget *parent, const std::function<void(int, int)> &progress)
{
    if (!hasPrinter()) {
        const int answer = showMessage(QStringLiteral("No printer is installed. Save the printout as a PDF file instead?"),
                                       QStringLiteral("Print"), Prompter::Confirmation, Prompter::Yes | Prompter::No);
        return answer == Prompter::IdYes && saveAsPdf(print, title, first, last);
    }
    QPrinter &target = printer();
    if (withDialog) {
        QPrintDialog dialog(&target, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
    }
    target.setFullPage(true);
    target.setDocName(title);
    QString error;
    if (!print.renderTo(target, first, last, progress, &error)) {
        showMessage(error, QStringLiteral("Print"), Prompter::Error);
        return false;
    }
    return true;
}

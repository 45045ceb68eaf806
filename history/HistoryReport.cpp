#include "HistoryReport.h"

#include "ChosenUnits.h"
#include "HistoryText.h"
#include "PrintObject.h"

#include <QDate>

void buildHistoryReport(PrintObject &print, const QList<HistoryEntry> &entries, const ChosenUnits &units)
{
    constexpr int Heading = PrintObject::Bold | PrintObject::Underline;
    enum Column { Operation = 1, Field, AsFound, AsLeft };
    print.startDocument();
    print.setMargins(1.0, 1.0, 0.7, 0.7);
    print.setBodyArea(1.6, 10.0);
    print.setHeaderLine(1, {.text = QStringLiteral("Ostrel - Change History"), .top = 0.7,
                            .align = PrintObject::AlignCentred, .fontSize = 14, .fontStyle = Heading});
    print.setHeaderLine(2, {.text = QStringLiteral("Printed: ") + QDate::currentDate().toString(Qt::ISODate),
                            .left = 6.0, .top = 1.05, .width = 1.8});
    print.setPageNumberLine({.text = QStringLiteral("Page: %d of %d"), .left = 6.0, .top = 1.2, .width = 1.8});
    print.setHeaderLine(3, {.text = QStringLiteral("Field"), .left = 0.9, .top = 1.4, .width = 2.8, .fontStyle = Heading});
    print.setHeaderLine(4, {.text = QStringLiteral("As found"), .left = 3.8, .top = 1.4, .width = 2.0, .fontStyle = Heading});
    print.setHeaderLine(5, {.text = QStringLiteral("As left"), .left = 5.9, .top = 1.4, .width = 2.0, .fontStyle = Heading});
    print.setBodyFont(QStringLiteral("Arial"), 9, 0);
    print.defineColumn(Operation, 0.7, 7.1);
    print.defineColumn(Field, 0.9, 2.8);
    print.defineColumn(AsFound, 3.8, 2.0);
    print.defineColumn(AsLeft, 5.9, 2.0);
    // A line is written where the body stands, then the body moves down one line.
    const auto endLine = [&] { print.writeColumn(Operation, QString(), PrintObject::NextLine); };
    if (entries.isEmpty())
        print.writeColumn(Operation, QStringLiteral("No operation matches."), PrintObject::CurrentLine);
    for (const HistoryEntry &e : entries) {
        // The outcome before the operation: a long command line must not push it off the page.
        const QStringList head{e.info.startedUtc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                               e.info.user, unitText(e.info), outcomeWithMessage(e), e.info.operation};
        print.writeColumn(Operation, head.join(QStringLiteral("  |  ")), PrintObject::CurrentLine);
        endLine();
        for (const FieldChange &c : e.changes) {
            print.writeColumn(Field, c.key, PrintObject::CurrentLine);
            print.writeColumn(AsFound, units.asFound(c), PrintObject::CurrentLine);
            print.writeColumn(AsLeft, units.asLeft(c), PrintObject::CurrentLine);
            endLine();
        }
    }
    print.finishDocument();
}

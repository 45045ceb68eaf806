#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class PrintObject;
class QWidget;

// The one-page printout of a live view: a centred title, a block on the right
// with the tag, the date and "Page: 1 of 1", and a table of three columns
// (caption, value, unit) under bold underlined heads. Cells are cut to 20
// characters.
class OnePageReport {
public:
    struct Row {
        QString caption;
        QString value;
        QString unit;
    };
    static constexpr int MaxCellChars = 20;

    OnePageReport(QString title, QString tag, QDate date = QDate::currentDate());

    void setHeads(const QStringList &heads) { m_heads = heads; }
    void addRow(const Row &row) { m_rows.append(row); }
    const QList<Row> &rows() const { return m_rows; }

    // Records the page into doc (a new document).
    void compose(PrintObject &doc) const;

    // Prints the page at once on the default printer. Without an installed printer
    // the user is offered a PDF file instead. Failures are shown to the user.
    bool print(QWidget *parent) const;

private:
    QString m_title;
    QString m_tag;
    QDate m_date;
    QStringList m_heads{QStringLiteral("Measurement"), QStringLiteral("Value"), QStringLiteral("Unit")};
    QList<Row> m_rows;
};

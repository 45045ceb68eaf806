#pragma once

#include <QFont>
#include <QList>
#include <QPicture>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>

class QPagedPaintDevice;
class QPainter;

// A small page-description engine. Pages are recorded once as vector pictures
// measured in inches and then only replayed: onto a printer or PDF page, into the
// preview, or into an SVG file. Positions are inches from the page's top left.
//
// Two ways to fill pages, usable together:
//  - free drawing on the current page: drawText / drawLine / drawBox;
//  - a paginated listing: header lines repeated on every page, a page-number line,
//    numbered columns and writeColumn, which starts new pages as the body fills.
//
// Needs a QGuiApplication (fonts); no widgets. QPrinter and QPdfWriter are both
// QPagedPaintDevices, so printing and PDF output share renderTo().
class PrintObject {
public:
    enum Align { AlignLeft = 0, AlignCentred = 1 };
    // Font style bits.
    enum Style { Bold = 1, Italic = 2, Underline = 4 };
    // Vertical modes of writeColumn (a value >= 0 is an absolute top in inches).
    static constexpr double NextLine = -1;
    static constexpr double CurrentLine = -2;
    static constexpr int MaxHeaderLines = 5;
    static constexpr int MaxHeaderText = 240;

    // A positioned line of text: header lines and the page-number line.
    struct TextLine {
        QString text;                 // page-number line: a format with two %d
        double left = 0;
        double top = 0;
        double width = 0;             // centred lines with width 0 centre on the page
        int align = AlignLeft;
        QString fontName = QStringLiteral("Arial");
        double fontSize = 10;         // points
        int fontStyle = 0;            // Style bits
    };

    // Letter, the page size used when no printer tells us better.
    explicit PrintObject(QSizeF pageInches = QSizeF(8.5, 11.0));
    ~PrintObject();
    PrintObject(const PrintObject &) = delete;
    PrintObject &operator=(const PrintObject &) = delete;

    QSizeF pageSize() const { return m_pageSize; }
    // Takes effect at the next startDocument.
    void setPageSize(QSizeF inches) { m_pageSize = inches; }

    // Drops every page, header, column and the page-number line; opens page 1.
    void startDocument();
    void setMargins(double top, double bottom, double left, double right);
    void setBodyArea(double top, double bottom);
    // number 1..MaxHeaderLines; others are ignored. Text is cut to MaxHeaderText.
    void setHeaderLine(int number, const TextLine &line);
    void setPageNumberLine(const TextLine &line);
    void setBodyFont(const QString &name, double sizePoints, int style = 0);
    // number >= 1.
    void defineColumn(int number, double left, double width);

    // Writes text into a column, left- or right-aligned within its width.
    void writeColumn(int column, const QString &text, double vertical);
    void writeColumnRight(int column, const QString &text, double vertical);

    // Free drawing on the current page. (x, y) is the text's top left.
    void drawText(double x, double y, const QString &text, const QFont &font);
    void drawLine(double x1, double y1, double x2, double y2, double penInches = 0.01);
    void drawBox(const QRectF &inches, double penInches = 0.01);
    // Ends the current page (header lines are drawn on every page started).
    void newPage();
    // Height of one body line in inches.
    double lineHeight() const;
    double currentLine() const { return m_currentLine; }

    // Closes the last page and draws the page-number line on every page.
    void finishDocument();
    bool finished() const { return m_finished; }

    int pageCount() const { return int(m_pages.size()); }
    // The recorded pages of a finished document; each in picture units
    // (UnitsPerInch per inch), covering the page from (0, 0).
    const QList<QPicture> &pages() const { return m_pages; }
    static constexpr int UnitsPerInch = 1000;

    // Draws page index (0-based) stretched over target.
    void renderPage(QPainter &painter, int index, const QRectF &target) const;
    // Prints pages first..last (0-based, inclusive; -1 = the last page) onto
    // device (set to replayDpi(), e.g. QPrinter::ScreenResolution), one device page each, stretched over the whole page. progress is
    // called before each page with (page number 1-based, page count).
    // False with *error when the device cannot be painted on.
    bool renderTo(QPagedPaintDevice &device, int first = 0, int last = -1,
                  const std::function<void(int, int)> &progress = {}, QString *error = nullptr) const;
    // Writes pages first..last (all by default) to a PDF file. False with *error
    // naming the file and the reason.
    bool writePdf(const QString &fileName, const QString &title, QString *error = nullptr, int first = 0,
                  int last = -1) const;
    // Writes page index (0-based) as an SVG picture.
    bool writeSvg(int index, const QString &fileName, QString *error = nullptr) const;
    // The file name a saved page gets: the name right-aligned in six places, then
    // the page number in at least two digits ("REPORT01", "     A01").
    static QString savedPageName(const QString &name, int pageNumber);

    // Fonts as recorded: size converted to picture units.
    static QFont makeFont(const QString &name, double sizePoints, int style);
    // A picture scales its fonts by the ratio of the target's resolution to its
    // own when replayed, whatever the painter's transform says. Pages therefore
    // keep their size only on targets of this resolution: PDF, SVG and printer
    // output use it (all vector output, so nothing is lost).
    static int replayDpi();

private:
    void beginPage();
    void endPage();
    void drawHeaderLines();
    void drawTextLine(QPainter &painter, const TextLine &line, const QString &text) const;
    void writeColumnAligned(int column, const QString &text, double vertical, bool right);
    static QFont fontForLine(const TextLine &line);

    QSizeF m_pageSize;
    double m_marginTop = 1, m_marginBottom = 1, m_marginLeft = 1, m_marginRight = 1;
    double m_bodyTop = 1, m_bodyBottom = 10;
    double m_currentLine = 1;
    TextLine m_headers[MaxHeaderLines];
    bool m_headerSet[MaxHeaderLines] = {};
    TextLine m_pageNumberLine;
    bool m_pageNumberSet = false;
    QFont m_bodyFont;
    struct Column {
        double left = 0;
        double width = 0;
    };
    QList<Column> m_columns;          // index = number - 1

    QList<QPicture> m_pages;
    std::unique_ptr<QPicture> m_current;
    std::unique_ptr<QPainter> m_painter;
    bool m_finished = false;
};

#include "PrintObject.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <cmath>

namespace {
constexpr double U = PrintObject::UnitsPerInch;

QRectF toUnits(const QRectF &inches)
{
    return QRectF(inches.x() * U, inches.y() * U, inches.width() * U, inches.height() * U);
}
// Fills the two "%d" of the page-number format. The format comes from the caller,
// so it is never handed to printf.
QString pageNumberText(QString format, int page, int count)
{
    for (int value : {page, count}) {
        const qsizetype at = format.indexOf(QLatin1String("%d"));
        if (at < 0)
            break;
        format.replace(at, 2, QString::number(value));
    }
    return format;
}
}  // namespace

PrintObject::PrintObject(QSizeF pageInches)
    : m_pageSize(pageInches)
{
    m_bodyFont = makeFont(QStringLiteral("Arial"), 10, 0);
}

PrintObject::~PrintObject()
{
    if (m_painter)
        m_painter->end();
}

QFont PrintObject::makeFont(const QString &name, double sizePoints, int style)
{
    // Pixel sizes in picture units keep the font the same physical size on every
    // device the page is replayed on.
    QFont font(name);
    // Unshaped text keeps "ff" and "fi" as letters, so PDF text stays searchable.
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPixelSize(std::max(1, int(std::lround(sizePoints / 72.0 * U))));
    font.setBold(style & Bold);
    font.setItalic(style & Italic);
    font.setUnderline(style & Underline);
    return font;
}

int PrintObject::replayDpi()
{
    static const int dpi = QPicture().logicalDpiY();
    return dpi;
}

QFont PrintObject::fontForLine(const TextLine &line)
{
    return makeFont(line.fontName, line.fontSize, line.fontStyle);
}

void PrintObject::startDocument()
{
    if (m_painter)
        m_painter->end();
    m_painter.reset();
    m_current.reset();
    m_pages.clear();
    for (int i = 0; i < MaxHeaderLines; ++i) {
        m_headers[i] = TextLine();
        m_headerSet[i] = false;
    }
    m_pageNumberLine = TextLine();
    m_pageNumberSet = false;
    m_columns.clear();
    m_currentLine = m_bodyTop;
    m_finished = false;
}

void PrintObject::setMargins(double top, double bottom, double left, double right)
{
    m_marginTop = top;
    m_marginBottom = bottom;
    m_marginLeft = left;
    m_marginRight = right;
}

void PrintObject::setBodyArea(double top, double bottom)
{
    m_bodyTop = top;
    m_bodyBottom = bottom;
    m_currentLine = top;
}

void PrintObject::setHeaderLine(int number, const TextLine &line)
{
    if (number < 1 || number > MaxHeaderLines)
        return;
    m_headers[number - 1] = line;
    m_headers[number - 1].text.truncate(MaxHeaderText);
    m_headerSet[number - 1] = true;
}

void PrintObject::setPageNumberLine(const TextLine &line)
{
    m_pageNumberLine = line;
    m_pageNumberSet = true;
}

void PrintObject::setBodyFont(const QString &name, double sizePoints, int style)
{
    m_bodyFont = makeFont(name, sizePoints, style);
}

void PrintObject::defineColumn(int number, double left, double width)
{
    if (number < 1)
        return;
    if (m_columns.size() < number)
        m_columns.resize(number);
    m_columns[number - 1] = Column{left, width};
}

double PrintObject::lineHeight() const
{
    return QFontMetricsF(m_bodyFont).lineSpacing() / U;
}

void PrintObject::beginPage()
{
    if (m_painter)
        return;
    m_current = std::make_unique<QPicture>();
    m_painter = std::make_unique<QPainter>(m_current.get());
    m_painter->setRenderHint(QPainter::TextAntialiasing);
    drawHeaderLines();
}

void PrintObject::endPage()
{
    if (!m_painter)
        return;
    m_painter->end();
    m_painter.reset();
    m_pages.append(*m_current);
    m_current.reset();
}

void PrintObject::newPage()
{
    // A page is only recorded once something is drawn on it, so a listing that
    // ends exactly at the bottom of the body does not leave a blank last page.
    endPage();
    m_currentLine = m_bodyTop;
}

void PrintObject::drawHeaderLines()
{
    for (int i = 0; i < MaxHeaderLines; ++i)
        if (m_headerSet[i])
            drawTextLine(*m_painter, m_headers[i], m_headers[i].text);
}

void PrintObject::drawTextLine(QPainter &painter, const TextLine &line, const QString &text) const
{
    const QFont font = fontForLine(line);
    const double height = QFontMetricsF(font).lineSpacing();
    QRectF box(line.left * U, line.top * U, line.width * U, height);
    int flags = Qt::TextSingleLine | Qt::TextDontClip | Qt::AlignTop;
    if (line.align == AlignCentred) {
        if (line.width <= 0)
            box = QRectF(0, line.top * U, m_pageSize.width() * U, height);
        flags |= Qt::AlignHCenter;
    } else {
        flags |= Qt::AlignLeft;
    }
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(box, flags, text);
}

void PrintObject::writeColumn(int column, const QString &text, double vertical)
{
    writeColumnAligned(column, text, vertical, false);
}

void PrintObject::writeColumnRight(int column, const QString &text, double vertical)
{
    writeColumnAligned(column, text, vertical, true);
}

void PrintObject::writeColumnAligned(int column, const QString &text, double vertical, bool right)
{
    if (column < 1 || column > m_columns.size())
        return;
    if (vertical >= 0) {
        m_currentLine = vertical;
    } else if (vertical == NextLine) {
        const double step = lineHeight();
        if (m_currentLine + step >= m_bodyBottom)
            newPage();
        else
            m_currentLine += step;
    }
    if (text.isEmpty())
        return;
    beginPage();
    const Column &c = m_columns[column - 1];
    const QRectF box(c.left * U, m_currentLine * U, c.width * U, lineHeight() * U);
    const int flags = Qt::TextSingleLine | Qt::TextDontClip | Qt::AlignTop | (right ? Qt::AlignRight : Qt::AlignLeft);
    m_painter->setFont(m_bodyFont);
    m_painter->setPen(Qt::black);
    m_painter->drawText(box, flags, text);
}

void PrintObject::drawText(double x, double y, const QString &text, const QFont &font)
{
    beginPage();
    m_painter->setFont(font);
    m_painter->setPen(Qt::black);
    m_painter->drawText(QRectF(x * U, y * U, 0, 0), Qt::TextDontClip | Qt::AlignLeft | Qt::AlignTop, text);
}

void PrintObject::drawLine(double x1, double y1, double x2, double y2, double penInches)
{
    beginPage();
    m_painter->setPen(QPen(Qt::black, penInches * U));
    m_painter->drawLine(QPointF(x1 * U, y1 * U), QPointF(x2 * U, y2 * U));
}

void PrintObject::drawBox(const QRectF &inches, double penInches)
{
    beginPage();
    m_painter->setPen(QPen(Qt::black, penInches * U));
    m_painter->setBrush(Qt::NoBrush);
    m_painter->drawRect(toUnits(inches));
}

void PrintObject::finishDocument()
{
    endPage();
    if (m_pages.isEmpty()) {
        // An empty document still has one page, with its headers.
        beginPage();
        endPage();
    }
    if (m_pageNumberSet) {
        const int count = int(m_pages.size());
        for (int i = 0; i < count; ++i) {
            QPicture numbered;
            QPainter p(&numbered);
            p.drawPicture(0, 0, m_pages[i]);
            drawTextLine(p, m_pageNumberLine, pageNumberText(m_pageNumberLine.text, i + 1, count));
            p.end();
            m_pages[i] = numbered;
        }
    }
    m_finished = true;
}

void PrintObject::renderPage(QPainter &painter, int index, const QRectF &target) const
{
    if (index < 0 || index >= m_pages.size())
        return;
    painter.save();
    // A picture records only the state it changed; the rest comes from the
    // painter it is played on (a widget's painter may carry a light pen).
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.translate(target.topLeft());
    painter.scale(target.width() / (m_pageSize.width() * U), target.height() / (m_pageSize.height() * U));
    painter.drawPicture(0, 0, m_pages[index]);
    painter.restore();
}

bool PrintObject::renderTo(QPagedPaintDevice &device, int first, int last,
                           const std::function<void(int, int)> &progress, QString *error) const
{
    const int count = int(m_pages.size());
    if (last < 0)
        last = count - 1;
    if (first < 0 || first > last || last >= count) {
        if (error)
            *error = QStringLiteral("No pages to print.");
        return false;
    }
    if (device.logicalDpiY() != replayDpi()) {
        // Text would come out scaled by the ratio of the resolutions.
        if (error)
            *error = QStringLiteral("The printer is set to %1 dpi; this printout needs %2 dpi.")
                         .arg(device.logicalDpiY())
                         .arg(replayDpi());
        return false;
    }
    QPainter painter;
    if (!painter.begin(&device)) {
        if (error)
            *error = QStringLiteral("The printer could not be started.");
        return false;
    }
    const QRectF whole(0, 0, device.width(), device.height());
    for (int i = first; i <= last; ++i) {
        if (progress)
            progress(i + 1, count);
        if (i > first)
            device.newPage();
        renderPage(painter, i, whole);
    }
    painter.end();
    return true;
}

bool PrintObject::writePdf(const QString &fileName, const QString &title, QString *error, int first, int last) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    {
        QPdfWriter pdf(&file);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("Tarvine"));
        pdf.setResolution(replayDpi());
        pdf.setPageLayout(QPageLayout(QPageSize(m_pageSize, QPageSize::Inch), QPageLayout::Portrait, QMarginsF()));
        QString why;
        if (!renderTo(pdf, first, last, {}, &why)) {
            file.cancelWriting();
            if (error)
                *error = QStringLiteral("Cannot write %1: %2").arg(fileName, why);
            return false;
        }
    }
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

bool PrintObject::writeSvg(int index, const QString &fileName, QString *error) const
{
    if (index < 0 || index >= m_pages.size()) {
        if (error)
            *error = QStringLiteral("There is no page %1.").arg(index + 1);
        return false;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        const int dpi = replayDpi();
        const QSize size(int(std::lround(m_pageSize.width() * dpi)), int(std::lround(m_pageSize.height() * dpi)));
        svg.setResolution(dpi);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(fileName);
        QPainter painter;
        if (!painter.begin(&svg)) {
            file.cancelWriting();
            if (error)
                *error = QStringLiteral("Cannot write %1.").arg(fileName);
            return false;
        }
        renderPage(painter, index, QRectF(QPointF(0, 0), QSizeF(size)));
        painter.end();
    }
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

QString PrintObject::savedPageName(const QString &name, int pageNumber)
{
    return QStringLiteral("%1%2").arg(name, 6).arg(pageNumber, 2, 10, QLatin1Char('0'));
}

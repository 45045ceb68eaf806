#include "TPrintPreview.h"
#include <QFileInfo>
#include <QDir>

#include "PrintObject.h"
#include "Prompter.h"
#include "ReportPrinter.h"
#include "ValueCodec.h"
#include "ui_TPrintPreview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <cmath>

namespace {
// Grid lines every half inch.
constexpr double GridStepInches = 0.5;
// Zooming stops where the page would become unreadable or absurdly large.
constexpr int MinPageWidth = 40;
constexpr int MaxPageWidth = 20000;
}  // namespace

PreviewPage::PreviewPage(const PrintObject &print, QWidget *parent)
    : QWidget(parent), m_print(print)
{
    setObjectName(QStringLiteral("PaintBox1"));
    setCursor(Qt::CrossCursor);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Dark);
}

void PreviewPage::setPage(int index)
{
    m_page = index;
    update();
}

void PreviewPage::setPageRect(const QRect &rect, QSize viewport)
{
    m_pageRect = rect;
    const int margin = TPrintPreview::Margin;
    resize(std::max(viewport.width(), rect.right() + 1 + margin), std::max(viewport.height(), rect.bottom() + 1 + margin));
    update();
}

void PreviewPage::setGrid(bool on)
{
    m_grid = on;
    update();
}

void PreviewPage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(m_pageRect, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    m_print.renderPage(painter, m_page, m_pageRect);
    if (m_grid) {
        const QSizeF inches = m_print.pageSize();
        painter.setPen(QPen(QColor(150, 180, 230), 0, Qt::DotLine));
        for (double x = GridStepInches; x < inches.width(); x += GridStepInches) {
            const double px = m_pageRect.left() + x / inches.width() * m_pageRect.width();
            painter.drawLine(QPointF(px, m_pageRect.top()), QPointF(px, m_pageRect.bottom()));
        }
        for (double y = GridStepInches; y < inches.height(); y += GridStepInches) {
            const double py = m_pageRect.top() + y / inches.height() * m_pageRect.height();
            painter.drawLine(QPointF(m_pageRect.left(), py), QPointF(m_pageRect.right(), py));
        }
    }
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(m_pageRect.adjusted(0, 0, -1, -1));
}

void PreviewPage::mousePressEvent(QMouseEvent *event)
{
    if (!m_pageRect.contains(event->pos()))
        return;
    if (event->button() == Qt::LeftButton)
        emit zoomRequested(event->pos(), true);
    else if (event->button() == Qt::RightButton)
        emit zoomRequested(event->pos(), false);
}

TPrintPreview::TPrintPreview(const PrintObject &print, const QString &title, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TPrintPreview>()), m_print(print), m_title(title)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("PrintPreview"));
    setWindowState(windowState() | Qt::WindowMaximized);
    m_view = new PreviewPage(print);
    ui->ScrollBox1->setWidget(m_view);

    connect(ui->btnFirst, &QPushButton::clicked, this, &TPrintPreview::btnFirstClick);
    connect(ui->btnPrior, &QPushButton::clicked, this, &TPrintPreview::btnPriorClick);
    connect(ui->btnNext, &QPushButton::clicked, this, &TPrintPreview::btnNextClick);
    connect(ui->btnLast, &QPushButton::clicked, this, &TPrintPreview::btnLastClick);
    connect(ui->btnFullPage, &QPushButton::clicked, this, &TPrintPreview::btnFullPageClick);
    connect(ui->btnPageWidth, &QPushButton::clicked, this, &TPrintPreview::btnPageWidthClick);
    connect(ui->btnShowGrid, &QPushButton::toggled, this, &TPrintPreview::btnShowGridClick);
    connect(ui->btnPrint, &QPushButton::clicked, this, &TPrintPreview::btnPrintClick);
    connect(ui->btnPrintPage, &QPushButton::clicked, this, &TPrintPreview::btnPrintPageClick);
    connect(ui->btnSave, &QPushButton::clicked, this, &TPrintPreview::btnSaveClick);
    connect(ui->btnSavePdf, &QPushButton::clicked, this, &TPrintPreview::btnSavePdfClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_view, &PreviewPage::zoomRequested, this, &TPrintPreview::zoomAt);
    showStatus();
}

TPrintPreview::~TPrintPreview() = default;

int TPrintPreview::pageCount() const
{
    return m_print.pageCount();
}

QRect TPrintPreview::pageRect() const
{
    return m_view->pageRect();
}

QString TPrintPreview::statusText() const
{
    return ui->lblStatus->text();
}

void TPrintPreview::showStatus()
{
    ui->lblStatus->setText(QStringLiteral("Page %1 of %2").arg(currentPage()).arg(pageCount()));
}

void TPrintPreview::showPage(int number)
{
    if (number < 1 || number > pageCount())
        return;
    m_page = number - 1;
    m_view->setPage(m_page);
    showStatus();
}

void TPrintPreview::placePage(const QRect &rect)
{
    m_view->setPageRect(rect, ui->ScrollBox1->viewport()->size());
}

void TPrintPreview::btnFullPageClick()
{
    m_fit = Fit::FullPage;
    const QSize viewport = ui->ScrollBox1->viewport()->size();
    const QSizeF inches = m_print.pageSize();
    const int height = std::max(MinPageWidth, viewport.height() - 2 * Margin);
    const int width = int(std::lround(height * inches.width() / inches.height()));
    placePage(QRect((viewport.width() - width) / 2, Margin, width, height));
}

void TPrintPreview::btnPageWidthClick()
{
    m_fit = Fit::PageWidth;
    const QSizeF inches = m_print.pageSize();
    const int width = std::max(MinPageWidth, this->width() - 3 * Margin);
    const int height = int(std::lround(width * inches.height() / inches.width()));
    placePage(QRect(Margin, Margin, width, height));
}

void TPrintPreview::zoomAt(QPoint at, bool enlarge)
{
    const QRect old = m_view->pageRect();
    if (old.isEmpty() || !old.contains(at))
        return;
    const int dw = int(std::lround(old.width() * ZoomStep));
    const int dh = int(std::lround(old.height() * ZoomStep));
    const int width = enlarge ? old.width() + dw : old.width() - dw;
    const int height = enlarge ? old.height() + dh : old.height() - dh;
    if (width < MinPageWidth || width > MaxPageWidth)
        return;
    const double fx = double(at.x() - old.left()) / old.width();
    const double fy = double(at.y() - old.top()) / old.height();
    m_fit = Fit::Free;

    const QSize viewport = ui->ScrollBox1->viewport()->size();
    const int left = width + 2 * Margin <= viewport.width() ? (viewport.width() - width) / 2 : Margin;
    placePage(QRect(left, Margin, width, height));
    // Bring the clicked point of the page to the middle of the window.
    const QPoint spot(left + int(fx * width), Margin + int(fy * height));
    ui->ScrollBox1->horizontalScrollBar()->setValue(spot.x() - viewport.width() / 2);
    ui->ScrollBox1->verticalScrollBar()->setValue(spot.y() - viewport.height() / 2);
}

void TPrintPreview::btnShowGridClick(bool on)
{
    m_view->setGrid(on);
}

void TPrintPreview::refit()
{
    if (m_fit == Fit::FullPage)
        btnFullPageClick();
    else if (m_fit == Fit::PageWidth)
        btnPageWidthClick();
}

void TPrintPreview::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    showStatus();
    refit();
}

void TPrintPreview::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    refit();
}

void TPrintPreview::btnPrintClick()
{
    ReportPrinter::instance().print(m_print, m_title, 0, -1, true, this, [this](int page, int count) {
        ui->lblStatus->setText(QStringLiteral("Printing page %1 of %2").arg(page).arg(count));
        ui->lblStatus->repaint();
    });
    showStatus();
}

void TPrintPreview::btnPrintPageClick()
{
    QString text = QStringLiteral("1");
    if (!Prompter::instance().inputBox(QStringLiteral("Print Page"), QStringLiteral("Enter page number to print"), &text))
        return;
    bool ok = false;
    QString error;
    const qint64 number = ValueCodec::parseInteger(text, &ok, &error);
    if (!ok) {
        showMessage(error, QStringLiteral("Print Page"), Prompter::Error);
        return;
    }
    if (number < 1 || number > pageCount())
        return;
    ReportPrinter::instance().print(m_print, m_title, int(number - 1), int(number - 1), false, this);
}

void TPrintPreview::btnSaveClick()
{
    const QString caption = QStringLiteral("Save Printout as SVG");
    QString name = QStringLiteral("REPORT");
    if (!Prompter::instance().inputBox(caption, QStringLiteral("Enter filename"), &name) || name.isEmpty())
        return;
    QStringList written;
    for (int page = 1; page <= pageCount(); ++page) {
        // The page name the printout has always had, as an SVG picture.
        const QString file = QFileInfo(PrintObject::savedPageName(name, page) + QStringLiteral(".svg")).absoluteFilePath();
        QString error;
        if (!m_print.writeSvg(page - 1, file, &error)) {
            showMessage(error, caption, Prompter::Error);
            return;
        }
        written << file;
    }
    if (written.isEmpty())
        return;
    const QString where = written.size() == 1
                              ? QStringLiteral("Page saved as %1").arg(QDir::toNativeSeparators(written.first()))
                              : QStringLiteral("%1 pages saved as %2 to %3")
                                    .arg(written.size())
                                    .arg(QDir::toNativeSeparators(written.first()),
                                         QFileInfo(written.last()).fileName());
    showMessage(where, caption, Prompter::Information);
}

void TPrintPreview::btnSavePdfClick()
{
    ReportPrinter::instance().saveAsPdf(m_print, m_title);
}

#pragma once

#include <QDialog>
#include <QRect>
#include <QWidget>

#include <memory>

class PrintObject;

namespace Ui {
class TPrintPreview;
}

// The page as the preview shows it: white, stretched into pageRect, with an
// optional grid. A left click enlarges it by 35 %, a right click shrinks it.
class PreviewPage : public QWidget {
    Q_OBJECT
public:
    PreviewPage(const PrintObject &print, QWidget *parent = nullptr);

    void setPage(int index);
    void setPageRect(const QRect &rect, QSize viewport);
    QRect pageRect() const { return m_pageRect; }
    void setGrid(bool on);
    bool grid() const { return m_grid; }

signals:
    void zoomRequested(QPoint at, bool enlarge);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    const PrintObject &m_print;
    int m_page = 0;
    QRect m_pageRect;
    bool m_grid = false;
};

// The print preview of a finished document: page navigation, zoom, grid,
// printing of all pages or one, and saving the pages as SVG pictures or as PDF.
class TPrintPreview : public QDialog {
    Q_OBJECT
public:
    static constexpr int Margin = 15;
    static constexpr double ZoomStep = 0.35;

    TPrintPreview(const PrintObject &print, const QString &title, QWidget *parent = nullptr);
    ~TPrintPreview() override;

    int currentPage() const { return m_page + 1; }
    int pageCount() const;
    QRect pageRect() const;
    QString statusText() const;

public slots:
    void btnFirstClick() { showPage(1); }
    void btnPriorClick() { showPage(currentPage() - 1); }
    void btnNextClick() { showPage(currentPage() + 1); }
    void btnLastClick() { showPage(pageCount()); }
    void btnFullPageClick();
    void btnPageWidthClick();
    void btnShowGridClick(bool on);
    void btnPrintClick();
    void btnPrintPageClick();
    void btnSaveClick();
    void btnSavePdfClick();
    // A page number outside 1..pageCount is ignored.
    void showPage(int number);
    // Zooms around a point of the page view (view coordinates).
    void zoomAt(QPoint at, bool enlarge);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    enum class Fit { FullPage, PageWidth, Free };
    void placePage(const QRect &rect);
    void refit();
    void showStatus();

    std::unique_ptr<Ui::TPrintPreview> ui;
    const PrintObject &m_print;
    QString m_title;
    PreviewPage *m_view = nullptr;
    int m_page = 0;
    Fit m_fit = Fit::FullPage;
};

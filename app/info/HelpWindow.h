#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

// The program's help: HTML pages built into the program, shown in one window.
// A help context (the tag of a menu item or the context of a dialog) selects the
// page; contexts without a page of their own open "Contents".
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    void showContext(int context);
    void showContents();
    void showHowToUseHelp();
    QUrl currentPage() const;
    // Plain text of the page shown.
    QString pageText() const;

    static QUrl pageForContext(int context);
    static QUrl contentsPage();
    static QUrl howToUseHelpPage();

    // The one help window, created when first needed.
    static HelpWindow &instance();

private:
    void showPage(const QUrl &page);
    void placeBesideActiveWindow();

    QTextBrowser *m_browser;
};

// Shorthands used by dialogs and menus.
void showHelpContext(int context);
void showHelpContents();
void showHowToUseHelp();

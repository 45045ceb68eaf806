#include "HelpWindow.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "InfoResources.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <map>

namespace {

const QString PageRoot = QStringLiteral("qrc:/info/help/");

QUrl page(const QString &name)
{
    return QUrl(PageRoot + name);
}

QPointer<HelpWindow> g_window;

} // namespace

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_browser(new QTextBrowser(this))
{
    ensureInfoResources();
    setWindowTitle(QStringLiteral("Tarvine Help"));
    resize(640, 520);

    auto *contents = new QPushButton(QStringLiteral("&Contents"), this);
    auto *howTo = new QPushButton(QStringLiteral("&How to use Help"), this);
    auto *back = new QPushButton(QStringLiteral("&Back"), this);
    auto *forward = new QPushButton(QStringLiteral("&Forward"), this);
    auto *close = new QPushButton(QStringLiteral("C&lose"), this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(contents, &QPushButton::clicked, this, &HelpWindow::showContents);
    connect(howTo, &QPushButton::clicked, this, &HelpWindow::showHowToUseHelp);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {contents, howTo, back, forward})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
}

QUrl HelpWindow::contentsPage()
{
    return page(QStringLiteral("contents.html"));
}

QUrl HelpWindow::howToUseHelpPage()
{
    return page(QStringLiteral("howtouse.html"));
}

QUrl HelpWindow::pageForContext(int context)
{
    static const std::map<int, QString> pages = {
        {4, QStringLiteral("main.html#program")},
        {41, QStringLiteral("main.html#program")},
        {43, QStringLiteral("main.html#program")},
        {44, QStringLiteral("main.html#program")},
        {45, QStringLiteral("main.html#program")},
        {46, QStringLiteral("main.html#system")},
        {49, QStringLiteral("login.html#login")},
        {62, QStringLiteral("main.html#about")},
        {999, QStringLiteral("settings.html#receive-failure")},
        {4572, QStringLiteral("settings.html")},
        {45720, QStringLiteral("settings.html")},
        {4631, QStringLiteral("login.html#add-user")},
        {4632, QStringLiteral("login.html#change-password")},
    };
    if (context >= 10 && context <= 19)
        return page(QStringLiteral("main.html#file"));
    const auto it = pages.find(context);
    return it == pages.end() ? contentsPage() : page(it->second);
}

void HelpWindow::showContext(int context)
{
    showPage(pageForContext(context));
}

void HelpWindow::showContents()
{
    showPage(contentsPage());
}

void HelpWindow::showHowToUseHelp()
{
    showPage(howToUseHelpPage());
}

QUrl HelpWindow::currentPage() const
{
    return m_browser->source();
}

QString HelpWindow::pageText() const
{
    return m_browser->toPlainText();
}

void HelpWindow::showPage(const QUrl &page)
{
    m_browser->setSource(page);
    if (!isVisible())
        placeBesideActiveWindow();
    show();
    raise();
    activateWindow();
}

// Help is read beside the window it explains, not on top of it.
void HelpWindow::placeBesideActiveWindow()
{
    const QWidget *beside = QApplication::activeModalWidget();
    if (!beside)
        beside = QApplication::activeWindow();
    // Without a window manager nothing is active: the program's main window then.
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (!beside && top != this && top->isVisible() && top->inherits("QMainWindow"))
            beside = top;
    }
    const QScreen *screen = beside ? beside->screen() : QGuiApplication::primaryScreen();
    if (!beside || !screen)
        return;
    const QRect area = screen->availableGeometry();
    const QRect owner = beside->frameGeometry();
    QPoint at(owner.right() + 1, owner.top());
    if (at.x() + width() > area.right())
        at.setX(owner.left() - frameGeometry().width());
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    move(at);
}

HelpWindow &HelpWindow::instance()
{
    // A window of a modal dialog stays usable while the dialog runs.
    QWidget *owner = QApplication::activeModalWidget();
    if (g_window && g_window->parentWidget() != owner) {
        g_window->setParent(owner, Qt::Window);
    }
    if (!g_window) {
        g_window = new HelpWindow(owner);
        g_window->setAttribute(Qt::WA_DeleteOnClose);
    }
    return *g_window;
}

void showHelpContext(int context)
{
    HelpWindow::instance().showContext(context);
}

void showHelpContents()
{
    HelpWindow::instance().showContents();
}

void showHowToUseHelp()
{
    HelpWindow::instance().showHowToUseHelp();
}

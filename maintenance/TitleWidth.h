#pragma once

#include <QLayout>
#include <QWidget>

// Window managers cut a title wider than its window ("Down… Files"): the window is
// kept wide enough for its title and the title bar's buttons. Call again after the
// title changes.
inline void widenForTitle(QWidget *window)
{
    constexpr int TitleBarButtons = 160;
    QLayout *layout = window->layout();
    if (!layout)
        return;
    // A zero-height strut in the window's own layout, which also holds for windows
    // whose layout fixes their size.
    auto *strut = window->findChild<QWidget *>(QStringLiteral("titleStrut"), Qt::FindDirectChildrenOnly);
    if (!strut) {
        strut = new QWidget(window);
        strut->setObjectName(QStringLiteral("titleStrut"));
        strut->setFixedHeight(0);
        layout->addWidget(strut);
    }
    const QMargins margins = layout->contentsMargins();
    strut->setMinimumWidth(window->fontMetrics().horizontalAdvance(window->windowTitle()) + TitleBarButtons
                           - margins.left() - margins.right());
}

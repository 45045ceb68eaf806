#pragma once

#include "SimWindowTest.h"
#include "WidgetQuery.h"
#include "WindowRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

// How a table of windows makes each one: through the registry by tag, or by class.
using Maker = std::function<QDialog *(const WindowContext &)>;

inline Maker byTag(int tag)
{
    return [tag](const WindowContext &c) { return WindowRegistry::create(tag, c); };
}
template <typename W>
Maker byClass()
{
    return [](const WindowContext &c) { return new W(c); };
}

// Makes a window the active one, as a click into it does, so that its keys,
// mnemonics and focus changes behave as they do for the technician.
inline void activate(QWidget *window)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
}

// Puts the focus in a field and types into it from the keyboard (Ctrl+A selects
// what it held, then the keys); the field is not left.
inline void typeIn(QWidget *window, const char *field, const QString &text)
{
    auto *edit = control<QLineEdit>(window, field);
    ASSERT_NE(edit, nullptr);
    activate(edit->window());
    edit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

// Types into a field and leaves it with Tab.
inline void type(QWidget *window, const char *field, const QString &text)
{
    typeIn(window, field, text);
    if (auto *edit = window->findChild<QLineEdit *>(QLatin1String(field)); edit && edit->hasFocus())
        QTest::keyClick(edit, Qt::Key_Tab);
}

// Types into a cell of a grid from the keyboard (F2 opens its editor); the
// editor stays open.
inline void typeInCell(QTableWidget *grid, int row, int column, const QString &text)
{
    activate(grid->window());
    grid->setFocus();
    grid->setCurrentCell(row, column);
    QTest::keyClick(grid, Qt::Key_F2);
    QWidget *editor = QApplication::focusWidget();
    ASSERT_NE(editor, grid) << "no cell editor";
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, text);
}

// Types into a cell and closes its editor with Return.
inline void enterInCell(QTableWidget *grid, int row, int column, const QString &text)
{
    typeInCell(grid, row, column, text);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();  // the view closes its editor through a queued call
}

// Presses Alt and a letter, as for a button's mnemonic ("&Apply": 'A'), where the
// focus is. A mnemonic shows the button pressed for a moment and clicks it when
// it comes up again: this waits for that, then lets what the click started run.
inline void alt(QWidget *window, Qt::Key letter)
{
    activate(window);
    QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
    QTest::keyClick(target, letter, Qt::AltModifier);
    const auto buttons = window->findChildren<QAbstractButton *>();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return std::none_of(buttons.begin(), buttons.end(), [](QAbstractButton *b) { return b->isDown(); });
    }));
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// A configuration window on the in-process simulated transmitter, opened by its
// menu tag or its class, with the status panel's last text kept.
class ConfigWindowTest : public SimWindowTest {
protected:
    WindowContext context() { return {*link, session, nullptr, [this](const QString &t) { status = t; }, {}}; }

    std::unique_ptr<QDialog> openMade(const Maker &make)
    {
        std::unique_ptr<QDialog> w(make(context()));
        EXPECT_TRUE(w);
        if (w)
            open(w.get());
        return w;
    }
    std::unique_ptr<QDialog> openTag(int tag) { return openMade(byTag(tag)); }

    template <typename W>
    std::unique_ptr<W> openWindow()
    {
        auto w = std::make_unique<W>(context());
        open(w.get());
        return w;
    }

    QString status;
};

#pragma once

#include "SimWindowTest.h"
#include "WidgetQuery.h"
#include "WindowRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
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

    std::unique_ptr<QDialog> openTag(int tag)
    {
        std::unique_ptr<QDialog> w(WindowRegistry::create(tag, context()));
        EXPECT_TRUE(w) << tag;
        if (w)
            open(w.get());
        return w;
    }

    template <typename W>
    std::unique_ptr<W> openWindow()
    {
        auto w = std::make_unique<W>(context());
        open(w.get());
        return w;
    }

    QString status;
};

#pragma once

#include "SimWindowTest.h"
#include "WidgetQuery.h"
#include "WindowRegistry.h"

#include <QDialog>

#include <memory>

// Types into a field as a user does: edited, then left.
inline void type(QWidget *window, const char *field, const QString &text)
{
    auto *edit = control<QLineEdit>(window, field);
    edit->setText(text);
    emit edit->textEdited(text);
    emit edit->editingFinished();
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

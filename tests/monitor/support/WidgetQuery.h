#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <gtest/gtest.h>

// Finding a window's controls by their names, and using them as a user would.
template <typename T>
T *control(QWidget *window, const char *name)
{
    T *w = window->findChild<T *>(QLatin1String(name));
    if (!w)
        ADD_FAILURE() << "no control " << name;
    return w;
}

inline QString textOf(QWidget *window, const char *name)
{
    if (auto *e = window->findChild<QLineEdit *>(QLatin1String(name)))
        return e->text();
    if (auto *l = window->findChild<QLabel *>(QLatin1String(name)))
        return l->text();
    if (auto *c = window->findChild<QComboBox *>(QLatin1String(name)))
        return c->currentText();
    ADD_FAILURE() << "no control " << name;
    return {};
}

inline double numberOf(QWidget *window, const char *name)
{
    bool ok = false;
    const double v = textOf(window, name).trimmed().toDouble(&ok);
    if (!ok)
        ADD_FAILURE() << name << " shows no number: " << textOf(window, name).toStdString();
    return v;
}

// Picks an item of a combo as the user does (the handlers run on "activated").
inline void pick(QComboBox *combo, const QString &text)
{
    const int i = combo->findText(text);
    ASSERT_GE(i, 0) << "no item " << text.toStdString();
    combo->setCurrentIndex(i);
    emit combo->activated(i);
}

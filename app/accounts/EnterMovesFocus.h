#pragma once

#include <QObject>

class QWidget;

// Makes Enter in an edit field move on to the next field, as Tab does, instead
// of pressing the dialog's default button.
class EnterMovesFocus : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Installs one filter (owned by `owner`) on every field given.
    static void install(QObject *owner, std::initializer_list<QWidget *> fields);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

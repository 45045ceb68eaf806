#pragma once

#include <QObject>

class Session;

// Escape anywhere in the program asks the running procedure to stop: it sets the
// session's abort flag and then goes on to do what it normally does.
class EscapeFilter : public QObject {
    Q_OBJECT
public:
    explicit EscapeFilter(Session &session, QObject *parent = nullptr) : QObject(parent), m_session(session) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Session &m_session;
};

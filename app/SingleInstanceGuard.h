#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// Lets one copy of the program run per executable file: a second copy started
// from the same path asks the first to come forward and then ends. A socket left
// behind by a copy that crashed is taken over.
class SingleInstanceGuard : public QObject {
    Q_OBJECT
public:
    explicit SingleInstanceGuard(const QString &executablePath, QObject *parent = nullptr);
    ~SingleInstanceGuard() override;

    // True when this copy is the first and now listens; false when a running copy
    // was asked to come forward.
    bool claim();
    QString serverName() const { return m_name; }
    static QString serverNameFor(const QString &executablePath);

signals:
    void raiseRequested();

private:
    bool askRunningCopy();
    void acceptConnections();

    QString m_name;
    QLocalServer *m_server = nullptr;
};

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class HistoryStore;

// What the whole program shares about the current session: who is logged in and
// at what level, which transmitter is connected, and the abort flag that Escape
// and a failed command handshake set. Owned by the main window; the link reads
// the access level, the device model and the abort flag from it.
class Session : public QObject {
    Q_OBJECT
public:
    enum AccessLevel { User = 0, Viewer = 1, Programmer = 2, Administrator = 3 };

    using QObject::QObject;

    int accessLevel() const { return m_accessLevel; }
    void setAccessLevel(int level);
    bool loggedIn() const { return m_loggedIn; }
    void setLoggedIn(bool on) { m_loggedIn = on; }
    QString userName() const { return m_userName; }
    void setUserName(const QString &name) { m_userName = name.left(20); }

    // "Ostrel", "KRM410" or empty.
    QString deviceModel() const { return m_deviceModel; }
    void setDeviceModel(const QString &model);
    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag.left(20); }
    // Registers 0..121 as read when the transmitter was identified.
    QByteArray hardwareInfo() const { return m_hardwareInfo; }
    void setHardwareInfo(const QByteArray &info) { m_hardwareInfo = info; }

    // Where writes to the transmitter are recorded (see history/); none when the
    // history is off or could not be opened. Not owned.
    HistoryStore *history() const { return m_history; }
    void setHistory(HistoryStore *store) { m_history = store; }

    bool abortRequested() const { return m_abort; }
    void setAbort(bool on) { m_abort = on; }

signals:
    void accessLevelChanged(int level);
    void deviceModelChanged(const QString &model);

private:
    int m_accessLevel = User;
    bool m_loggedIn = false;
    QString m_userName;
    QString m_deviceModel;
    QString m_tag;
    QByteArray m_hardwareInfo;
    bool m_abort = false;
    HistoryStore *m_history = nullptr;
};

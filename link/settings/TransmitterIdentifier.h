#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class ModbusLink;
class Session;

// Asks the transmitter who it is: its hardware information (registers 0..121),
// its model and its tag, which go into the session and the main window's tag panel.
class TransmitterIdentifier : public QObject {
    Q_OBJECT
public:
    static constexpr int GetSysVersionCoil = 61;
    static constexpr int HardwareInfoBytes = 244;
    static constexpr int MiscInfoRegister = 578;
    static constexpr int MiscInfoBytes = 114;
    static constexpr int TagLength = 20;

    TransmitterIdentifier(ModbusLink &link, Session &session, QObject *parent = nullptr);

    // False when the transmitter did not take the request; the session keeps its
    // previous model, tag and hardware information then.
    bool identify();
    // The model alone, for a unit that is only being looked for: the version command
    // and the one register that names the model (on a slow line the whole hardware
    // information takes seconds). Empty when the unit did not say; the session is
    // not touched.
    static QString readModel(ModbusLink &link);

    // "Ostrel" for the model bytes 'N' and 'M', "KRM410" for 'R', else empty.
    static QString modelFromHardwareInfo(const QByteArray &info);
    // "TAG: <tag>, <model>", or the model alone for an empty tag.
    static QString tagPanelText(const QString &tag, const QString &model);

signals:
    void tagPanelChanged(const QString &text);
    void busy(bool on);

private:
    ModbusLink &m_link;
    Session &m_session;
};

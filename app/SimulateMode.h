#pragma once

#include <QObject>
#include <QString>

#include <memory>

// "--simulate": a simulated transmitter served on a pseudo-terminal inside the
// program, reached over the real serial path. TARVINE.INI in the working
// directory is made to name the pseudo-terminal (8N1: pseudo-terminals take no
// parity), so the ordinary start-up connection finds the transmitter.
class SimulateMode : public QObject {
    Q_OBJECT
public:
    explicit SimulateMode(QObject *parent = nullptr);
    ~SimulateMode() override;

    // Starts the simulated transmitter and writes the settings file. False with
    // *error set when either fails.
    bool start(const QString &workDir, QString *error);
    QString devicePath() const { return m_path; }

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    QString m_path;
};

#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ModbusLink;
class OperationRecord;
class Session;

// Moves the whole register map between the transmitter and the register image,
// block by block in block-table order: upload reads every block, download writes
// every block (SysMgr replaced by the 66 bytes at register 2430) and then tells the
// transmitter to re-read its configuration. Runs on the caller's thread; the link
// waits for each reply in an event loop, so the window keeps painting.
//
// The checks that stop a transfer before anything is sent (port closed, access
// level) are separate, so that the caller can put the unit-ID question between
// them and the transfer.
class ConfigurationTransfer : public QObject {
    Q_OBJECT
public:
    static constexpr int SysMgrReplacementRegister = 2430;
    static constexpr int SysMgrReplacementBytes = 66;

    struct Result {
        int blocksDone = 0;      // blocks handled, failed ones included
        int failedBlocks = 0;
        int failedCoils = 0;     // re-read commands the transmitter did not confirm
        bool aborted = false;    // Escape stopped it between two blocks
        bool portLost = false;   // the port closed during the transfer
        bool refused = false;    // nothing was written: another transfer was running, or (network
                                 // port) the transmitter's line could not be read
        bool pcFollowed = false; // the PC now talks at the unit ID / framing / line of the download
        QStringList commKept;    // comm settings of the file not written, and why
        QString summary;         // the last status text
        bool ok() const { return !refused && !aborted && !portLost && failedBlocks == 0 && failedCoils == 0; }
    };

    // Moves the PC to the unit ID, framing or line the transmitter now answers with.
    using CommFollower =
        std::function<void(std::optional<int> unitId, std::optional<int> framing, std::optional<QString> line)>;

    ConfigurationTransfer(ModbusLink &link, Session &session, QObject *parent = nullptr);

    // Once the transmitter has accepted a downloaded address, framing or line that
    // differs from the PC's, the download calls this so that the rest still reaches
    // it. The default moves the link only; the program also keeps the new settings.
    void setCommFollower(CommFollower follower) { m_follow = std::move(follower); }

    // How the change history names a download ("Download to Unit", the command line).
    void setHistoryName(const QString &name) { m_historyName = name; }

    // True while any transfer runs; other actions that talk to the transmitter
    // ask this and refuse.
    static bool running();

    // Show their message and return false when the transfer cannot start.
    bool checkUpload() const;
    bool checkDownload() const;   // access level first, then the port

    Result upload();
    Result download();

    // Tells the transmitter to re-read its configuration, as the end of a download
    // does, but for the communication protocol, which a write of single fields never
    // changes. The number of commands the transmitter did not confirm.
    int reReadConfiguration();

signals:
    // pnlStatus text, with the step and the number of steps for a progress bar.
    void progress(const QString &text, int step, int steps);

private:
    struct Guard;
    bool abortRequested() const;
    void report(const QString &text, int step, int steps);
    QString interruptedText(const QString &verb, int done) const;
    // True, with result filled in, when the transfer must stop before block done.
    bool interrupted(const QString &verb, int done, int steps, Result &result);
    void followIfMoved(const QString &blockName, const uint8_t *image, Result &result);
    // The line the download moves the transmitter to, if it differs from the PC's and
    // the PC port can take it. A line the port cannot take (or bytes that are no
    // line) would lose the transmitter: the transmitter's present line goes into the
    // copy instead and the result says why.
    std::optional<QString> lineToFollow(QByteArray &image, Result &result) const;
    // On a network port the transmitter's own line (and, behind a Modbus TCP gateway,
    // its Modbus mode) goes into the copy: the gateway reaches it there only. False
    // when they could not be read.
    bool keepGatewaySide(QByteArray &image, Result &result) const;
    // An address or framing no master could talk to is not written either.
    void keepUnreachableAddressOrFraming(QByteArray &image, Result &result) const;
    // The download itself; the history record around it is download's.
    Result downloadImage(OperationRecord &record);
    bool reReadCommand(int coil, const std::optional<QString> &newLine, Result &result);

    ModbusLink &m_link;
    Session &m_session;
    CommFollower m_follow;
    QString m_historyName = QStringLiteral("Download to Unit");
};

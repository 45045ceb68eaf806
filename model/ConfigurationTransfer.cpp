#include "ConfigurationTransfer.h"

#include "Catalogue.h"
#include "CommSettingsFile.h"
#include "SerialControl.h"
#include "ModbusLink.h"
#include "OperationRecord.h"
#include "Prompter.h"
#include "Session.h"
#include "UnitCommSettings.h"

#include <array>
#include <exception>

namespace {

const QString Title = QStringLiteral("Tarvine");
constexpr uint16_t CoilOn = 0xFF00;
constexpr int ResetCommProtocolCoil = 52;
constexpr int AddressRegister = 2401;
constexpr int FramingRegister = 2402;
constexpr int SciRegister = 2406;
constexpr int ReadModbusCfgCoil = 48;

struct ReReadCommand {
    const char *status;
    int coil;
};

// Coils that make the transmitter re-read what a download wrote, in the order it
// expects them. The last one only for models other than "Ostrel".
constexpr std::array<ReReadCommand, 7> ReReadCommands{{
    {"Telling Ostrel to re-read Density config(1/7)...", 63},
    {"Telling Ostrel to re-read Std Density config(2/7)...", 64},
    {"Telling Ostrel to re-read % Conc. config(3/7)...", 49},
    {"Telling Ostrel to re-read NetOil. config(4/7)...", 50},
    {"Telling Ostrel to re-read ModCfg config(5/7)...", 48},
    {"Telling Ostrel to re-read XDucer. config(6/7)...", 51},
    {"Tell Unit to re-read Comm Protocol cnfig(7/7)...", ResetCommProtocolCoil},
}};

bool transferRunning = false;

QString blockStatus(const char *verb, int index)
{
    return QStringLiteral("%1 %2 of %3 registers: %4")
        .arg(QLatin1String(verb))
        .arg(index + 1)
        .arg(Catalogue::BlockCount)
        .arg(Catalogue::block(index)->qName());
}

QString plural(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

// Where a download writes block i: SysMgr holds the command words and the
// passwords and is never written; the registers after it that CfgHart and
// AlarmLog2 cover go in its place.
int blockFirst(int i)
{
    return i == Catalogue::SysMgrBlock ? ConfigurationTransfer::SysMgrReplacementRegister
                                       : Catalogue::block(i)->startRegister;
}

int blockBytes(int i)
{
    return i == Catalogue::SysMgrBlock ? ConfigurationTransfer::SysMgrReplacementBytes : Catalogue::block(i)->bytes;
}

// A transfer asked for while another one runs sends nothing.
ConfigurationTransfer::Result alreadyRunning()
{
    ConfigurationTransfer::Result result;
    result.refused = true;
    result.summary = QStringLiteral("A configuration transfer is already running.");
    return result;
}

}  // namespace

// Marks a transfer as running for its whole lifetime, whichever way it ends.
struct ConfigurationTransfer::Guard {
    Guard() { transferRunning = true; }
    ~Guard() { transferRunning = false; }
};

ConfigurationTransfer::ConfigurationTransfer(ModbusLink &link, Session &session, QObject *parent)
    : QObject(parent), m_link(link), m_session(session)
{
    m_follow = [this](std::optional<int> unitId, std::optional<int> framing, std::optional<QString> line) {
        if (unitId)
            m_link.setUnitId(*unitId);
        if (framing)
            m_link.setFraming(*framing);
        if (line) {
            CommSettings moved = m_link.settings();
            moved.settings = *line;
            m_link.closePort();
            m_link.setSettings(moved);
            m_link.openPort();
        }
    };
}

void ConfigurationTransfer::followIfMoved(const QString &blockName, const uint8_t *image, Result &result)
{
    // The transmitter answers at a new address or in a new framing from the reply on.
    const CommSettings &now = m_link.settings();
    if (blockName == QLatin1String("ModbusAddr")) {
        const int unitId = image[2 * AddressRegister];
        if (unitId != now.unitId && unitId >= 1 && unitId <= 247) {
            m_follow(unitId, std::nullopt, std::nullopt);
            result.pcFollowed = true;
        }
    } else if (blockName == QLatin1String("ModbusMode")) {
        const int framing = image[2 * FramingRegister];
        // A Modbus TCP gateway speaks TCP to the PC whatever the transmitter's serial mode.
        if (framing != now.framing && framing <= 1 && now.framing != ModbusLink::Tcp) {
            m_follow(std::nullopt, framing, std::nullopt);
            result.pcFollowed = true;
        }
    }
}

std::optional<QString> ConfigurationTransfer::lineToFollow(QByteArray &image, Result &result) const
{
    const QString present = m_link.serial()->settings();
    QByteArray sci = image.mid(2 * SciRegister, CommLists::SciBytes);
    const std::optional<QString> wanted = CommLists::lineFromSciBytes(sci);
    if (wanted == present)
        return std::nullopt;
    QString why;
    if (!wanted)
        why = QStringLiteral("the file's serial settings are not a line the transmitter knows");
    else if (m_link.serial()->accepts(*wanted, &why))
        return wanted;
    else
        why = QStringLiteral("this PC port cannot use %1 (%2)").arg(*wanted, why);
    if (!CommLists::lineToSciBytes(present, &sci))
        return std::nullopt;  // the PC's own line is not one the transmitter stores: leave the bytes
    image.replace(2 * SciRegister, sci.size(), sci);
    result.commKept << QStringLiteral("The line settings of the file were not written: %1. The transmitter keeps %2.")
                           .arg(why, present);
    return std::nullopt;
}

void ConfigurationTransfer::keepUnreachableAddressOrFraming(QByteArray &image, Result &result) const
{
    const CommSettings &present = m_link.settings();
    const int unitId = quint8(image[2 * AddressRegister]);
    if (unitId < 1 || unitId > 247) {
        image[2 * AddressRegister] = char(present.unitId);
        result.commKept << QStringLiteral("The unit ID %1 of the file was not written: no master can talk to it. "
                                          "The transmitter keeps %2.")
                               .arg(unitId)
                               .arg(present.unitId);
    }
    const int framing = quint8(image[2 * FramingRegister]);
    if (framing > 1) {
        // Behind a Modbus TCP gateway the transmitter's own mode is unknown here: RTU.
        image[2 * FramingRegister] = char(present.framing == ModbusLink::Tcp ? ModbusLink::Rtu : present.framing);
        result.commKept << QStringLiteral("The Modbus mode %1 of the file was not written: it is neither ASCII nor "
                                          "RTU. The transmitter keeps %2.")
                               .arg(framing)
                               .arg(m_link.modePanelText());
    }
}

bool ConfigurationTransfer::keepGatewaySide(QByteArray &image, Result &result) const
{
    RegisterImage unit;
    if (!UnitCommSettings::read(m_link, &unit))
        return false;
    const QByteArray unitLine = unit.read(SciRegister, CommLists::SciBytes);
    const QString kept = QStringLiteral("The %1 of the file (%2) was not written: through a network port the gateway "
                                        "talks to the transmitter at its present one, which the PC cannot change. "
                                        "The transmitter keeps %3.");
    const auto lineText = [](const QByteArray &sci) {
        return CommLists::lineFromSciBytes(sci).value_or(QStringLiteral("an unknown line"));
    };
    if (image.mid(2 * SciRegister, unitLine.size()) != unitLine) {
        result.commKept << kept.arg(QStringLiteral("line"), lineText(image.mid(2 * SciRegister, unitLine.size())),
                                    lineText(unitLine));
        image.replace(2 * SciRegister, unitLine.size(), unitLine);
    }
    // Frames carried as they are follow the unit to another framing; a Modbus TCP
    // gateway frames the serial side itself.
    const QByteArray unitMode = unit.read(FramingRegister, 2);
    if (m_link.settings().framing == ModbusLink::Tcp && image.mid(2 * FramingRegister, 2) != unitMode) {
        const auto modeText = [](const QByteArray &mode) { return CommLists::modes().value(uint8_t(mode[0]), QStringLiteral("unknown")); };
        result.commKept << kept.arg(QStringLiteral("Modbus mode"), modeText(image.mid(2 * FramingRegister, 2)),
                                    modeText(unitMode));
        image.replace(2 * FramingRegister, 2, unitMode);
    }
    return true;
}

// The transmitter takes a new line once the reply to its re-read command is out;
// the rest of the command's handshake runs at the new line.
bool ConfigurationTransfer::reReadCommand(int coil, const std::optional<QString> &newLine, Result &result)
{
    if (coil != ReadModbusCfgCoil || !newLine)
        return m_link.Force_Coil(coil, CoilOn);
    if (!m_link.Send_Coil(coil, CoilOn))
        return false;
    m_follow(std::nullopt, std::nullopt, newLine);
    result.pcFollowed = true;
    return m_link.Finish_Coil(coil, CoilOn);
}

int ConfigurationTransfer::reReadConfiguration()
{
    int failed = 0;
    for (qsizetype c = 0; c + 1 < qsizetype(ReReadCommands.size()); ++c)
        if (!m_link.Force_Coil(ReReadCommands[c].coil, CoilOn))
            ++failed;
    // A handshake that failed raised the abort flag; it must not stop the next procedure.
    m_session.setAbort(false);
    return failed;
}

bool ConfigurationTransfer::running()
{
    return transferRunning;
}

bool ConfigurationTransfer::checkUpload() const
{
    if (!m_link.portOpen()) {
        showMessage(QStringLiteral("Comm Port must be open to retrieve data."), Title, Prompter::Warning);
        return false;
    }
    return true;
}

bool ConfigurationTransfer::checkDownload() const
{
    if (m_session.accessLevel() < Session::Programmer) {
        showMessage(QStringLiteral("Level 2 (Programmer Access) Required"), QStringLiteral("Access Denied"),
                    Prompter::Warning);
        return false;
    }
    if (!m_link.portOpen()) {
        showMessage(QStringLiteral("Comm Port must be open to transmit data."), Title, Prompter::Warning);
        return false;
    }
    return true;
}

bool ConfigurationTransfer::abortRequested() const
{
    return m_session.abortRequested();
}

void ConfigurationTransfer::report(const QString &text, int step, int steps)
{
    emit progress(text, step, steps);
}

QString ConfigurationTransfer::interruptedText(const QString &verb, int done) const
{
    const QString how = m_link.portOpen() ? QStringLiteral("aborted") : QStringLiteral("stopped, the port closed,");
    return QStringLiteral("%1 %2 after %3 of %4 blocks.").arg(verb, how).arg(done).arg(Catalogue::BlockCount);
}

bool ConfigurationTransfer::interrupted(const QString &verb, int done, int steps, Result &result)
{
    // Escape (the abort flag) and a lost port end a transfer between two blocks.
    if (!abortRequested() && m_link.portOpen())
        return false;
    result.aborted = abortRequested();
    result.portLost = !m_link.portOpen();
    result.summary = interruptedText(verb, done);
    m_session.setAbort(false);
    report(result.summary, done, steps);
    return true;
}

ConfigurationTransfer::Result ConfigurationTransfer::upload()
{
    if (running())
        return alreadyRunning();
    Result result;
    Guard guard;
    m_session.setAbort(false);
    const int steps = Catalogue::BlockCount;
    for (int i = 0; i < Catalogue::BlockCount; ++i) {
        // The blocks already read stay in the image, the rest keep their contents.
        if (interrupted(QStringLiteral("Upload"), i, steps, result))
            return result;
        const BlockDef *block = Catalogue::block(i);
        report(blockStatus("Retrieving", i), i + 1, steps);
        const int received = m_link.Read_Regs(block->startRegister, block->bytes);
        if (received == 0 || m_link.LastException() != 0)
            ++result.failedBlocks;
        result.blocksDone = i + 1;
    }
    m_session.setAbort(false);
    if (result.failedBlocks > 0)
        result.summary = QStringLiteral("Upload finished, but %1 of %2 could not be read.")
                             .arg(plural(result.failedBlocks, "block", "blocks"))
                             .arg(Catalogue::BlockCount);
    report(result.summary, steps, steps);
    return result;
}

ConfigurationTransfer::Result ConfigurationTransfer::download()
{
    if (running())
        return alreadyRunning();
    OperationRecord record(m_link, m_historyName);
    record.leaveCoilsOut();
    const bool recorded = record.active();
    Result result = downloadImage(record);
    const bool anyWritten = result.blocksDone > result.failedBlocks;
    const HistoryOutcome outcome = result.ok() ? HistoryOutcome::Done
                                   : anyWritten ? HistoryOutcome::FailedPartWay
                                                : HistoryOutcome::Refused;
    const OperationRecord::Verification verification = record.finish(outcome, result.summary);
    if (recorded && anyWritten) {
        result.summary += QStringLiteral(" Read back: %1.").arg(verification.text());
        report(result.summary, 1, 1);
    }
    return result;
}

ConfigurationTransfer::Result ConfigurationTransfer::downloadImage(OperationRecord &record)
{
    Result result;
    Guard guard;
    m_session.setAbort(false);
    const bool withCommProtocol = m_session.deviceModel() != QLatin1String("Ostrel");
    const int commands = withCommProtocol ? int(ReReadCommands.size()) : int(ReReadCommands.size()) - 1;
    const int steps = Catalogue::BlockCount + commands;
    // The image is copied once: a value changed by another window while the
    // download waits for a reply must not end up half in one block.
    QByteArray image = m_link.image().bytes();
    if (m_link.onNetwork() && !keepGatewaySide(image, result)) {
        result.refused = true;
        result.summary = QStringLiteral("Download not started: the transmitter's line settings could not be read "
                                        "through the network port. Nothing was written.");
        report(result.summary, 0, steps);
        return result;
    }
    keepUnreachableAddressOrFraming(image, result);
    const std::optional<QString> newLine = m_link.onNetwork() ? std::nullopt : lineToFollow(image, result);
    const auto *bytes = reinterpret_cast<const uint8_t *>(image.constData());
    bool failureShown = false;
    // The history keeps the configuration; the measurement blocks change by themselves.
    QList<std::pair<int, QByteArray>> noted;
    for (int i = 0; i < Catalogue::BlockCount; ++i) {
        if (Catalogue::isConfigurationBlock(i))
            noted << std::pair{blockFirst(i), image.mid(2 * blockFirst(i), blockBytes(i))};
    }
    record.noteRanges(noted);

    for (int i = 0; i < Catalogue::BlockCount; ++i) {
        if (interrupted(QStringLiteral("Download"), i, steps, result))
            return result;
        const BlockDef *block = Catalogue::block(i);
        report(blockStatus("Updating", i), i + 1, steps);
        const int first = blockFirst(i);
        const int count = blockBytes(i);
        bool written = false;
        QString failure = QStringLiteral("Cannot communicate with Ostrel unit");
        try {
            written = m_link.Write_Regs(first, count, bytes + 2 * first) != 0 && m_link.LastException() == 0;
        } catch (const std::exception &) {
            failure = QStringLiteral("Unexpected error communicating with the Ostrel");
        } catch (...) {
            failure = QStringLiteral("Unexpected error communicating with the Ostrel");
        }
        if (written)
            followIfMoved(block->qName(), bytes, result);
        if (!written) {
            ++result.failedBlocks;
            // One box is enough: a transmitter that refuses one block usually
            // refuses them all, and the final status gives the count.
            if (!failureShown) {
                showMessage(failure, Title, Prompter::NoIcon);
                failureShown = true;
            }
        }
        result.blocksDone = i + 1;
    }

    if (!m_link.portOpen()) {
        result.portLost = true;
        result.summary = interruptedText(QStringLiteral("Download"), Catalogue::BlockCount);
        report(result.summary, Catalogue::BlockCount, steps);
        return result;
    }
    for (int c = 0; c < commands; ++c) {
        report(QLatin1String(ReReadCommands[c].status), Catalogue::BlockCount + c + 1, steps);
        if (!reReadCommand(ReReadCommands[c].coil, newLine, result))
            ++result.failedCoils;
    }

    // A re-read command whose handshake failed raised the abort flag; it belongs
    // to this download and must not stop the next procedure.
    m_session.setAbort(false);
    if (result.failedBlocks == 0 && result.failedCoils == 0) {
        result.summary = QStringLiteral("Ostrel finished reading configuration...");
    } else {
        QStringList parts;
        if (result.failedBlocks > 0)
            parts << QStringLiteral("%1 of %2 could not be written")
                         .arg(plural(result.failedBlocks, "block", "blocks"))
                         .arg(Catalogue::BlockCount);
        if (result.failedCoils > 0)
            parts << QStringLiteral("%1 not confirmed")
                         .arg(plural(result.failedCoils, "re-read command was", "re-read commands were"));
        result.summary = QStringLiteral("Download incomplete: %1.").arg(parts.join(QStringLiteral("; ")));
    }
    if (result.pcFollowed)
        result.summary += QStringLiteral(" The PC now talks to the transmitter at unit ID %1 in %2, %3.")
                              .arg(m_link.settings().unitId)
                              .arg(m_link.modePanelText(), m_link.serial()->settings());
    for (const QString &kept : std::as_const(result.commKept))
        result.summary += QLatin1Char(' ') + kept;
    report(result.summary, steps, steps);
    return result;
}

#pragma once

#include "IniFile.h"
#include "ModbusLink.h"
#include "SerialSettingsText.h"

#include <QString>
#include <QStringList>

#include <optional>

// The PC side of the link as the user chose it and as TARVINE.INI keeps it.
struct PcCommSettings {
    QString port = QStringLiteral("1");
    QString baudRate = QStringLiteral("9600");
    QString parity = QStringLiteral("None");
    QString dataBits = QStringLiteral("8");
    QString stopBits = QStringLiteral("1");
    QString flowControl = QStringLiteral("None");
    QString modeText = QStringLiteral("ASCII");
    QString protocol = QStringLiteral("Modbus");
    int unitId = 247;
    int framing = 0; // 0 ASCII, 1 RTU
    // Silence added between frames for slow adapters (key "Delay"; not written while 0
    // and absent, so files of earlier versions stay as they were).
    int extraSilenceMs = 0;

    // "9600,N,8,1"
    QString settingsText() const;
    // Takes baud, parity, data and stop bits from a line settings text; false (and
    // nothing changed) when it is not one.
    bool setLine(const QString &settings);
    CommSettings linkSettings() const;
    bool operator==(const PcCommSettings &) const = default;
};

// The choices of the settings window; an item's position is the index the
// transmitter stores for it.
namespace CommLists {
QStringList ports();
QStringList baudRates();
QStringList parities();
QStringList dataBits();
QStringList stopBits();
QStringList flowControls();
QStringList protocols();
QStringList modes();

// The transmitter's serial bytes (register 2406 on: baud, parity, data bits at
// bytes 0..2, stop bits at byte 7) as a line settings text "9600,N,8,1"; empty when
// a position lies outside its list.
std::optional<QString> lineFromSciBytes(const QByteArray &sci);
// Puts a line settings text into those bytes; false (nothing changed) when the
// text is not a line the lists hold.
bool lineToSciBytes(const QString &line, QByteArray *sci);
constexpr int SciBaudByte = 0, SciParityByte = 1, SciDataBitsByte = 2, SciStopBitsByte = 7, SciBytes = 8;
} // namespace CommLists

// Section "Comm Settings" of TARVINE.INI in the working directory.
class CommSettingsFile {
public:
    static const QString FileName;
    static const QString Section;

    explicit CommSettingsFile(const QString &workDir);

    // Missing values take their defaults. A value that cannot be used (a unit ID
    // that is not a number in 0..247, a port that is neither 1..12 nor a device
    // path) is replaced by its default and named in *ignored, as is a file without
    // the section.
    PcCommSettings load(QStringList *ignored = nullptr) const;
    bool save(const PcCommSettings &settings, QString *error);
    bool saveUnitId(int unitId, QString *error);

    IniFile &ini() { return m_ini; }

private:
    IniFile m_ini;
};

// Parses a unit ID typed by the user. Returns the ID, or -1 with *message set to
// the text the settings windows show.
int parseUnitId(const QString &text, QString *message);

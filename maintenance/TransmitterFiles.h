#pragma once

#include "CommandArea.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

class ModbusLink;

// One file as the transmitter describes it. The name is kept as stored (10 bytes)
// for commands and trimmed only for display.
struct TransmitterFile {
    QByteArray storedName;
    uint32_t size = 0;
    QString revision;
    int type = 0;
    int year = 0, month = 0, day = 0;

    QString displayName() const;
    QString typeText() const;
    // "mm/dd/yy", two digits each.
    QString dateText() const;
};

// The transmitter's file-system commands, through the command area.
class TransmitterFiles {
public:
    static constexpr int DirectoryCoil = 37;
    static constexpr int DeleteCoil = 38;
    static constexpr int FileInfoCoil = 39;
    static constexpr int NameBytes = 10;
    static constexpr int RecordBytes = 22;
    // Names that fit one directory reply after the count.
    static constexpr int MaxNames = (CommandArea::Bytes - 2) / NameBytes;

    struct Directory {
        bool read = false;        // a valid reply arrived
        int reportedCount = 0;    // what the transmitter says it holds
        QList<QByteArray> names;  // at most MaxNames
    };

    explicit TransmitterFiles(ModbusLink &link);

    Directory list();
    // The file's record; nothing when the command was refused or the reply lost.
    std::optional<TransmitterFile> info(const QByteArray &storedName);
    // Deletes by the name as stored; true when the transmitter did it.
    bool remove(const QByteArray &storedName);

    static TransmitterFile decodeRecord(const QByteArray &record);

private:
    bool run(int coil);
    ModbusLink &m_link;
    CommandArea m_area;
};

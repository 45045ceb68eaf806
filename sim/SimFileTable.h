#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace sim {

// One file in the transmitter's file system, as its directory keeps it.
struct SimFile {
    QByteArray name;     // 10 bytes as stored (shorter names are padded with NULs)
    uint32_t size = 0;
    QByteArray revision; // 4 characters
    uint8_t type = 0;    // 0 task, 1 data, 2 library
    uint8_t year = 0, month = 1, day = 1;
};

// The transmitter's small file system: program, data and library files that the
// directory, file-information and delete commands work on.
class SimFileTable {
public:
    static constexpr int NameBytes = 10;
    static constexpr int RecordBytes = 22;

    SimFileTable();

    const std::vector<SimFile> &files() const { return m_files; }
    void setFiles(std::vector<SimFile> files);
    // A file record with its name padded to NameBytes.
    static SimFile make(const char *name, uint32_t size, const char *revision, uint8_t type, int yy, int mm, int dd);
    // Fills the table with n generated files (more than one directory reply holds).
    void fillGenerated(int n);

    // The file whose stored name equals the 10 bytes given.
    const SimFile *find(const QByteArray &storedName) const;
    // Deletes by a zero-terminated name; false when no file has it or deleting is refused.
    bool remove(const QByteArray &name);
    void setRefuseDelete(bool on) { m_refuseDelete = on; }

    // The 22-byte record: size (u32, MSB first), name, revision, type, year, month, day.
    static QByteArray record(const SimFile &f);

private:
    std::vector<SimFile> m_files;
    bool m_refuseDelete = false;
};

} // namespace sim

#include "SimFileTable.h"

#include <algorithm>

namespace sim {

namespace {
QByteArray padded(QByteArray text, int len)
{
    text.truncate(len);
    return text + QByteArray(len - text.size(), '\0');
}
} // namespace

SimFileTable::SimFileTable()
{
    m_files = {
        make("DIGITALPLL", 48212, "2.10", 0, 9, 3, 2),
        make("OSTREL.R", 196608, "3.21", 0, 9, 3, 14),
        make("DSPCODE.R", 65536, "1.04", 0, 8, 11, 20),
        make("MATHLIB", 12288, "1.2", 2, 9, 3, 14),
        // Stored with a trailing blank: deleting it needs the name exactly as stored.
        make("CAL DATA ", 2048, "0.9", 1, 10, 1, 5),
        make("NETOIL.DAT", 4096, "1.0", 1, 10, 2, 28),
    };
}

SimFile SimFileTable::make(const char *name, uint32_t size, const char *revision, uint8_t type, int yy, int mm, int dd)
{
    return SimFile{padded(name, NameBytes), size, padded(revision, 4), type, uint8_t(yy), uint8_t(mm), uint8_t(dd)};
}

void SimFileTable::setFiles(std::vector<SimFile> files)
{
    for (SimFile &f : files) {
        f.name = padded(f.name, NameBytes);
        f.revision = padded(f.revision, 4);
    }
    m_files = std::move(files);
}

void SimFileTable::fillGenerated(int n)
{
    m_files.clear();
    for (int i = 0; i < n; ++i)
        m_files.push_back(make(QByteArray("FILE%1.DAT").replace("%1", QByteArray::number(i + 1)).constData(),
                               uint32_t(1024 * (i + 1)), "1.0", uint8_t(i % 3), 10, 1 + i % 12, 1 + i % 28));
}

const SimFile *SimFileTable::find(const QByteArray &storedName) const
{
    const QByteArray key = padded(storedName, NameBytes);
    const auto it = std::find_if(m_files.begin(), m_files.end(), [&](const SimFile &f) { return f.name == key; });
    return it == m_files.end() ? nullptr : &*it;
}

bool SimFileTable::remove(const QByteArray &name)
{
    if (m_refuseDelete)
        return false;
    const qsizetype nul = name.indexOf('\0');
    const QByteArray key = nul >= 0 ? name.left(nul) : name;
    if (key.isEmpty() || key.size() > NameBytes)
        return false;
    const auto it = std::find_if(m_files.begin(), m_files.end(),
                                 [&](const SimFile &f) { return f.name == padded(key, NameBytes); });
    if (it == m_files.end())
        return false;
    m_files.erase(it);
    return true;
}

QByteArray SimFileTable::record(const SimFile &f)
{
    QByteArray r;
    for (int shift = 24; shift >= 0; shift -= 8)
        r.append(char((f.size >> shift) & 0xFF));
    r += f.name + f.revision;
    r.append(char(f.type));
    r.append(char(f.year));
    r.append(char(f.month));
    r.append(char(f.day));
    return r;
}

} // namespace sim

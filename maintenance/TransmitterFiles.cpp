#include "TransmitterFiles.h"

#include "Codec.h"
#include "ModbusLink.h"
#include "OperationRecord.h"

#include <algorithm>

namespace {
QString textOf(const QByteArray &field)
{
    const qsizetype nul = field.indexOf('\0');
    return QString::fromLatin1(nul >= 0 ? field.left(nul) : field);
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}
} // namespace

QString TransmitterFile::displayName() const
{
    return textOf(storedName).trimmed();
}

QString TransmitterFile::typeText() const
{
    switch (type) {
    case 0: return QStringLiteral("TASK");
    case 1: return QStringLiteral("DATA");
    case 2: return QStringLiteral("LIB");
    default: return QString::number(type);
    }
}

QString TransmitterFile::dateText() const
{
    return twoDigits(month) + QLatin1Char('/') + twoDigits(day) + QLatin1Char('/') + twoDigits(year % 100);
}

TransmitterFiles::TransmitterFiles(ModbusLink &link) : m_link(link), m_area(link) {}

bool TransmitterFiles::run(int coil)
{
    // Listing a directory or a file's details changes nothing in the transmitter.
    ModbusLink::QueryScope query(m_link);
    return m_link.Force_Coil(coil, ModbusFrame::CoilOn);
}

TransmitterFiles::Directory TransmitterFiles::list()
{
    Directory d;
    m_link.image().store(CommandArea::ResultRegister, QByteArray(CommandArea::Bytes, '\0'));
    if (!run(DirectoryCoil) || !m_area.readResults(CommandArea::Bytes))
        return d;
    const QByteArray results = m_link.image().read(CommandArea::ResultRegister, CommandArea::Bytes);
    d.read = true;
    d.reportedCount = m_link.image().u16At(0);
    const int shown = std::min(d.reportedCount, MaxNames);
    for (int i = 0; i < shown; ++i)
        d.names.append(results.mid(2 + i * NameBytes, NameBytes));
    return d;
}

std::optional<TransmitterFile> TransmitterFiles::info(const QByteArray &storedName)
{
    m_area.setText(0, NameBytes, QString::fromLatin1(storedName.left(NameBytes)));
    if (!m_area.write() || !run(FileInfoCoil) || !m_area.readResults(CommandArea::Bytes))
        return std::nullopt;
    TransmitterFile f = decodeRecord(m_link.image().read(CommandArea::ResultRegister, RecordBytes));
    // The directory's spelling is the one commands must use.
    f.storedName = storedName;
    return f;
}

bool TransmitterFiles::remove(const QByteArray &storedName)
{
    // Up to the first NUL, exactly as stored (blanks included), then a terminating zero.
    const QString name = textOf(storedName);
    return m_area.setText(0, NameBytes + 2, name)
           && OperationRecord::run(m_link, QStringLiteral("File Management: delete %1").arg(name.trimmed()),
                                   [&] { return m_area.write() && m_link.Force_Coil(DeleteCoil, ModbusFrame::CoilOn); });
}

TransmitterFile TransmitterFiles::decodeRecord(const QByteArray &record)
{
    TransmitterFile f;
    if (record.size() < RecordBytes)
        return f;
    const auto byte = [&](int i) { return uint8_t(record[i]); };
    f.size = uint32_t(byte(0)) << 24 | uint32_t(byte(1)) << 16 | uint32_t(byte(2)) << 8 | byte(3);
    f.storedName = record.mid(4, NameBytes);
    f.revision = textOf(record.mid(14, 4)).trimmed();
    f.type = byte(18);
    f.year = byte(19);
    f.month = byte(20);
    f.day = byte(21);
    return f;
}

#include "CommSettingsFile.h"
#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(IniFile, FindsFileSectionAndKeyWithoutRegardToCaseAndTrimsValues)
{
    QTemporaryDir dir;
    writeAll(dir.filePath("tarvine.ini"), "; kept\r\n[comm SETTINGS]\r\n  baudrate =  19200  \r\nPort=3\r\n");
    IniFile ini(dir.path(), "TARVINE.INI");
    EXPECT_EQ(ini.path(), dir.filePath("tarvine.ini"));
    EXPECT_EQ(ini.readString("Comm Settings", "BaudRate", "9600"), "19200");
    EXPECT_EQ(ini.readString("COMM settings", "PORT", "1"), "3");
    EXPECT_EQ(ini.readString("Comm Settings", "Mode", "ASCII"), "ASCII");
    EXPECT_EQ(ini.readString("Other", "Port", "x"), "x");
    EXPECT_TRUE(ini.hasSection("Comm Settings"));
    EXPECT_FALSE(ini.hasSection("Other"));
}

TEST(IniFile, WritingOneKeyKeepsEverythingElseWithCrLf)
{
    QTemporaryDir dir;
    writeAll(dir.filePath("Option.ini"),
             "; comment line\n[Show Disclaimer]\nActive=1\n\n[Other]\nKey,=a, b, c\n");
    IniFile ini(dir.path(), "option.INI");
    QString error;
    ASSERT_TRUE(ini.writeString("show disclaimer", "Active", "0", &error)) << error.toStdString();
    ASSERT_TRUE(ini.writeString("Show Disclaimer", "Added", "yes", &error));
    ASSERT_TRUE(ini.writeString("New Section", "NetWaterRate,", "3", &error));
    EXPECT_EQ(readAll(dir.filePath("Option.ini")),
              QByteArray("; comment line\r\n[Show Disclaimer]\r\nActive=0\r\nAdded=yes\r\n\r\n[Other]\r\n"
                         "Key,=a, b, c\r\n\r\n[New Section]\r\nNetWaterRate,=3\r\n"));
    // A value with commas is not split.
    EXPECT_EQ(ini.readString("Other", "Key,", ""), "a, b, c");
    EXPECT_EQ(ini.readString("New Section", "netwaterrate,", ""), "3");
}

TEST(IniFile, ReadsWindows1252AndUtf8AndWritesNewFilesAsUtf8)
{
    QTemporaryDir dir;
    QString error;
    writeAll(dir.filePath("a.ini"), "[ViewMeas Units]\r\nTemp=\xB0" "C\r\nEuro=\x80\r\n");
    IniFile a(dir.path(), "a.ini");
    EXPECT_EQ(a.readString("ViewMeas Units", "Temp", ""), QString::fromUtf8("°C"));
    EXPECT_EQ(a.readString("ViewMeas Units", "Euro", ""), QString::fromUtf8("€"));
    ASSERT_TRUE(a.writeString("ViewMeas Units", "Dens", QString::fromUtf8("°API"), &error));
    EXPECT_EQ(readAll(dir.filePath("a.ini")), "[ViewMeas Units]\r\nTemp=\xB0" "C\r\nEuro=\x80\r\nDens=\xB0" "API\r\n");

    // "Ã©" read from UTF-8 and written as Windows-1252 would read back as "é".
    writeAll(dir.filePath("b.ini"), "[ViewMeas Units]\r\nTemp=\xC2\xB0" "API\r\nName=\xC3\x83\xC2\xA9\r\n");
    IniFile b(dir.path(), "b.ini");
    EXPECT_EQ(b.readString("ViewMeas Units", "Temp", ""), QString::fromUtf8("°API"));
    ASSERT_TRUE(b.writeString("ViewMeas Units", "Dens", QString::fromUtf8("°C"), &error));
    EXPECT_EQ(readAll(dir.filePath("b.ini")),
              "[ViewMeas Units]\r\nTemp=\xC2\xB0" "API\r\nName=\xC3\x83\xC2\xA9\r\nDens=\xC2\xB0" "C\r\n");
    EXPECT_EQ(b.readString("ViewMeas Units", "Name", ""), QString::fromUtf8("Ã©"));

    // New files, and files of plain ASCII, are written as UTF-8.
    writeAll(dir.filePath("c.ini"), "[Comm Settings]\r\nID=1\r\n");
    for (const char *name : {"c.ini", "new.ini"}) {
        IniFile c(dir.path(), name);
        ASSERT_TRUE(c.writeString("ViewMeas Units", "Temp", QString::fromUtf8("°C"), &error));
        EXPECT_TRUE(readAll(dir.filePath(name)).endsWith("Temp=\xC2\xB0" "C\r\n")) << name;
        EXPECT_EQ(c.readString("ViewMeas Units", "Temp", ""), QString::fromUtf8("°C"));
    }
}

TEST(IniFile, ReportsAFileThatCannotBeWrittenOrRead)
{
    IniFile ini("/proc/no-such-dir", "TARVINE.INI");
    QString error;
    EXPECT_FALSE(ini.writeString("Comm Settings", "ID", "1", &error));
    EXPECT_TRUE(error.contains("TARVINE.INI"));

    // A settings file that exists but cannot be read is never replaced.
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("TARVINE.INI"));
    IniFile unreadable(dir.path(), "TARVINE.INI");
    error.clear();
    EXPECT_FALSE(unreadable.writeString("ViewMeas Units", "Density", "g/cc", &error));
    EXPECT_TRUE(error.startsWith("Cannot read " + dir.filePath("TARVINE.INI"))) << error.toStdString();
    EXPECT_TRUE(error.contains("left as it is")) << error.toStdString();
    EXPECT_TRUE(QFileInfo(dir.filePath("TARVINE.INI")).isDir());
}

TEST(CommSettingsFile, UnusableValuesAreNamedAndReplacedByDefaults)
{
    QTemporaryDir dir;
    writeAll(dir.filePath("TARVINE.INI"), "[Comm Settings]\r\nID=abc\r\nPort=COM7\r\nMode=ascii\r\nBaudRate=19200\r\n");
    QStringList ignored;
    const PcCommSettings s = CommSettingsFile(dir.path()).load(&ignored);
    EXPECT_EQ(s.unitId, 247);
    EXPECT_EQ(s.port, "1");
    EXPECT_EQ(s.framing, 1) << "only the exact text ASCII selects ASCII";
    EXPECT_EQ(s.baudRate, "19200");
    ASSERT_EQ(ignored.size(), 2);
    EXPECT_TRUE(ignored.join(' ').contains("ID \"abc\""));
    EXPECT_TRUE(ignored.join(' ').contains("Port \"COM7\""));

    writeAll(dir.filePath("TARVINE.INI"), "[Comm Settings]\r\nID=300\r\n");
    ignored.clear();
    EXPECT_EQ(CommSettingsFile(dir.path()).load(&ignored).unitId, 247);
    EXPECT_TRUE(ignored.join(' ').contains("not in range"));

    writeAll(dir.filePath("TARVINE.INI"), "[Other]\r\nID=5\r\n");
    ignored.clear();
    EXPECT_EQ(CommSettingsFile(dir.path()).load(&ignored).unitId, 247);
    EXPECT_TRUE(ignored.join(' ').contains("no [Comm Settings] section"));
}

TEST(CommSettingsFile, SaveAndLoadRoundTrip)
{
    QTemporaryDir dir;
    CommSettingsFile file(dir.path());
    PcCommSettings s{.port = "/dev/ttyUSB0", .baudRate = "38400", .parity = "Even", .dataBits = "7", .stopBits = "2",
                     .modeText = "RTU", .unitId = 12, .framing = 1};
    QString error;
    ASSERT_TRUE(file.save(s, &error));
    QStringList ignored;
    EXPECT_EQ(file.load(&ignored), s);
    EXPECT_EQ(s.settingsText(), "38400,E,7,2");
    ASSERT_TRUE(file.saveUnitId(0, &error));
    EXPECT_EQ(file.load().unitId, 0);

    // A network port keeps its address and Modbus TCP; on a serial port TCP reads as RTU.
    s = {.port = "[fe80::1]:502", .modeText = "TCP", .unitId = 0, .framing = 2};
    ASSERT_TRUE(file.save(s, &error));
    EXPECT_EQ(file.load(&ignored), s);
    EXPECT_TRUE(ignored.isEmpty()) << ignored.join(' ').toStdString();
    writeAll(dir.filePath("TARVINE.INI"), "[Comm Settings]\r\nPort=/dev/ttyUSB0\r\nMode=TCP\r\n");
    EXPECT_EQ(file.load().framing, 1);
}

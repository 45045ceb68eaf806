#include "TextTable.h"

#include "Catalogue.h"

#include <QStringList>

#include <array>
#include <iterator>

namespace {

// Texts 0..246. Transmitter code c is shown as text c + 1; 0 and 117 are unused.
constexpr const char *EnumerationTexts[] = {
    "", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "B", "D", "E", "F", "G", "H", "I", "J", "S", "T", "U", "V",
    "X", "Odd", "Even", "True", "False", "None", "Enabled", "Disabled", "Printer", "CMD Line", "X-Parent", "Block 1",
    "Raw DSP Data", "Quillmoor", "Quillmoor No Addr", "Continuous AC", "Continuous RH", "Modbus", "ASCII", "RTU",
    "Tone Dial", "Pulse Dial", "Auto Answer", "Auto Detect", "Compress Off", "Compress CTC", "DSP", "APPL", "OS",
    "Analog 1", "Analog 2", "Analog 4", "Dump", "Batch", "System", "Electronics", "Transducer", "Not Used",
    "Frequency", "Phase", "Temperature", "Density", "Mass Flow", "Mass Total", "Volume Flow", "Volume Total",
    "Std Volume Flow", "Std Volume Total", "Concentration", "Concentrate Flow", "Concentrate Total", "Net Oil Flow",
    "Net Oil Total", "Batch Total", "Sensor Voltage", "Drive Amplitude", "Raw DSP Data", "Analog Current",
    "Keyboard Data", "Sensor Error", "Tubes Not Vib", "DSP Failure", "4-20 Failure", "RTD Failure",
    "Pulse Buffer Overflow", "System Problem", "Low Batch", "High Batch", "Any Alarm", "Indicator", "FailSafe", "All",
    "Time", "No", "Yes", "Mass Total Fwd", "Mass Total Rev", "Vol Total Fwd", "Vol Total Rev", "Std Vol Tot Fwd",
    "Std Vol Tot Rev", "Concen. Total Fwd", "Concen. Total Rev", "Batch Size", "Net Oil Total Fwd",
    "Net Oil Total Rev", "Net Water Total", "Net Water Total Fwd", "Net Water Total Rev", "Net Volume Total",
    "Net Volume Total Fwd", "Net Volume Total Rev", "Oil % Water Cut", "Prod. Water Rate", "", "Forward", "Reverse",
    "Alarm1", "Alarm2", "Tube Frequency", "Phase Shift", "Driver Current", "lb", "kg", "tonne", "oz", "g", "cc",
    "liter", "m3", "USgal", "IMgal", "Barrel", "g/cc", "lb/ft3", "kg/m3", "lb/gal", "%", "BRIX", "BAUME Light",
    "BAUME Heavy", "°API", "lb/sec", "lb/min", "lb/hr", "kg/sec", "kg/min", "kg/hr", "tonne/sec", "tonne/min",
    "tonne/hr", "oz/sec", "oz/min", "oz/hr", "g/sec", "g/min", "g/hr", "cc/sec", "cc/min", "cc/hr", "liter/sec",
    "liter/min", "liter/hr", "m3/sec", "m3/min", "m3/hr", "USgal/sec", "USgal/min", "USgal/hr", "IMgal/sec",
    "IMgal/min", "IMgal/hr", "Barrel/sec", "Barrel/min", "Barrel/hr", "Special", "m3/day", "Barrel/day", "Hz", "Rad",
    "Deg", "°C", "°F", "Volts", "mVolts", "Amps", "mAmps", "Ohms", "mOhms", "sec", "min", "hr", "m012", "m025",
    "m050", "m100", "m200", "m300", "m400", "9.0 kg/min (20lb/min)", "36 kg/min (80 lb/min)",
    "136 kg/min (300 lb/min)", "500 kg/min (1100 lb/min)", "1450 kg/min (3200 lb/min)", "4080 kg/min (9000 Ib/min)",
    "6800 kg/min (15000 lb/min)", "HASTELLOY C-22", "316L Stainless Steel", "3/8 Inch", "1/2 Inch", "3/4 Inch",
    "1 Inch", "2 Inch", "3 Inch", "4 Inch", "6 Inch", "8 Inch", "1-1/2 Inch", "3A 1-1/2 TriClamp", "3A 2 Tri-Clamp",
    "3A 2-1/2 TriClamp", "3A 4 Tri-Clamp", "DN15", "DN25", "DN50", "DN80", "DN100", "DN150", "DN200", "Special Size",
    "VCO fittings", "150# ANSI RF", "300# ANSI RF", "600# ANSI RF", "900# ANSI RF", "DIN PN40", "DIN PN100",
    "3A-Authorized Tri-Clamp", "Industrial Tri-Clamp", "Special Rating", "General Purpose", "FM Approved",
    "CSA Approved", "CENELEC Approved",
};
static_assert(std::size(EnumerationTexts) == TextTable::EnumerationLast + 1);

// Descriptions of the transmitter's error-log codes 0..14.
constexpr const char *ErrorLogTexts[] = {
    "<NO ERRORS LOGGED>", "DSP COMM FAILURE #1", "DSP RX MSG TIMEOUT", "DSP COMM FAILURE #3", "DSP PLL NOT LOCKED",
    "DSP CHECKSUM ERROR", "DSP LOST EVENT",      "DSP UNEXPECTED DATA", "DSP DATA OVERRUN",  "RTD FAILURE",
    "ANALOG FAULT-1",     "ANALOG FAULT-2",      "ANALOG FAULT-4",     "TASK MISSING",      "TASK HAS BAD REV NO",
};
static_assert(std::size(ErrorLogTexts) <= TextTable::ErrorLogLast - TextTable::ErrorLogFirst + 1);

// The whole table, assembled once from the texts above and the catalogue's own
// block, field and coil names, so that no name is typed twice.
QStringList buildTable()
{
    QStringList t;
    t.resize(TextTable::Size);
    for (int i = 0; i <= TextTable::EnumerationLast; ++i)
        t[i] = QString::fromUtf8(EnumerationTexts[i]);
    for (const BlockDef &b : Catalogue::blocks())
        t[TextTable::BlockNameFirst + b.index] = b.qName();
    int next = TextTable::FieldNameFirst;
    for (const LayoutDef &l : Catalogue::layouts()) {
        for (const FieldDef &f : l.fields) {
            const QString name = f.qName();
            if (next <= TextTable::FieldNameLast &&
                !t.mid(TextTable::FieldNameFirst, next - TextTable::FieldNameFirst).contains(name))
                t[next++] = name;
        }
    }
    Q_ASSERT(next <= TextTable::FieldNameLast + 1);
    int coil = TextTable::CoilNameFirst;
    for (const CoilDef &c : Catalogue::coils())
        t[coil++] = c.qName();
    for (int i = 0; i < int(std::size(ErrorLogTexts)); ++i)
        t[TextTable::ErrorLogFirst + i] = QString::fromLatin1(ErrorLogTexts[i]);
    return t;
}

const QStringList &table()
{
    static const QStringList t = buildTable();
    return t;
}

struct GroupRange {
    int first;
    int last;
};

GroupRange rangeOf(int groupNumber)
{
    switch (groupNumber) {
    case TextTable::Enumerations:
        return {TextTable::EnumerationFirst, TextTable::EnumerationLast};
    case TextTable::BlockNames:
        return {TextTable::BlockNameFirst, TextTable::BlockNameLast};
    case TextTable::FieldNames:
        return {TextTable::FieldNameFirst, TextTable::FieldNameLast};
    case TextTable::CoilNames:
        return {TextTable::CoilNameFirst, TextTable::CoilNameLast};
    case TextTable::ErrorLogTexts:
        return {TextTable::ErrorLogFirst, TextTable::ErrorLogLast};
    default:
        return {0, -1};
    }
}

}  // namespace

QString TextTable::text(int id)
{
    return id >= 0 && id < Size ? table().at(id) : QString();
}

QStringList TextTable::group(int groupNumber)
{
    const GroupRange r = rangeOf(groupNumber);
    return r.last < r.first ? QStringList() : table().mid(r.first, r.last - r.first + 1);
}

int TextTable::first(int groupNumber)
{
    const GroupRange r = rangeOf(groupNumber);
    return r.last < r.first ? 0 : r.first;
}

int TextTable::last(int groupNumber)
{
    const GroupRange r = rangeOf(groupNumber);
    return r.last < r.first ? 0 : r.last;
}

QString TextTable::errorLogText(int errorCode)
{
    return errorCode >= 0 && errorCode <= ErrorLogLast - ErrorLogFirst ? text(ErrorLogFirst + errorCode) : QString();
}

int TextTable::fieldNameId(QStringView name)
{
    if (name.isEmpty())
        return 0;
    const int at = int(table().mid(FieldNameFirst, FieldNameLast - FieldNameFirst + 1).indexOf(name.toString()));
    return at < 0 ? 0 : FieldNameFirst + at;
}

#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

class RegisterImage;

// Value type codes as the transmitter's tables carry them. Several codes share a
// meaning (0/1/2 are all one byte, 3/4 both 16-bit); any code not listed here is
// treated as text.
namespace ValueType {
constexpr uint8_t U8Plain = 0;   // single byte, used by BaseRate and some reserved bytes
constexpr uint8_t U8 = 2;        // single byte (the usual code)
constexpr uint8_t U16Alarm = 3;  // 16-bit, the alarm words of AlarmLog2
constexpr uint8_t U16 = 4;       // 16-bit (the usual code)
constexpr uint8_t I32 = 5;
constexpr uint8_t F64 = 6;
constexpr uint8_t Text = 8;
constexpr uint8_t F32 = 9;
}

// What a value type code means for the codec.
enum class ValueKind { U8, U16, I32, F64, F32, Text };
ValueKind valueKindOf(uint8_t valueType);

// One field of a record layout, in storage order. A nested field (nested != 0)
// holds `bytes` bytes described by another layout; its own name never appears in
// a key, and when it is larger than that layout only the first element is named.
struct FieldDef {
    std::string_view name;
    uint8_t bytes;
    uint8_t type;    // value type code, ignored for a nested field
    uint8_t nested;  // 0, or the number of the nested layout

    QString qName() const { return QString::fromLatin1(name.data(), qsizetype(name.size())); }
};

struct LayoutDef {
    uint8_t number;  // 1..40
    uint8_t bytes;
    std::span<const FieldDef> fields;
};

// One register block. A simple block (layout 0) is a single value of `type`.
struct BlockDef {
    uint8_t index;  // 0..127
    std::string_view name;
    uint16_t startRegister;
    uint8_t bytes;
    uint8_t layout;  // 0 for a simple block, else 1..40
    uint8_t type;    // value type code of a simple block

    int byteOffset() const { return 2 * startRegister; }
    int registerCount() const { return bytes / 2; }
    int endRegister() const { return startRegister + bytes / 2; }  // one past the last
    QString qName() const { return QString::fromLatin1(name.data(), qsizetype(name.size())); }
};

struct CoilDef {
    uint16_t number;  // 0..73, 79..87
    std::string_view name;
    QString qName() const { return QString::fromLatin1(name.data(), qsizetype(name.size())); }
};

// One plain field of a block as the block walk meets it: the catalogue key
// ("Block" or "Block.Field"), where its bytes sit in the register image, and how
// they are coded. Keys repeat where the layouts repeat names.
struct FieldRef {
    QString key;
    int byteOffset;
    int byteCount;
    uint8_t type;
};

// The static description of the register image: 128 register blocks, 40 record
// layouts, 83 coils. All tables are compiled in and never change.
class Catalogue {
public:
    static constexpr int BlockCount = 128;
    static constexpr int LayoutCount = 40;
    static constexpr int CoilCount = 83;
    static constexpr int FirstConfigBlock = 27;   // CfgBatch
    static constexpr int LastConfigBlock = 127;   // CfgTxVarEx
    static constexpr int SysMgrBlock = 108;       // command words and passwords: never transferred

    static std::span<const BlockDef> blocks();
    static std::span<const LayoutDef> layouts();
    static std::span<const CoilDef> coils();

    // nullptr when out of range / unknown.
    static const BlockDef *block(int index);
    static const BlockDef *blockByName(QStringView name);          // exact, case-sensitive
    static const BlockDef *blockStartingAt(int startRegister);
    static const LayoutDef *layout(int number);
    static const CoilDef *coilByNumber(int number);

    // Blocks 27..127 without SysMgr, in table order: what a whole-configuration
    // transfer, the text file and the report cover.
    static bool isConfigurationBlock(int index);
    static QList<int> configurationBlocks();

    // The plain fields of a block in walk order (a simple block is one field keyed
    // by the block name).
    static QList<FieldRef> fields(int blockIndex);
    // The first field with that key ("CfgMiscInfo.Tag", "ModbusAddr").
    static std::optional<FieldRef> fieldByKey(QStringView key);

    // The block walk: one "Key, value" line per plain field. Values are formatted
    // with the given decimal separator ('.' for files).
    static QStringList walkBlock(const RegisterImage &image, int blockIndex, QChar decimalPoint = QLatin1Char('.'));

    // Listings for the test console and the coil status window.
    static QStringList blockNames();   // 128, table order
    static QStringList coilNames();    // 83, coil order
    // Name of coil n for the coil status panel: empty for 74..78 and unknown numbers.
    static QString coilName(int number);
};

#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// The numbered display texts. Numbers without a text (0, the gaps between the
// groups, 117, 247) give an empty text.
//
//   1..246   enumeration texts: a transmitter code c is shown as text c + 1
//            (unit texts, choice-list items, sensor sizes, ...)
//   248..375 block names: block i is text 248 + i
//   377..657 field names of the record layouts (each distinct name once);
//            658 is the empty text that ends every layout
//   659..741 coil names in coil order
//   743..758 error-log descriptions: error code c is text 743 + c (codes 0..14)
class TextTable {
public:
    enum Group {
        Enumerations = 1,
        BlockNames = 2,
        FieldNames = 3,
        CoilNames = 4,
        ErrorLogTexts = 5,
    };

    static constexpr int EnumerationFirst = 1;
    static constexpr int EnumerationLast = 246;
    static constexpr int BlockNameFirst = 248;
    static constexpr int BlockNameLast = 375;
    static constexpr int FieldNameFirst = 377;
    static constexpr int FieldNameLast = 657;
    static constexpr int LayoutEnd = 658;
    static constexpr int CoilNameFirst = 659;
    static constexpr int CoilNameLast = 741;
    static constexpr int ErrorLogFirst = 743;
    static constexpr int ErrorLogLast = 758;
    static constexpr int Size = 759;  // numbers 0..758

    // The text numbered id; empty for ids without a text or out of range.
    static QString text(int id);

    // Every number of a group in ascending order, empty slots included, so that
    // position k of the list is text first(group) + k.
    static QStringList group(int groupNumber);
    static int first(int groupNumber);  // 0 for an unknown group
    static int last(int groupNumber);

    // Shortcuts.
    static QString enumerationText(int code, int offset = 1) { return text(code + offset); }
    static QString errorLogText(int errorCode);  // empty for codes without a text
    static int fieldNameId(QStringView name);     // 0 when the name is unknown
};

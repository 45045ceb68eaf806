#pragma once

#include <QList>
#include <QString>

class QComboBox;

// A combo box whose items stand for codes (a unit index, a quantity code, a list
// position). The code the transmitter holds is shown by selecting its item; a code
// that matches no item selects nothing and is kept, so that it is written back
// unchanged unless the user picks an item.
class CodeChoice {
public:
    struct Item {
        QString text;
        int code;
    };

    explicit CodeChoice(QComboBox *combo) : m_combo(combo) {}

    QComboBox *combo() const { return m_combo; }
    // Replaces the items; codes default to the positions 0, 1, 2, ...
    void setItems(const QList<Item> &items);
    void setItems(const QStringList &texts);
    // Selects the item of a code, or none when no item has it.
    void show(int code);
    // The selected item's code, else the code last shown.
    int code() const;
    // True when an item is selected.
    bool matched() const;
    // Position of the item with this code, or -1.
    int indexOf(int code) const;

private:
    QComboBox *m_combo;
    int m_heldCode = 0;
};

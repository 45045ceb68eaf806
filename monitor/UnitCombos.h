#pragma once

#include <QList>
#include <QString>

class QComboBox;

// Selects a unit index in a combo; an index the list does not have selects the
// first unit, so the selection always names a unit of the list.
void SelectUnitIndex(QComboBox *combo, int unitIndex);

// The unit choices of a window kept in one section of TARVINE.INI in the working
// directory, one key per combo, each holding the combo's displayed text.
class UnitChoiceFile {
public:
    UnitChoiceFile(QString section, QString directory = QString());

    void add(const QString &key, QComboBox *combo);
    // Texts are written cut to this many characters (0: whole); a cut text loads
    // back into the first item it begins.
    void setMaxChars(int maxChars) { m_maxChars = maxChars; }

    // Writes every key. On failure *error names the file and the reason.
    bool save(QString *error) const;
    // Selects, in each combo, the unit whose text is stored under its key. A
    // missing key, or a text the list does not hold (such as a Special unit's own
    // text saved earlier), keeps the combo's selection.
    void load() const;

    QString section() const { return m_section; }

private:
    struct Entry {
        QString key;
        QComboBox *combo;
    };
    QString m_section;
    QString m_directory;
    QList<Entry> m_entries;
    int m_maxChars = 0;
};

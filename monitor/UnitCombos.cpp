#include "UnitCombos.h"

#include "IniFile.h"

#include <QComboBox>
#include <QDir>

namespace {
const QString SettingsFileName = QStringLiteral("TARVINE.INI");
}

void SelectUnitIndex(QComboBox *combo, int unitIndex)
{
    combo->setCurrentIndex(unitIndex >= 0 && unitIndex < combo->count() ? unitIndex : (combo->count() > 0 ? 0 : -1));
}

UnitChoiceFile::UnitChoiceFile(QString section, QString directory)
    : m_section(std::move(section)), m_directory(directory.isEmpty() ? QDir::currentPath() : std::move(directory))
{
}

void UnitChoiceFile::add(const QString &key, QComboBox *combo)
{
    m_entries.append({key, combo});
}

bool UnitChoiceFile::save(QString *error) const
{
    IniFile ini(m_directory, SettingsFileName);
    for (const Entry &e : m_entries)
        if (!ini.writeString(m_section, e.key,
                             m_maxChars > 0 ? e.combo->currentText().left(m_maxChars) : e.combo->currentText(), error))
            return false;
    return true;
}

void UnitChoiceFile::load() const
{
    const IniFile ini(m_directory, SettingsFileName);
    for (const Entry &e : m_entries) {
        const QString text = ini.readString(m_section, e.key, e.combo->currentText());
        int position = e.combo->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        for (int i = 0; position < 0 && m_maxChars > 0 && text.size() == m_maxChars && i < e.combo->count(); ++i)
            if (e.combo->itemText(i).startsWith(text))
                position = i;
        if (position >= 0)
            e.combo->setCurrentIndex(position);
    }
}

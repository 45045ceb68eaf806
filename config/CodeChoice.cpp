#include "CodeChoice.h"

#include <QComboBox>

void CodeChoice::setItems(const QList<Item> &items)
{
    m_combo->clear();
    for (const Item &item : items)
        m_combo->addItem(item.text, item.code);
    m_combo->setMaxVisibleItems(qMax(1, int(items.size())));
}

void CodeChoice::setItems(const QStringList &texts)
{
    QList<Item> items;
    for (int i = 0; i < texts.size(); ++i)
        items.append({texts[i], i});
    setItems(items);
}

int CodeChoice::indexOf(int code) const
{
    return m_combo->findData(code);
}

void CodeChoice::show(int code)
{
    m_heldCode = code;
    m_combo->setCurrentIndex(indexOf(code));
}

int CodeChoice::code() const
{
    const int i = m_combo->currentIndex();
    return i >= 0 ? m_combo->itemData(i).toInt() : m_heldCode;
}

bool CodeChoice::matched() const
{
    return m_combo->currentIndex() >= 0;
}

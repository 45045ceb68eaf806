#include "EntryField.h"

#include "ValueCodec.h"

#include <QLineEdit>

#include <cmath>

EntryField::EntryField(QLineEdit *edit, QString invalidText, QObject *parent)
    : QObject(parent), m_edit(edit), m_invalidText(std::move(invalidText))
{
    // A window being closed or torn down takes the focus from its fields; their
    // checks must not run then (the window's members may already be gone).
    connect(edit, &QLineEdit::editingFinished, this, [this] {
        if (m_edit->window()->isVisible())
            check();
    });
    connect(edit, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_edited = true;
        if (text.isEmpty() && !m_emptyText.isEmpty()) {
            m_edit->setText(m_emptyText);
            m_edit->selectAll();
        }
        emit edited();
    });
}

void EntryField::setIntegerRange(qint64 min, qint64 max)
{
    m_integerRange = std::make_pair(min, max);
}

void EntryField::setFormat(Format format, bool reformat)
{
    m_format = std::move(format);
    m_reformat = reformat;
}

QString EntryField::formatted(double value) const
{
    if (m_format)
        return m_format(value);
    return m_integerRange ? QString::number(qint64(value)) : ValueCodec::formatFloat(value);
}

void EntryField::setValue(double value)
{
    m_value = m_previous = value;
    m_edited = false;
    m_edit->setText(formatted(value));
}

std::optional<double> EntryField::parsed() const
{
    bool ok = false;
    const QString text = m_edit->text().trimmed();
    if (m_integerRange) {
        const qint64 v = ValueCodec::parseInteger(text, &ok);
        if (!ok || v < m_integerRange->first || v > m_integerRange->second)
            return std::nullopt;
        return double(v);
    }
    const double v = ValueCodec::parseFloat(text, &ok);
    if (!ok || !std::isfinite(v) || (m_range && (v < m_range->first || v > m_range->second)))
        return std::nullopt;
    return v;
}

void EntryField::restore()
{
    m_edited = false;
    m_edit->setText(formatted(m_value));
}

void EntryField::undoAccept()
{
    m_value = m_previous;
    m_acceptTakenBack = true;
    restore();
}

bool EntryField::check()
{
    if (!m_edited)
        return true;
    const std::optional<double> v = parsed();
    if (!v) {
        restore();
        emit refused(m_invalidText);
        return false;
    }
    m_previous = m_value;
    m_value = *v;
    m_edited = false;
    if (m_reformat)
        m_edit->setText(formatted(*v));
    m_acceptTakenBack = false;
    emit accepted(*v);
    const bool kept = !m_acceptTakenBack;
    m_acceptTakenBack = false;
    return kept;
}

#include "EntryFields.h"

#include <QEvent>
#include <QLineEdit>
#include <QLocale>

#include <cmath>

EntryFields::EntryFields(std::function<void(const QString &)> status, QObject *parent)
    : QObject(parent), m_status(std::move(status))
{
}

void EntryFields::add(QLineEdit *edit, FieldRule rule)
{
    m_fields.insert(edit, Field{std::move(rule), 0.0});
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, [this, edit] { textEdited(edit); });
}

double EntryFields::value(QLineEdit *edit) const
{
    return m_fields.value(edit).value;
}

void EntryFields::setValue(QLineEdit *edit, double value)
{
    auto it = m_fields.find(edit);
    if (it == m_fields.end())
        return;
    it->value = value;
    edit->setText(it->rule.format ? it->rule.format(value) : QString::number(value));
}

std::optional<double> EntryFields::parse(const QString &text, const FieldRule &rule)
{
    const QString t = text.trimmed();
    bool ok = false;
    double v = QLocale::c().toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(QString(t).replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    if (rule.integer && v != std::trunc(v))
        return std::nullopt;
    if (v < rule.min || v > rule.max || (rule.nonZero && v == 0.0) || (rule.accepts && !rule.accepts(v)))
        return std::nullopt;
    return v;
}

bool EntryFields::parses(QLineEdit *edit) const
{
    const auto it = m_fields.constFind(edit);
    return it != m_fields.constEnd() && parse(edit->text(), it->rule).has_value();
}

bool EntryFields::check(QLineEdit *edit)
{
    auto it = m_fields.find(edit);
    if (it == m_fields.end())
        return false;
    m_checking = true;
    const std::optional<double> v = parse(edit->text(), it->rule);
    if (v)
        it->value = *v;
    setValue(edit, it->value);
    m_checking = false;
    if (!v) {
        m_status(QStringLiteral("Invalid %1, old value restored!").arg(it->rule.name));
        emit refused(edit);
        return false;
    }
    if (!it->rule.acceptedStatus.isEmpty())
        m_status(it->rule.acceptedStatus);
    emit accepted(edit);
    return true;
}

void EntryFields::textEdited(QLineEdit *edit)
{
    if (!m_typingArmed || m_checking)
        return;
    if (edit->text().isEmpty())
        edit->setText(QStringLiteral("0.0"));
    emit edited(edit);
}

bool EntryFields::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    if (edit && m_fields.contains(edit) && edit->isEnabled()) {
        if (event->type() == QEvent::FocusIn) {
            if (!m_fields[edit].rule.focusPrompt.isEmpty())
                m_status(m_fields[edit].rule.focusPrompt);
            emit focused(edit);
        } else if (event->type() == QEvent::FocusOut && !edit->isReadOnly()) {
            check(edit);
        }
    }
    return QObject::eventFilter(watched, event);
}

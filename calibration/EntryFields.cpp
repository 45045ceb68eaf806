#include "EntryFields.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>

#include <cmath>

EntryFields::EntryFields(std::function<void(const QString &)> status, std::function<void(const QString &)> notice,
                         QObject *parent)
    : QObject(parent), m_status(std::move(status)), m_notice(notice ? std::move(notice) : m_status)
{
}

void EntryFields::add(QLineEdit *edit, FieldRule rule)
{
    m_fields.insert(edit, Field{.rule = std::move(rule)});
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, [this, edit] { textEdited(edit); });
}

double EntryFields::value(QLineEdit *edit) const
{
    return m_fields.value(edit).value;
}

void EntryFields::show(QLineEdit *edit, const Field &field)
{
    edit->setText(field.rule.format ? field.rule.format(field.value) : QString::number(field.value));
}

void EntryFields::setValue(QLineEdit *edit, double value, bool asEntry)
{
    auto it = m_fields.find(edit);
    if (it == m_fields.end())
        return;
    it->value = value;
    it->edited = false;
    it->entered = asEntry;
    show(edit, *it);
}

void EntryFields::showPlaceholder(QLineEdit *edit, const QString &text)
{
    auto it = m_fields.find(edit);
    if (it == m_fields.end())
        return;
    it->edited = it->entered = false;
    edit->setText(text);
}

bool EntryFields::entered(QLineEdit *edit) const
{
    return m_fields.value(edit).entered;
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
    if (!it->edited)
        return true;
    it->edited = false;
    const std::optional<double> v = parse(edit->text(), it->rule);
    if (!v) {
        show(edit, *it);
        m_notice(QStringLiteral("Invalid %1, old value restored!").arg(it->rule.name));
        emit refused(edit);
        return false;
    }
    it->value = *v;
    it->entered = true;
    show(edit, *it);
    if (!it->rule.acceptedStatus.isEmpty())
        m_status(it->rule.acceptedStatus);
    emit accepted(edit);
    return true;
}

bool EntryFields::checkEntered(QLineEdit *edit)
{
    if (!check(edit))
        return false;
    if (entered(edit))
        return true;
    const FieldRule &rule = m_fields[edit].rule;
    m_notice(rule.missingStatus.isEmpty() ? QStringLiteral("Enter the %1 first: the value shown was not typed.").arg(rule.name)
                                          : rule.missingStatus);
    emit refused(edit);
    return false;
}

void EntryFields::textEdited(QLineEdit *edit)
{
    if (!m_typingArmed)
        return;
    m_fields[edit].edited = true;
    if (edit->text().isEmpty()) {
        // Selected, so that the next keystroke replaces it instead of following it.
        edit->setText(QStringLiteral("0.0"));
        edit->selectAll();
    }
    emit edited(edit);
}

bool EntryFields::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    if (!edit || !m_fields.contains(edit) || !edit->isEnabled())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn:
        if (!m_fields[edit].rule.focusPrompt.isEmpty())
            m_status(m_fields[edit].rule.focusPrompt);
        emit focused(edit);
        break;
    case QEvent::FocusOut:
        if (!edit->isReadOnly())
            check(edit);
        break;
    case QEvent::KeyPress: {
        // Return goes on to the next field (where its leave-focus check runs), never to Apply.
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QCoreApplication::sendEvent(edit, &tab);
            return true;
        }
        break;
    }
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

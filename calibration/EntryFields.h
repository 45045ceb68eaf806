#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <limits>
#include <optional>

class QLineEdit;

// What an entry field accepts and how it shows its value.
struct FieldRule {
    // Names the field in "Invalid <name>, old value restored!".
    QString name{};
    std::function<QString(double)> format{};
    // Inclusive range; values outside it cannot be represented where they go.
    double min = -std::numeric_limits<double>::max();
    double max = std::numeric_limits<double>::max();
    // A value that is a divisor or a scale downstream: zero is refused.
    bool nonZero = false;
    // Whole numbers only (counts, 16-bit and byte fields).
    bool integer = false;
    // A further condition on the value (against another field, say; empty: none).
    std::function<bool(double)> accepts{};
    // Status texts when the field gets the focus and after a valid entry (empty: none).
    QString focusPrompt{};
    QString acceptedStatus{};
};

// Ranges of the transmitter's integer fields.
namespace FieldRange {
inline constexpr double Byte = 255.0;
inline constexpr double Word = 65535.0;
}

// The entry fields of a calibration window. Each field keeps the value it last
// accepted; when it loses the focus its text is parsed and checked against its
// rule: text that is not a number, or a value the transmitter cannot take
// (infinite, NaN, out of range, a zero divisor), brings the old value back and
// says so in the status panel. A field emptied while typing shows "0.0".
class EntryFields : public QObject {
    Q_OBJECT
public:
    explicit EntryFields(std::function<void(const QString &)> status, QObject *parent = nullptr);

    void add(QLineEdit *edit, FieldRule rule);
    double value(QLineEdit *edit) const;
    // Shows and keeps a value without any check (values read from the transmitter).
    void setValue(QLineEdit *edit, double value);
    // The leave-focus check, also run by Apply so a value still being typed counts.
    bool check(QLineEdit *edit);
    // Typing fills an emptied field only while armed (not while refreshing).
    void setTypingArmed(bool armed) { m_typingArmed = armed; }

    // Whether the field's present text would pass its check.
    bool parses(QLineEdit *edit) const;
    // The value a text gives under a rule, or nothing when the rule refuses it.
    static std::optional<double> parse(const QString &text, const FieldRule &rule);

signals:
    void focused(QLineEdit *edit);
    void edited(QLineEdit *edit);
    void accepted(QLineEdit *edit);
    void refused(QLineEdit *edit);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Field {
        FieldRule rule;
        double value = 0.0;
    };
    void textEdited(QLineEdit *edit);

    std::function<void(const QString &)> m_status;
    QHash<QLineEdit *, Field> m_fields;
    bool m_typingArmed = true;
    bool m_checking = false;
};

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
    // Said when a value must be typed and was not (empty: a text made from the name).
    QString missingStatus{};
};

// Ranges of the transmitter's integer fields.
namespace FieldRange {
inline constexpr double Byte = 255.0;
inline constexpr double Word = 65535.0;
}

// The entry fields of a window. A field holds its stored value (read from the
// transmitter, or last accepted from the user) and whether the user changed it:
// only text the user typed is parsed, so an untouched field keeps its value
// exactly, and a placeholder ("0.0000", an untouched 0.000 mA) never counts as an
// entry. When a typed field loses the focus its text is checked against its rule:
// text that is not a number, or a value the transmitter cannot take (infinite,
// NaN, out of range, a zero divisor), brings the old value back and says so. A
// field emptied while typing shows "0.0" selected, so the next keystroke replaces
// it. Return moves to the next field: no button of these windows is a default.
class EntryFields : public QObject {
    Q_OBJECT
public:
    // status shows prompts; notice shows a refusal, which should stay visible until
    // the user types again (empty: status).
    explicit EntryFields(std::function<void(const QString &)> status,
                         std::function<void(const QString &)> notice = {}, QObject *parent = nullptr);

    void add(QLineEdit *edit, FieldRule rule);
    double value(QLineEdit *edit) const;
    // Shows and keeps a value without any check: a value read from the transmitter
    // (no longer an entry of the user), or asEntry an entry brought into range.
    void setValue(QLineEdit *edit, double value, bool asEntry = false);
    // Shows text that stands for no value (a prompt to type one); the stored value stays.
    void showPlaceholder(QLineEdit *edit, const QString &text);
    // The leave-focus check, also run by Apply so a value still being typed counts.
    // An untouched field passes unchanged.
    bool check(QLineEdit *edit);
    // Check, and also require that the user typed the value (not a placeholder or a
    // value shown before); says which field is missing otherwise.
    bool checkEntered(QLineEdit *edit);
    // Whether the stored value was typed and accepted since it was last shown.
    bool entered(QLineEdit *edit) const;
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
        bool edited = false;
        bool entered = false;
    };
    void textEdited(QLineEdit *edit);
    void show(QLineEdit *edit, const Field &field);

    std::function<void(const QString &)> m_status;
    std::function<void(const QString &)> m_notice;
    QHash<QLineEdit *, Field> m_fields;
    bool m_typingArmed = true;
};

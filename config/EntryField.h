#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLineEdit;

// The leave-focus check of a numeric entry field. Leaving the field (or pressing
// Enter) parses its text: text that is not a finite number, or for a whole-number
// field not a whole number inside the field's range (a byte, a 16-bit count), shows
// the previous value again and emits refused with the field's invalid-input text;
// a valid number becomes the field's value and is emitted with accepted.
class EntryField : public QObject {
    Q_OBJECT
public:
    using Format = std::function<QString(double)>;

    EntryField(QLineEdit *edit, QString invalidText, QObject *parent = nullptr);

    QLineEdit *edit() const { return m_edit; }
    QString invalidText() const { return m_invalidText; }

    // Whole numbers from min to max only (until cleared).
    void setIntegerRange(qint64 min, qint64 max);
    void clearIntegerRange() { m_integerRange.reset(); }
    // How values are shown; valid text is rewritten with it when reformat is set,
    // else it stays as typed.
    void setFormat(Format format, bool reformat = true);
    // Text that an emptied field takes while the user types ("0.0", "0").
    void setEmptyText(const QString &text) { m_emptyText = text; }

    // Shows a value; it becomes the previous value.
    void setValue(double value);
    double value() const { return m_value; }
    // The number the field holds now, if its text is valid (nothing is changed).
    std::optional<double> parsed() const;
    // Shows the previous value again.
    void restore();
    // Takes back the value last accepted: a check across fields refused it.
    void undoAccept();

    // What leaving the field does.
    void check();

signals:
    void accepted(double value);
    void refused(const QString &invalidText);
    // The user typed in the field.
    void edited();

private:
    QString formatted(double value) const;

    QLineEdit *m_edit;
    QString m_invalidText;
    std::optional<std::pair<qint64, qint64>> m_integerRange;
    Format m_format;
    bool m_reformat = true;
    QString m_emptyText;
    double m_value = 0.0;
    double m_previous = 0.0;
};

#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLineEdit;

// A numeric entry field. It holds the stored value (what the window showed from
// the transmitter, or what the technician entered and the field accepted) and
// whether the technician has typed since; its text is only a view of the value.
// Only an edited field is parsed: leaving it (or Return, or the window's Apply)
// runs check, which for an edited field parses the text. Text that is not a finite
// number, or for a whole-number field not a whole number inside the field's range
// (a byte, a 16-bit count), shows the value again and emits refused with the
// field's invalid-input text; a valid number becomes the value and is emitted with
// accepted. An untouched field is never re-read from its text, so a value shown
// rounded is never written back rounded.
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
    // Limits of a real value (inclusive); values outside are refused like bad text.
    void setRange(double min, double max) { m_range = std::make_pair(min, max); }
    void clearRange() { m_range.reset(); }
    // How values are shown; valid text is rewritten with it when reformat is set,
    // else it stays as typed.
    void setFormat(Format format, bool reformat = true);
    // Text that an emptied field takes while the user types ("0.0", "0"); it is
    // selected, so the next key typed replaces it.
    void setEmptyText(const QString &text) { m_emptyText = text; }

    // Shows a stored value; the field is no longer edited.
    void setValue(double value);
    double value() const { return m_value; }
    // True when the technician typed since the value was shown or accepted.
    bool isEdited() const { return m_edited; }
    // The number the field's text holds now, if valid (nothing is changed).
    std::optional<double> parsed() const;
    // Shows the value again and drops the edit.
    void restore();
    // Takes back the value just accepted (from an accepted handler): a rule across
    // fields or the conversion to the transmitter's units refused it. check then
    // reports the refusal.
    void undoAccept();

    // What leaving the field does. False when the field refused the edit.
    bool check();

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
    std::optional<std::pair<double, double>> m_range;
    Format m_format;
    bool m_reformat = true;
    QString m_emptyText;
    double m_value = 0.0;
    double m_previous = 0.0;
    bool m_edited = false;
    bool m_acceptTakenBack = false;
};

#pragma once

#include <QObject>

class CalibrationRecord;
class EntryFields;
class GuardedWindow;
class QPushButton;

// The "Certificate..." button of a calibration window: enabled once a calibration
// was recorded with its certificate, it saves that page as PDF. Every entry the
// technician makes in the window's fields goes to the record as a reading, with
// the field's caption and unit as the window shows them.
class CertificateOffer : public QObject {
public:
    // The button goes into the layout of before, ahead of it.
    CertificateOffer(GuardedWindow *window, QPushButton *before, EntryFields &fields, CalibrationRecord &record);

    QPushButton *button() const { return m_button; }
    // The operation whose certificate the button saves (-1: none, the button is disabled).
    void setOperation(qint64 id);
    // Saves the certificate (asks for the file; the window is busy meanwhile); false
    // when there is none or it was not saved.
    bool save();

private:
    GuardedWindow *m_window;
    QPushButton *m_button;
    CalibrationRecord &m_record;
    qint64 m_id = -1;
};

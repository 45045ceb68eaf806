#pragma once

#include "CalibrationRecord.h"
#include "GuardedWindow.h"

#include <QByteArray>

#include <functional>
#include <memory>
#include <optional>

class CertificateOffer;
class ClockTimer;
class EntryFields;
class InputLock;
class ModbusLink;
class Session;
struct WindowContext;

namespace Ui {
class TfrmSensorCalibration;
}

// "Sensor Adjustment": shows the pickoff amplitudes and the drive current, and
// edits the sensor error delay, the amplitude set point and the gain control, with
// Undo back to the values found when the window opened.
class TfrmSensorCalibration : public GuardedWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 459;
    static constexpr double MaxErrorDelaySeconds = 600.0;

    TfrmSensorCalibration(const WindowContext &context, int tag = Tag);
    ~TfrmSensorCalibration() override;

    // The set point the user sees (mVrms after the gain's loading) for a raw one,
    // and back; nothing for a gain that cannot be used or a raw value that does not
    // fit its 16-bit register.
    static std::optional<double> setpointShown(int raw, double gain);
    static std::optional<int> setpointRaw(double shown, double gain);

protected:
    void FormActivate() override;
    void beforeFinish() override;

private:
    void refresh();
    void apply();
    void undo();
    // Runs Apply or Undo unless one is in progress, for a user whose level allows writing.
    void userAction(const std::function<void()> &action);
    void setStatus(const QString &text);
    bool writeBlock(int first, const QByteArray &bytes);
    // Completes the history record of an Apply or Undo and offers its certificate.
    void finishRecord();

    std::unique_ptr<Ui::TfrmSensorCalibration> ui;
    ModbusLink &m_link;
    Session &m_session;
    EntryFields *m_fields;
    InputLock *m_lock;
    ClockTimer *Timer1;
    CalibrationRecord m_record;
    CertificateOffer *m_certificate;
    bool m_refresh = true;
    // The blocks as last read, and as read when the window opened (for Undo); empty when not read.
    QByteArray m_delayBlock, m_sensorBlock;
    QByteArray m_delayUndo, m_sensorUndo;
};

#pragma once

#include <QByteArray>
#include <QDialog>

#include <memory>

namespace Ui {
class TfrmCommPort;
}

class CommSetup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// "Configure Ostrel Comm Setup": the PC's port settings, and in unit mode also the
// transmitter's own serial interface. The PC side takes a new unit ID, framing or
// line parameters only once the transmitter has accepted them, so the two ends
// never drift apart.
class TfrmCommPort : public QDialog {
    Q_OBJECT
public:
    static constexpr int UnitModeTag = 4572;
    static constexpr int PcOnlyTag = 45720;

    explicit TfrmCommPort(CommSetup &comm, QWidget *parent = nullptr);
    ~TfrmCommPort() override;

    // Prepares the window for the menu item with tag (unit mode or PC only).
    void FormActivate(int tag);
    bool unitMode() const { return m_unitMode; }

    QComboBox *cboPort = nullptr;
    QComboBox *cboBaud = nullptr;
    QComboBox *cboParity = nullptr;
    QComboBox *cboDataBits = nullptr;
    QComboBox *cboStopBits = nullptr;
    QComboBox *cboFlow = nullptr;
    QComboBox *cboProtocol = nullptr;
    QComboBox *cboMode = nullptr;
    QLineEdit *txtAddress = nullptr;
    // The PC's own extra silence between frames (never sent to the transmitter).
    QSpinBox *spnExtraSilence = nullptr;
    QPushButton *btnApply = nullptr;
    QPushButton *btnUndo = nullptr;
    QPushButton *btnClose = nullptr;

public slots:
    void btnApplyClick();
    void btnUndoClick();
    // Scans the port for a transmitter; the PC takes the settings of the one picked.
    void btnFindUnitClick();
    void txtAddressExit();
    void cboPortChange();

private:
    // What the window shows: the transmitter's serial record (8 bytes as stored in
    // registers 2406..2409), protocol and mode indexes and the unit ID, and the PC's
    // own extra silence.
    struct ConfigSet {
        QByteArray sci = QByteArray(8, '\0');
        int protocol = -1;
        int mode = -1;
        int unitId = 0;
        int extraSilenceMs = 0;
    };

    void CfgChange(QObject *sender);
    ConfigSet readLoadedSet();
    void showSet(const ConfigSet &set);
    ConfigSet setFromWindow() const;
    void fillPortList();
    void applyPcSettings(int unitId);
    // The link and the PC settings take the extra silence shown; false when it was in use already.
    bool applyExtraSilence();
    // False when nothing was written because the PC port could not follow.
    bool unitWrite(int unitId);
    bool writeAccepted(int firstRegister, const QByteArray &bytes);
    // The transmitter takes a new line with coil 48 and the PC follows; false when the coil failed.
    bool moveLine(const QString &line);
    QString lineFromWindow() const;
    // Shows "Error when changing Port Settings: " when the PC port cannot take the line.
    bool portRefuses(const QString &line);
    void offerOnlyWhatThePortTakes();
    void showPcLine();
    bool networkPortChosen() const;
    // A network port has no line settings, and only there may the PC frame Modbus TCP.
    void fitFieldsToPort();
    // The PC takes the port text shown; false (the port in use shown again) when it
    // names no port.
    bool takePort();

    std::unique_ptr<Ui::TfrmCommPort> ui;
    CommSetup &m_comm;
    bool m_unitMode = false;
    bool m_baudOpen = true; // closed for a model that runs at 9600 only
    bool m_unitIdChanged = false;
    bool m_modeChanged = false;
    bool m_serialChanged = false;
    ConfigSet m_loaded;
};

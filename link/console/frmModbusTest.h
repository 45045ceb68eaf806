#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmModbusTest;
}

class CommSetup;
class ModbusLink;
class Session;
struct DecodedSelection;

// The raw Modbus console: reads any run of holding registers into an editable
// hex dump, decodes a selection of it, writes the dump or a block's name/value
// grid back, and reads, sets and clears single coils.
class TfrmModbusTest : public QDialog {
    Q_OBJECT
public:
    // comm: the PC follows a unit ID or framing written from the grid.
    explicit TfrmModbusTest(CommSetup &comm, QWidget *parent = nullptr);
    ~TfrmModbusTest() override;

public slots:
    void cboRegChange();
    void btnRegReadClick();
    void btnRegWriteClick();
    void btnWriteClick();
    void cboCoilChange();
    void btnCoilReadClick();
    void btnCoilSetClick();
    void btnCoilClearClick();
    void btnStatusClick();
    // Runs after a mouse-up or key-up in the dump.
    void decodeSelection();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

public slots:
    // Close, Escape and the close box: the console ends once the click that talks
    // to the transmitter has returned.
    void reject() override;

private:
    void connectControls();
    void fillLists();
    void FormActivate();
    void FormDeactivate();
    // Start and register count from the fields, checked against the image and
    // what one request of the kind can carry in the current framing; on failure
    // the "Invalid Data" box has said why.
    bool registerRange(int *start, int *count, int maxBytes);
    bool coilAddress(int *coil);
    void showCoil(int coil);
    // The selected block's field names, with the image's values when withValues.
    void fillGrid(bool withValues);
    void showDecoded(const DecodedSelection &d);
    int selectedBlock() const;
    void showOffsets();

    CommSetup &m_comm;
    ModbusLink &m_link;
    Session &m_session;
    int m_gridBlock = -1; // the block whose fields the grid lists
    int m_savedLevel = 0;
    int m_savedTransferLimit = 0;
    bool m_levelRaised = false;
    bool m_listsFilled = false;
    int m_stepDepth = 0;        // clicks running that may wait in the link
    bool m_closeRequested = false;

    std::unique_ptr<Ui::TfrmModbusTest> ui;
};

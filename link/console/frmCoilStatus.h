#pragma once

#include <QByteArray>
#include <QDialog>

class ModbusLink;
class QLabel;

// The states of coils 0..87 as a panel of indicators, rows of eight, read once
// each time the window is shown.
class TfrmCoilStatus : public QDialog {
    Q_OBJECT
public:
    static constexpr int CoilCount = 88;
    static constexpr int Columns = 8;
    static constexpr int CellWidth = 80;
    static constexpr int RowHeight = 42;  // an indicator and two lines of name

    TfrmCoilStatus(ModbusLink &link, QWidget *parent = nullptr);

    bool coilOn(int coil) const;
    // Below the panel: why no states are shown, or empty.
    QString statusText() const;
    // Where coil n's indicator is drawn (for the panel and its tests).
    static QPoint indicatorPos(int coil);

public slots:
    void FormActivate();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    ModbusLink &m_link;
    QByteArray m_states;  // packed: bit n%8 of byte n/8
    QLabel *m_status = nullptr;
};

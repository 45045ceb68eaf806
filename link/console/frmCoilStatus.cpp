#include "frmCoilStatus.h"

#include "Catalogue.h"
#include "LedPixmap.h"
#include "ModbusLink.h"

#include <QPainter>

TfrmCoilStatus::TfrmCoilStatus(ModbusLink &link, QWidget *parent)
    : QDialog(parent), m_link(link), m_states(CoilCount / 8, '\0')
{
    setObjectName(QStringLiteral("frmCoilStatus"));
    setWindowTitle(QStringLiteral("Coil Status"));
    setFixedSize(641, 480);
}

bool TfrmCoilStatus::coilOn(int coil) const
{
    if (coil < 0 || coil >= CoilCount)
        return false;
    return (uint8_t(m_states[coil / 8]) >> (coil % 8)) & 1;
}

QPoint TfrmCoilStatus::indicatorPos(int coil)
{
    return QPoint(32 + CellWidth * (coil % Columns), RowHeight * (coil / Columns) + 3);
}

void TfrmCoilStatus::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormActivate();
}

void TfrmCoilStatus::FormActivate()
{
    m_link.Read_Coil(0, CoilCount);
    const QByteArray packed = m_link.frameData();
    // Without a complete answer every indicator stays off; the link has told the user why.
    if (m_link.LastException() == 0 && packed.size() >= CoilCount / 8)
        m_states = packed.left(CoilCount / 8);
    else
        m_states.fill('\0');
    update();
}

void TfrmCoilStatus::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const QPixmap on = LedPixmap::green();
    const QPixmap off = LedPixmap::gray();
    QFont nameFont = font();
    nameFont.setPointSizeF(6.5);
    for (int coil = 0; coil < CoilCount; ++coil) {
        const int column = coil % Columns;
        const int top = RowHeight * (coil / Columns);
        if (column == 0)
            p.drawLine(0, top, 640, top);
        p.drawLine(CellWidth * column, top, CellWidth * column, top + RowHeight);
        const QPoint led = indicatorPos(coil);
        p.drawPixmap(led, coilOn(coil) ? on : off);
        p.setFont(font());
        p.drawText(led.x() + on.width() + 3, led.y() + on.height() - 2, QString::number(coil));
        p.setFont(nameFont);
        p.drawText(QRect(CellWidth * column, led.y() + on.height(), CellWidth, RowHeight - on.height() - 3),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, Catalogue::coilName(coil));
    }
}

#include "frmCoilStatus.h"

#include "Catalogue.h"
#include "LedPixmap.h"
#include "ModbusLink.h"

#include <QLabel>
#include <QPainter>

TfrmCoilStatus::TfrmCoilStatus(ModbusLink &link, QWidget *parent)
    : QDialog(parent), m_link(link), m_states(CoilCount / 8, '\0')
{
    setObjectName(QStringLiteral("frmCoilStatus"));
    setWindowTitle(QStringLiteral("Coil Status"));
    constexpr int StatusTop = RowHeight * (CoilCount / Columns) + 8, StatusHeight = 40;
    setFixedSize(Columns * CellWidth + 1, StatusTop + StatusHeight + 4);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setGeometry(8, StatusTop, Columns * CellWidth - 15, StatusHeight);
    m_status->setWordWrap(true);
}

QString TfrmCoilStatus::statusText() const
{
    return m_status->text();
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
    // Only this read's own answer paints states; otherwise every indicator is off.
    QString why;
    if (!m_link.portOpen())
        why = QStringLiteral("the Comm Port is closed.");
    else if (!m_link.MsgComplete())
        why = QStringLiteral("the unit did not answer.");
    else if (m_link.LastException() != 0)
        why = QStringLiteral("the unit answered \"%1\".").arg(ModbusLink::Exception_Text(m_link.LastException()));
    else if (packed.size() < CoilCount / 8)
        why = QStringLiteral("the reply held %1 of %2 bytes.").arg(packed.size()).arg(CoilCount / 8);
    if (why.isEmpty()) {
        m_states = packed.left(CoilCount / 8);
        m_status->clear();
    } else {
        m_states.fill('\0');
        m_status->setText(QStringLiteral("No coil states shown: ") + why);
    }
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
            p.drawLine(0, top, Columns * CellWidth, top);
        p.drawLine(CellWidth * column, top, CellWidth * column, top + RowHeight);
        const QPoint led = indicatorPos(coil);
        p.drawPixmap(led, coilOn(coil) ? on : off);
        p.setFont(font());
        p.drawText(led.x() + on.width() + 3, led.y() + on.height() - 2, QString::number(coil));
        p.setFont(nameFont);
        p.drawText(QRect(CellWidth * column, led.y() + on.height(), CellWidth, RowHeight - on.height() - 3),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, Catalogue::coilName(coil));
    }
    const int bottom = RowHeight * (CoilCount / Columns);
    p.drawLine(0, bottom, Columns * CellWidth, bottom);
}

#include "LedPixmap.h"

#include <QPainter>

namespace LedPixmap {

QPixmap make(const QColor &fill, int diameter)
{
    QPixmap pm(diameter, diameter);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(0.5, 0.5, diameter - 1, diameter - 1));
    return pm;
}

}  // namespace LedPixmap

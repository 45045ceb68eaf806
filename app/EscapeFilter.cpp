#include "EscapeFilter.h"

#include "Session.h"

#include <QKeyEvent>

bool EscapeFilter::eventFilter(QObject *watched, QEvent *event)
{
    // Escape asks the running procedure to stop and then does what it always does
    // (closes a menu, a message box, a dialog, the preview).
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
        m_session.setAbort(true);
    return QObject::eventFilter(watched, event);
}

#include "EscapeFilter.h"

#include "Session.h"

#include <QKeyEvent>

bool EscapeFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            if (event->type() == QEvent::KeyPress)
                m_session.setAbort(true);
            event->accept();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

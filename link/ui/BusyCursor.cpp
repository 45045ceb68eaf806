#include "BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace {
bool busyShown = false;
}

void BusyCursor::set(bool busy)
{
    if (busy == busyShown)
        return;
    busyShown = busy;
    if (busy)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}

bool BusyCursor::isSet()
{
    return busyShown;
}

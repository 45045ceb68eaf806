#include "MonitorWindows.h"

#include "PollCycle.h"

#include "frmViewAlarmLog.h"
#include "frmViewErrorLog.h"
#include "frmViewMeasurements.h"
#include "frmViewOutputs.h"

namespace MonitorWindows {

QList<int> tags()
{
    return {TfrmViewMeasurements::Tag, TfrmViewOutputs::Tag, TfrmViewAlarmLog::Tag, TfrmViewErrorLog::Tag};
}

namespace {
QDialog *make(int tag, ModbusLink &link, Session &session, QWidget *parent)
{
    switch (tag) {
    case TfrmViewMeasurements::Tag: return new TfrmViewMeasurements(link, session, parent);
    case TfrmViewOutputs::Tag: return new TfrmViewOutputs(link, session, parent);
    case TfrmViewAlarmLog::Tag: return new TfrmViewAlarmLog(link, session, parent);
    case TfrmViewErrorLog::Tag: return new TfrmViewErrorLog(link, session, parent);
    default: return nullptr;
    }
}
}  // namespace

QDialog *create(int tag, ModbusLink &link, Session &session, QWidget *parent,
                const std::function<void(const QString &)> &showStatus)
{
    QDialog *window = make(tag, link, session, parent);
    if (window && showStatus) {
        for (PollCycle *cycle : window->findChildren<PollCycle *>())
            QObject::connect(cycle, &PollCycle::statusText, window, showStatus);
    }
    return window;
}

}  // namespace MonitorWindows

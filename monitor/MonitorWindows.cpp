#include "MonitorWindows.h"

#include "frmViewAlarmLog.h"
#include "frmViewErrorLog.h"
#include "frmViewMeasurements.h"
#include "frmViewOutputs.h"

namespace MonitorWindows {

QList<int> tags()
{
    return {TfrmViewMeasurements::Tag, TfrmViewOutputs::Tag, TfrmViewAlarmLog::Tag, TfrmViewErrorLog::Tag};
}

QDialog *create(int tag, ModbusLink &link, Session &session, QWidget *parent)
{
    switch (tag) {
    case TfrmViewMeasurements::Tag: return new TfrmViewMeasurements(link, session, parent);
    case TfrmViewOutputs::Tag: return new TfrmViewOutputs(link, session, parent);
    case TfrmViewAlarmLog::Tag: return new TfrmViewAlarmLog(link, session, parent);
    case TfrmViewErrorLog::Tag: return new TfrmViewErrorLog(link, session, parent);
    default: return nullptr;
    }
}

}  // namespace MonitorWindows

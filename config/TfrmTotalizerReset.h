#pragma once

#include "ConfigWindow.h"

#include <QPointer>

#include <memory>

namespace Ui {
class TfrmTotalizerReset;
}
class OperationRecord;

// "Totalizer Reset": resets one total, a pair, or all of them. One modeless
// instance at a time; it frees itself when closed.
class TfrmTotalizerReset : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 458;
    static constexpr int HelpContext = 458;

    TfrmTotalizerReset(const WindowContext &context, int tag = Tag);
    ~TfrmTotalizerReset() override;

    // Shows the one instance, creating it when there is none.
    static TfrmTotalizerReset *showInstance(const WindowContext &context);

    void btnApplyClick();

protected:
    void FormActivate() override;

private:
    struct Step;
    static const Step Steps[];
    bool run(const Step &step, OperationRecord &record);

    std::unique_ptr<Ui::TfrmTotalizerReset> ui;
    static QPointer<TfrmTotalizerReset> s_instance;
    static int s_lastChoice;
};

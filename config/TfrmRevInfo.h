#pragma once

#include "ConfigWindow.h"

#include <memory>

namespace Ui {
class TfrmRevInfo;
}

// "View Ostrel Revision Information": the transmitter's boot, operating system,
// application, electronics and HART versions, read only.
class TfrmRevInfo : public ConfigWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 4532;
    static constexpr int HelpContext = 4532;
    static constexpr int GetSysVersionCoil = 61;
    static const QString NoRevisionsText;

    TfrmRevInfo(const WindowContext &context, int tag = Tag);
    ~TfrmRevInfo() override;

protected:
    void FormActivate() override;

private:
    std::unique_ptr<Ui::TfrmRevInfo> ui;
};

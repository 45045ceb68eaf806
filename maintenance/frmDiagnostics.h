#pragma once

#include "OutputTestWindow.h"

#include <memory>

namespace Ui {
class TfrmDiagnostics;
}

// "Diagnostics": opens the pulse output, tube drive, switched output and analog
// output tests. The KRM410 has neither switched nor analog outputs to test.
class TfrmDiagnostics : public OutputTestWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 44;
    static constexpr int HelpContext = 44;

    TfrmDiagnostics(const WindowContext &context, int tag);
    ~TfrmDiagnostics() override;

public slots:
    void btnPulseTestClick();
    void btnDriveTestClick();
    void btnOutputsClick();
    void btnAnalogClick();

protected:
    void FormActivate() override;

private:
    template <typename Window>
    void openTest();

    std::unique_ptr<Ui::TfrmDiagnostics> ui;
};

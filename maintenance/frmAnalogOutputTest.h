#pragma once

#include "OutputTestWindow.h"

#include <array>
#include <memory>
#include <optional>

namespace Ui {
class TfrmAnalogOutputTest;
}
class QCheckBox;
class QLabel;
class QLineEdit;

// "Analog Output Test": drives the checked analog outputs ("1", "2", "4") at a
// test current until stopped.
class TfrmAnalogOutputTest : public OutputTestWindow {
    Q_OBJECT
public:
    static constexpr int HelpContext = 444;
    static constexpr int OptionCardRegister = 2362;

    struct Output {
        const char *suffix; // "1" in chkOutput1, txtCurrent1, lblUnit1, bmpOutput1
        int startCoil;
        int stopCoil;
    };
    static const std::array<Output, 3> Outputs;

    explicit TfrmAnalogOutputTest(const WindowContext &context);
    ~TfrmAnalogOutputTest() override;

    bool running(int output) const { return m_running[size_t(output)]; }

public slots:
    void btnStartClick();
    void btnStopClick();

protected:
    void FormActivate() override;
    void beforeFinish() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    template <typename T>
    T *control(const char *prefix, int output) const;
    void currentExit(int output);
    void entriesEdited();
    void setIndicator(int output, bool on);
    void release(int output);

    std::unique_ptr<Ui::TfrmAnalogOutputTest> ui;
    std::array<std::optional<double>, 3> m_current{};
    std::array<bool, 3> m_running{};
};

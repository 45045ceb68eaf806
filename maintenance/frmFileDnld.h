#pragma once

#include "GuardedWindow.h"
#include "WindowRegistry.h"

#include <memory>

namespace Ui {
class TfrmFileDnld;
}

// "Download Files": sends a DSP, application or operating-system image to the
// transmitter as a raw byte stream, with its progress as a bar and as text.
// Escape closes the port, which also ends a transfer.
class TfrmFileDnld : public GuardedWindow {
    Q_OBJECT
public:
    static constexpr int Tag = 4641;
    static constexpr int HelpContext = 4642;
    static constexpr int DownloadCoil = 42;
    static constexpr int FailureHelpContext = 999;
    enum FileType { Dsp = 0, Appl = 1, Os = 2 };

    TfrmFileDnld(const WindowContext &context, int tag);
    ~TfrmFileDnld() override;

public slots:
    void btnApplyClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void download();
    void showProgress(qint64 done, qint64 total);
    void failure(const QString &text);

    WindowContext m_context;
    std::unique_ptr<Ui::TfrmFileDnld> ui;
};

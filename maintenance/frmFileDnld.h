#pragma once

#include "GuardedWindow.h"
#include "WindowRegistry.h"

#include <QByteArray>

#include <memory>
#include <optional>

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
    // A transmitter in download mode goes back to Modbus after this long without a byte.
    static constexpr int DownloadModeTimeoutMs = 30000;
    // Without progress for this long the window says that the transfer is stuck.
    static constexpr int StallNoticeMs = 3000;
    enum FileType { Dsp = 0, Appl = 1, Os = 2 };

    TfrmFileDnld(const WindowContext &context, int tag);
    ~TfrmFileDnld() override;

public slots:
    void btnApplyClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void download();
    // The file's bytes, when it could be read whole and is not empty; otherwise
    // the user has been told why.
    std::optional<QByteArray> readWhole(const QString &path);
    // True for a file with its type's extension, or when the user sends it anyway.
    bool looksLikeFirmware(const QString &path, int type);
    // After a download that broke off: the line stays quiet until the transmitter
    // has given up its download mode.
    void waitOutDownloadMode(qint64 sent, qint64 total);
    void showProgress(qint64 done, qint64 total);
    void failure(const QString &text);

    WindowContext m_context;
    std::unique_ptr<Ui::TfrmFileDnld> ui;
    qint64 m_lastDone = -1;
    qint64 m_lastProgressMs = 0;
};

#include "frmFileDnld.h"

#include "BusyCursor.h"
#include "Codec.h"
#include "FirmwareSender.h"
#include "ModbusLink.h"
#include "OperationRecord.h"
#include "Prompter.h"
#include "Session.h"
#include "TitleWidth.h"
#include "ui_frmFileDnld.h"

#include "Clock.h"

#include <QApplication>
#include <QBuffer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>

namespace {
const QString FailureTitle = QStringLiteral("Download Failure");
}

TfrmFileDnld::TfrmFileDnld(const WindowContext &context, int)
    : GuardedWindow(context.parent), m_context(context), ui(std::make_unique<Ui::TfrmFileDnld>())
{
    ui->setupUi(this);
    widenForTitle(this);
    setProperty("helpContext", HelpContext);
    ui->cboFileType->addItems({QStringLiteral("DSP"), QStringLiteral("APPL"), QStringLiteral("OS")});
    ui->prgDownload->setVisible(false);
    connect(ui->btnApply, &QPushButton::clicked, this, &TfrmFileDnld::btnApplyClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
    // Installed after the program's Escape handler, so it sees the key first; the
    // abort flag is still set by that handler.
    qApp->installEventFilter(this);
}

TfrmFileDnld::~TfrmFileDnld()
{
    qApp->removeEventFilter(this);
}

bool TfrmFileDnld::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape
        && QApplication::activeWindow() == this) {
        m_context.link.closePort();
        if (m_context.refreshPortPanels)
            m_context.refreshPortPanels();
    }
    return GuardedWindow::eventFilter(watched, event);
}

void TfrmFileDnld::btnApplyClick()
{
    BusyScope scope(*this);
    // One download at a time: the transfer lets clicks through while it runs.
    ui->btnApply->setEnabled(false);
    ui->cboFileType->setEnabled(false);
    download();
    ui->btnApply->setEnabled(true);
    ui->cboFileType->setEnabled(true);
    if (m_context.refreshPortPanels)
        m_context.refreshPortPanels();
}

void TfrmFileDnld::failure(const QString &text)
{
    showMessage(text, FailureTitle, Prompter::Error, Prompter::OK | Prompter::Help, FailureHelpContext);
}

void TfrmFileDnld::showProgress(qint64 done, qint64 total)
{
    const qint64 now = Clock::instance().nowMs();
    if (done != m_lastDone) {
        m_lastDone = done;
        m_lastProgressMs = now;
    }
    ui->prgDownload->setValue(total > 0 ? int(done * 1000 / total) : 0);
    const qint64 stalledMs = now - m_lastProgressMs;
    ui->lblProgress->setText(
        stalledMs >= StallNoticeMs && done < total
            ? QStringLiteral("%1 of %2 bytes sent; nothing has left the port for %3 s.\nPress ESC to cancel.")
                  .arg(done)
                  .arg(total)
                  .arg(stalledMs / 1000)
            : QStringLiteral("%1 of %2 bytes sent. Press ESC to cancel.").arg(done).arg(total));
}

bool TfrmFileDnld::looksLikeFirmware(const QString &path, int type)
{
    // Firmware files carry the extension of their type; anything else is most likely
    // the wrong file, and the transmitter would take it as firmware all the same.
    const QString expected = type == Os ? QStringLiteral("b") : QStringLiteral("r");
    const QFileInfo info(path);
    if (info.suffix().compare(expected, Qt::CaseInsensitive) == 0)
        return true;
    return showMessage(QStringLiteral("%1 does not look like a %2 file (those end in .%3).\rSend it anyway?")
                           .arg(info.fileName(), ui->cboFileType->currentText(), expected),
                       QStringLiteral("Download ") + ui->cboFileType->currentText() + QStringLiteral(" File"),
                       Prompter::Warning, Prompter::Yes | Prompter::No)
           == Prompter::IdYes;
}

std::optional<QByteArray> TfrmFileDnld::readWhole(const QString &path)
{
    // The whole file is read and checked before the transmitter is asked for
    // anything: once in download mode it takes every byte on the line as firmware.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showMessage(file.errorString(), QStringLiteral("File Error"), Prompter::Error, Prompter::OK);
        return std::nullopt;
    }
    const QByteArray image = file.readAll();
    if (file.error() != QFileDevice::NoError || image.size() != file.size()) {
        showMessage(file.error() != QFileDevice::NoError ? file.errorString()
                                                         : QStringLiteral("The file could not be read whole."),
                    QStringLiteral("File Error"), Prompter::Error, Prompter::OK);
        return std::nullopt;
    }
    if (image.isEmpty()) {
        // Refused here, before the transmitter is asked for anything.
        failure(QStringLiteral("%1 is empty: nothing was sent.\rVerify the file and retry.").arg(QFileInfo(path).fileName()));
        return std::nullopt;
    }
    return image;
}

void TfrmFileDnld::waitOutDownloadMode(qint64 sent, qint64 total)
{
    // The transmitter leaves download mode by itself once the line has been quiet
    // for its time-out; until then anything sent would be taken as firmware.
    ui->lblProgress->setText(QStringLiteral("Stopped after %1 of %2 bytes. Waiting %3 s for the transmitter to leave download mode...")
                                 .arg(sent)
                                 .arg(total)
                                 .arg(DownloadModeTimeoutMs / 1000));
    ClockTimer quiet;
    quiet.setSingleShot(true);
    QEventLoop loop;
    connect(&quiet, &ClockTimer::timeout, &loop, &QEventLoop::quit);
    quiet.start(DownloadModeTimeoutMs + 1000);
    loop.exec();
}

void TfrmFileDnld::download()
{
    ModbusLink &link = m_context.link;
    link.armMustOpenLatch();
    if (!link.Comm_Ready())
        return;
    const int type = ui->cboFileType->currentIndex();
    const QString typeText = ui->cboFileType->currentText();
    const bool os = type == Os;
    const QString title = QStringLiteral("Download ") + typeText + QStringLiteral(" File");
    const QString filter = typeText + (os ? QStringLiteral(" Files (*.b)") : QStringLiteral(" Files (*.r)"));
    const QString path = Prompter::instance().openFileName(title, filter, QString());
    if (path.isEmpty())
        return;
    const std::optional<QByteArray> image = readWhole(path);
    if (!image || !looksLikeFirmware(path, type))
        return;
    const QString prompt = os ? QStringLiteral("Enable OS Download on Ostrel,\rpress OK when ready to download.\rPress CANCEL to abort")
                              : QStringLiteral("Press OK to begin download.\rPress CANCEL to abort");
    if (showMessage(prompt, title, Prompter::NoIcon, Prompter::OK | Prompter::Cancel) != Prompter::IdOK)
        return;

    ui->prgDownload->setRange(0, 1000);
    ui->prgDownload->setValue(0);
    ui->prgDownload->setVisible(true);
    ui->lblProgress->clear();
    setWindowTitle(QStringLiteral("Download: ") + QFileInfo(path).fileName());
    widenForTitle(this);
    m_context.session.setAbort(false);
    m_lastDone = -1;

    OperationRecord record(link, QStringLiteral("File Download: %1 file %2 (%3 bytes)")
                                     .arg(typeText, QFileInfo(path).fileName())
                                     .arg(image->size()));
    // The transmitter starts the new program: it cannot be read back meanwhile.
    record.skipReadBack();
    // The transmitter is asked first, with its handshake, while the link still
    // speaks Modbus: a refusal is seen and nothing is sent. An OS download is
    // started from the transmitter's own panel instead.
    if (!os && !link.Force_Coil(DownloadCoil, ModbusFrame::CoilOn)) {
        ui->lblProgress->setText(QStringLiteral("The transmitter did not accept the download; nothing was sent."));
        record.finish(HistoryOutcome::Refused, ui->lblProgress->text());
        return;
    }
    link.setCommOverride(true);
    QBuffer file;
    file.setData(*image);
    file.open(QIODevice::ReadOnly);
    FirmwareSender sender(*link.serial());
    connect(&sender, &FirmwareSender::progress, this, &TfrmFileDnld::showProgress);
    BusyCursor::set(true);
    const FirmwareSender::Result result = sender.send(file);
    BusyCursor::set(false);
    const qint64 total = image->size();
    if (result == FirmwareSender::Result::Sent) {
        link.setCommOverride(false);
        ui->lblProgress->setText(QStringLiteral("All %1 bytes sent.").arg(total));
        record.finish(HistoryOutcome::Done, ui->lblProgress->text());
        return;
    }
    const bool portClosed = result == FirmwareSender::Result::PortClosed;
    if (!portClosed)
        waitOutDownloadMode(sender.bytesSent(), total);
    link.setCommOverride(false);
    ui->lblProgress->setText(QStringLiteral("Stopped after %1 of %2 bytes.").arg(sender.bytesSent()).arg(total));
    record.finish(HistoryOutcome::FailedPartWay, ui->lblProgress->text());
    failure(QStringLiteral("The download stopped after %1 of %2 bytes:\r%3.\rThe transmitter does not have the whole file.\r%4")
                .arg(sender.bytesSent())
                .arg(total)
                .arg(portClosed ? QStringLiteral("the port was closed") : QStringLiteral("the port refused the data"))
                .arg(portClosed ? QStringLiteral("It leaves download mode %1 s after the last byte; open the port after that.")
                                      .arg(DownloadModeTimeoutMs / 1000)
                                : QStringLiteral("It has left download mode.")));
}

TARVINE_REGISTER_WINDOW(4641, TfrmFileDnld);

#include "frmFileDnld.h"

#include "BusyCursor.h"
#include "Codec.h"
#include "FirmwareSender.h"
#include "ModbusLink.h"
#include "Prompter.h"
#include "Session.h"
#include "ui_frmFileDnld.h"

#include <QApplication>
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
    ui->prgDownload->setValue(total > 0 ? int(done * 1000 / total) : 0);
    ui->lblProgress->setText(QStringLiteral("%1 of %2 bytes sent").arg(done).arg(total));
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
    const QString prompt = os ? QStringLiteral("Enable OS Download on Ostrel,\rpress OK when ready to download.\rPress CANCEL to abort")
                              : QStringLiteral("Press OK to begin download.\rPress CANCEL to abort");
    if (showMessage(prompt, title, Prompter::NoIcon, Prompter::OK | Prompter::Cancel) != Prompter::IdOK)
        return;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showMessage(file.errorString(), QStringLiteral("File Error"), Prompter::Error, Prompter::OK);
        return;
    }
    ui->prgDownload->setRange(0, 1000);
    ui->prgDownload->setValue(0);
    ui->prgDownload->setVisible(true);
    ui->lblProgress->clear();
    setWindowTitle(QStringLiteral("Download: ") + QFileInfo(path).fileName());
    m_context.session.setAbort(false);

    // The transmitter is asked first, with its handshake, while the link still
    // speaks Modbus: a refusal is seen and nothing is sent. An OS download is
    // started from the transmitter's own panel instead.
    if (!os && !link.Force_Coil(DownloadCoil, ModbusFrame::CoilOn)) {
        ui->lblProgress->setText(QStringLiteral("The transmitter did not accept the download; nothing was sent."));
        return;
    }
    link.setCommOverride(true);
    FirmwareSender sender(*link.serial());
    connect(&sender, &FirmwareSender::progress, this, &TfrmFileDnld::showProgress);
    FirmwareSender::Result result;
    BusyCursor::set(true);
    result = sender.send(file);
    BusyCursor::set(false);
    link.setCommOverride(false);
    const qint64 total = file.size();
    switch (result) {
    case FirmwareSender::Result::Sent:
        ui->lblProgress->setText(QStringLiteral("All %1 bytes sent.").arg(total));
        return;
    case FirmwareSender::Result::EmptyFile:
        failure(QStringLiteral("Unit not accepting data,\rverify file type and retry."));
        return;
    case FirmwareSender::Result::FileError:
        showMessage(file.errorString(), QStringLiteral("File Error"), Prompter::Error, Prompter::OK);
        return;
    case FirmwareSender::Result::WriteFailed:
    case FirmwareSender::Result::PortClosed:
        ui->lblProgress->setText(QStringLiteral("Stopped after %1 of %2 bytes.").arg(sender.bytesSent()).arg(total));
        failure(QStringLiteral("The download stopped after %1 of %2 bytes:\r%3.\rThe transmitter does not have the whole file.")
                    .arg(sender.bytesSent())
                    .arg(total)
                    .arg(result == FirmwareSender::Result::PortClosed ? QStringLiteral("the port was closed")
                                                                      : QStringLiteral("the port refused the data")));
        return;
    }
}

TARVINE_REGISTER_WINDOW(4641, TfrmFileDnld);

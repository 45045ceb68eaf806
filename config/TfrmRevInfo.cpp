#include "TfrmRevInfo.h"

#include "BlockText.h"
#include "CommandArea.h"
#include "HelpWindow.h"
#include "ModbusLink.h"
#include "Session.h"
#include "ui_frmRevInfo.h"

#include <QPushButton>

namespace {
// Each text ends at its terminating zero or where the next one starts.
struct Revision {
    int offset;
    int length;
};
constexpr Revision Boot{0, 6}, Os{6, 20}, App{26, 12}, Electronics{38, 10}, Hart{48, 20};
}  // namespace

const QString TfrmRevInfo::NoRevisionsText =
    QStringLiteral("The transmitter did not send its revision information.");

TfrmRevInfo::TfrmRevInfo(const WindowContext &context, int)
    : ConfigWindow(context), ui(std::make_unique<Ui::TfrmRevInfo>())
{
    ui->setupUi(this);
    setProperty("helpContext", HelpContext);
    connect(ui->btnHelp, &QPushButton::clicked, this, [] { showHelpContext(HelpContext); });
    connect(ui->btnClose, &QPushButton::clicked, this, &GuardedWindow::requestClose);
}

TfrmRevInfo::~TfrmRevInfo() = default;

void TfrmRevInfo::FormActivate()
{
    ModbusLink::QueryScope query(link());
    if (!link().Force_Coil(GetSysVersionCoil, 0xFF00) || !link().readRegisters(0, CommandArea::Bytes)) {
        tell(NoRevisionsText);
        return;
    }
    const QByteArray info = link().image().read(0, CommandArea::Bytes);
    session().setHardwareInfo(info);
    const std::pair<QLineEdit *, Revision> fields[] = {{ui->txtBootVer, Boot}, {ui->txtOSRevision, Os},
                                                       {ui->txtAppVer, App}, {ui->txtElectronicsVer, Electronics},
                                                       {ui->txtHartVer, Hart}};
    for (const auto &[edit, revision] : fields)
        edit->setText(BlockText::read(info, revision.offset, revision.length));
}

TARVINE_REGISTER_WINDOW(4532, TfrmRevInfo);

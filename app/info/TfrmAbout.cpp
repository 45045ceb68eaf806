#include "TfrmAbout.h"

#include "Disclaimer.h"
#include "ui_TfrmAbout.h"

namespace {

const char *LegalWarning =
    "Warning: this program is protected by copyright law and international treaties. "
    "Unauthorized reproduction or distribution of this program, or any portion of it, "
    "may result in severe civil and criminal penalties, and will be prosecuted to the "
    "maximum extent possible under the law. Changes made with this program alter how the "
    "transmitter measures; they must be made by trained personnel only.";

} // namespace

TfrmAbout::TfrmAbout(const AboutFacts &facts, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmAbout>())
{
    ui->setupUi(this);
    ui->lblVersion->setText(facts.fileVersion);
    ui->lblOSRevision->setText(facts.osRevision);
    ui->lblAPPRevision->setText(facts.appRevision);
    ui->lblUser->setText(facts.owner);
    ui->lblCompany->setText(facts.organization);
    ui->lblCopyRight->setText(noticeText());
    ui->Memo1->setPlainText(QString::fromLatin1(LegalWarning));
    connect(ui->btnDisclaimer, &QPushButton::clicked, this, &TfrmAbout::btnDisclaimerClick);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::btnDisclaimerClick()
{
    Disclaimer::showAgain();
}

#include "TfrmTarvnote.h"

#include "AboutFacts.h"
#include "InfoResources.h"
#include "ui_TfrmTarvnote.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace {

QPixmap picture()
{
    ensureInfoResources();
    QSvgRenderer renderer(QStringLiteral(":/info/tarvnote.svg"));
    QPixmap pixmap(96, 96);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

} // namespace

TfrmTarvnote::TfrmTarvnote(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmTarvnote>())
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    ui->bmpPicture->setPixmap(picture());
    ui->memCredits->setPlainText(infoResourceText(QStringLiteral(":/info/credits.txt")));
    ui->lblCopyRight->setText(noticeText());
    connect(ui->btnCiao, &QPushButton::clicked, this, &QDialog::close);
}

TfrmTarvnote::~TfrmTarvnote() = default;

TfrmTarvnote *TfrmTarvnote::open(QWidget *parent)
{
    auto *window = new TfrmTarvnote(parent);
    window->show();
    return window;
}

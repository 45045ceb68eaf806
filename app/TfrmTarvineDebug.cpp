#include "TfrmTarvineDebug.h"

#include "Prompter.h"
#include "TraceLog.h"
#include "ui_TfrmTarvineDebug.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>

TfrmTarvineDebug::TfrmTarvineDebug(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmTarvineDebug>())
{
    ui->setupUi(this);
    MemoCtl = ui->MemoCtl;
    btnSave = ui->btnSave;
    btnClose = ui->btnClose;
    MemoCtl->setFont(QFont(QStringLiteral("monospace")));

    for (const TraceLog::Line &line : TraceLog::instance().lines())
        MemoCtl->appendPlainText(TraceLog::format(line));
    connect(&TraceLog::instance(), &TraceLog::lineAdded, MemoCtl, &QPlainTextEdit::appendPlainText);
    connect(btnSave, &QPushButton::clicked, this, &TfrmTarvineDebug::btnSaveClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::hide);
}

TfrmTarvineDebug::~TfrmTarvineDebug() = default;

bool TfrmTarvineDebug::saveTo(const QString &path, QString *error) const
{
    QSaveFile file(path);
    const QByteArray text = MemoCtl->toPlainText().toUtf8() + '\n';
    if (file.open(QIODevice::WriteOnly | QIODevice::Text) && file.write(text) == text.size() && file.commit())
        return true;
    if (error)
        *error = QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
    return false;
}

void TfrmTarvineDebug::btnSaveClick()
{
    const QString path = Prompter::instance().saveFileName(QStringLiteral("Save Diagnostic Messages"),
                                                           QStringLiteral("Text files (*.txt);;All files (*)"),
                                                           QDir::currentPath());
    if (path.isEmpty())
        return;
    QString error;
    if (!saveTo(path, &error))
        showMessage(error, QStringLiteral("Tarvine Diagnostics"), Prompter::Error);
}

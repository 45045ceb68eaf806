#include "TfrmTarvineDebug.h"

#include "Prompter.h"
#include "TraceLog.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

TfrmTarvineDebug::TfrmTarvineDebug(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmTarvineDebug"));
    setWindowTitle(QStringLiteral("Tarvine Diagnostics"));
    resize(640, 420);

    auto *label = new QLabel(QStringLiteral("Diagnostic Messages:"), this);
    MemoCtl = new QPlainTextEdit(this);
    MemoCtl->setObjectName(QStringLiteral("MemoCtl"));
    MemoCtl->setReadOnly(true);
    MemoCtl->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoCtl->setFont(QFont(QStringLiteral("monospace")));
    btnSave = new QPushButton(QStringLiteral("&Save..."), this);
    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setAutoDefault(false);
    btnSave->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSave);
    buttons->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(MemoCtl);
    layout->addLayout(buttons);

    for (const TraceLog::Line &line : TraceLog::instance().lines())
        MemoCtl->appendPlainText(TraceLog::format(line));
    connect(&TraceLog::instance(), &TraceLog::lineAdded, MemoCtl, &QPlainTextEdit::appendPlainText);
    connect(btnSave, &QPushButton::clicked, this, &TfrmTarvineDebug::btnSaveClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::hide);
}

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

#include "MessageBoxPrompter.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QRegularExpression>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

struct ButtonMap {
    Prompter::Button bit;
    QMessageBox::StandardButton button;
    int result;
};

constexpr ButtonMap buttonMap[] = {
    {Prompter::Yes, QMessageBox::Yes, Prompter::IdYes},
    {Prompter::No, QMessageBox::No, Prompter::IdNo},
    {Prompter::OK, QMessageBox::Ok, Prompter::IdOK},
    {Prompter::Cancel, QMessageBox::Cancel, Prompter::IdCancel},
    {Prompter::Abort, QMessageBox::Abort, Prompter::IdAbort},
    {Prompter::Retry, QMessageBox::Retry, Prompter::IdRetry},
    {Prompter::Ignore, QMessageBox::Ignore, Prompter::IdIgnore},
    {Prompter::All, QMessageBox::YesToAll, Prompter::IdAll},
};

QMessageBox::Icon iconFor(Prompter::Kind kind)
{
    switch (kind) {
    case Prompter::Warning:
        return QMessageBox::Warning;
    case Prompter::Error:
        return QMessageBox::Critical;
    case Prompter::Information:
        return QMessageBox::Information;
    case Prompter::Confirmation:
        return QMessageBox::Question;
    case Prompter::NoIcon:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString MessageBoxPrompter::displayText(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

int MessageBoxPrompter::messageBox(const QString &text, const QString &title, Kind kind, unsigned buttons,
                                   int helpContext)
{
    QMessageBox box(iconFor(kind), title, displayText(text), QMessageBox::NoButton, m_parent);
    for (const ButtonMap &m : buttonMap) {
        if (buttons & m.bit)
            box.addButton(m.button);
    }
    if (box.buttons().isEmpty())
        box.addButton(QMessageBox::Ok);
    if (buttons & Help) {
        // A help button with an action role would close the box; this one only shows help.
        QAbstractButton *help = box.addButton(QMessageBox::Help);
        QObject::disconnect(help, &QAbstractButton::clicked, nullptr, nullptr);
        QObject::connect(help, &QAbstractButton::clicked, &box, [this, helpContext] {
            if (m_help)
                m_help(helpContext);
        });
    }
    // A box is as wide as its text, which can be narrower than its caption.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(box.fontMetrics().horizontalAdvance(title) + 120, 0, QSizePolicy::Minimum,
                                      QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    box.exec();
    const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
    for (const ButtonMap &m : buttonMap) {
        if (pressed == m.button)
            return m.result;
    }
    // Closed by Escape or the window frame.
    return (buttons & Cancel) ? IdCancel : (buttons & No) ? IdNo : IdOK;
}

bool MessageBoxPrompter::inputBox(const QString &title, const QString &prompt, QString *value)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(m_parent, title, displayText(prompt), QLineEdit::Normal, value ? *value : QString(), &ok);
    if (ok && value)
        *value = text;
    return ok;
}

QString MessageBoxPrompter::openFileName(const QString &title, const QString &filter, const QString &dir)
{
    return QFileDialog::getOpenFileName(m_parent, title, dir, filter);
}

QString MessageBoxPrompter::saveFileName(const QString &title, const QString &filter, const QString &dir,
                                         const QString &defaultSuffix)
{
    QFileDialog dialog(m_parent, title, dir, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    // A name typed without a suffix takes the one of the file type chosen ("*.svg").
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &chosen) {
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(chosen);
        if (m.hasMatch())
            dialog.setDefaultSuffix(m.captured(1));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

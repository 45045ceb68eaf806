#include "Disclaimer.h"

#include "IniFile.h"
#include "InfoResources.h"
#include "Prompter.h"

namespace {

const QString Caption = QStringLiteral("Terms and Conditions");
const QString Section = QStringLiteral("Show Disclaimer");
const QString Key = QStringLiteral("Active");

} // namespace

namespace Disclaimer {

QString text()
{
    return infoResourceText(QStringLiteral(":/info/disclaimer.txt"));
}

bool runAtStart(IniFile &options)
{
    if (!options.readString(Section, Key, QStringLiteral("1")).startsWith(QLatin1Char('1')))
        return true;
    const bool accepted = showMessage(text(), Caption, Prompter::NoIcon, Prompter::OK | Prompter::Cancel)
                          == Prompter::IdOK;
    const bool hideNextTime = showMessage(QStringLiteral("I understand the Terms and Conditions.\r"
                                                         "Don't show me this message again."),
                                          Caption, Prompter::Information, Prompter::OK | Prompter::Cancel)
                              == Prompter::IdOK;
    QString error;
    if (!options.writeString(Section, Key, hideNextTime ? QStringLiteral("0") : QStringLiteral("1"), &error))
        showMessage(error, Caption, Prompter::Error);
    return accepted;
}

void showAgain()
{
    // Read again from the about box the terms are only shown: the closing line
    // about accepting or ending the program does not apply, and there is no Cancel.
    QStringList lines = text().split(QLatin1Char('\n'));
    while (!lines.isEmpty() && (lines.last().trimmed().isEmpty() || lines.last().contains(QLatin1String("Cancel"))))
        lines.removeLast();
    showMessage(lines.join(QLatin1Char('\n')), Caption, Prompter::NoIcon, Prompter::OK);
}

} // namespace Disclaimer

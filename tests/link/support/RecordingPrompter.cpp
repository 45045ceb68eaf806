#include "RecordingPrompter.h"

QStringList RecordingPrompter::texts() const
{
    QStringList all;
    for (const Message &m : messages)
        all.append(m.text);
    return all;
}

int RecordingPrompter::messageBox(const QString &text, const QString &title, Kind kind, unsigned buttons,
                                  int helpContext)
{
    messages.append({text, title, kind, buttons, helpContext});
    if (!answers.isEmpty())
        return answers.takeFirst();
    if (buttons & OK)
        return IdOK;
    if (buttons & Yes)
        return IdYes;
    return IdCancel;
}

bool RecordingPrompter::inputBox(const QString &title, const QString &prompt, QString *value)
{
    dialogTitles << title + QLatin1String(" / ") + prompt + QLatin1String(" / ") + *value;
    if (inputs.isEmpty())
        return false;
    *value = inputs.takeFirst();
    return true;
}

QString RecordingPrompter::nextFile(const QString &title, const QString &filter)
{
    dialogTitles << title + QLatin1String(" / ") + filter;
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}

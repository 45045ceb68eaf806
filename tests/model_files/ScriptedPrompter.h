#pragma once

#include "Prompter.h"

#include <QList>
#include <QStringList>

// Installs itself for its lifetime, records every message box, input box and file
// dialog, and answers from queues: message boxes with the next queued result (then
// with the first offered of OK, Yes, Cancel), input boxes and file dialogs with the
// next queued text (none left = cancelled).
class ScriptedPrompter final : public Prompter {
public:
    struct Message {
        QString text;
        QString title;
        Kind kind;
    };

    ScriptedPrompter() { Prompter::install(this); }
    ~ScriptedPrompter() override { Prompter::install(nullptr); }

    QList<Message> messages;
    QStringList dialogTitles;       // input boxes and file dialogs, in order
    QList<int> answers;
    QStringList inputs;
    QStringList fileNames;

    QStringList texts() const
    {
        QStringList all;
        for (const Message &m : messages)
            all << m.text;
        return all;
    }

    int messageBox(const QString &text, const QString &title, Kind kind, unsigned buttons, int) override
    {
        messages.append({text, title, kind});
        if (!answers.isEmpty())
            return answers.takeFirst();
        if (buttons & OK)
            return IdOK;
        return (buttons & Yes) ? IdYes : IdCancel;
    }
    bool inputBox(const QString &title, const QString &prompt, QString *value) override
    {
        dialogTitles << title + QLatin1String(" / ") + prompt + QLatin1String(" / ") + *value;
        if (inputs.isEmpty())
            return false;
        *value = inputs.takeFirst();
        return true;
    }
    QString openFileName(const QString &title, const QString &filter, const QString &) override
    {
        return nextFile(title, filter);
    }
    QString saveFileName(const QString &title, const QString &filter, const QString &) override
    {
        return nextFile(title, filter);
    }

private:
    QString nextFile(const QString &title, const QString &filter)
    {
        dialogTitles << title + QLatin1String(" / ") + filter;
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
};

#pragma once

#include "Prompter.h"

#include <QList>
#include <QStringList>

// Installs itself for its lifetime, records what the user was shown and answers
// message boxes and file dialogs from queues (then OK / cancelled).
class ScriptPrompter final : public Prompter {
public:
    struct Message {
        QString text;
        QString title;
        Kind kind;
        unsigned buttons;
    };

    ScriptPrompter() { Prompter::install(this); }
    ~ScriptPrompter() override { Prompter::install(nullptr); }

    QList<Message> messages;
    QList<int> answers;
    QStringList fileNames;

    bool shownWithTitle(const QString &title) const;
    QString lastText() const { return messages.isEmpty() ? QString() : messages.last().text; }

    int messageBox(const QString &text, const QString &title, Kind kind, unsigned buttons, int) override
    {
        messages.append({text, title, kind, buttons});
        return answers.isEmpty() ? IdOK : answers.takeFirst();
    }
    bool inputBox(const QString &, const QString &, QString *) override { return false; }
    QString openFileName(const QString &, const QString &, const QString &) override { return nextFile(); }
    QString saveFileName(const QString &, const QString &, const QString &) override { return nextFile(); }

private:
    QString nextFile() { return fileNames.isEmpty() ? QString() : fileNames.takeFirst(); }
};

inline bool ScriptPrompter::shownWithTitle(const QString &title) const
{
    for (const Message &m : messages)
        if (m.title == title)
            return true;
    return false;
}

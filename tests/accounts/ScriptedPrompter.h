#pragma once

#include "Prompter.h"

#include <QList>
#include <QString>

// Answers message boxes from a script (OK when the script is empty) and records
// what was shown. Installs itself for its lifetime.
class ScriptedPrompter final : public Prompter {
public:
    struct Shown {
        QString text;
        QString title;
        Kind kind;
        unsigned buttons;
    };

    ScriptedPrompter() { Prompter::install(this); }
    ~ScriptedPrompter() override { Prompter::install(nullptr); }

    int messageBox(const QString &text, const QString &title, Kind kind, unsigned buttons, int) override
    {
        shown.append({text, title, kind, buttons});
        return answers.isEmpty() ? IdOK : answers.takeFirst();
    }
    bool inputBox(const QString &, const QString &, QString *) override { return false; }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &) override { return {}; }

    QStringList texts() const
    {
        QStringList all;
        for (const Shown &s : shown)
            all.append(s.text);
        return all;
    }

    QList<int> answers;
    QList<Shown> shown;
};

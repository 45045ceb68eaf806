#pragma once

#include "Prompter.h"

#include <QList>
#include <QStringList>

// Installs itself for its lifetime, records every message box and answers from a
// queue (then with OK, else the first offered button).
class TestPrompter final : public Prompter {
public:
    TestPrompter() { Prompter::install(this); }
    ~TestPrompter() override { Prompter::install(nullptr); }

    QStringList texts;
    QStringList titles;
    QList<Kind> kinds;
    QList<int> answers;
    QString saveName;

    bool shown(const QString &part) const
    {
        for (const QString &t : texts) {
            if (t.contains(part))
                return true;
        }
        return false;
    }

    int messageBox(const QString &text, const QString &title, Kind kind, unsigned buttons, int) override
    {
        texts << text;
        titles << title;
        kinds << kind;
        if (!answers.isEmpty())
            return answers.takeFirst();
        if (buttons & OK)
            return IdOK;
        return (buttons & Yes) ? IdYes : IdCancel;
    }
    bool inputBox(const QString &, const QString &, QString *) override { return false; }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &, const QString &) override { return saveName; }
};

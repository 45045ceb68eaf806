#pragma once

#include "Prompter.h"

#include <QList>

// Installs itself for its lifetime, records every message box and answers from a
// queue of results (then with the first offered of OK, Yes, Cancel).
class RecordingPrompter final : public Prompter {
public:
    struct Message {
        QString text;
        QString title;
        Kind kind;
        unsigned buttons;
        int helpContext;
    };

    RecordingPrompter() { Prompter::install(this); }
    ~RecordingPrompter() override { Prompter::install(nullptr); }

    QList<Message> messages;
    QList<int> answers;
    QList<QString> inputs; // answers for input boxes; none left = cancelled

    int count(const QString &text) const;
    bool shown(const QString &text) const { return count(text) > 0; }

    int messageBox(const QString &text, const QString &title, Kind kind, unsigned buttons, int helpContext) override;
    bool inputBox(const QString &title, const QString &prompt, QString *value) override;
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &) override { return {}; }
};

#pragma once

#include "Prompter.h"

#include <QList>
#include <QStringList>

#include <algorithm>

// Installs itself for its lifetime, records every message box and answers from a
// queue of results (then with the first offered of OK, Yes, Cancel). Input boxes
// and file dialogs answer from their own queues (none left = cancelled).
class RecordingPrompter final : public Prompter {
public:
    struct Message {
        QString text;
        QString title;
        Kind kind;
        unsigned buttons;
        int helpContext;
        bool operator==(const Message &) const = default;
    };

    RecordingPrompter() { Prompter::install(this); }
    ~RecordingPrompter() override { Prompter::install(nullptr); }

    QList<Message> messages;
    QList<int> answers;
    QList<QString> inputs; // answers for input boxes; none left = cancelled
    QStringList fileNames; // answers for file dialogs; none left = cancelled
    // Input boxes ("title / prompt / value") and file dialogs ("title / filter"), in order.
    QStringList dialogTitles;

    int count(const QString &text) const
    {
        return int(std::count_if(messages.begin(), messages.end(), [&](const Message &m) { return m.text == text; }));
    }
    bool shown(const QString &text) const { return count(text) > 0; }
    bool shownWithTitle(const QString &title) const
    {
        return std::any_of(messages.begin(), messages.end(), [&](const Message &m) { return m.title == title; });
    }
    QString lastText() const { return messages.isEmpty() ? QString() : messages.last().text; }
    QStringList texts() const;

    int messageBox(const QString &text, const QString &title, Kind kind, unsigned buttons, int helpContext) override;
    bool inputBox(const QString &title, const QString &prompt, QString *value) override;
    QString openFileName(const QString &title, const QString &filter, const QString &) override
    {
        return nextFile(title, filter);
    }
    QString saveFileName(const QString &title, const QString &filter, const QString &,
                         const QString &defaultSuffix) override
    {
        // As the dialog does: a name typed without a suffix gets the default one.
        QString name = nextFile(title, filter);
        if (!name.isEmpty() && !defaultSuffix.isEmpty() && !name.section(QLatin1Char('/'), -1).contains(QLatin1Char('.')))
            name += QLatin1Char('.') + defaultSuffix;
        return name;
    }

private:
    QString nextFile(const QString &title, const QString &filter);
};

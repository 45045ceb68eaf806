#pragma once

#include "Prompter.h"

#include <functional>

class QWidget;

// The program's prompter: message boxes, input boxes and file dialogs on screen.
// The Help button shows the help for the box's context and leaves the box open.
class MessageBoxPrompter final : public Prompter {
public:
    using HelpHandler = std::function<void(int helpContext)>;

    explicit MessageBoxPrompter(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void setHelpHandler(HelpHandler handler) { m_help = std::move(handler); }

    int messageBox(const QString &text, const QString &title, Kind kind, unsigned buttons, int helpContext) override;
    bool inputBox(const QString &title, const QString &prompt, QString *value) override;
    QString openFileName(const QString &title, const QString &filter, const QString &dir) override;
    QString saveFileName(const QString &title, const QString &filter, const QString &dir,
                         const QString &defaultSuffix) override;

    // Message texts use CR as the line break.
    static QString displayText(const QString &text);

private:
    QWidget *m_parent = nullptr;
    HelpHandler m_help;
};

#pragma once

#include "Prompter.h"

#include <QString>
#include <QTextStream>

// What tarvine-cli tells the user on standard error. A link that has failed once
// usually fails for every request after it, so only the first message is shown
// in full; the ones after it are counted and the count closes the run. Progress
// of long commands is one line rewritten in place, shown only on a terminal.
// Questions are answered with their first offered button, file dialogs cancelled.
class CliReporter final : public Prompter {
public:
    CliReporter(QTextStream &err, bool showProgress);

    int messageBox(const QString &text, const QString &title, Kind kind, unsigned buttons,
                   int helpContext = 0) override;
    bool inputBox(const QString &, const QString &, QString *) override { return false; }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &, const QString &) override { return {}; }

    // A status text of the link (exception texts, receive trouble).
    void note(const QString &text);
    void progress(const QString &text, int step, int steps);
    // Clears the progress line and says how many messages were not shown.
    void finish();

    int suppressed() const { return m_suppressed; }

private:
    void clearProgress();

    QTextStream &m_err;
    bool m_showProgress;
    bool m_progressShown = false;
    bool m_messageShown = false;
    int m_suppressed = 0;
};

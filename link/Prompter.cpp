#include "Prompter.h"

#include <cstdio>

namespace {

// Used by the command line and before the program installs its own.
class StderrPrompter final : public Prompter {
public:
    int messageBox(const QString &text, const QString &title, Kind, unsigned buttons, int) override
    {
        QString flat = text;
        flat.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(flat.trimmed()));
        if (buttons & OK)
            return IdOK;
        if (buttons & Yes)
            return IdYes;
        return IdCancel;
    }
    bool inputBox(const QString &, const QString &, QString *) override { return false; }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &, const QString &) override { return {}; }
};

StderrPrompter defaultPrompter;
Prompter *current = nullptr;

} // namespace

Prompter &Prompter::instance()
{
    return current ? *current : static_cast<Prompter &>(defaultPrompter);
}

void Prompter::install(Prompter *p)
{
    current = p;
}

int showMessage(const QString &text, const QString &title, Prompter::Kind kind, unsigned buttons, int helpContext)
{
    return Prompter::instance().messageBox(text, title, kind, buttons, helpContext);
}

#pragma once

#include <QString>
#include <QStringList>

// Every message box, confirmation, input box and file dialog goes through one
// prompter, so that tests can answer from a script and see what was shown.
class Prompter {
public:
    enum Kind { Warning = 0, Error = 1, Information = 2, Confirmation = 3, NoIcon = 4 };
    // Button set bits.
    enum Button : unsigned {
        Yes = 1u << 0,
        No = 1u << 1,
        OK = 1u << 2,
        Cancel = 1u << 3,
        Abort = 1u << 4,
        Retry = 1u << 5,
        Ignore = 1u << 6,
        All = 1u << 7,
        Help = 1u << 8,
    };
    // Results: the button pressed.
    enum Result { IdOK = 1, IdCancel = 2, IdAbort = 3, IdRetry = 4, IdIgnore = 5, IdYes = 6, IdNo = 7, IdAll = 8 };

    virtual ~Prompter() = default;

    virtual int messageBox(const QString &text, const QString &title, Kind kind, unsigned buttons,
                           int helpContext = 0) = 0;
    // Returns false when cancelled.
    virtual bool inputBox(const QString &title, const QString &prompt, QString *value) = 0;
    // Return an empty string when cancelled. filter uses Qt's "Text (*.cfg);;All (*)" form.
    virtual QString openFileName(const QString &title, const QString &filter, const QString &dir) = 0;
    // defaultSuffix (without the dot) is added to a name typed without one by the
    // dialog itself, so that its overwrite question is about the file that will be
    // written.
    virtual QString saveFileName(const QString &title, const QString &filter, const QString &dir,
                                 const QString &defaultSuffix = QString()) = 0;

    // The prompter in use. Until one is installed, messages go to standard error and
    // every question is answered with its first offered button / cancelled.
    static Prompter &instance();
    // Installs p (not owned); nullptr restores the default.
    static void install(Prompter *p);
};

// Shorthand for the common case.
int showMessage(const QString &text, const QString &title, Prompter::Kind kind,
                unsigned buttons = Prompter::OK, int helpContext = 0);

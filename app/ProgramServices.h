#pragma once

#include <QObject>

#include <memory>

class AccountService;
class TThSecBase;
class TfrmMain;

// Connects the main window to the user store, the login dialogs, the disclaimer,
// the about box, the acknowledgements and the help window. Lives as long as the
// main window (it is its child), so the store is closed when the window goes.
class ProgramServices : public QObject {
    Q_OBJECT
public:
    explicit ProgramServices(TfrmMain &main);
    ~ProgramServices() override;

    // Opens the user store with its built-in accounts and installs the services.
    // False when the store cannot be used; the reason has been shown.
    bool install();

private:
    TfrmMain &m_main;
    std::unique_ptr<TThSecBase> m_store;
    std::unique_ptr<AccountService> m_accounts;
};

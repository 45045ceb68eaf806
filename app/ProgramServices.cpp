#include "ProgramServices.h"

#include "IniFile.h"
#include "MenuTags.h"
#include "Prompter.h"
#include "TfrmMain.h"
#include "WindowRegistry.h"

#include <QDir>

#include "AccountService.h"
#include "SecurityErrors.h"
#include "TThSecBase.h"
#include "Disclaimer.h"
#include "HelpWindow.h"
#include "TfrmAbout.h"
#include "TfrmTarvnote.h"

ProgramServices::ProgramServices(TfrmMain &main) : QObject(&main), m_main(main) {}

ProgramServices::~ProgramServices() = default;

bool ProgramServices::install()
{
    TfrmMain::Services &s = m_main.services();
    try {
        m_store = std::make_unique<TThSecBase>();
        m_store->openApplication(QStringLiteral("Tarvine"));
        m_accounts = std::make_unique<AccountService>(*m_store, m_main.session());
        m_accounts->manager().ensureBuiltInAccounts();
    } catch (const ESecurityError &e) {
        showMessage(e.message(), QStringLiteral("Tarvine 2"), Prompter::Error);
        return false;
    }
    s.login = [this](QWidget *parent, Session &) { return m_accounts->login(parent).has_value(); };
    s.addUser = [this](QWidget *parent, Session &) { m_accounts->addUser(parent); };
    s.changePassword = [this](QWidget *parent) { m_accounts->changePassword(parent); };
    s.mayOpenAcknowledgements = [](const Session &session) {
        return AccountManager::isAcknowledgementsUser(session.userName());
    };
    s.disclaimer = [this](QWidget *) {
        IniFile options(m_main.workDir(), QStringLiteral("Option.ini"));
        return Disclaimer::runAtStart(options);
    };
    s.acknowledgements = [](QWidget *parent) { TfrmTarvnote::open(parent); };
    s.help = [](QWidget *, int tag) {
        if (tag == MenuTag::HelpOnHelp)
            showHowToUseHelp();
        else if (tag == MenuTag::HelpContents)
            showHelpContents();
        else
            showHelpContext(tag);
    };
    WindowRegistry::registerWindow(MenuTag::About, [](const WindowContext &c, int) -> QDialog * {
        return new TfrmAbout(AboutFacts::fromSystem(), c.parent);
    });
    return true;
}

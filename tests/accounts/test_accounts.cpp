#include "AccessLevels.h"
#include "AccountManager.h"
#include "AccountService.h"
#include "RecordingPrompter.h"
#include "Session.h"
#include "TPasswordDlg.h"
#include "TThSecBase.h"
#include "TfrmChangePassword.h"
#include "WidgetQuery.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QString Denied0 = "Access Level 0: User\rNo Access to Programming or System Areas";

// Runs `act` on the modal dialog once it is up and active (the dialog's exec()
// has started its own event loop by then).
template <typename Dialog>
void whenModal(std::function<void(Dialog *)> act)
{
    QTimer::singleShot(0, [act] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no modal dialog of the expected class";
            if (QWidget *other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        if (!QTest::qWaitForWindowActive(dialog))
            ADD_FAILURE() << "the dialog never became active";
        act(dialog);
    });
}

void typeInto(QLineEdit *field, const QString &text)
{
    field->clear();
    QTest::keyClicks(field, text);
}

class AccountsTest : public ::testing::Test {
protected:
    AccountsTest()
    {
        store = std::make_unique<TThSecBase>(dir.path());
        store->openApplication("Tarvine");
        service = std::make_unique<AccountService>(*store, session);
        TPasswordDlg::forgetLastConfirmedUser();
        TfrmChangePassword::forgetLastUser();
    }

    void addAccount(const QString &userId, const QString &password, const QString &level)
    {
        store->registerUser(userId, password);
        store->setAccess(userId, password, level);
    }

    std::optional<int> logInThroughTheDialog(const QString &userId, const QString &password)
    {
        whenModal<TPasswordDlg>([=](TPasswordDlg *dialog) {
            QTest::keyClicks(control<QLineEdit>(dialog, "User"), userId);
            QTest::keyClicks(control<QLineEdit>(dialog, "Password"), password);
            QTest::mouseClick(control<QPushButton>(dialog, "btnOK"), Qt::LeftButton);
        });
        return service->login(nullptr);
    }

    QTemporaryDir dir;
    RecordingPrompter prompter;
    Session session;
    std::unique_ptr<TThSecBase> store;
    std::unique_ptr<AccountService> service;
};

} // namespace

TEST_F(AccountsTest, BuiltInAccountsAreCreatedWhenMissingAndNeverReset)
{
    service->manager().ensureBuiltInAccounts();
    const QStringList ids = AccountManager::builtInUserIds();
    ASSERT_EQ(ids.size(), 4);
    for (const QString &id : ids) {
        EXPECT_TRUE(store->checkUser(id, id)) << qPrintable(id);
        EXPECT_EQ(store->getAccess(id, id), "3");
    }
    EXPECT_TRUE(AccountManager::isAcknowledgementsUser(ids[1].toUpper()));
    EXPECT_FALSE(AccountManager::isAcknowledgementsUser(ids[0]));
    EXPECT_FALSE(AccountManager::isAcknowledgementsUser(QString()));

    // An administrator changes two built-in passwords; a restart keeps them.
    store->registerUser(ids[0], "changed zero");
    store->registerUser(ids[2], "changed two");
    store = std::make_unique<TThSecBase>(dir.path());
    store->openApplication("Tarvine");
    AccountManager(*store, session).ensureBuiltInAccounts();
    EXPECT_FALSE(store->checkUser(ids[0], ids[0]));
    EXPECT_TRUE(store->checkUser(ids[0], "changed zero"));
    EXPECT_TRUE(store->checkUser(ids[2], "changed two"));
    EXPECT_TRUE(store->checkUser(ids[3], ids[3]));
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(AccountsTest, LoginShowsTheLevelOrWhyAccessWasDenied)
{
    AccountManager &accounts = service->manager();
    addAccount("Programmer.One", "Secret", "2");

    EXPECT_EQ(accounts.login("programmer.one", "sECRET"), 2);
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_EQ(prompter.messages[0].text, "Access Level 2: Programmer\rData Editing Authorized, Non-System Areas");
    EXPECT_EQ(prompter.messages[0].title, "Access Granted");
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Information);
    EXPECT_TRUE(session.loggedIn());
    EXPECT_EQ(session.accessLevel(), 2);
    EXPECT_EQ(session.userName(), "programmer.one");

    EXPECT_EQ(accounts.login("Programmer.One", "wrong"), 0);
    EXPECT_EQ(prompter.messages.last().text, "Invalid Password\r" + Denied0);
    EXPECT_EQ(prompter.messages.last().title, "Access Denied");
    EXPECT_EQ(prompter.messages.last().kind, Prompter::Warning);
    EXPECT_FALSE(session.loggedIn());
    EXPECT_EQ(session.accessLevel(), 0);

    accounts.login("Nobody Known By This Rather Long Name", "Secret");
    EXPECT_EQ(prompter.messages.last().text, "Invalid User\r" + Denied0);
    EXPECT_EQ(session.userName(), "Nobody Known By This");

    // A level that is not one of ours is reported and grants nothing.
    addAccount("odd", "pw", "7");
    EXPECT_EQ(accounts.login("odd", "pw"), 0);
    EXPECT_EQ(prompter.messages.last().text, "Could not retrieve access data for UserID odd");
    EXPECT_EQ(prompter.messages.last().kind, Prompter::Error);
    EXPECT_FALSE(session.loggedIn());

    // No level stored at all counts as level 0.
    addAccount("blank", "pw", "");
    EXPECT_EQ(accounts.login("blank", "pw"), 0);
    EXPECT_EQ(prompter.messages.last().text, AccessLevels::grantedMessage(0));
    EXPECT_TRUE(session.loggedIn());

    accounts.logout();
    EXPECT_FALSE(session.loggedIn());
    EXPECT_EQ(session.accessLevel(), 0);
}

TEST_F(AccountsTest, LoginDialogRemembersTheUserAndCancelKeepsTheLevel)
{
    addAccount("admin.b", "Pass", "3");
    whenModal<TPasswordDlg>([](TPasswordDlg *dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Enter Password");
        EXPECT_TRUE(control<QComboBox>(dialog, "cboAccess")->isHidden());
        auto *ok = control<QPushButton>(dialog, "btnOK");
        auto *password = control<QLineEdit>(dialog, "Password");
        EXPECT_FALSE(ok->isEnabled());
        QTest::keyClicks(control<QLineEdit>(dialog, "User"), "Admin.B");
        QTest::keyClick(control<QLineEdit>(dialog, "User"), Qt::Key_Return);
        EXPECT_EQ(dialog->focusWidget(), password);
        EXPECT_TRUE(dialog->isVisible()) << "Enter in the user field closed the dialog";
        QTest::keyClicks(password, "pASS");
        EXPECT_TRUE(ok->isEnabled());
        QTest::keyClick(password, Qt::Key_Return);
    });
    EXPECT_EQ(service->login(nullptr), std::optional<int>(3));
    EXPECT_EQ(prompter.messages.last().text, AccessLevels::grantedMessage(3));
    EXPECT_EQ(session.userName(), "Admin.B");

    whenModal<TPasswordDlg>([](TPasswordDlg *dialog) {
        EXPECT_EQ(control<QLineEdit>(dialog, "User")->text(), "Admin.B");
        EXPECT_EQ(dialog->focusWidget(), control<QLineEdit>(dialog, "Password"));
        QTest::mouseClick(control<QPushButton>(dialog, "btnCancel"), Qt::LeftButton);
    });
    const int shownBefore = prompter.messages.size();
    EXPECT_EQ(service->login(nullptr), std::nullopt);
    EXPECT_EQ(prompter.messages.size(), shownBefore);
    EXPECT_TRUE(session.loggedIn());
    EXPECT_EQ(session.accessLevel(), 3);
    EXPECT_EQ(session.userName(), "");
}

TEST_F(AccountsTest, AddingAnExistingUserReplacesPasswordAndLevel)
{
    addAccount("boss", "pw", "3");
    ASSERT_EQ(logInThroughTheDialog("boss", "pw"), std::optional<int>(3));

    const auto addThrough = [&](const QString &userId, const QString &password, int choice) {
        whenModal<TPasswordDlg>([=](TPasswordDlg *dialog) {
            EXPECT_EQ(dialog->windowTitle(), "Add User / Change Access");
            auto *access = control<QComboBox>(dialog, "cboAccess");
            EXPECT_FALSE(access->isHidden());
            EXPECT_EQ(access->count(), 3);
            // Prefilled with the last confirmed user: the current level is chosen.
            EXPECT_EQ(control<QLineEdit>(dialog, "User")->text(), "boss");
            EXPECT_EQ(access->currentIndex(), 2);
            typeInto(control<QLineEdit>(dialog, "User"), userId);
            EXPECT_EQ(access->currentIndex(), 0);
            access->setCurrentIndex(choice);
            QTest::keyClicks(control<QLineEdit>(dialog, "Password"), password);
            QTest::mouseClick(control<QPushButton>(dialog, "btnOK"), Qt::LeftButton);
        });
        return service->addUser(nullptr);
    };
    // Confirming the add dialog makes its user ID the last confirmed one: log in
    // again so that the next round starts from the administrator.
    ASSERT_TRUE(addThrough("Viewer", "first", 1));
    TPasswordDlg::forgetLastConfirmedUser();
    ASSERT_EQ(logInThroughTheDialog("boss", "pw"), std::optional<int>(3));
    ASSERT_TRUE(addThrough("VIEWER", "second", 0));

    EXPECT_FALSE(store->checkUser("viewer", "first"));
    EXPECT_TRUE(store->checkUser("viewer", "second"));
    EXPECT_EQ(store->getAccess("viewer", "second"), "1");
}

TEST_F(AccountsTest, ChangePasswordStoresTheConfirmationOnlyWhenBothMatch)
{
    addAccount("tech", "Old", "2");
    whenModal<TfrmChangePassword>([this](TfrmChangePassword *dialog) {
        auto *user = control<QLineEdit>(dialog, "User");
        auto *old = control<QLineEdit>(dialog, "Password");
        auto *fresh = control<QLineEdit>(dialog, "NewPassword");
        auto *confirm = control<QLineEdit>(dialog, "ConfirmPassword");
        auto *ok = control<QPushButton>(dialog, "btnOK");
        EXPECT_TRUE(fresh->isHidden());
        EXPECT_TRUE(confirm->isHidden());
        QTest::keyClicks(user, "tech");
        QTest::keyClick(user, Qt::Key_Return);
        EXPECT_EQ(dialog->focusWidget(), old);

        QTest::keyClicks(old, "bad");
        QTest::keyClick(old, Qt::Key_Return);
        EXPECT_EQ(prompter.texts().last(), "Invalid password");
        EXPECT_TRUE(fresh->isHidden());

        old->setFocus();
        typeInto(old, "OLD");
        QTest::keyClick(old, Qt::Key_Tab);
        EXPECT_FALSE(fresh->isHidden());
        EXPECT_FALSE(control<QLabel>(dialog, "lblNewPassword")->isHidden());
        EXPECT_FALSE(user->isEnabled());
        EXPECT_FALSE(old->isEnabled());
        EXPECT_EQ(dialog->focusWidget(), fresh);

        QTest::keyClicks(fresh, "Harbour");
        QTest::keyClick(fresh, Qt::Key_Return);
        EXPECT_FALSE(confirm->isHidden());
        EXPECT_EQ(dialog->focusWidget(), confirm);
        EXPECT_FALSE(ok->isEnabled());
        QTest::keyClicks(confirm, "HARBOUR");
        EXPECT_TRUE(ok->isEnabled());
        QTest::keyClick(confirm, Qt::Key_Return);
    });
    EXPECT_TRUE(service->changePassword(nullptr));
    store->setCaseSensitive(true);
    EXPECT_TRUE(store->checkUser("tech", "HARBOUR"));
    EXPECT_FALSE(store->checkUser("tech", "Harbour"));
    store->setCaseSensitive(false);
    EXPECT_EQ(store->getAccess("tech", "harbour"), "2");

    // A confirmation that differs in more than case changes nothing.
    whenModal<TfrmChangePassword>([](TfrmChangePassword *dialog) {
        EXPECT_EQ(control<QLineEdit>(dialog, "User")->text(), "tech");
        auto *old = control<QLineEdit>(dialog, "Password");
        old->setFocus();
        QTest::keyClicks(old, "harbour");
        QTest::keyClick(old, Qt::Key_Return);
        auto *fresh = control<QLineEdit>(dialog, "NewPassword");
        QTest::keyClicks(fresh, "Quay");
        QTest::keyClick(fresh, Qt::Key_Return);
        QTest::keyClicks(control<QLineEdit>(dialog, "ConfirmPassword"), "Quey");
        QTest::mouseClick(control<QPushButton>(dialog, "btnOK"), Qt::LeftButton);
    });
    EXPECT_FALSE(service->changePassword(nullptr));
    EXPECT_EQ(prompter.texts().last(), "Verification failed.  Password not changed!");
    EXPECT_TRUE(store->checkUser("tech", "harbour"));
}

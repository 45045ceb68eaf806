#include "MessageBoxPrompter.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Runs check on the message box once it is up.
void whenBoxShows(std::function<void(QMessageBox *)> check)
{
    QTimer::singleShot(0, [check] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        check(box);
    });
}

} // namespace

TEST(MessageBoxPrompter, HelpShowsHelpAndLeavesTheBoxOpen)
{
    MessageBoxPrompter prompter;
    QList<int> helpShown;
    prompter.setHelpHandler([&](int context) { helpShown << context; });
    bool stillOpenAfterHelp = false;
    whenBoxShows([&](QMessageBox *box) {
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->windowTitle(), "Receive Failure");
        EXPECT_EQ(box->text(), "No response from Unit\nClosing Comm Port");
        EXPECT_EQ(box->buttons().size(), 2);
        box->button(QMessageBox::Help)->click();
        QTimer::singleShot(0, box, [&, box] {
            stillOpenAfterHelp = box->isVisible();
            box->button(QMessageBox::Ok)->click();
        });
    });
    const int result = prompter.messageBox("No response from Unit\rClosing Comm Port", "Receive Failure",
                                           Prompter::Error, Prompter::OK | Prompter::Help, 999);
    EXPECT_EQ(result, Prompter::IdOK);
    EXPECT_EQ(helpShown, QList<int>{999});
    EXPECT_TRUE(stillOpenAfterHelp);
}

TEST(MessageBoxPrompter, KindsAndButtonsMapToTheBox)
{
    MessageBoxPrompter prompter;
    const struct {
        Prompter::Kind kind;
        QMessageBox::Icon icon;
        unsigned buttons;
        QMessageBox::StandardButton press;
        int result;
    } cases[] = {
        {Prompter::Warning, QMessageBox::Warning, Prompter::OK, QMessageBox::Ok, Prompter::IdOK},
        {Prompter::Information, QMessageBox::Information, Prompter::OK | Prompter::Cancel, QMessageBox::Cancel,
         Prompter::IdCancel},
        {Prompter::Confirmation, QMessageBox::Question, Prompter::Yes | Prompter::No, QMessageBox::No, Prompter::IdNo},
        {Prompter::NoIcon, QMessageBox::NoIcon, Prompter::Abort | Prompter::Retry | Prompter::Ignore,
         QMessageBox::Retry, Prompter::IdRetry},
    };
    for (const auto &c : cases) {
        whenBoxShows([&](QMessageBox *box) {
            EXPECT_EQ(box->icon(), c.icon);
            box->button(c.press)->click();
        });
        EXPECT_EQ(prompter.messageBox("text", "title", c.kind, c.buttons, 0), c.result);
    }
}

TEST(MessageBoxPrompter, SaveDialogAsksAboutTheFileWithItsDefaultSuffix)
{
    QTemporaryDir dir;
    QFile existing(dir.filePath("plant.cfg"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    MessageBoxPrompter prompter;
    QString question;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit *>("fileNameEdit")->setText("plant");
        QTimer::singleShot(0, [&, dialog] {
            // The overwrite question names the file with its suffix; Yes accepts it.
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            question = box->text();
            box->button(QMessageBox::Yes)->click();
        });
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const QString name = prompter.saveFileName("Save to Text File", "Config Text Files (*.cfg)", dir.path(), "cfg");
    EXPECT_EQ(name, dir.filePath("plant.cfg"));
    EXPECT_TRUE(question.contains("plant.cfg")) << question.toStdString();
}

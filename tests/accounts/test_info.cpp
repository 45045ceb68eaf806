#include "AboutFacts.h"
#include "Disclaimer.h"
#include "HelpWindow.h"
#include "IniFile.h"
#include "RecordingPrompter.h"
#include "TfrmAbout.h"
#include "TfrmTarvnote.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString Question = "I understand the Terms and Conditions.\rDon't show me this message again.";

class DisclaimerTest : public ::testing::Test {
protected:
    QString active() const { return IniFile(dir.path(), "Option.ini").readString("Show Disclaimer", "Active", "?"); }
    void setActive(const QString &value)
    {
        IniFile options(dir.path(), "Option.ini");
        QString error;
        ASSERT_TRUE(options.writeString("Show Disclaimer", "Active", value, &error)) << qPrintable(error);
    }
    bool run()
    {
        IniFile options(dir.path(), "Option.ini");
        return Disclaimer::runAtStart(options);
    }

    QTemporaryDir dir;
    RecordingPrompter prompter;
};

} // namespace

TEST_F(DisclaimerTest, ShownWithoutOptionFileAndHiddenOnceUnderstood)
{
    EXPECT_TRUE(run());
    ASSERT_EQ(prompter.messages.size(), 2);
    EXPECT_EQ(prompter.messages[0].text, Disclaimer::text());
    EXPECT_EQ(prompter.messages[0].buttons, Prompter::OK | Prompter::Cancel);
    EXPECT_EQ(prompter.messages[1].text, Question);
    EXPECT_EQ(active(), "0");

    prompter.messages.clear();
    EXPECT_TRUE(run());
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(DisclaimerTest, CancelledTermsStillAskAndWriteButEndTheProgram)
{
    setActive("1");
    prompter.answers = {Prompter::IdCancel, Prompter::IdOK};
    EXPECT_FALSE(run());
    EXPECT_EQ(prompter.texts().size(), 2);
    EXPECT_EQ(active(), "0");

    // Cancel in the question keeps the disclaimer for the next start; only the
    // first character of the value counts.
    setActive("1 (shown)");
    prompter.answers = {Prompter::IdOK, Prompter::IdCancel};
    prompter.messages.clear();
    EXPECT_TRUE(run());
    EXPECT_EQ(prompter.texts().size(), 2);
    EXPECT_EQ(active(), "1");
}

TEST_F(DisclaimerTest, OtherValuesShowNothingAndLeaveTheFileAlone)
{
    setActive("0");
    QFile file(dir.path() + "/Option.ini");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    EXPECT_TRUE(run());
    EXPECT_TRUE(prompter.messages.isEmpty());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

TEST(AboutBox, ShowsBuildVersionAndUndefinedNames)
{
    EXPECT_EQ(AboutFacts::ownerFromGecos("Ann Smith,Room 4,555-0100,,"), "Ann Smith");
    EXPECT_EQ(AboutFacts::ownerFromGecos(",,,"), "Undefined");
    EXPECT_EQ(AboutFacts::ownerFromGecos(nullptr), "Undefined");
    EXPECT_EQ(AboutFacts::versionValue(""), "< No Data Available >");

    const QByteArray saved = qgetenv("ORGANIZATION");
    qputenv("ORGANIZATION", "  Harbour Works  ");
    EXPECT_EQ(AboutFacts::fromSystem().organization, "Harbour Works");
    qunsetenv("ORGANIZATION");
    const AboutFacts system = AboutFacts::fromSystem();
    EXPECT_EQ(system.organization, "Undefined");
    EXPECT_EQ(system.fileVersion, TARVINE_VERSION);
    if (!saved.isNull())
        qputenv("ORGANIZATION", saved);

    // A machine without registration names.
    AboutFacts facts = system;
    facts.owner = AboutFacts::ownerFromGecos("");
    TfrmAbout about(facts);
    EXPECT_EQ(about.findChild<QLabel *>("lblUser")->text(), "Undefined");
    EXPECT_EQ(about.findChild<QLabel *>("lblVersion")->text(), TARVINE_VERSION);

    RecordingPrompter prompter;
    QTest::mouseClick(about.findChild<QPushButton *>("btnDisclaimer"), Qt::LeftButton);
    ASSERT_EQ(prompter.messages.size(), 1);
    // Only shown again, with OK alone: no word of a Cancel button.
    EXPECT_TRUE(Disclaimer::text().startsWith(prompter.messages[0].text));
    EXPECT_FALSE(prompter.messages[0].text.contains("Cancel"));
    EXPECT_EQ(prompter.messages[0].buttons, unsigned(Prompter::OK));
    EXPECT_EQ(prompter.messages[0].title, "Terms and Conditions");
}

TEST(Acknowledgements, CiaoClosesAndFreesTheWindow)
{
    QPointer<TfrmTarvnote> window = TfrmTarvnote::open(nullptr);
    EXPECT_FALSE(window->findChild<QLabel *>("bmpPicture")->pixmap().isNull());
    QTest::mouseClick(window->findChild<QPushButton *>("btnCiao"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST(Help, ContextsOpenTheirPagesAndEveryLinkResolves)
{
    HelpWindow &help = HelpWindow::instance();
    // Opened beside the active window, not over it.
    QWidget owner;
    owner.setGeometry(0, 40, 120, 100);
    owner.show();
    owner.activateWindow();
    QApplication::setActiveWindow(&owner);
    help.showContext(49);
    EXPECT_FALSE(help.frameGeometry().intersects(owner.frameGeometry()))
        << help.frameGeometry().x() << "," << help.frameGeometry().y();
    owner.hide();
    EXPECT_EQ(help.currentPage().fileName(), "login.html");
    EXPECT_EQ(help.currentPage().fragment(), "login");
    EXPECT_TRUE(help.pageText().contains("Logging in"));
    EXPECT_TRUE(help.pageText().contains("heron")) << "the first login is explained";
    help.showContext(4632);
    EXPECT_EQ(help.currentPage().fragment(), "change-password");
    help.showContext(45720);
    EXPECT_EQ(help.currentPage().fileName(), "settings.html");
    help.showContext(12345);
    EXPECT_EQ(help.currentPage(), HelpWindow::contentsPage());
    help.showHowToUseHelp();
    EXPECT_TRUE(help.pageText().startsWith("How to use Help"));

    // Every page and every link from one page to another exists, anchors included.
    const QStringList pages = {"contents.html", "howtouse.html", "main.html", "settings.html", "login.html"};
    const QRegularExpression href("href=\"([^\"#]+)(?:#([^\"]+))?\"");
    for (const QString &page : pages) {
        QFile file(":/info/help/" + page);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(page);
        const QString html = QString::fromUtf8(file.readAll());
        for (const auto &match : href.globalMatch(html)) {
            QFile target(":/info/help/" + match.captured(1));
            ASSERT_TRUE(target.open(QIODevice::ReadOnly)) << qPrintable(page + " -> " + match.captured(1));
            if (match.hasCaptured(2)) {
                EXPECT_TRUE(QString::fromUtf8(target.readAll()).contains("name=\"" + match.captured(2) + "\""))
                    << qPrintable(page + " -> " + match.captured(0));
            }
        }
    }
    help.close();
}

#include "SimFixture.h"

#include "CommSetup.h"
#include "ConfigurationCommands.h"
#include "IniFile.h"
#include "ModalHelper.h"
#include "TfrmUnitID.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

class CommandsTest : public SimFixture {
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        ASSERT_TRUE(link.image().setBytes(unitImage().bytes()));
        commands.setUnitIdQuestion([this] {
            ++unitIdAsked;
            return unitIdAnswer;
        });
        QObject::connect(&commands, &ConfigurationCommands::statusText, [this](const QString &t) { statuses << t; });
        QObject::connect(&commands, &ConfigurationCommands::progress, [this](int step, int steps) {
            lastProgress = {step, steps};
        });
        QObject::connect(&commands, &ConfigurationCommands::transferRunningChanged,
                         [this](bool on) { runningChanges << on; });
    }

    QTemporaryDir dir;
    CommSetup comm{link, session, dir.path()};
    ConfigurationCommands commands{link, session, comm, nullptr};
    int unitIdAsked = 0;
    bool unitIdAnswer = true;
    QStringList statuses;
    std::pair<int, int> lastProgress{-1, -1};
    QList<bool> runningChanges;
};

TEST_F(CommandsTest, RefusalsComeBeforeTheUnitIdAndSendNothing)
{
    link.closePort();
    commands.upload();
    ASSERT_EQ(prompter.texts(), QStringList{QStringLiteral("Comm Port must be open to retrieve data.")});
    commands.download();
    EXPECT_EQ(prompter.texts().value(1), QStringLiteral("Comm Port must be open to transmit data."));
    EXPECT_EQ(unitIdAsked, 0);
    EXPECT_TRUE(serial.takeWritten().isEmpty());

    ASSERT_TRUE(link.openPort());
    prompter.messages.clear();
    session.setAccessLevel(Session::Viewer);
    commands.download();
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("Level 2 (Programmer Access) Required"));
    EXPECT_EQ(prompter.messages[0].title, QStringLiteral("Access Denied"));
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Warning);

    // Not logged in: the login comes first, and cancelling it ends the download quietly.
    session.setLoggedIn(false);
    session.setAccessLevel(Session::Programmer);
    int loginAsked = 0;
    commands.setLoginQuestion([&] {
        ++loginAsked;
        return false;
    });
    commands.download();
    EXPECT_EQ(loginAsked, 1);
    EXPECT_EQ(prompter.messages.size(), 1);

    // A cancelled unit-ID question ends it as well.
    session.setLoggedIn(true);
    unitIdAnswer = false;
    commands.download();
    commands.upload();
    EXPECT_EQ(unitIdAsked, 2);
    EXPECT_TRUE(writes.empty());
    EXPECT_TRUE(serial.takeWritten().isEmpty());
    EXPECT_TRUE(runningChanges.isEmpty());
}

TEST_F(CommandsTest, DownloadReportsProgressAndRefusesOtherItemsMeanwhile)
{
    int refusedDuring = 0;
    QObject::connect(&commands, &ConfigurationCommands::statusText, [&](const QString &t) {
        if (t.startsWith(QLatin1String("Updating 20 of"))) {
            commands.saveBinary();
            commands.upload();
            refusedDuring = int(prompter.messages.size());
        }
    });
    commands.download();
    EXPECT_EQ(refusedDuring, 2);
    EXPECT_TRUE(prompter.messages.value(0).text.startsWith(QLatin1String("A configuration transfer is running.")));
    EXPECT_TRUE(prompter.dialogTitles.isEmpty());   // no file dialog was opened
    EXPECT_EQ(unitIdAsked, 1);
    EXPECT_EQ(statuses.first(), QStringLiteral("Updating 1 of 128 registers: DataOut"));
    EXPECT_EQ(statuses.last(), QStringLiteral("Ostrel finished reading configuration..."));
    EXPECT_EQ(lastProgress, std::make_pair(0, 0));   // the progress bar is hidden again
    EXPECT_EQ(runningChanges, (QList<bool>{true, false}));
    EXPECT_FALSE(commands.transferRunning());
}

// A download that moves the transmitter to another address, framing or line takes
// the PC along, so the rest of the download still reaches it. Serial bytes that
// are no line are not written: the transmitter would be lost.
TEST_F(CommandsTest, DownloadOfOtherCommSettingsTakesThePcAlongOrKeepsTheLine)
{
    const struct {
        int unitId, framing, baudByte, parityByte;
        QString mode, line, note;
    } cases[] = {
        {.unitId = 247, .framing = 1, .baudByte = 6, .parityByte = 0, .mode = QStringLiteral("RTU"),
         .line = QStringLiteral("9600,N,8,1"), .note = QStringLiteral(" The PC now talks to the transmitter at unit ID 247 in RTU, 9600,N,8,1.")},
        {.unitId = 12, .framing = 1, .baudByte = 8, .parityByte = 2, .mode = QStringLiteral("RTU"),
         .line = QStringLiteral("19200,E,8,1"), .note = QStringLiteral(" The PC now talks to the transmitter at unit ID 12 in RTU, 19200,E,8,1.")},
        {.unitId = 12, .framing = 1, .baudByte = 99, .parityByte = 0, .mode = QStringLiteral("RTU"),
         .line = QStringLiteral("19200,E,8,1"),
         .note = QStringLiteral(" The line settings of the file were not written: the file's serial settings are not a line "
                                "the transmitter knows. The transmitter keeps 19200,E,8,1.")},
        {.unitId = 0, .framing = 1, .baudByte = 8, .parityByte = 2, .mode = QStringLiteral("RTU"),
         .line = QStringLiteral("19200,E,8,1"),
         .note = QStringLiteral(" The unit ID 0 of the file was not written: no master can talk to it. The transmitter keeps 12.")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.note.toStdString());
        link.image().setU8At(2 * 2401, uint8_t(c.unitId));
        link.image().setU8At(2 * 2402, uint8_t(c.framing));
        link.image().setU8At(2 * 2406, uint8_t(c.baudByte));
        link.image().setU8At(2 * 2406 + 1, uint8_t(c.parityByte));
        statuses.clear();
        prompter.messages.clear();
        commands.download();  // the question is answered Yes: the file's settings are written
        const int unitId = c.unitId == 0 ? 12 : c.unitId;
        EXPECT_EQ(device()->comm().unitId, unitId);
        EXPECT_EQ(device()->comm().framing, c.framing);
        EXPECT_EQ(device()->comm().line.text(), c.line);
        EXPECT_EQ(link.settings().unitId, unitId);
        EXPECT_EQ(link.settings().framing, c.framing);
        EXPECT_EQ(serial.settings(), c.line);
        const IniFile ini(dir.path(), QStringLiteral("TARVINE.INI"));
        EXPECT_EQ(ini.readString(QStringLiteral("Comm Settings"), QStringLiteral("ID"), {}), QString::number(unitId));
        EXPECT_EQ(ini.readString(QStringLiteral("Comm Settings"), QStringLiteral("Mode"), {}), c.mode);
        EXPECT_EQ(statuses.last(), QStringLiteral("Ostrel finished reading configuration...") + c.note);
        ASSERT_EQ(prompter.messages.size(), 1) << prompter.texts().join("|").toStdString();
        EXPECT_TRUE(prompter.lastText().contains("differ from the unit's")) << prompter.lastText().toStdString();
    }

    // No: the unit keeps its address, framing and line, and the rest of the file is
    // written. Cancel: nothing is written.
    for (const int answer : {int(Prompter::IdNo), int(Prompter::IdCancel)}) {
        SCOPED_TRACE(answer);
        link.image().setU8At(2 * 2401, 33);
        link.image().setF64At(2 * 552, answer == Prompter::IdNo ? 6.5 : 7.5);
        prompter.messages.clear();
        prompter.answers = {answer};
        commands.download();
        ASSERT_EQ(prompter.messages.size(), 1);
        EXPECT_EQ(device()->comm().unitId, 12);
        EXPECT_EQ(link.settings().unitId, 12);
        EXPECT_EQ(unitImage().f64At(2 * 552), 6.5);  // written after No, left as it was after Cancel
    }
}

TEST_F(CommandsTest, UploadAsksTheUnitIdWithTheLinksDialog)
{
    ConfigurationCommands real(link, session, comm, nullptr);
    int imageChanges = 0;
    QObject::connect(&real, &ConfigurationCommands::imageChanged, [&] { ++imageChanges; });
    QString shownId;
    whenModal([&](QWidget *w) {
        auto *dialog = qobject_cast<TfrmUnitID *>(w);
        ASSERT_NE(dialog, nullptr);
        shownId = dialog->txtUnitID->text();
        dialog->btnOK->click();
    });
    unitImage().setF64At(2 * 552, 4.5);
    real.upload();
    EXPECT_EQ(shownId, QStringLiteral("247"));
    EXPECT_EQ(link.image().f64At(2 * 552), 4.5);
    EXPECT_EQ(imageChanges, 1);

    whenModal([](QWidget *w) { qobject_cast<TfrmUnitID *>(w)->btnCancel->click(); });
    unitImage().setF64At(2 * 552, 9.0);
    real.upload();
    EXPECT_EQ(link.image().f64At(2 * 552), 4.5);
}

}  // namespace

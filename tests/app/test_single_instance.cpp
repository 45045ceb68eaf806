#include "SingleInstanceGuard.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

bool listening(const QString &name, int waitMs)
{
    QElapsedTimer t;
    t.start();
    do {
        QLocalSocket s;
        s.connectToServer(name);
        if (s.waitForConnected(100))
            return true;
        QTest::qWait(50);
    } while (t.elapsed() < waitMs);
    return false;
}

// While it lives, this process and the copies it starts keep their sockets in a
// folder of their own, so a copy of the program that someone runs on the machine
// (its socket lies in the shared temporary folder) is never taken for ours.
class PrivateRuntimeFolder {
public:
    PrivateRuntimeFolder() : m_previous(qgetenv("TMPDIR")), m_hadPrevious(qEnvironmentVariableIsSet("TMPDIR"))
    {
        qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
    }
    ~PrivateRuntimeFolder()
    {
        if (m_hadPrevious)
            qputenv("TMPDIR", m_previous);
        else
            qunsetenv("TMPDIR");
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious;
};

QProcess *startProgram(const QString &exe, const QString &workDir)
{
    auto *p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", workDir);
    env.insert("XDG_RUNTIME_DIR", QDir::tempPath());
    p->setProcessEnvironment(env);
    p->start(exe, {"--workdir", workDir});
    return p;
}

} // namespace

TEST(SingleInstanceGuard, SecondClaimBringsTheFirstForward)
{
    const QString path = QDir::temp().filePath("tarvine-guard-test-exe");
    SingleInstanceGuard first(path);
    ASSERT_TRUE(first.claim());
    QSignalSpy raised(&first, &SingleInstanceGuard::raiseRequested);
    SingleInstanceGuard second(path);
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(raised.wait(2000));

    SingleInstanceGuard elsewhere(QDir::temp().filePath("other-folder/tarvine-guard-test-exe"));
    EXPECT_TRUE(elsewhere.claim()) << "a copy from another folder runs";
}

TEST(SingleInstanceGuard, SocketLeftByACrashIsTakenOver)
{
    const QString path = QDir::temp().filePath("tarvine-guard-crash-exe");
    const QString socketFile = QDir::temp().filePath(SingleInstanceGuard::serverNameFor(path));
    {
        QFile stale(socketFile);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    SingleInstanceGuard guard(path);
    EXPECT_TRUE(guard.claim());
    EXPECT_TRUE(listening(guard.serverName(), 1000));
}

TEST(SingleInstanceGuard, TheProgramItself)
{
    const PrivateRuntimeFolder runtime;
    ASSERT_EQ(QDir::tempPath(), runtime.path());
    QTemporaryDir dir;
    const QString exe = QStringLiteral(TARVINE_EXECUTABLE);
    const QString copy = dir.filePath("copy/tarvine");
    ASSERT_TRUE(QDir().mkpath(dir.filePath("copy")));
    ASSERT_TRUE(QFile::copy(exe, copy));

    std::unique_ptr<QProcess> first(startProgram(exe, dir.filePath("one")));
    ASSERT_TRUE(listening(SingleInstanceGuard::serverNameFor(exe), 10000));

    std::unique_ptr<QProcess> second(startProgram(exe, dir.filePath("two")));
    EXPECT_TRUE(second->waitForFinished(10000)) << "a second copy of the same file ends";
    EXPECT_EQ(second->exitCode(), 0);

    std::unique_ptr<QProcess> other(startProgram(copy, dir.filePath("three")));
    EXPECT_TRUE(listening(SingleInstanceGuard::serverNameFor(copy), 10000)) << "a copy elsewhere runs";
    EXPECT_EQ(first->state(), QProcess::Running);

    for (QProcess *p : {first.get(), other.get()}) {
        p->kill();
        p->waitForFinished(5000);
    }
    // Killed copies leave their sockets behind; do not litter the temporary folder.
    QLocalServer::removeServer(SingleInstanceGuard::serverNameFor(exe));
    QLocalServer::removeServer(SingleInstanceGuard::serverNameFor(copy));
}

TEST(ProgramOptions, HelpAndVersionNeedNoDisplay)
{
    const struct {
        const char *option;
        const char *says;
    } cases[] = {{"--help", "--simulate"}, {"--version", TARVINE_VERSION}};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    for (const auto &c : cases) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(TARVINE_EXECUTABLE, {c.option});
        ASSERT_TRUE(p.waitForFinished(20000)) << c.option;
        EXPECT_TRUE(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0) << c.option;
        EXPECT_TRUE(p.readAllStandardOutput().contains(c.says)) << c.option;
    }
}

#include "CliReporter.h"
#include "CliRunner.h"
#include "CommandTable.h"
#include "ConfigurationCliCommands.h"
#include "DiffCommand.h"
#include "DiscoveryCommands.h"
#include "HistoryCommand.h"
#include "KeysCommand.h"
#include "LinkCommands.h"
#include "WatchCommand.h"
#include "PortControl.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

#include <unistd.h>

namespace {
// Qt warns on standard error when XDG_RUNTIME_DIR is unset (cron, root shells) and
// then uses a folder of its own; give it that folder quietly instead.
void provideRuntimeDir()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QString dir = QDir::tempPath() + QStringLiteral("/runtime-tarvine-%1").arg(::getuid());
    if (QDir().mkpath(dir) && QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
}
} // namespace

int main(int argc, char **argv)
{
    provideRuntimeDir();
    // The report lays out text, which needs fonts and so a GUI application; no
    // window is ever shown, so no display is needed either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvine-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVINE_VERSION));

    CommandTable commands;
    registerLinkCommands(commands);
    registerConfigurationCommands(commands);
    registerDiffCommand(commands);
    registerDiscoveryCommands(commands);
    registerWatchCommand(commands);
    registerKeysCommand(commands);
    registerHistoryCommand(commands);

    PortControl serial;
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Progress rewrites one line in place: only where a person watches it.
    CliReporter reporter(err, ::isatty(STDERR_FILENO) == 1);
    Prompter::install(&reporter);
    const int status = runCli(QCoreApplication::arguments(), serial, commands, out, err, &reporter);
    Prompter::install(nullptr);
    return status;
}

#include "FolderWindows.h"
#include "HistoryStore.h"
#include "MessageBoxPrompter.h"
#include "ProgramServices.h"
#include "PortControl.h"
#include "SimulateMode.h"
#include "SingleInstanceGuard.h"
#include "TfrmMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QStandardPaths>

namespace {

const QCommandLineOption simulate(QStringLiteral("simulate"),
                                  QStringLiteral("Talk to a simulated transmitter on a pseudo-terminal."));
const QCommandLineOption workdir(QStringLiteral("workdir"),
                                 QStringLiteral("Working directory for TARVINE.INI, Option.ini and default.bin."),
                                 QStringLiteral("dir"));
// The menu entry starts the program in the home folder; its files belong in the data folder.
const QCommandLineOption userData(QStringLiteral("user-data"),
                                  QStringLiteral("Keep TARVINE.INI, Option.ini and default.bin in the user's data folder "
                                                 "($XDG_DATA_HOME/tarvine, normally ~/.local/share/tarvine)."));

const QCommandLineOption historyFile(QStringLiteral("history"),
                                    QStringLiteral("Record every change to a transmitter in this file (default "
                                                   "$TARVINE_HISTORY, else $XDG_DATA_HOME/tarvine/history.sqlite; off records nothing)."),
                                    QStringLiteral("file"));

QString userDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/tarvine");
}

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Configures, calibrates and monitors the Ostrel transmitter."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(simulate);
    parser.addOption(workdir);
    parser.addOption(userData);
    parser.addOption(historyFile);
}

// The change history. When it cannot be used, the user chooses between going on
// without it and stopping (*stop).
std::unique_ptr<HistoryStore> openHistory(const QCommandLineParser &parser, bool *stop)
{
    // As for tarvine-cli, TARVINE_HISTORY stands in for the option.
    QString path = parser.isSet(historyFile) ? parser.value(historyFile) : qEnvironmentVariable("TARVINE_HISTORY");
    if (path.isEmpty())
        path = HistoryStore::defaultPath();
    if (path == QLatin1String("off"))
        return nullptr;
    QString error;
    auto store = HistoryStore::open(path, &error);
    *stop = !store && showMessage(error + QStringLiteral("\r\rGo on without recording changes?\rNo: Tarvine stops."),
                                  QStringLiteral("Tarvine 2"), Prompter::Warning, Prompter::Yes | Prompter::No)
                          != Prompter::IdYes;
    return store;
}

void setNames()
{
    QCoreApplication::setApplicationName(QStringLiteral("Tarvine 2"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVINE_VERSION));
}

// --help and --version only print: they must work without a display.
bool onlyPrints(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-?" || arg == "-v" || arg == "--version")
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (onlyPrints(argc, argv)) {
        QCoreApplication app(argc, argv);
        setNames();
        QCommandLineParser parser;
        describeOptions(parser);
        parser.process(app);   // prints and exits
        return 0;
    }
    QApplication app(argc, argv);
    setNames();

    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);

    MessageBoxPrompter prompter;
    Prompter::install(&prompter);

    if (parser.isSet(workdir) || parser.isSet(userData)) {
        const QString dir = parser.isSet(workdir) ? parser.value(workdir) : userDataFolder();
        if (!QDir().mkpath(dir) || !QDir::setCurrent(dir)) {
            showMessage(QStringLiteral("Cannot use %1 as the working directory.").arg(dir), QStringLiteral("Tarvine 2"),
                        Prompter::Error);
            return 1;
        }
    }

    SingleInstanceGuard guard(QCoreApplication::applicationFilePath());
    if (!guard.claim())
        return 0;

    SimulateMode simulation;
    if (parser.isSet(simulate)) {
        QString error;
        if (!simulation.start(QDir::currentPath(), &error)) {
            showMessage(error, QStringLiteral("Tarvine 2"), Prompter::Error);
            return 1;
        }
    }

    int result = 0;
    bool stop = false;
    const std::unique_ptr<HistoryStore> history = openHistory(parser, &stop);
    if (stop)
        return 1;
    {
        TfrmMain main(new PortControl, QDir::currentPath());
        main.session().setHistory(history.get());
        prompter.setParent(&main);
        auto *services = new ProgramServices(main);
        if (!services->install())
            return 1;
        new FolderWindows(main);
        prompter.setHelpHandler([&main](int context) {
            if (main.services().help)
                main.services().help(&main, context);
        });
        QObject::connect(&guard, &SingleInstanceGuard::raiseRequested, &main, &TfrmMain::bringToFront);
        main.show();
        result = app.exec();
        prompter.setParent(nullptr);
        prompter.setHelpHandler({});
    }
    Prompter::install(nullptr);
    return result;
}

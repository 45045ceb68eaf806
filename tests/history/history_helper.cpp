// history_helper download FILE: downloads the default configuration to an in-process
//   simulated transmitter with the history in FILE; prints "mid" half-way and waits
//   there to be killed.
// history_helper write FILE COUNT: records COUNT completed operations in FILE.
#include "ConfigurationTransfer.h"
#include "HistoryStore.h"
#include "ModbusLink.h"
#include "Session.h"
#include "SimSerialControl.h"
#include "Simulator.h"

#include <QCoreApplication>

#include <cstdio>

#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    QString error;
    const auto store = HistoryStore::open(args[2], &error);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    if (args[1] == QLatin1String("write") && args.size() == 4) {
        for (int i = 0; i < args[3].toInt(); ++i) {
            OperationInfo info;
            info.startedUtc = QDateTime::currentDateTimeUtc();
            info.user = QStringLiteral("p%1").arg(getpid());
            info.operation = QStringLiteral("op %1").arg(i);
            const qint64 id = store->begin(info);
            FieldChange change;
            change.key = QStringLiteral("Register 1");
            change.firstRegister = 1;
            change.byteCount = 2;
            change.asFound = QByteArray(2, 0);
            change.asLeft = QByteArray(2, 1);
            if (id < 0 || !store->complete(id, HistoryOutcome::Done, {}, {change}))
                return 1;
        }
        return 0;
    }
    if (args[1] != QLatin1String("download"))
        return 2;
    sim::Simulator simulator(sim::SimOptions::immediate());
    auto *serial = new sim::SimSerialControl(simulator.transmitter());
    Session session;
    session.setAccessLevel(Session::Programmer);
    session.setLoggedIn(true);
    session.setHistory(store.get());
    ModbusLink link(serial, &session);
    CommSettings settings;
    settings.port = QStringLiteral("/sim");
    link.setSettings(settings);
    if (!link.openPort())
        return 1;
    ConfigurationTransfer transfer(link, session);
    QObject::connect(&transfer, &ConfigurationTransfer::progress, [](const QString &, int step, int) {
        if (step == 40) {
            std::puts("mid");
            std::fflush(stdout);
            for (;;)
                pause();
        }
    });
    return transfer.download().ok() ? 0 : 1;
}

#include "CliRunner.h"
#include "CommandTable.h"
#include "LinkCommands.h"
#include "QtSerialControl.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvine-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVINE_VERSION));

    CommandTable commands;
    registerLinkCommands(commands);

    QtSerialControl serial;
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runCli(QCoreApplication::arguments(), serial, commands, out, err);
}

#include "FolderWindows.h"

#include "MenuTags.h"
#include "TfrmMain.h"
#include "WindowRegistry.h"

#include "ConfigurationCommands.h"
#include "MonitorWindows.h"
#include "TfrmCompareConfiguration.h"

FolderWindows::FolderWindows(TfrmMain &main) : QObject(&main)
{
    auto *commands = new ConfigurationCommands(main.link(), main.session(), main.comm(), &main);
    commands->setLoginQuestion([&main] {
        return main.services().login && main.services().login(&main, main.session());
    });
    connect(commands, &ConfigurationCommands::statusText, &main, &TfrmMain::showStatus);
    connect(commands, &ConfigurationCommands::progress, &main, &TfrmMain::showProgress);
    connect(commands, &ConfigurationCommands::transferRunningChanged, &main, &TfrmMain::setTransferRunning);
    connect(commands, &ConfigurationCommands::helpRequested, &main, [&main](int context) {
        if (main.services().help)
            main.services().help(&main, context);
    });
    const std::pair<int, void (ConfigurationCommands::*)()> items[] = {
        {MenuTag::LoadTextFile, &ConfigurationCommands::loadText},
        {MenuTag::SaveTextFile, &ConfigurationCommands::saveText},
        {MenuTag::LoadBinaryFile, &ConfigurationCommands::loadBinary},
        {MenuTag::SaveBinaryFile, &ConfigurationCommands::saveBinary},
        {MenuTag::UploadFromUnit, &ConfigurationCommands::upload},
        {MenuTag::DownloadToUnit, &ConfigurationCommands::download},
        {MenuTag::PreviewConfiguration, &ConfigurationCommands::previewReport},
        {MenuTag::PrintConfiguration, &ConfigurationCommands::printReport},
        {MenuTag::PrinterSetup, &ConfigurationCommands::printerSetup},
    };
    for (const auto &[tag, slot] : items)
        main.setAction(tag, [commands, slot = slot] { (commands->*slot)(); });
    main.setAction(MenuTag::CompareWithUnit, [&main] {
        TfrmCompareConfiguration compare(main.link(), &main);
        if (compare.chooseFile())
            compare.exec();
    });
    for (int tag : MonitorWindows::tags()) {
        WindowRegistry::registerWindow(tag, [](const WindowContext &c, int t) {
            return MonitorWindows::create(t, c.link, c.session, c.parent, c.showStatus);
        });
    }
    // Their menu items now have something to do.
    main.refreshAvailableItems();
}

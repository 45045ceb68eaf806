#include <QApplication>

#include <gtest/gtest.h>

// GoogleTest's main with a widget application. Without a platform named in the
// environment the windows are drawn off screen, so the tests (and their listing)
// need no display.
int main(int argc, char **argv)
{
    // Commands record no change history unless a test gives --history.
    qputenv("TARVINE_HISTORY", "off");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

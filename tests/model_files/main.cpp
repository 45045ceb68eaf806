#include <QApplication>

#include <gtest/gtest.h>

// GoogleTest's main with a widget application. Windows never reach a screen, also
// when CTest lists the tests without the test environment.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include <QApplication>

#include <gtest/gtest.h>

// GoogleTest's main with a widget application (run with QT_QPA_PLATFORM=offscreen).
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

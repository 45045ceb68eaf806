#include <QCoreApplication>

#include <gtest/gtest.h>

// GoogleTest's main with a Qt application, so that event loops and queued events work.
int main(int argc, char **argv)
{
    // Commands record no change history unless a test gives --history.
    qputenv("TARVINE_HISTORY", "off");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include <QApplication>
#include <gtest/gtest.h>

// One QApplication per test program, on the offscreen platform unless the caller chose one,
// so that widgets, timers and queued calls work in every test.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

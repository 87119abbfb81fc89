#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// One QApplication per test program, on the offscreen platform unless the caller chose one,
// so that widgets, timers and queued calls work in every test.
//
// ctest runs every test case as a process of its own and many at once, so each process gets
// fresh XDG folders: settings, data and caches of one test never leak into another.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir xdg(QDir::tempPath() + "/veltamorine-test-XXXXXX");
    if (xdg.isValid()) {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
            const QString path = xdg.filePath(QString::fromLatin1(name).toLower());
            QDir().mkpath(path);
            qputenv(name, QFile::encodeName(path));
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

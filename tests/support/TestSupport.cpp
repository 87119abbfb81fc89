#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace TestSupport {

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

void processEvents(int ms)
{
    QDeadlineTimer deadline(ms);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (!deadline.hasExpired());
}

bool waitForFile(QProcess& process, const QString& path, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!QFileInfo::exists(path) && timer.elapsed() < timeoutMs)
        process.waitForReadyRead(20);
    return QFileInfo::exists(path);
}

QString builtProgram(const QString& relativePath)
{
    return QStringLiteral(VEL_BINARY_DIR "/") + relativePath;
}

}

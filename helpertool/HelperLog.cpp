#include "HelperLog.h"

#include <QMutex>
#include <cstdio>

Q_LOGGING_CATEGORY(lcHelper, "veltamorine.helpertool")

namespace {

QMutex sinkMutex;
HelperLog::Sink sink;

}

void HelperLog::helper(const QString& text)
{
    out(QStringLiteral("@Helper ") + text);
    qCInfo(lcHelper).noquote() << text;
}

void HelperLog::codesign(const QString& text)
{
    out(QStringLiteral("@CODESIGN ") + text);
}

void HelperLog::out(const QString& text)
{
    QMutexLocker lock(&sinkMutex);
    if (sink) {
        sink(text);
        return;
    }
    const QByteArray line = text.toUtf8();
    std::fwrite(line.constData(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void HelperLog::err(const QString& text)
{
    const QByteArray line = text.toUtf8();
    std::fwrite(line.constData(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
}

void HelperLog::setSink(Sink newSink)
{
    QMutexLocker lock(&sinkMutex);
    sink = std::move(newSink);
}

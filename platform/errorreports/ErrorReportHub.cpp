#include "ErrorReportHub.h"

#include "AnalyticsProperties.h"
#include "UploadQueue.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QUuid>

Q_LOGGING_CATEGORY(lcReports, "veltamorine.errorreports")

namespace {

QJsonObject errorJson(const Error& error)
{
    return QJsonObject{
        {QStringLiteral("domain"), error.domain},
        {QStringLiteral("code"), error.code},
        {QStringLiteral("message"), error.message},
    };
}

QJsonObject exceptionJson(const Error& error)
{
    // The user info is left out: it may hold reply bodies or other secrets.
    QJsonObject out = errorJson(error);
    QJsonArray chain;
    for (const Error* e = error.underlying.get(); e; e = e->underlying.get())
        chain.append(errorJson(*e));
    out.insert(QStringLiteral("chain"), chain);
    return out;
}

QJsonValue extraJson(const QVariant& value)
{
    if (AnalyticsValue::isRepresentable(value))
        return AnalyticsValue::toJson(value);
    // Anything else is described, never dropped silently.
    return value.isValid() ? QJsonValue(value.toString().isEmpty() ? QString::fromLatin1(value.typeName()) : value.toString())
                           : QJsonValue(QJsonValue::Null);
}

}

ErrorReportHub::ErrorReportHub() = default;

ErrorReportHub::~ErrorReportHub() = default;

void ErrorReportHub::bindClient(ReportOptions options)
{
    std::shared_ptr<UploadQueue> keep;
    QMutexLocker lock(&mutex_);
    if (queue_ && options_ && options_->endpoint == options.endpoint
        && options_->trustedCertificates == options.trustedCertificates) {
        options_ = std::move(options);
        return;
    }
    UploadConfiguration c;
    c.endpoint = options.endpoint;
    c.trustedCertificates = options.trustedCertificates;
    c.headers = {{QByteArrayLiteral("X-Report-Key"), options.dsn.toUtf8()}};
    c.capacity = options.capacity;
    c.batchSize = options.batchSize;
    c.flushInterval = options.flushInterval;
    c.scheduler = options.scheduler;
    keep = std::move(queue_);
    queue_ = UploadQueue::makeShared(c);
    options_ = std::move(options);
}

bool ErrorReportHub::isEnabled() const
{
    QMutexLocker lock(&mutex_);
    return queue_ != nullptr;
}

ReportOptions ErrorReportHub::options() const
{
    QMutexLocker lock(&mutex_);
    return options_.value_or(ReportOptions{});
}

void ErrorReportHub::setUser(std::optional<ReportUser> user)
{
    QMutexLocker lock(&mutex_);
    user_ = std::move(user);
}

std::optional<ReportUser> ErrorReportHub::user() const
{
    QMutexLocker lock(&mutex_);
    return user_;
}

ReportScope ErrorReportHub::getScope() const
{
    QMutexLocker lock(&mutex_);
    return scope_;
}

void ErrorReportHub::configureScope(const std::function<void(ReportScope&)>& change)
{
    QMutexLocker lock(&mutex_);
    change(scope_);
}

QString ErrorReportHub::captureError(const Error& error, const ReportScope& scope)
{
    return capture(QJsonObject{{QStringLiteral("exception"), exceptionJson(error)}}, scope);
}

QString ErrorReportHub::captureMessage(const QString& message, const ReportScope& scope)
{
    return capture(QJsonObject{{QStringLiteral("message"), message}}, scope);
}

QString ErrorReportHub::capture(QJsonObject body, const ReportScope& scope)
{
    std::shared_ptr<UploadQueue> queue;
    ReportOptions options;
    std::optional<ReportUser> user;
    {
        QMutexLocker lock(&mutex_);
        if (!queue_ || !options_)
            return {};
        queue = queue_;
        options = *options_;
        user = user_;
    }
    const QString id = QUuid::createUuid().toString(QUuid::Id128);
    const QDateTime now = (options.scheduler ? *options.scheduler : Scheduler::main()).now();
    QJsonObject tags;
    for (auto it = scope.tags.cbegin(); it != scope.tags.cend(); ++it)
        tags.insert(it.key(), it.value());
    QJsonObject extra;
    for (auto it = scope.extras.cbegin(); it != scope.extras.cend(); ++it)
        extra.insert(it.key(), extraJson(it.value()));
    body.insert(QStringLiteral("type"), QStringLiteral("event"));
    body.insert(QStringLiteral("event_id"), id);
    body.insert(QStringLiteral("timestamp"), now.toUTC().toString(Qt::ISODateWithMs));
    body.insert(QStringLiteral("level"), reportLevelName(scope.level));
    body.insert(QStringLiteral("release"), options.releaseName);
    body.insert(QStringLiteral("dist"), options.dist);
    body.insert(QStringLiteral("environment"), options.environment);
    body.insert(QStringLiteral("tags"), tags);
    body.insert(QStringLiteral("extra"), extra);
    if (user)
        body.insert(QStringLiteral("user"), QJsonObject{{QStringLiteral("id"), user->userId},
                                                        {QStringLiteral("username"), user->username}});
    queue->enqueue(std::move(body));
    return id;
}

void ErrorReportHub::flush()
{
    std::shared_ptr<UploadQueue> queue;
    {
        QMutexLocker lock(&mutex_);
        queue = queue_;
    }
    if (queue)
        queue->flush();
}

UploadQueue* ErrorReportHub::queue() const
{
    QMutexLocker lock(&mutex_);
    return queue_.get();
}

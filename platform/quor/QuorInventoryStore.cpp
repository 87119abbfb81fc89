#include "QuorInventoryStore.h"

#include "QuorInventoryGenerator.h"
#include "QuorLog.h"
#include "Scheduler.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QSslConfiguration>

namespace {

constexpr qint64 kMaxInventoryBytes = 16 * 1024 * 1024;

std::shared_ptr<const QuorInventory> parse(const QByteArray& body)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return nullptr;
    std::optional<QuorInventory> inventory = QuorInventory::fromJson(doc.object());
    if (!inventory || inventory->countries.isEmpty())
        return nullptr;
    return std::make_shared<const QuorInventory>(std::move(*inventory));
}

}

QuorInventoryStore::QuorInventoryStore(const QuorEnvironment& environment)
    : environment_(environment), current_(QuorInventoryGenerator::defaultInventory())
{
}

QuorInventoryStore::~QuorInventoryStore()
{
    *alive_ = false;
}

QString QuorInventoryStore::cacheFileName()
{
    return QStringLiteral("inventory.json");
}

std::shared_ptr<const QuorInventory> QuorInventoryStore::current() const
{
    QMutexLocker lock(&mutex_);
    return current_;
}

QuorInventoryStore::Source QuorInventoryStore::source() const
{
    QMutexLocker lock(&mutex_);
    return source_;
}

void QuorInventoryStore::ensureFresh(std::function<void()> done)
{
    const QDateTime now = environment_.schedulerOrMain().now();
    // Compared as doubles: a lifetime configured as infinite or huge must not overflow.
    if (fetchedAt_ && double(fetchedAt_->msecsTo(now)) < environment_.timings.inventoryLifetime * 1000.0) {
        if (done)
            done();
        return;
    }
    refresh(std::move(done));
}

void QuorInventoryStore::refresh(std::function<void()> done)
{
    if (done)
        waiting_.append(std::move(done));
    if (inFlight_)
        return;
    // Only HTTPS: the inventory decides where the tunnel goes.
    const QUrl& base = environment_.serviceBaseUrl;
    if (!base.isEmpty() && base.scheme() != QLatin1String("https"))
        qCWarning(lcQuor) << "ignoring an inventory service that is not HTTPS:" << base.scheme();
    if (!base.isValid() || base.isEmpty() || base.scheme() != QLatin1String("https")) {
        loadDiskCache();
        const QList<std::function<void()>> waiting = std::exchange(waiting_, {});
        for (const auto& w : waiting)
            w();
        return;
    }
    if (!network_)
        network_ = std::make_unique<QNetworkAccessManager>();

    QUrl url = environment_.serviceBaseUrl;
    url.setPath(url.path().chopped(url.path().endsWith(u'/') ? 1 : 0) + QStringLiteral("/quor/v1/inventory"));
    QNetworkRequest request(url);
    request.setTransferTimeout(environment_.requestTimeoutMs);
    request.setRawHeader("Accept", "application/json");
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    if (!environment_.caCertificates.isEmpty())
        ssl.addCaCertificates(environment_.caCertificates);
    request.setSslConfiguration(ssl);

    inFlight_ = true;
    QNetworkReply* reply = network_->get(request);
    QObject::connect(reply, &QNetworkReply::finished, network_.get(), [this, reply, alive = std::weak_ptr<bool>(alive_)] {
        if (auto a = alive.lock(); a && *a)
            finish(reply);
        reply->deleteLater();
    });
}

void QuorInventoryStore::finish(QNetworkReply* reply)
{
    inFlight_ = false;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    std::shared_ptr<const QuorInventory> fetched;
    QByteArray body;
    if (reply->error() == QNetworkReply::NoError && status == 200) {
        body = reply->read(kMaxInventoryBytes + 1);
        if (body.size() <= kMaxInventoryBytes)
            fetched = parse(body);
    }
    if (fetched) {
        fetchedAt_ = environment_.schedulerOrMain().now();
        adopt(fetched, Source::Service);
        writeDiskCache(body);
        qCInfo(lcQuor) << "inventory fetched:" << fetched->countries.size() << "countries";
    } else {
        qCWarning(lcQuor) << "inventory fetch failed:" << reply->errorString() << "status" << status;
        loadDiskCache();
    }
    const QList<std::function<void()>> waiting = std::exchange(waiting_, {});
    for (const auto& w : waiting)
        w();
}

void QuorInventoryStore::adopt(std::shared_ptr<const QuorInventory> inventory, Source source)
{
    QMutexLocker lock(&mutex_);
    current_ = std::move(inventory);
    source_ = source;
}

void QuorInventoryStore::loadDiskCache()
{
    if (diskCacheTried_ || environment_.cacheDirectory.isEmpty() || source() == Source::Service)
        return;
    diskCacheTried_ = true;
    QFile file(QDir(environment_.cacheDirectory).filePath(cacheFileName()));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxInventoryBytes)
        return;
    if (auto cached = parse(file.readAll()))
        adopt(cached, Source::DiskCache);
}

void QuorInventoryStore::writeDiskCache(const QByteArray& body)
{
    if (environment_.cacheDirectory.isEmpty() || !QDir().mkpath(environment_.cacheDirectory))
        return;
    QSaveFile file(QDir(environment_.cacheDirectory).filePath(cacheFileName()));
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(body);
    file.commit();
}

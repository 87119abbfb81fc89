#pragma once

#include "QuorEnvironment.h"
#include "QuorInventory.h"

#include <QDateTime>
#include <QMutex>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// Keeps the inventory the SDK works from. It starts with the bundled one, fetches the
// service's over HTTPS when asked, keeps a fetched copy for a while and on disk, and falls
// back to the disk copy or the bundled one when the service cannot be reached.
// Used on the main thread; `current` may be read from any thread.
class QuorInventoryStore {
public:
    enum class Source { Bundled, DiskCache, Service };

    explicit QuorInventoryStore(const QuorEnvironment& environment);
    ~QuorInventoryStore();
    QuorInventoryStore(const QuorInventoryStore&) = delete;
    QuorInventoryStore& operator=(const QuorInventoryStore&) = delete;

    std::shared_ptr<const QuorInventory> current() const;
    Source source() const;

    // Runs `done` once the inventory is no older than its lifetime (fetching when needed).
    void ensureFresh(std::function<void()> done);
    // Fetches now; concurrent callers share one request.
    void refresh(std::function<void()> done);

    static QString cacheFileName();

private:
    void finish(QNetworkReply* reply);
    void adopt(std::shared_ptr<const QuorInventory> inventory, Source source);
    void loadDiskCache();
    void writeDiskCache(const QByteArray& body);

    QuorEnvironment environment_;
    mutable QMutex mutex_;
    std::shared_ptr<const QuorInventory> current_;
    Source source_ = Source::Bundled;
    std::optional<QDateTime> fetchedAt_;
    bool diskCacheTried_ = false;
    std::unique_ptr<QNetworkAccessManager> network_;
    QList<std::function<void()>> waiting_;
    bool inFlight_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

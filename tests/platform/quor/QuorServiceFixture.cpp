#include "QuorServiceFixture.h"

#include "MainQueue.h"
#include "QuorInventoryRoute.h"
#include "TestSupport.h"

void DelegateRecorder::add(const QString& name, const std::optional<QuorConnectionDetails>& details,
                           const std::optional<Error>& error, const std::optional<QuorLocation>& location)
{
    Event event;
    event.name = name;
    event.details = details;
    event.error = error;
    event.location = location;
    event.onMainThread = MainQueue::isMainThread();
    QMutexLocker lock(&mutex_);
    events_.append(std::move(event));
}

void DelegateRecorder::recordState(int state)
{
    QMutexLocker lock(&mutex_);
    states_.append(state);
    stateOnMain_ = stateOnMain_ || MainQueue::isMainThread();
}

void DelegateRecorder::recordPackets(quint64 in, quint64 out)
{
    QMutexLocker lock(&mutex_);
    packets_.append({in, out});
}

QStringList DelegateRecorder::names() const
{
    QMutexLocker lock(&mutex_);
    QStringList list;
    for (const Event& e : events_)
        list.append(e.name);
    return list;
}

int DelegateRecorder::count(const QString& name) const
{
    return names().count(name);
}

std::optional<DelegateRecorder::Event> DelegateRecorder::last(const QString& name) const
{
    QMutexLocker lock(&mutex_);
    for (auto it = events_.crbegin(); it != events_.crend(); ++it) {
        if (it->name == name)
            return *it;
    }
    return std::nullopt;
}

QList<int> DelegateRecorder::states() const
{
    QMutexLocker lock(&mutex_);
    return states_;
}

QList<std::pair<quint64, quint64>> DelegateRecorder::packets() const
{
    QMutexLocker lock(&mutex_);
    return packets_;
}

bool DelegateRecorder::anyOnMainThread() const
{
    QMutexLocker lock(&mutex_);
    if (stateOnMain_)
        return true;
    for (const Event& e : events_) {
        if (e.onMainThread)
            return true;
    }
    return false;
}

void QuorServiceFixture::SetUp()
{
    ASSERT_TRUE(server.start());
    QuorInventoryRoute::install(server);
    ASSERT_TRUE(cacheDirectory.isValid());
}

void QuorServiceFixture::TearDown()
{
    server.stop();
}

QuorEnvironment QuorServiceFixture::environment() const
{
    QuorEnvironment e;
    e.serviceBaseUrl = server.url(QStringLiteral("/"));
    e.caCertificates = QSslCertificate::fromPath(SandboxServer::testCaPath(), QSsl::Pem);
    e.scheduler = const_cast<VirtualScheduler*>(&scheduler);
    e.cacheDirectory = cacheDirectory.path();
    return e;
}

QuorConfiguration QuorServiceFixture::configuration()
{
    QuorConfiguration c;
    c.setEnableVPNLogs(true);
    c.setSecretKey(QStringLiteral("0123456789abcdef0123456789abcdef01234567"));
    c.setTunnelProviderBundleIdentifier(QStringLiteral("veltamorine.packet-tunnel"));
    c.setWireGuardTunnelProviderBundleIdentifier(QStringLiteral("veltamorine.wireguard-tunnel"));
    return c;
}

std::unique_ptr<QuorManager> QuorServiceFixture::makeManager(const QString& username)
{
    auto manager = std::make_unique<QuorManager>(configuration(), environment());
    manager->setDelegate(recorder);
    std::weak_ptr<DelegateRecorder> weak = recorder;
    manager->setStateDidChangedHandler([weak](int state) {
        if (auto r = weak.lock())
            r->recordState(state);
    });
    manager->setOnPacketsTransmitted([weak](const std::optional<quint64>& in, const std::optional<quint64>& out) {
        if (auto r = weak.lock())
            r->recordPackets(in.value_or(0), out.value_or(0));
    });
    manager->setQuorCredential(QuorCredential(username, QStringLiteral("secret-password")));
    EXPECT_TRUE(waitFor([&] { return recorder->count(QStringLiteral("initialized")) >= 1; }, 10000));
    return manager;
}

void QuorServiceFixture::advance(double seconds)
{
    const double step = 0.1;
    for (double done = 0; done + 1e-9 < seconds; done += step)
        scheduler.advance(std::min(step, seconds - done));
    settle();
}

bool QuorServiceFixture::waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    return TestSupport::waitUntil(condition, timeoutMs);
}

void QuorServiceFixture::settle()
{
    // The worker delivers in order; a short turn of the loop lets it catch up.
    TestSupport::processEvents(20);
}

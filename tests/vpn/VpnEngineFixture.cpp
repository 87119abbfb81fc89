#include "VpnEngineFixture.h"

#include "Factories.h"
#include "KeychainBackend.h"
#include "MainQueue.h"
#include "MemoryKeychainBackend.h"
#include "NotificationCenter.h"
#include "UserDefaults.h"

QList<RecordingTracking::Tracked> RecordingTracking::named(const QString& event) const
{
    QMutexLocker lock(&mutex);
    QList<Tracked> found;
    for (const Tracked& t : tracked) {
        if (t.event == event)
            found.append(t);
    }
    return found;
}

void VpnEngineFixture::SetUp()
{
    ASSERT_TRUE(folder.isValid());
    UserDefaults::setStandardFolder(folder.path());
    KeychainBackend::setCurrent(std::make_shared<MemoryKeychainBackend>());
    // The process-wide analytics instance and network client outlive every test: made here,
    // before the virtual clock is installed, their timers stay on the real scheduler.
    makeEventTracker();
    Networking::shared();
    Scheduler::setMain(&clock);
    FirewallManager::setShared(firewall);
    AppErrorLookup::setShared(catalogue);
    StateListener::resetCounters();
    auto scripted = std::make_unique<ScriptedReachability>();
    reachability = scripted.get();
    networking = std::make_shared<Networking>(std::move(scripted));
    User signedIn = user();
    signedIn.setVpnUsername(QStringLiteral("vpnuser"));
    preserved().setAutomaticProtocol(false);
}

void VpnEngineFixture::TearDown()
{
    NotificationCenter::defaultCenter().removeObserver(&observerOwner_);
    Quor::setExtensionNoticePresenter({});
    AppErrorLookup::setShared(nullptr);
    FirewallManager::setShared(nullptr);
    Scheduler::setMain(nullptr);
    KeychainBackend::setCurrent(nullptr);
}

AppPreferences VpnEngineFixture::appPreferences() const
{
    return AppPreferences();
}

PreservedPreferences VpnEngineFixture::preserved() const
{
    return PreservedPreferences(UserDefaults::standard(), User());
}

User VpnEngineFixture::user() const
{
    return User();
}

EventTracker VpnEngineFixture::tracker() const
{
    return EventTracker(tracking, appPreferences(), preserved());
}

ErrorSender VpnEngineFixture::sender() const
{
    return ErrorSender(hub);
}

std::shared_ptr<Quor> VpnEngineFixture::makeQuor(QuorManagerProtocol* manager)
{
    return std::make_shared<Quor>(manager, sender(), nullptr, user(), appPreferences(), tracker(), preserved(),
                                  networking.get());
}

std::shared_ptr<StateListener> VpnEngineFixture::makeListener(QuorManagerProtocol* manager)
{
    auto listener = StateListener::create(appPreferences(), tracker(), preserved());
    listener->makeQuor = [this, manager] { return makeQuor(manager); };
    listener->networkingManager = networking.get();
    listener->configureSDK = [this](const User&) { ++setUpCount; };
    listener->sentry = sender();
    return listener;
}

void VpnEngineFixture::listen(const QString& name)
{
    NotificationCenter::defaultCenter().addObserver(name, &observerOwner_, [this, name](const Notification& n) {
        QMutexLocker lock(&heardMutex_);
        heard_.append({name, Heard{n, MainQueue::isMainThread()}});
    });
}

QList<Heard> VpnEngineFixture::heard(const QString& name) const
{
    QMutexLocker lock(&heardMutex_);
    QList<Heard> found;
    for (const auto& [n, h] : heard_) {
        if (n == name)
            found.append(h);
    }
    return found;
}

QList<QuorConnectionInfo> VpnEngineFixture::states() const
{
    QList<QuorConnectionInfo> found;
    for (const Heard& h : heard(toRaw(QuorNotificationName::QuorVPNStateNotification)))
        found.append(h.notification.object.value<QuorConnectionInfo>());
    return found;
}

QuorDataFetcherServer::Ptr VpnEngineFixture::row(const QString& id, const QString& name, QuorDataFetcherServer::Type type,
                                                 const QString& code)
{
    return QuorDataFetcherServer::make(id, name, type, code);
}

AppPreferences::LastConnection VpnEngineFixture::record(const QuorDataFetcherServer::Ptr& server, QuorSelectedInterface selected)
{
    return AppPreferences::LastConnection{selected, QuorConnectVia::Country, QuorSelectedInterfaceScreen::Location,
                                          QuorConnectionInitiatedBy::User, server, QString(), false, false};
}

QuorConnectionDetails VpnEngineFixture::details()
{
    QuorConnectionDetails d;
    QuorCity city;
    city.cityId = 12;
    city.name = QStringLiteral("Lyon");
    city.country = QStringLiteral("FR");
    d.city = city;
    d.country = QStringLiteral("France");
    d.serverIp = QStringLiteral("10.20.30.40");
    d.serverAddress = QStringLiteral("fr-lyo-01.example.test");
    d.protocol = QuorProtocol(QStringLiteral("UDP"));
    d.nasIdentifier = QStringLiteral("nas-7");
    d.connectionAttempts = 2;
    d.connectionMethod = QStringLiteral("auto");
    d.sessionId = QStringLiteral("s-1");
    d.timeTakenToConnectServer = 1.5;
    d.timeTakenToFindFastestServer = 0.5;
    d.fastestServerFindingMethod = QStringLiteral("latency");
    return d;
}

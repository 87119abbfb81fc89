#include "QuorSDKSetup.h"

#include "Bundle.h"
#include "ExtensionManager.h"
#include "Factories.h"
#include "QuorConfiguration.h"
#include "FirewallManager.h"
#include "HelperFirewallManager.h"
#include "Networking.h"
#include "QuorManager.h"
#include "StateListener.h"
#include "VPNProtocol.h"

#include <QMutex>
#include <QSslCertificate>
#include <QUrl>
#include <mutex>
#include <QtDebug>

namespace {

QMutex& mutex()
{
    static QMutex m;
    return m;
}

QuorSDKListenerFactory& factory()
{
    static QuorSDKListenerFactory f;
    return f;
}

std::shared_ptr<QuorSDKListener>& shared()
{
    // Never destroyed: the SDK may still call it while the process exits.
    static auto* listener = new std::shared_ptr<QuorSDKListener>();
    return *listener;
}

// The information dictionary may name the SDK's service (the stand-in service does); it
// applies to a manager made after it, so the first set-up picks it up.
void useServiceOfBundle(const Bundle& bundle)
{
    const QString host = bundle.infoString(QStringLiteral("Quor Service Host"));
    if (host.isEmpty())
        return;
    QuorEnvironment environment = QuorEnvironment::current();
    environment.serviceBaseUrl = QUrl(QStringLiteral("https://") + host);
    const QString ca = bundle.infoString(QStringLiteral("Trusted CA Certificate"));
    if (!ca.isEmpty())
        environment.caCertificates = QSslCertificate::fromPath(ca, QSsl::Pem);
    QuorEnvironment::setCurrent(environment);
}

std::shared_ptr<QuorSDKListener> makeListener()
{
    QuorSDKListenerFactory make;
    {
        QMutexLocker lock(&mutex());
        make = factory();
    }
    if (!make)
        make = StateListener::make;
    std::shared_ptr<QuorSDKListener> listener = make(makeAppPreferences(), makeEventTracker(), makePreservedPreferences());
    return listener ? listener : std::make_shared<QuorSDKListener>();
}

// The kill switch of the application is the helper daemon's; installed by the first set-up
// (until then the SDK keeps its state in memory).
void installHelperFirewall()
{
    static std::once_flag once;
    std::call_once(once, [] { FirewallManager::setShared(std::make_shared<HelperFirewallManager>()); });
}

// The backend client asks the VPN layer whether a tunnel is up before it announces that the
// network came back; bound once, to whatever shared manager exists when it asks.
void bindVPNStatusReader()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Networking::shared().currentVPNStatus = []() -> std::optional<int> {
            if (QuorManager* manager = QuorManager::sharedInstance())
                return manager->getCurrentVPNStatus();
            return std::nullopt;
        };
    });
}

}

namespace QuorSDKSetup {

QString secretKey()
{
    return QStringLiteral("5f1c9e07a2b84d63c0e19f7ab53d2e8846c1f09b");
}

void setListenerFactory(QuorSDKListenerFactory make)
{
    QMutexLocker lock(&mutex());
    factory() = std::move(make);
}

std::shared_ptr<QuorSDKListener> sharedListener()
{
    QMutexLocker lock(&mutex());
    return shared();
}

}

void configureQuorSDK(const User& user)
{
    configureQuorSDK(user, makeErrorSender());
}

void configureQuorSDK(const User& user, ErrorSender sentry)
{
    const Bundle& bundle = Bundle::main();
    QuorConfiguration configuration;
    configuration.setEnableVPNLogs(true);
    configuration.setPersistVPNDetails(true);
    configuration.setSecretKey(QuorSDKSetup::secretKey());
    configuration.setTunnelProviderBundleIdentifier(bundle.packetTunnelIdentifier());
    configuration.setAppGroupIdentifier(bundle.packetTunnelGroup());
    configuration.setWireGuardTunnelProviderBundleIdentifier(bundle.wireguardPacketTunnelIdentifier());

    if (!QuorManager::sharedInstance())
        useServiceOfBundle(bundle);
    QuorManager* manager = QuorManager::sharedInstanceWithQuorConfiguration(configuration);
    if (!manager) {
        qWarning() << "VPN SDK set-up failed: the SDK refused its configuration";
        return;
    }

    bindVPNStatusReader();
    installHelperFirewall();
    const std::shared_ptr<QuorSDKListener> listener = makeListener();
    {
        QMutexLocker lock(&mutex());
        shared() = listener;
    }
    manager->setDelegate(listener);
    manager->setStateDidChangedHandler([closure = listener->stateChanged](int state) {
        if (closure)
            closure(state);
    });
    manager->setOnPacketsTransmitted(
        [closure = listener->packetsTransmitted](const std::optional<quint64>& in, const std::optional<quint64>& out) {
            if (closure)
                closure(in, out);
        });

    // Excluded protocols are named by the word every connect names them by ("TCP"), so the
    // exclusion matches what the connects ask for.
    QList<QuorProtocol> excluded;
    for (const VPNProtocol protocol : VPNProtocols::excludedProtocols())
        excluded.append(QuorProtocol(VPNProtocols::sdkName(protocol)));
    if (QuorManager* configured = QuorManager::sharedInstance())
        configured->setExcludeProtocols(excluded);

    ExtensionManager::shared().setDelegate(listener);

    if (!user.loggedIn())
        return;
    const std::optional<QString> username = user.vpnUsername();
    const std::optional<QString> password = user.vpnPassword();
    if (username && !username->isEmpty() && password && !password->isEmpty()) {
        manager->setQuorCredential(QuorCredential(*username, *password));
        return;
    }
    sentry.sendMessage(QStringLiteral("Quor Credentials Nil or Empty"));
}

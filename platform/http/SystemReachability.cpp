#include "SystemReachability.h"

#include "MainQueue.h"

#include <QMetaObject>
#include <QNetworkInformation>

std::unique_ptr<SystemReachability> SystemReachability::create()
{
    if (!QNetworkInformation::instance() && !QNetworkInformation::loadDefaultBackend()
        && !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return nullptr;
    QNetworkInformation* information = QNetworkInformation::instance();
    if (!information || !information->supports(QNetworkInformation::Feature::Reachability))
        return nullptr;
    return std::unique_ptr<SystemReachability>(new SystemReachability(information));
}

SystemReachability::SystemReachability(QNetworkInformation* information)
    : information_(information)
{
}

SystemReachability::~SystemReachability() = default;

Reachability::Status SystemReachability::status() const
{
    switch (information_->reachability()) {
    case QNetworkInformation::Reachability::Online:
    case QNetworkInformation::Reachability::Site:
        return information_->transportMedium() == QNetworkInformation::TransportMedium::Cellular
            ? Status::ReachableCellular
            : Status::ReachableEthernetOrWiFi;
    case QNetworkInformation::Reachability::Disconnected:
    case QNetworkInformation::Reachability::Local:
        return Status::NotReachable;
    case QNetworkInformation::Reachability::Unknown:
        break;
    }
    return Status::Unknown;
}

bool SystemReachability::startListening(Listener listener)
{
    listener_ = std::move(listener);
    connections_ = std::make_unique<QObject>();
    const auto notify = [this] {
        if (listener_)
            listener_(status());
    };
    QObject::connect(information_, &QNetworkInformation::reachabilityChanged, connections_.get(), notify);
    QObject::connect(information_, &QNetworkInformation::transportMediumChanged, connections_.get(), notify);
    QMetaObject::invokeMethod(connections_.get(), notify, Qt::QueuedConnection);
    return true;
}

void SystemReachability::stopListening()
{
    connections_.reset();
    listener_ = nullptr;
}

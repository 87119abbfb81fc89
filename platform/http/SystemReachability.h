#pragma once

#include "Reachability.h"

#include <QObject>
#include <memory>

class QNetworkInformation;

// Reachability from the desktop's network manager (Qt's network information backends).
class SystemReachability : public Reachability {
public:
    // Null when no backend can be loaded on this machine.
    static std::unique_ptr<SystemReachability> create();
    ~SystemReachability() override;

    Status status() const override;
    bool startListening(Listener listener) override;
    void stopListening() override;

private:
    explicit SystemReachability(QNetworkInformation* information);

    QNetworkInformation* information_;
    Listener listener_;
    std::unique_ptr<QObject> connections_;
};

#pragma once

#include "AppPreferences.h"
#include "ErrorSender.h"
#include "EventTracker.h"
#include "NetworkingProtocol.h"
#include "PreservedPreferences.h"
#include "QuorConnectVia.h"
#include "QuorConnectedInfo.h"
#include "QuorConnectionInfo.h"
#include "QuorConnectionInitiatedBy.h"
#include "QuorDataTransmission.h"
#include "QuorManagerProtocol.h"
#include "QuorSelectedInterface.h"
#include "QuorSelectedInterfaceScreen.h"
#include "Timer.h"
#include "User.h"

#include <memory>

class QuorDataFetcher;

// The VPN engine facade that every screen, model and handler that connects, reconnects or reads
// the connection builds for itself. A thin front: all wrappers share the SDK's one manager, the
// one user-defaults domain and the one network client, so building many is cheap and harmless.
class Quor {
public:
    using ConnectionInfo = QuorConnectionInfo;
    using ConnectedInfo = QuorConnectedInfo;
    using DataTransmission = QuorDataTransmission;
    using SelectedInterface = QuorSelectedInterface;
    using ConnectVia = QuorConnectVia;
    using SelectedInterfaceScreen = QuorSelectedInterfaceScreen;
    using ConnectionInitiatedBy = QuorConnectionInitiatedBy;

    Quor(QuorManagerProtocol* quorManager, ErrorSender sentry, std::shared_ptr<QuorDataFetcher> quorDataFetcher, User user,
         AppPreferences appPreference, EventTracker eventTracker, PreservedPreferences preservedPreferences,
         NetworkingProtocol* networkingManager);
    virtual ~Quor();
    Quor(const Quor&) = delete;
    Quor& operator=(const Quor&) = delete;

    QuorManagerProtocol* quorManager;  // the SDK's shared manager; not owned
    ErrorSender sentry;
    std::shared_ptr<QuorDataFetcher> quorDataFetcher;
    User user;
    AppPreferences appPreference;
    EventTracker eventTracker;
    PreservedPreferences preservedPreferences;
    std::unique_ptr<Timer> timer;  // absent until a connect routine starts one
    NetworkingProtocol* networkingManager;  // the shared network client; not owned
};

#pragma once

#include "QuorManagerProtocol.h"
#include "QuorVPNState.h"

#include <QList>

// A scriptable SDK manager for unit tests of the code that holds one. It records every call;
// each request is answered at once with what the test scripted, or held until the test
// answers it (answerConnect, failConnect and the held query lists).
class FakeQuorManager final : public QuorManagerProtocol {
public:
    enum class Reply { Hold, Succeed, Fail };

    struct ConnectCall {
        QuorProperties properties;
        ConnectCompletion completion;
        ErrorBlock errorBlock;
        bool answered = false;
    };

    // Scripted answers.
    int status = toRaw(QuorVPNState::Disconnected);
    std::optional<QDateTime> connectedTime;
    Reply connectReply = Reply::Hold;
    std::optional<QString> connectCompletionText;
    Error connectError{QStringLiteral("QuorSDKErrorDomain"), 5010, QStringLiteral("The VPN server could not be reached.")};
    Reply queryReply = Reply::Succeed;
    std::optional<QList<QuorCountry>> countries;
    std::optional<QuorLocation> recommendedLocation;
    std::optional<QuorLocation> connectedLocation;
    std::optional<QuorDedicatedIPServerPingResult> pingResult;
    Error queryError{QStringLiteral("QuorSDKErrorDomain"), 5200, QStringLiteral("The server list is not available.")};

    // What was asked.
    QList<ConnectCall> connects;
    QList<bool> connectivityChecks;
    QList<std::optional<QuorCredential>> credentials;
    int disconnectCount = 0;
    int cancelCount = 0;
    int reconnectCount = 0;
    int countriesRequests = 0;
    int recommendedRequests = 0;
    int connectedLocationRequests = 0;
    QList<QuorDedicatedIPServerPing> pings;
    // Held query blocks (queryReply Hold), in the order asked.
    QList<std::pair<CountriesBlock, ErrorBlock>> heldCountries;
    QList<std::pair<LocationBlock, ErrorBlock>> heldRecommended;
    QList<std::pair<LocationBlock, ErrorBlock>> heldConnectedLocation;

    std::optional<QuorCredential> credential() const { return credentials.isEmpty() ? std::nullopt : credentials.last(); }

    // Answers a held connect; returns false when it was answered already.
    bool answerConnect(int index, const std::optional<QString>& text = std::nullopt);
    bool failConnect(int index, const std::optional<Error>& error);

    void setDoCheckInternetConnectivity(bool check) override { connectivityChecks.append(check); }
    void setQuorCredential(const std::optional<QuorCredential>& credential) override { credentials.append(credential); }
    void connect(const QuorProperties& properties, ConnectCompletion completion, ErrorBlock errorBlock) override;
    int getCurrentVPNStatus() const override { return status; }
    void disconnectVPN() override { ++disconnectCount; }
    void cancelVPN() override { ++cancelCount; }
    void reconnectVPN() override { ++reconnectCount; }
    std::optional<QDateTime> getConnectedTime() const override { return connectedTime; }
    void getConnectedLocation(LocationBlock success, ErrorBlock errorBlock) override;
    void getRecommendedLocation(LocationBlock success, ErrorBlock errorBlock) override;
    void pingDedicatedIPServer(const QuorDedicatedIPServerPing& ping, PingBlock successBlock, ErrorBlock errorBlock) override;
    void getCountries(CountriesBlock success, ErrorBlock errorBlock) override;
};

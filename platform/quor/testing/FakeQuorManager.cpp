#include "FakeQuorManager.h"

bool FakeQuorManager::answerConnect(int index, const std::optional<QString>& text)
{
    if (index < 0 || index >= connects.size() || connects[index].answered)
        return false;
    connects[index].answered = true;
    if (auto completion = connects[index].completion)
        completion(text);
    return true;
}

bool FakeQuorManager::failConnect(int index, const std::optional<Error>& error)
{
    if (index < 0 || index >= connects.size() || connects[index].answered)
        return false;
    connects[index].answered = true;
    if (auto errorBlock = connects[index].errorBlock)
        errorBlock(error);
    return true;
}

void FakeQuorManager::connect(const QuorProperties& properties, ConnectCompletion completion, ErrorBlock errorBlock)
{
    connects.append({properties, std::move(completion), std::move(errorBlock), false});
    const int index = connects.size() - 1;
    if (connectReply == Reply::Succeed)
        answerConnect(index, connectCompletionText);
    else if (connectReply == Reply::Fail)
        failConnect(index, connectError);
}

void FakeQuorManager::getConnectedLocation(LocationBlock success, ErrorBlock errorBlock)
{
    ++connectedLocationRequests;
    if (queryReply == Reply::Hold)
        heldConnectedLocation.append({std::move(success), std::move(errorBlock)});
    else if (queryReply == Reply::Succeed && success)
        success(connectedLocation);
    else if (queryReply == Reply::Fail && errorBlock)
        errorBlock(queryError);
}

void FakeQuorManager::getRecommendedLocation(LocationBlock success, ErrorBlock errorBlock)
{
    ++recommendedRequests;
    if (queryReply == Reply::Hold)
        heldRecommended.append({std::move(success), std::move(errorBlock)});
    else if (queryReply == Reply::Succeed && success)
        success(recommendedLocation);
    else if (queryReply == Reply::Fail && errorBlock)
        errorBlock(queryError);
}

void FakeQuorManager::pingDedicatedIPServer(const QuorDedicatedIPServerPing& ping, PingBlock successBlock, ErrorBlock errorBlock)
{
    pings.append(ping);
    if (queryReply == Reply::Succeed && successBlock)
        successBlock(pingResult);
    else if (queryReply == Reply::Fail && errorBlock)
        errorBlock(queryError);
}

void FakeQuorManager::getCountries(CountriesBlock success, ErrorBlock errorBlock)
{
    ++countriesRequests;
    if (queryReply == Reply::Hold)
        heldCountries.append({std::move(success), std::move(errorBlock)});
    else if (queryReply == Reply::Succeed && success)
        success(countries);
    else if (queryReply == Reply::Fail && errorBlock)
        errorBlock(queryError);
}

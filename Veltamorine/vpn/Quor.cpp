#include "Quor.h"

Quor::Quor(QuorManagerProtocol* quorManager, ErrorSender sentry, std::shared_ptr<QuorDataFetcher> quorDataFetcher,
           User user, AppPreferences appPreference, EventTracker eventTracker,
           PreservedPreferences preservedPreferences, NetworkingProtocol* networkingManager)
    : quorManager(quorManager), sentry(std::move(sentry)), quorDataFetcher(std::move(quorDataFetcher)),
      user(std::move(user)), appPreference(std::move(appPreference)), eventTracker(std::move(eventTracker)),
      preservedPreferences(std::move(preservedPreferences)), networkingManager(networkingManager)
{
}

Quor::~Quor() = default;

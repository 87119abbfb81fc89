#include "PersonalizeServerModel.h"

PersonalizeServerModel::PersonalizeServerModel(PreservedPreferences preservedPreference, AppPreferences appPreference)
    : preservedPreference(std::move(preservedPreference)), appPreference(std::move(appPreference))
{
}

void PersonalizeServerModel::personalize(const QString& identifier, bool liked)
{
    if (!preservedPreference.enablePersonaliseServer())
        return;
    const std::optional<AppPreferences::LastConnection> last = appPreference.lastConnection();
    if (!last || !last->server)
        return;
    const QString key = last->server->code;
    if (identifier.isEmpty())
        return;
    PersonalizeServer::Dictionary records = preservedPreference.personalizeServer().value_or(PersonalizeServer::Dictionary{});
    QList<PersonalizeServer> list = records.value(key);
    list.removeIf([&identifier](const PersonalizeServer& entry) { return entry.identifier == identifier; });
    list.append(PersonalizeServer(identifier, liked));
    records.insert(key, list);
    preservedPreference.setPersonalizeServer(records);
}

bool PersonalizeServerModel::isFilteredServerRequested() const
{
    const std::optional<AppPreferences::LastConnection> last = appPreference.lastConnection();
    if (!last || !last->server)
        return false;
    const std::optional<PersonalizeServer::Dictionary> records = preservedPreference.personalizeServer();
    if (!records)
        return false;
    const auto found = records->constFind(last->server->code);
    if (found == records->cend() || found->isEmpty())
        return false;
    return found->first().liked;
}

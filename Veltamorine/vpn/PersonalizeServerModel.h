#pragma once

#include "AppPreferences.h"
#include "PersonalizeServerModelPersonalizeServer.h"
#include "PreservedPreferences.h"

// The user's verdicts on the servers of past connections, per location: liked servers are
// asked for and disliked ones avoided when the user connects again to a recent or favourite
// location. The records live in the per-user preferences; the location key is the code of the
// last connection's server.
class PersonalizeServerModel {
public:
    using PersonalizeServer = PersonalizeServerModelPersonalizeServer;

    PersonalizeServerModel(PreservedPreferences preservedPreference, AppPreferences appPreference);

    PreservedPreferences preservedPreference;
    AppPreferences appPreference;

    // Records the verdict on `identifier` for the last connection's location, as the newest
    // entry of that location (an older verdict on the same server is dropped). Nothing happens
    // while the feature is off, without a last connection or with an empty identifier.
    void personalize(const QString& identifier, bool liked);
    // Whether the oldest verdict stored for the last connection's location is a like; false
    // without a last connection or without entries. Reads whatever is stored, switch or not.
    bool isFilteredServerRequested() const;
};

#pragma once

#include <memory>
#include <optional>

// The troubleshooting-catalogue entry matched to an SDK error; defined with the catalogue.
class AppError;

// How the engine finds the troubleshooting-catalogue entry for an SDK error. The catalogue
// itself (entities of the local store, kept in step with the cloud documents) belongs to the
// notification centre, which installs its lookup here at start-up. Main thread.
class AppErrorLookup {
public:
    virtual ~AppErrorLookup();

    // The entry for an SDK error code (none: there was no error code); the catalogue answers
    // with its built-in "Cannot Connect" entry when nothing matches.
    virtual std::shared_ptr<const AppError> lookup(std::optional<int> code) = 0;
    // The entry shown when a dropped WireGuard connection cannot be reconnected because the
    // kill switch holds the traffic (code 997).
    virtual std::shared_ptr<const AppError> wireGuardKillSwitchError() = 0;

    // The installed lookup; none until the catalogue installs one, and then no entry is attached.
    static std::shared_ptr<AppErrorLookup> shared();
    static void setShared(std::shared_ptr<AppErrorLookup> lookup);
};

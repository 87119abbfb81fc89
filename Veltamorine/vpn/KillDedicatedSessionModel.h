#pragma once

#include "Error.h"
#include "NetworkingProtocol.h"
#include "User.h"

#include <expected>
#include <functional>
#include <memory>

class Quor;

// Ends the session of the user's dedicated IP on another device, when the backend reports the
// address in use elsewhere.
class KillDedicatedSessionModel {
public:
    using Completion = std::function<void(std::expected<bool, Error>)>;

    // `networkingManager` defaults to the shared backend client; it is not owned.
    explicit KillDedicatedSessionModel(User user = User(), NetworkingProtocol* networkingManager = nullptr,
                                       std::shared_ptr<Quor> quor = nullptr);

    // The VPN wrapper of the screen that offers the choice; held for it, not used by the request.
    std::shared_ptr<Quor> quor;
    User user;
    NetworkingProtocol* networkingManager;

    // POSTs {"vpn_username": the stored VPN user name, "" when none} to the session-kill
    // endpoint. `completion` runs once, on the main thread: true when the backend accepted the
    // request (whatever its reply carries), else the backend client's error unchanged.
    void killSession(Completion completion) const;
};

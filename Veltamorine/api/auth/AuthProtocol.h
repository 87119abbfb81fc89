#pragma once

#include <memory>

// The account's OAuth code-grant client as the API client holds it: an opaque handle. The
// sign-in subsystem derives its client from it; nothing here calls into it.
class OAuthClientHandle {
public:
    virtual ~OAuthClientHandle();
};

// The account's OAuth service. The sign-in subsystem binds its shared service at start-up; the
// networking object and every request's interceptor keep it.
class AuthProtocol {
public:
    virtual ~AuthProtocol();
    // The service's code-grant client (made on first use by the service).
    virtual std::shared_ptr<OAuthClientHandle> oauth() = 0;

    // The shared service; null until the sign-in subsystem binds one.
    static std::shared_ptr<AuthProtocol> shared();
    static void setShared(std::shared_ptr<AuthProtocol> service);
};

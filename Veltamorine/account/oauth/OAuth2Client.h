#pragma once

#include "AuthProtocol.h"
#include "OAuth2CodeGrant.h"

// The account's code-grant client as the API client holds it (an opaque handle there).
class OAuth2Client : public OAuthClientHandle, public OAuth2CodeGrant {
public:
    using OAuth2CodeGrant::OAuth2CodeGrant;
};

#pragma once

#include "OAuth2CodeGrant.h"

// Shows an authorisation page in an OAuthWebViewController window of its own and reports the
// first navigation to the redirect URI (none when the user closes the window or cancels).
namespace OAuthWebViewPresenter {

OAuth2CodeGrant::Presenter make();

}

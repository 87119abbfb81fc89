#pragma once

#include <QString>

// Deployment values of the sign-in, from the information dictionary.
namespace AccountConfiguration {

// "Identity Host": the identity server ("host" or "host:port"); the "Auth Token Host" entry
// when absent.
QString identityHost();
// "OAuth Redirect Host": the host of the registered callback URI; "veltamorine" when absent.
QString redirectHost();
// The registered callback URI: "quibbo://" + redirect host + "/callback".
QString redirectURI();

}

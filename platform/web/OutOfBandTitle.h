#pragma once

#include <QString>
#include <QUrl>
#include <optional>

// The out-of-band OAuth flow ends on a page whose title is "Success " followed by the result
// as a query text ("Success code=x&state=y").
namespace OutOfBandTitle {

// True for the standard out-of-band redirect ("urn:ietf:wg:oauth:2.0:oob...").
bool isOutOfBandRedirect(const QString& interceptURL);
// http://localhost/?<rest of the title> for a "Success " title (every "Success " removed);
// none for any other title or when the rest does not make a URL.
std::optional<QUrl> resultURL(const QString& title);

}

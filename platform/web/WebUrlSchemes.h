#pragma once

#include <QStringList>

class QWebEngineProfile;

// Custom redirect schemes ("myapp://callback"). The web engine hands a navigation to such a
// scheme to the page's navigation policy only when the scheme was registered before the
// application object was made and a handler is installed on the profile; the handler refuses
// every load, so the page never leaves for it.
namespace WebUrlSchemes {

// Before QApplication exists (a static initializer or the start of main()).
void registerSchemes(const QStringList& schemes);
QStringList registeredSchemes();
// Installs the refusing handler for every registered scheme on `profile` (default profile
// when null); idempotent. Main thread, after the application object exists.
void installHandlers(QWebEngineProfile* profile = nullptr);

}

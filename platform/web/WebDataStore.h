#pragma once

#include <functional>

class QWebEngineProfile;

// What the embedded browser keeps between pages: cookies, the HTTP cache, visited links.
namespace WebDataStore {

// Removes every cookie of the profile (default profile when null).
void removeAllCookies(QWebEngineProfile* profile = nullptr);
// Removes the cache and the visited links; `done` runs when the engine has started the work.
void removeAllWebsiteData(QWebEngineProfile* profile = nullptr, std::function<void()> done = {});

}

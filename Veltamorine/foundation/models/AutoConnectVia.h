#pragma once

#include "RawValue.h"

#include <QStringList>
#include <functional>

// Where auto-connect goes. PreservedPreferences exposes it as PreservedPreferences::AutoConnectVia.
// Raw values equal the case names.
enum class AutoConnectVia {
    AutoSelect,
    Recommended,
    LastConnected,
    Location,
};

template <>
struct RawTexts<AutoConnectVia> {
    static constexpr std::array<std::u16string_view, 4> texts{
        u"AutoSelect", u"Recommended", u"LastConnected", u"Location"};
};

namespace AutoConnectVias {

// Turns a string key into the user's text (the application's localizer).
using Localize = std::function<QString(const QString& key)>;

// The string key of the case's title; AutoSelect and Recommended share one.
QString titleKey(AutoConnectVia via);
QString title(AutoConnectVia via, const Localize& localize);
// Titles of all cases in case order (the first two are the same text).
QStringList allTitles(const Localize& localize);
// First case whose title equals `text` exactly; AutoSelect when none does, so the shared
// recommended title always gives AutoSelect.
AutoConnectVia fromTitle(QStringView text, const Localize& localize);

// The same with the application's shared localizer; its titles are built once per process (the
// interface language is chosen once at start-up).
QString title(AutoConnectVia via);
const QStringList& allTitles();
AutoConnectVia fromTitle(QStringView text);

}

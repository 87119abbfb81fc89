#include "AutoConnectVia.h"

namespace AutoConnectVias {

QString titleKey(AutoConnectVia via)
{
    switch (via) {
    case AutoConnectVia::AutoSelect:
    case AutoConnectVia::Recommended:
        return QStringLiteral("general.recommendedlocation.title");
    case AutoConnectVia::LastConnected:
        return QStringLiteral("general.recentlyconnectedlocation.title");
    case AutoConnectVia::Location:
        return QStringLiteral("general.specificlocation.title");
    }
    return {};
}

QString title(AutoConnectVia via, const Localize& localize)
{
    return localize(titleKey(via));
}

QStringList allTitles(const Localize& localize)
{
    QStringList titles;
    for (AutoConnectVia via : allCases<AutoConnectVia>())
        titles.append(title(via, localize));
    return titles;
}

AutoConnectVia fromTitle(QStringView text, const Localize& localize)
{
    for (AutoConnectVia via : allCases<AutoConnectVia>()) {
        if (title(via, localize) == text)
            return via;
    }
    return AutoConnectVia::AutoSelect;
}

}

#include "AutoConnectVia.h"

#include "Localizer.h"

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

QString title(AutoConnectVia via)
{
    return allTitles().at(qsizetype(via));
}

const QStringList& allTitles()
{
    static const QStringList titles = allTitles(&Localizer::localized);
    return titles;
}

AutoConnectVia fromTitle(QStringView text)
{
    const QStringList& titles = allTitles();
    for (AutoConnectVia via : allCases<AutoConnectVia>()) {
        if (titles.at(qsizetype(via)) == text)
            return via;
    }
    return AutoConnectVia::AutoSelect;
}

}

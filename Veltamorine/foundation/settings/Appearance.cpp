#include "Appearance.h"

#include "Localizer.h"

namespace Appearances {

QString titleKey(Appearance appearance)
{
    switch (appearance) {
    case Appearance::systemDefault:
        return QStringLiteral("appearance.system.default");
    case Appearance::light:
        return QStringLiteral("appearance.light");
    case Appearance::dark:
        return QStringLiteral("appearance.dark");
    }
    return {};
}

QString title(Appearance appearance, const Localize& localize)
{
    return localize(titleKey(appearance));
}

const QStringList& titles()
{
    static const QStringList all = [] {
        QStringList list;
        for (Appearance a : allCases<Appearance>())
            list.append(title(a, &Localizer::localized));
        return list;
    }();
    return all;
}

}

#include "ApplicationAppearance.h"

#if __has_include(<QGuiApplication>)
#include <QGuiApplication>
#include <QPalette>
#define VEL_APPEARANCE_FROM_PALETTE 1
#endif

namespace ApplicationAppearance {

bool canReadAppearance()
{
#ifdef VEL_APPEARANCE_FROM_PALETTE
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
#else
    return false;
#endif
}

bool isDarkMode()
{
#ifdef VEL_APPEARANCE_FROM_PALETTE
    if (!canReadAppearance())
        return false;
    // Qt 6.4 has no colour-scheme query; a window darker than its text is a dark appearance.
    const QPalette palette = QGuiApplication::palette();
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
#else
    return false;
#endif
}

QString currentThemeName()
{
    return isDarkMode() ? QStringLiteral("dark") : QStringLiteral("light");
}

}

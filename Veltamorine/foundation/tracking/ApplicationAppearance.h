#pragma once

#include <QString>

// The running application's appearance, as web pages and device rows need it.
namespace ApplicationAppearance {

// Whether this build can see the application's palette at all (it needs the GUI application).
bool canReadAppearance();
// True when the application's effective appearance is dark; false when light or unknown.
bool isDarkMode();
// "dark" or "light" (also when the appearance is unknown).
QString currentThemeName();

}

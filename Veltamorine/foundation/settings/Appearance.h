#pragma once

#include "RawValue.h"

#include <QString>
#include <QStringList>
#include <functional>

// The application's appearance setting, stored as its integer.
enum class Appearance {
    systemDefault = 0,
    light = 1,
    dark = 2,
};

template <>
struct RawIntegers<Appearance> {
    static constexpr int count = 3;
};

namespace Appearances {

using Localize = std::function<QString(const QString& key)>;

QString titleKey(Appearance appearance);
QString title(Appearance appearance, const Localize& localize);
// The three titles in case order, built once per process with the shared localizer.
const QStringList& titles();

}

#pragma once

#include <QString>
#include <optional>

// The build's secrets, read by name at run time. Values come from the build configuration;
// none of them is ever logged.
class Keys {
public:
    static std::optional<QString> value(QStringView name);
    static QString required(QStringView name);  // empty when the build has no such key
};

#include "HttpMethod.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<HttpMethod, const char*>, 7> names{{
    {HttpMethod::Get, "GET"},
    {HttpMethod::Post, "POST"},
    {HttpMethod::Put, "PUT"},
    {HttpMethod::Patch, "PATCH"},
    {HttpMethod::Delete, "DELETE"},
    {HttpMethod::Head, "HEAD"},
    {HttpMethod::Options, "OPTIONS"},
}};

}

QByteArray toRaw(HttpMethod method)
{
    for (const auto& [value, name] : names) {
        if (value == method)
            return name;
    }
    return {};
}

std::optional<HttpMethod> httpMethodFromRaw(const QByteArray& raw)
{
    for (const auto& [value, name] : names) {
        if (raw == name)
            return value;
    }
    return std::nullopt;
}

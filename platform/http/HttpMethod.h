#pragma once

#include <QByteArray>
#include <optional>

enum class HttpMethod { Get, Post, Put, Patch, Delete, Head, Options };

// The method's name on the wire ("GET", "POST", ...).
QByteArray toRaw(HttpMethod method);
std::optional<HttpMethod> httpMethodFromRaw(const QByteArray& raw);

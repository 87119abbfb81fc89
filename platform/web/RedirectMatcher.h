#pragma once

#include <QString>
#include <QUrl>
#include <optional>

// The parts of a URL text as written: QUrl lower-cases scheme and host, and the redirect test
// compares them exactly.
struct UrlTextParts {
    std::optional<QString> scheme;
    std::optional<QString> host;
    QString path;

    static UrlTextParts split(const QString& url);
};

// Whether a navigation to `request` is the redirect `intercept` names. Scheme and host must be
// both absent or equal (exact, case-sensitive text); the paths must be equal, or one empty and
// the other "/". Query and fragment are not compared. No intercept URL matches nothing.
bool redirectMatches(const QString& request, const std::optional<QString>& intercept);
bool redirectMatches(const QUrl& request, const std::optional<QString>& intercept);

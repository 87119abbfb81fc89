#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// The name under which a download is stored. The server suggests one; only a plain base name
// made of safe characters is kept, so a reply can never place a file outside the destination
// folder, hide it, or give it a name the desktop would mangle.
class DownloadFileName {
public:
    // The name the server suggests: the Content-Disposition filename (filename* preferred),
    // else the last path component of the URL; empty when neither gives one.
    static QString suggested(const QByteArray& contentDisposition, const QUrl& url);

    // `name` reduced to a safe base name, or `fallback` when nothing safe is left.
    static QString sanitized(const QString& name, const QString& fallback);
};

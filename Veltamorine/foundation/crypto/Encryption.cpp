#include "Encryption.h"

#include "FoundationLog.h"

#include <QTextBoundaryFinder>

qsizetype Encryption::characterCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

std::optional<Encryption> Encryption::make(const QString& key, const QString& iv)
{
    const qsizetype keyLength = characterCount(key);
    if (keyLength != 16 && keyLength != 32) {
        qCDebug(lcFoundation) << "Error: Failed to set a key.";
        return std::nullopt;
    }
    if (characterCount(iv) != 16) {
        qCDebug(lcFoundation) << "Error: Failed to set an initial vector.";
        return std::nullopt;
    }
    return Encryption{key.toUtf8(), iv.toUtf8()};
}

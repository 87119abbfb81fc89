#include "Localizer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <mutex>

Q_LOGGING_CATEGORY(lcLocalizer, "veltamorine.platform.localizer")

namespace {

std::mutex sharedMutex;
std::shared_ptr<const Localizer> sharedLocalizer;

// A language code names a folder; anything that could step outside the root is no language.
bool isLanguageCode(const QString& language)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-]+$"));
    return pattern.match(language).hasMatch();
}

}

Localizer::Localizer(const QString& language, const QString& root)
{
    const QString base = QString::fromLatin1(baseLanguage);
    const QDir rootDir(root);
    load(rootDir.filePath(base));
    loadedLanguage = base;
    if (language != base && isLanguageCode(language) && rootDir.exists(language)) {
        load(rootDir.filePath(language));
        loadedLanguage = language;
    }
}

void Localizer::load(const QString& folder)
{
    QHash<QString, QString> merged;
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            qCWarning(lcLocalizer) << "cannot read" << file.fileName();
            continue;
        }
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        if (!document.isObject()) {
            qCWarning(lcLocalizer) << "skipping" << file.fileName() << "- not a JSON object:" << error.errorString();
            continue;
        }
        const QJsonObject object = document.object();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (!it->isString()) {
                qCWarning(lcLocalizer) << "skipping" << it.key() << "in" << file.fileName() << "- not a text";
                continue;
            }
            if (merged.contains(it.key()))
                qCWarning(lcLocalizer) << "key" << it.key() << "defined twice; using" << file.fileName();
            merged.insert(it.key(), it->toString());
        }
    }
    texts.insert(merged);
}

QString Localizer::text(const QString& key) const
{
    return texts.value(key, key);
}

QStringList Localizer::availableLanguages(const QString& root)
{
    return QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

std::shared_ptr<const Localizer> Localizer::shared()
{
    std::lock_guard lock(sharedMutex);
    if (!sharedLocalizer)
        sharedLocalizer = std::make_shared<const Localizer>();
    return sharedLocalizer;
}

void Localizer::useLanguage(const QString& language)
{
    auto loaded = std::make_shared<const Localizer>(language);
    std::lock_guard lock(sharedMutex);
    sharedLocalizer = std::move(loaded);
}

QString Localizer::localized(const QString& key)
{
    return shared()->text(key);
}

#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

// User-facing texts by key. Each language is a folder of JSON files ("<root>/<lang>/*.json",
// one flat object of key → text per subsystem) merged at load. English is the base: a language
// that is not there gives the English texts, a key the language lacks gives its English text,
// and a key nobody has gives the key itself.
class Localizer {
public:
    static constexpr auto baseLanguage = "en";
    static constexpr auto resourceRoot = ":/veltamorine/strings";

    explicit Localizer(const QString& language = QString::fromLatin1(baseLanguage),
                       const QString& root = QString::fromLatin1(resourceRoot));

    QString text(const QString& key) const;
    // The language whose texts were loaded ("en" when the asked one is not there).
    const QString& language() const { return loadedLanguage; }

    // Languages that have a folder under `root`, sorted.
    static QStringList availableLanguages(const QString& root = QString::fromLatin1(resourceRoot));

    // The process-wide localizer. The interface language is chosen once at start-up (changing
    // it relaunches the application); until then it is English.
    static std::shared_ptr<const Localizer> shared();
    static void useLanguage(const QString& language);
    // shared()->text(key)
    static QString localized(const QString& key);

private:
    void load(const QString& folder);

    QString loadedLanguage;
    QHash<QString, QString> texts;
};

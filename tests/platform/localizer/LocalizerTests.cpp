#include "Localizer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>

namespace {

class LocalizerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        write("en/foundation.json", R"({"ok": "OK", "appearance.light": "Light"})");
        write("en/vpn.json", R"({"vpn.connected": "Connected", "no.internet": "No internet connection"})");
        write("fr/foundation.json", R"({"ok": "D'accord"})");
        write("fr/vpn.json", R"({"vpn.connected": "Connecté"})");
    }

    void write(const QString& relativePath, const QByteArray& content)
    {
        const QString path = root.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir root;
};

struct LookupCase {
    const char* language;
    const char* key;
    const char* text;
    const char* loadedLanguage;
};

void PrintTo(const LookupCase& c, std::ostream* os)
{
    *os << c.language << "/" << c.key;
}

class LocalizerLookup : public LocalizerTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(LocalizerLookup, FindsTheTextOfTheLanguageWithEnglishBeneath)
{
    const Localizer localizer(QString::fromUtf8(GetParam().language), root.path());
    EXPECT_EQ(localizer.text(QString::fromUtf8(GetParam().key)), QString::fromUtf8(GetParam().text));
    EXPECT_EQ(localizer.language(), QString::fromUtf8(GetParam().loadedLanguage));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocalizerLookup,
    ::testing::Values(LookupCase{"en", "ok", "OK", "en"},
                      LookupCase{"en", "no.internet", "No internet connection", "en"},   // second file merged
                      LookupCase{"en", "missing.key", "missing.key", "en"},
                      LookupCase{"en", "", "", "en"},
                      LookupCase{"en", "OK", "OK", "en"},                                   // not "ok": key returned
                      LookupCase{"fr", "ok", "D'accord", "fr"},
                      LookupCase{"fr", "vpn.connected", "Connecté", "fr"},
                      LookupCase{"fr", "appearance.light", "Light", "fr"},                  // untranslated key
                      LookupCase{"fr", "missing.key", "missing.key", "fr"},
                      LookupCase{"de", "ok", "OK", "en"},                                   // language not there
                      LookupCase{"", "vpn.connected", "Connected", "en"},
                      LookupCase{"../fr", "ok", "OK", "en"},                                // never a path
                      LookupCase{"fr/../fr", "ok", "OK", "en"}));

TEST_F(LocalizerTest, DamagedFilesAndNonTextValuesAreSkippedNotFatal)
{
    write("en/broken.json", "{\"ok\": ");
    write("en/list.json", R"(["not", "an", "object"])");
    write("en/mixed.json", R"({"count": 3, "flag": true, "title": "Title"})");
    const Localizer localizer("en", root.path());
    EXPECT_EQ(localizer.text("ok"), "OK");
    EXPECT_EQ(localizer.text("title"), "Title");
    EXPECT_EQ(localizer.text("count"), "count");
    EXPECT_EQ(localizer.text("flag"), "flag");
}

TEST_F(LocalizerTest, OnlyJsonFilesOfTheLanguageFolderCount)
{
    write("en/notes.txt", R"({"ok": "from a text file"})");
    write("strays.json", R"({"ok": "from the root"})");
    EXPECT_EQ(Localizer("en", root.path()).text("ok"), "OK");
}

TEST_F(LocalizerTest, ListsTheLanguagesThatHaveAFolder)
{
    write("strays.json", "{}");
    EXPECT_EQ(Localizer::availableLanguages(root.path()), QStringList({"en", "fr"}));
    EXPECT_TRUE(Localizer::availableLanguages(root.filePath("nowhere")).isEmpty());
}

TEST(LocalizerResources, CompiledInStringsHaveEnglish)
{
    EXPECT_TRUE(Localizer::availableLanguages().contains("en"));
    EXPECT_EQ(Localizer().language(), "en");
}

TEST(LocalizerShared, StartsInEnglishAndFallsBackForAnUnknownLanguage)
{
    EXPECT_EQ(Localizer::shared()->language(), "en");
    Localizer::useLanguage("xx-unknown");
    EXPECT_EQ(Localizer::shared()->language(), "en");
    EXPECT_EQ(Localizer::localized("no.such.key.anywhere"), "no.such.key.anywhere");
}

}

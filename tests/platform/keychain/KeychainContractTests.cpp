#include <QCoreApplication>
#include "Keychain.h"
#include "LibsecretKeychainBackend.h"
#include "MemoryKeychainBackend.h"

#include <QStringList>
#include <QUuid>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <thread>
#include <vector>

namespace {

// The same contract holds for the system keyring (the real gnome-keyring of the test session)
// and for the in-memory keyring that unit tests of other layers use.
struct BackendCase {
    const char* label;
    std::function<std::shared_ptr<KeychainBackend>()> make;
};

void PrintTo(const BackendCase& c, std::ostream* os)
{
    *os << c.label;
}

class KeychainContract : public ::testing::TestWithParam<BackendCase> {
protected:
    void SetUp() override
    {
        backend = GetParam().make();
        // A prefix of this test's own keeps runs and tests apart in the shared keyring.
        prefix = "VelTest" + QUuid::createUuid().toString(QUuid::Id128) + ".";
    }

    void TearDown() override
    {
        for (const QString& key : written)
            backend->remove(key);
    }

    Keychain keychain(const QString& extraPrefix = {})
    {
        return Keychain(prefix + extraPrefix, backend);
    }

    bool set(Keychain& k, const QString& value, const QString& key)
    {
        written << k.keyPrefix() + key;
        return k.set(value, key);
    }

    std::shared_ptr<KeychainBackend> backend;
    QString prefix;
    QStringList written;
};

TEST_P(KeychainContract, StoredValueReadsBack)
{
    auto k = keychain();
    ASSERT_TRUE(set(k, "s3cret", "vpnPassword"));
    EXPECT_EQ(k.get("vpnPassword"), QString("s3cret"));
}

TEST_P(KeychainContract, MissingKeyReadsAbsent)
{
    EXPECT_EQ(keychain().get("neverWritten"), std::nullopt);
}

TEST_P(KeychainContract, SettingAgainReplacesTheValue)
{
    auto k = keychain();
    ASSERT_TRUE(set(k, "first", "token"));
    ASSERT_TRUE(set(k, "second", "token"));
    EXPECT_EQ(k.get("token"), QString("second"));
}

TEST_P(KeychainContract, RemovedItemReadsAbsentAndRemovingAMissingItemSucceeds)
{
    auto k = keychain();
    ASSERT_TRUE(set(k, "value", "token"));
    EXPECT_TRUE(k.remove("token"));
    EXPECT_EQ(k.get("token"), std::nullopt);
    EXPECT_TRUE(k.remove("token"));
    EXPECT_TRUE(k.remove("neverWritten"));
}

TEST_P(KeychainContract, ValuesKeepEveryCharacter)
{
    const QStringList values = {
        "",                                        // empty is a value, not absence
        "ünïcødé ключ 鍵 🔑",
        "  spaces around  ",
        "line one\nline two\ttab",
        QString::fromUtf8("nul\0inside", 10),
        QString(4096, QChar(u'x')),
    };
    auto k = keychain();
    for (int i = 0; i < values.size(); ++i) {
        const QString key = "value" + QString::number(i);
        ASSERT_TRUE(set(k, values[i], key)) << i;
        const auto read = k.get(key);
        ASSERT_TRUE(read.has_value()) << i;
        EXPECT_EQ(*read, values[i]) << i;
    }
}

TEST_P(KeychainContract, KeysAreExactIncludingCaseAndUnicode)
{
    auto k = keychain();
    ASSERT_TRUE(set(k, "lower", "apiToken"));
    ASSERT_TRUE(set(k, "upper", "APITOKEN"));
    ASSERT_TRUE(set(k, "unicode", "tökén 鍵"));
    EXPECT_EQ(k.get("apiToken"), QString("lower"));
    EXPECT_EQ(k.get("APITOKEN"), QString("upper"));
    EXPECT_EQ(k.get("tökén 鍵"), QString("unicode"));
    EXPECT_EQ(k.get("apitoken"), std::nullopt);
    EXPECT_EQ(k.get("apiToke"), std::nullopt) << "no prefix matching of keys";
}

TEST_P(KeychainContract, PrefixGoesStraightInFrontOfTheKey)
{
    auto user = keychain("UserPreferences");
    auto app = keychain("AppPreferences");
    ASSERT_TRUE(set(user, "user", "org.veltamorine.app.vpnPassword"));
    ASSERT_TRUE(set(app, "app", "org.veltamorine.app.vpnPassword"));

    EXPECT_EQ(user.get("org.veltamorine.app.vpnPassword"), QString("user"));
    EXPECT_EQ(app.get("org.veltamorine.app.vpnPassword"), QString("app"));
    EXPECT_EQ(keychain("UserPrefer").get("encesorg.veltamorine.app.vpnPassword"), QString("user"));
    EXPECT_EQ(keychain().get("org.veltamorine.app.vpnPassword"), std::nullopt);

    EXPECT_TRUE(user.remove("org.veltamorine.app.vpnPassword"));
    EXPECT_EQ(app.get("org.veltamorine.app.vpnPassword"), QString("app")) << "other prefix untouched";
}

TEST_P(KeychainContract, SeparateObjectsSeeTheSameItems)
{
    auto writer = keychain("UserPreferences");
    ASSERT_TRUE(set(writer, "shared", "firestoreToken"));
    EXPECT_EQ(keychain("UserPreferences").get("firestoreToken"), QString("shared"));
}

TEST_P(KeychainContract, ConcurrentWritersOfDistinctKeysLoseNothing)
{
    constexpr int threads = 4;
    constexpr int perThread = 5;
    auto k = keychain();
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < perThread; ++i)
            written << k.keyPrefix() + QString("t%1k%2").arg(t).arg(i);

    std::vector<std::thread> workers;
    std::atomic<int> failures = 0;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            Keychain own(k.keyPrefix(), backend);
            for (int i = 0; i < perThread; ++i) {
                if (!own.set(QString("v%1-%2").arg(t).arg(i), QString("t%1k%2").arg(t).arg(i)))
                    ++failures;
            }
        });
    }
    for (auto& w : workers)
        w.join();

    EXPECT_EQ(failures.load(), 0);
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < perThread; ++i)
            EXPECT_EQ(k.get(QString("t%1k%2").arg(t).arg(i)), QString("v%1-%2").arg(t).arg(i));
}

INSTANTIATE_TEST_SUITE_P(
    Backends, KeychainContract,
    ::testing::Values(BackendCase{"memory", [] { return std::make_shared<MemoryKeychainBackend>(); }},
                      BackendCase{"libsecret", [] { return std::make_shared<LibsecretKeychainBackend>(); }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(KeychainSelection, KeychainWithoutBackendFollowsTheProcessWideChoice)
{
    // The real keyring is shared by every test process running at the same time: a name of
    // this process's own keeps another test's item of the same name out of the picture.
    const QString name = QStringLiteral("PRODUCTION_API_dialer-api/authorization-%1").arg(QCoreApplication::applicationPid());
    auto memory = std::make_shared<MemoryKeychainBackend>();
    KeychainBackend::setCurrent(memory);
    Keychain k("AppPreferences");
    EXPECT_TRUE(k.set("token", name));
    EXPECT_EQ(memory->read("AppPreferences" + name), QString("token"));

    KeychainBackend::setCurrent(nullptr);
    EXPECT_NE(dynamic_cast<LibsecretKeychainBackend*>(KeychainBackend::current().get()), nullptr)
        << "production default is the system keyring";
    EXPECT_EQ(k.get(name), std::nullopt);
}

}

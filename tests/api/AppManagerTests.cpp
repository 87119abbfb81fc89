#include "AppManager.h"
#include "GenericReponseWithHeader.h"
#include "TokenResponse.h"
#include "UserDefaults.h"
#include "VirtualScheduler.h"

#include <QJsonDocument>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(text).object();
}

AuthObject fullSet()
{
    AuthObject tokens;
    tokens.accessToken = QStringLiteral("access-7f3a9c-secret");
    tokens.refreshToken = QStringLiteral("refresh-41bd02-secret");
    tokens.tokenType = QStringLiteral("Bearer");
    tokens.accessTokenExpiry = 3600;
    tokens.refreshTokenExpiry = 86400;
    tokens.customerId = QStringLiteral("C-1234");
    return tokens;
}

// Every line any category writes while it lives, debug included.
class LogCapture {
public:
    LogCapture()
    {
        lines().clear();
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));
        previous_ = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& message) {
            lines().append(QString::fromLatin1(context.category ? context.category : "") + u' ' + message);
        });
    }
    ~LogCapture()
    {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString());
    }
    static QStringList& lines()
    {
        static QStringList captured;
        return captured;
    }

private:
    QtMessageHandler previous_;
};

}

class AppManagerTest : public ::testing::Test {
protected:
    void SetUp() override { Scheduler::setMain(&clock); }
    void TearDown() override { Scheduler::setMain(nullptr); }

    // The same folder opened again, as at the next start of the application.
    std::unique_ptr<UserDefaults> reopen() { return std::make_unique<UserDefaults>(folder.path()); }

    VirtualScheduler clock;
    QTemporaryDir folder;
    UserDefaults defaults{folder.path()};
    AppManager manager{defaults};
};

TEST_F(AppManagerTest, AFreshStoreHasItsInitialValues)
{
    const AppManagerTokens tokens = manager.tokens();
    EXPECT_TRUE(tokens.iws_accessToken.isEmpty());
    EXPECT_EQ(tokens.iws_expiry, 0);
    EXPECT_TRUE(tokens.iws_refreshToken.isEmpty());
    EXPECT_EQ(tokens.iws_refreshToken_expiry, 0);
    EXPECT_TRUE(tokens.iws_scope.isEmpty());
    EXPECT_TRUE(tokens.iws_tokenType.isEmpty());
    EXPECT_FALSE(tokens.iws_createdAt);
    EXPECT_FALSE(tokens.iws_refreshToken_createdAt);
    EXPECT_TRUE(manager.customer_id.isEmpty());
    EXPECT_TRUE(manager.isUpdateControllerAlreadyShown);
    for (bool flag : {manager.dismissLeftMenu, manager.isLogoutOnConnectedState, manager.isAlphabaticalSortingEnabled,
             manager.isPopularitySortingEnabled, manager.isPingSortingEnabled, manager.isP2PEnabled,
             manager.lastVPNStateConnected, manager.isCOCRejected})
        EXPECT_FALSE(flag);
}

TEST_F(AppManagerTest, SavesTheSetInMemoryAndUnderTheOemKeys)
{
    manager.saveTokens(fullSet(), false);

    EXPECT_EQ(manager.iws_accessToken(), QStringLiteral("access-7f3a9c-secret"));
    EXPECT_EQ(manager.iws_expiry(), 3600);
    EXPECT_EQ(manager.iws_refreshToken(), QStringLiteral("refresh-41bd02-secret"));
    EXPECT_EQ(manager.iws_refreshToken_expiry(), 86400);
    EXPECT_EQ(manager.iws_tokenType(), QStringLiteral("Bearer"));
    EXPECT_EQ(manager.iws_createdAt(), clock.now());
    EXPECT_EQ(manager.customer_id, QStringLiteral("C-1234"));

    EXPECT_EQ(defaults.objectForKey(QStringLiteral("oem-at")), QVariant(QStringLiteral("access-7f3a9c-secret")));
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("oem-ate")), QVariant(qlonglong(3600)));
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("oem-rt")), QVariant(QStringLiteral("refresh-41bd02-secret")));
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("oem-rte")), QVariant(qlonglong(86400)));
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("oem_type")), QVariant(QStringLiteral("Bearer")));
    EXPECT_FALSE(defaults.hasObject(QStringLiteral("oem-type")));
    EXPECT_EQ(defaults.dateForKey(QStringLiteral("access_token_created_at")), clock.now());
}

TEST_F(AppManagerTest, AbsentFieldsBecomeEmptyAndZero)
{
    manager.saveTokens(fullSet(), false);
    AuthObject partial;
    partial.refreshToken = QStringLiteral("r");
    manager.saveTokens(partial, false);
    EXPECT_EQ(manager.iws_accessToken(), QString());
    EXPECT_EQ(manager.iws_expiry(), 0);
    EXPECT_EQ(manager.iws_refreshToken_expiry(), 0);
    EXPECT_EQ(manager.iws_tokenType(), QString());
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("oem-at")), QVariant(QString()));
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("oem-ate")), QVariant(qlonglong(0)));
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("oem-rte")), QVariant(qlonglong(0)));
    EXPECT_EQ(manager.customer_id, QStringLiteral("C-1234"));  // a set without one keeps the known id
}

TEST_F(AppManagerTest, KeepingTheCreationTimeReadsTheStoredOneOrNone)
{
    manager.saveTokens(fullSet(), true);
    EXPECT_FALSE(manager.iws_createdAt());
    EXPECT_FALSE(defaults.hasObject(QStringLiteral("access_token_created_at")));

    const QDateTime first = clock.now();
    manager.saveTokens(fullSet(), false);
    clock.advance(120);
    manager.saveTokens(fullSet(), true);
    EXPECT_EQ(manager.iws_createdAt(), first);
    manager.saveTokens(fullSet(), false);
    EXPECT_EQ(manager.iws_createdAt(), first.addSecs(120));

    defaults.setString(QStringLiteral("yesterday"), QStringLiteral("access_token_created_at"));
    manager.saveTokens(fullSet(), true);
    EXPECT_FALSE(manager.iws_createdAt());
    EXPECT_FALSE(defaults.hasObject(QStringLiteral("access_token_created_at")));
}

TEST_F(AppManagerTest, TheSetSurvivesARestartWithItsCreationTime)
{
    const QDateTime saved = clock.now();
    manager.saveTokens(fullSet(), false);
    clock.advance(3 * 3600);

    auto again = reopen();
    AppManager restarted(*again);
    restarted.authObjectJSON();

    const AppManagerTokens tokens = restarted.tokens();
    EXPECT_EQ(tokens.iws_accessToken, QStringLiteral("access-7f3a9c-secret"));
    EXPECT_EQ(tokens.iws_expiry, 3600);
    EXPECT_EQ(tokens.iws_refreshToken, QStringLiteral("refresh-41bd02-secret"));
    EXPECT_EQ(tokens.iws_refreshToken_expiry, 86400);
    EXPECT_EQ(tokens.iws_tokenType, QStringLiteral("Bearer"));
    EXPECT_EQ(tokens.iws_createdAt, saved);
    EXPECT_EQ(again->dateForKey(QStringLiteral("access_token_created_at")), saved);
}

TEST_F(AppManagerTest, NothingStoredLoadsNothingAndWritesNothing)
{
    manager.authObjectJSON();
    EXPECT_TRUE(manager.iws_accessToken().isEmpty());
    EXPECT_FALSE(manager.iws_createdAt());
    EXPECT_TRUE(defaults.dictionaryRepresentation().isEmpty());
}

TEST_F(AppManagerTest, AStoredValueOfTheWrongKindLoadsNothing)
{
    const struct {
        const char* name;
        QString key;
        QVariant value;
    } cases[] = {
        {"number as access token", QStringLiteral("oem-at"), QVariant(qlonglong(5))},
        {"text as lifetime", QStringLiteral("oem-ate"), QVariant(QStringLiteral("3600"))},
        {"fraction as lifetime", QStringLiteral("oem-rte"), QVariant(1.5)},
        {"bool as refresh token", QStringLiteral("oem-rt"), QVariant(true)},
        {"date as token type", QStringLiteral("oem_type"), QVariant(QDateTime::currentDateTimeUtc())},
        {"data as access token", QStringLiteral("oem-at"), QVariant(QByteArray("x"))},
        {"list as refresh token", QStringLiteral("oem-rt"), QVariant(QVariantList{1})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        UserDefaults store(dir.path());
        store.setString(QStringLiteral("kept"), QStringLiteral("oem-rt"));
        store.setObject(c.value, c.key);
        const QVariantMap before = store.dictionaryRepresentation();
        AppManager fresh(store);
        fresh.authObjectJSON();
        EXPECT_TRUE(fresh.iws_refreshToken().isEmpty());
        EXPECT_TRUE(fresh.iws_accessToken().isEmpty());
        EXPECT_EQ(store.dictionaryRepresentation(), before);
    }
}

TEST_F(AppManagerTest, ClearTokensRemovesEveryCopySoTheNextStartLoadsNothing)
{
    manager.saveTokens(fullSet(), false);
    defaults.setString(QStringLiteral("unrelated"), QStringLiteral("AppPreference.version"));
    manager.isPingSortingEnabled = true;

    manager.clearTokens();

    EXPECT_TRUE(manager.iws_accessToken().isEmpty());
    EXPECT_TRUE(manager.iws_refreshToken().isEmpty());
    EXPECT_EQ(manager.iws_refreshToken_expiry(), 0);
    EXPECT_FALSE(manager.iws_createdAt());
    EXPECT_TRUE(manager.customer_id.isEmpty());
    EXPECT_TRUE(manager.isPingSortingEnabled);  // flags are not tokens
    EXPECT_EQ(defaults.dictionaryRepresentation().keys(), QStringList{QStringLiteral("AppPreference.version")});

    auto again = reopen();
    AppManager restarted(*again);
    restarted.authObjectJSON();
    EXPECT_TRUE(restarted.iws_accessToken().isEmpty());
    EXPECT_FALSE(restarted.iws_createdAt());
}

TEST_F(AppManagerTest, NoTokenTextReachesTheLog)
{
    QStringList lines;
    {
        LogCapture capture;
        manager.saveTokens(fullSet(), false);
        auto again = reopen();
        AppManager restarted(*again);
        restarted.authObjectJSON();
        restarted.clearTokens();
        defaults.setObject(QVariant(qlonglong(5)), QStringLiteral("oem-ate"));
        defaults.setString(QStringLiteral("access-7f3a9c-secret"), QStringLiteral("oem-rte"));
        AppManager broken(defaults);
        broken.authObjectJSON();
        lines = LogCapture::lines();
    }
    EXPECT_FALSE(lines.isEmpty()) << "the store wrote nothing; the capture would prove nothing";
    for (const QString& line : lines) {
        for (const char* secret : {"7f3a9c", "41bd02"})
            EXPECT_FALSE(line.contains(QLatin1String(secret))) << line.toStdString();
    }
}

TEST_F(AppManagerTest, ReadersOnOtherThreadsSeeWholeSets)
{
    AuthObject a = fullSet();
    AuthObject b;
    b.accessToken = QStringLiteral("b-access");
    b.refreshToken = QStringLiteral("b-refresh");
    b.accessTokenExpiry = 1;
    b.refreshTokenExpiry = 2;
    std::atomic_bool stop = false;
    std::atomic_int torn = 0;
    std::thread reader([&] {
        while (!stop) {
            const AppManagerTokens t = manager.tokens();
            const bool isA = t.iws_accessToken == *a.accessToken && t.iws_refreshToken == *a.refreshToken
                && t.iws_refreshToken_expiry == 86400;
            const bool isB = t.iws_accessToken == *b.accessToken && t.iws_refreshToken == *b.refreshToken
                && t.iws_refreshToken_expiry == 2;
            const bool initial = t.iws_accessToken.isEmpty() && t.iws_refreshToken.isEmpty();
            if (!isA && !isB && !initial)
                ++torn;
        }
    });
    for (int i = 0; i < 200; ++i)
        manager.saveTokens(i % 2 ? a : b, false);
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

TEST(TokenModels, DecodeStrictlyAndEncodeOnlyWhatIsThere)
{
    const auto full = AuthObject::fromJson(json(
        R"({"oem-at":"a","oem-rt":"r","oem-type":"Bearer","oem-ate":60,"oem-rte":120,"customer_id":"c","extra":1})"));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->tokenType, QStringLiteral("Bearer"));
    EXPECT_EQ(full->refreshTokenExpiry, 120);
    EXPECT_EQ(full->toJson(), json(R"({"oem-at":"a","oem-rt":"r","oem-type":"Bearer","oem-ate":60,"oem-rte":120,"customer_id":"c"})"));

    const auto empty = AuthObject::fromJson(json(R"({"oem-at":null})"));
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->accessToken);
    EXPECT_TRUE(empty->toJson().isEmpty());

    for (const char* refused : {R"({"oem-at":5})", R"({"oem-ate":"60"})", R"({"oem-rte":1.5})", R"({"oem-type":true})",
             R"({"customer_id":7})"})
        EXPECT_FALSE(AuthObject::fromJson(json(refused))) << refused;

    EXPECT_EQ(AuthToken::fromJson(json(R"({"code":"QUJD"})"))->code, QStringLiteral("QUJD"));
    EXPECT_FALSE(AuthToken::fromJson(json(R"({})"))->code);
    EXPECT_FALSE(AuthToken::fromJson(json(R"({"code":1})")));

    const auto refresh = TokenResponse::fromJson(json(R"({"header":{"response_code":200,"message":"OK"},"body":{"code":"x"}})"));
    ASSERT_TRUE(refresh);
    EXPECT_EQ(refresh->header.code, 200);
    EXPECT_EQ(refresh->body.code, QStringLiteral("x"));
    EXPECT_EQ(TokenResponse::fromJson(refresh->toJson())->header.message, QStringLiteral("OK"));
    for (const char* refused : {R"({"body":{"code":"x"}})", R"({"header":{"response_code":200,"message":"OK"}})",
             R"({"header":{"response_code":"200","message":"OK"},"body":{}})", R"({"header":{"response_code":200},"body":{}})"})
        EXPECT_FALSE(TokenResponse::fromJson(json(refused))) << refused;

    const auto generic = GenericReponseWithHeader::fromJson(json(R"({"header":{"response_code":200,"message":"done"}})"));
    ASSERT_TRUE(generic);
    EXPECT_FALSE(generic->body);
    EXPECT_EQ(generic->toJson(), json(R"({"header":{"response_code":200,"message":"done"}})"));
    EXPECT_EQ(GenericReponseWithHeader::fromJson(json(R"({"header":{"response_code":1,"message":""},"body":"b"})"))->body,
        QStringLiteral("b"));
    EXPECT_FALSE(GenericReponseWithHeader::fromJson(json(R"({"header":{"response_code":1,"message":""},"body":{}})")));
}

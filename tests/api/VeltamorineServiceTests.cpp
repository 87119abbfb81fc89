#include "ApiTestFixture.h"
#include "AppPreferences.h"
#include "NotificationCenter.h"
#include "VeltamorineService.h"

#include <QObject>

class VeltamorineServiceTest : public ApiTest {
protected:
    VeltamorineServiceTest()
    {
        Networking::shared().sendError = [this](const Error& error, const std::optional<QVariantMap>& extras) {
            reports.append({error, extras});
        };
        Networking::shared().trackEvent = [](EventTrackerEvent, const QVariantMap&) {};
    }
    ~VeltamorineServiceTest() override
    {
        Networking::shared().sendError = nullptr;
        Networking::shared().trackEvent = nullptr;
    }

    std::expected<VeltamorineService::CheckUpdateVersionModel, Error> check(bool silent)
    {
        int calls = 0;
        std::optional<std::expected<VeltamorineService::CheckUpdateVersionModel, Error>> out;
        VeltamorineService::checkLatestVersion(silent, [&](auto result) {
            ++calls;
            out = result;
        });
        EXPECT_TRUE(TestSupport::waitUntil([&] { return calls > 0; }, 8000));
        TestSupport::processEvents(20);
        EXPECT_EQ(calls, 1);
        return out.value_or(std::unexpected(Error("test", 0)));
    }

    QObject observer;
};

TEST_F(VeltamorineServiceTest, AnnouncesTheReplyBeforeStoringTheNotice)
{
    AppPreferences().setUpdateAvailable(AppPreferences::UpdateAvailable{"2.9", "2.8", "https://old.example"});
    AppManager::shared().isUpdateControllerAlreadyShown = true;
    GatewayRoutes::installVersionCheck(sandbox, [](const SandboxRequest&) {
        return GatewayRoutes::versionReply("3.1", "https://notes.example/3.1");
    });
    QList<QVariantMap> posted;
    std::optional<AppPreferences::UpdateAvailable> noticeDuringPost;
    NotificationCenter::defaultCenter().addObserver(VeltamorineService::versionCheckApiRespondedNotification, &observer,
        [&](const Notification& n) {
            posted.append(n.object.toMap());
            noticeDuringPost = AppPreferences().updateAvailable();
        });

    const auto result = check(true);

    ASSERT_TRUE(result);
    EXPECT_EQ(result->version, QStringLiteral("3.1"));
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(posted[0].value("silent").toBool(), true);
    EXPECT_EQ(posted[0].value("version").value<VeltamorineService::CheckUpdateVersionModel>(), *result);
    ASSERT_TRUE(noticeDuringPost);
    EXPECT_EQ(noticeDuringPost->availableVersion, QStringLiteral("2.9"));
    EXPECT_EQ(AppPreferences().updateAvailable(), (AppPreferences::UpdateAvailable{"3.1", "3.0", "https://notes.example/3.1"}));
    EXPECT_FALSE(AppManager::shared().isUpdateControllerAlreadyShown);
    const SandboxRequest request = onlyRequest("GET", GatewayRoutes::versionCheckPath());
    EXPECT_TRUE(request.query.isEmpty());
    EXPECT_FALSE(request.hasHeader("Authorization"));
}

TEST_F(VeltamorineServiceTest, FailedChecksPostNothingAndKeepThePreviousNotice)
{
    const AppPreferences::UpdateAvailable previous{"2.9", "2.8", "https://old.example"};
    const struct {
        const char* name;
        SandboxReply reply;
    } cases[] = {
        {"server error", SandboxReply::raw(500, "down")},
        {"no body", SandboxReply::json(QJsonObject{{"header", QJsonObject{{"response_code", 200}, {"message", "OK"}}}})},
        {"body without version", SandboxReply::json(QJsonObject{{"body", QJsonObject{{"device", "mac"}, {"release_note_url", "x"}}}})},
        {"version as number", SandboxReply::json(QJsonObject{{"body", QJsonObject{{"device", "mac"}, {"version", 3}, {"release_note_url", "x"}}}})},
    };
    int posts = 0;
    NotificationCenter::defaultCenter().addObserver(VeltamorineService::versionCheckApiRespondedNotification, &observer,
        [&](const Notification&) { ++posts; });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppPreferences().setUpdateAvailable(previous);
        AppManager::shared().isUpdateControllerAlreadyShown = true;
        GatewayRoutes::installVersionCheck(sandbox, [reply = c.reply](const SandboxRequest&) { return reply; });

        const auto result = check(false);

        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().domain, QStringLiteral("VeltamorineError"));
        EXPECT_EQ(posts, 0);
        EXPECT_EQ(AppPreferences().updateAvailable(), previous);
        EXPECT_TRUE(AppManager::shared().isUpdateControllerAlreadyShown);
    }
}

TEST(CheckUpdateVersionModelTest, AllThreeKeysAreRequiredTexts)
{
    using Model = VeltamorineService::CheckUpdateVersionModel;
    const QJsonObject full{{"device", "mac"}, {"version", "3.1"}, {"release_note_url", "u"}};
    const auto model = Model::fromJson(full);
    ASSERT_TRUE(model);
    EXPECT_EQ(model->toJson(), full);
    for (const char* key : {"device", "version", "release_note_url"}) {
        QJsonObject missing = full;
        missing.remove(key);
        EXPECT_FALSE(Model::fromJson(missing)) << key;
        QJsonObject null = full;
        null.insert(key, QJsonValue::Null);
        EXPECT_FALSE(Model::fromJson(null)) << key;
    }
}

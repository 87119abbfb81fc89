#include "VeltamorineService.h"

#include "ApiLog.h"
#include "AppManager.h"
#include "Bundle.h"
#include "HttpResponseModel.h"
#include "JsonFields.h"
#include "Networking.h"
#include "NotificationCenter.h"

std::optional<VeltamorineService::CheckUpdateVersionModel> VeltamorineService::CheckUpdateVersionModel::fromJson(
    const QJsonObject& object)
{
    CheckUpdateVersionModel model;
    if (!JsonFields::requiredString(object, QLatin1StringView("device"), model.device)
        || !JsonFields::requiredString(object, QLatin1StringView("version"), model.version)
        || !JsonFields::requiredString(object, QLatin1StringView("release_note_url"), model.release_note_url))
        return std::nullopt;
    return model;
}

QJsonObject VeltamorineService::CheckUpdateVersionModel::toJson() const
{
    return QJsonObject{
        {QStringLiteral("device"), device},
        {QStringLiteral("version"), version},
        {QStringLiteral("release_note_url"), release_note_url},
    };
}

QStringList VeltamorineService::CheckUpdateVersionModel::codingKeys()
{
    return {QStringLiteral("device"), QStringLiteral("version"), QStringLiteral("release_note_url")};
}

void VeltamorineService::checkLatestVersion(bool silent, VersionCompletion completion)
{
    auto appPreferences = std::make_shared<AppPreferences>();
    Networking::shared().getRequest<HttpResponseModel<CheckUpdateVersionModel>>(Endpoint::CheckUpdateMac, std::nullopt,
        std::nullopt, [silent, appPreferences, completion](std::expected<HttpResponseModel<CheckUpdateVersionModel>, Error> result) {
            std::expected<CheckUpdateVersionModel, Error> model = result
                ? std::expected<CheckUpdateVersionModel, Error>(result->body)
                : std::unexpected(result.error());
            handleVersionCheckResponse(model, silent, *appPreferences, completion);
        });
}

void VeltamorineService::handleVersionCheckResponse(const std::expected<CheckUpdateVersionModel, Error>& result,
    bool silent, AppPreferences& appPreferences, const VersionCompletion& completion)
{
    if (!result) {
        qCInfo(lcApi) << "version check failed:" << result.error().code;
        if (completion)
            completion(std::unexpected(result.error()));
        return;
    }
    qCInfo(lcApi) << "version check: current version" << result->version;
    AppManager::shared().isUpdateControllerAlreadyShown = false;
    NotificationCenter::defaultCenter().post(versionCheckApiRespondedNotification,
        QVariantMap{
            {QStringLiteral("silent"), silent},
            {QStringLiteral("version"), QVariant::fromValue(*result)},
        });
    appPreferences.setUpdateAvailable(AppPreferences::UpdateAvailable{
        result->version,
        Bundle::main().shortVersion(),
        result->release_note_url,
    });
    if (completion)
        completion(*result);
}

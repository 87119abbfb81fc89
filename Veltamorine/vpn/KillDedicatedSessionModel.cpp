#include "KillDedicatedSessionModel.h"

#include "GenericReponseWithHeader.h"
#include "HttpResponseModel.h"
#include "Networking.h"

KillDedicatedSessionModel::KillDedicatedSessionModel(User user, NetworkingProtocol* networkingManager,
                                                     std::shared_ptr<Quor> quor)
    : quor(std::move(quor))
    , user(std::move(user))
    , networkingManager(networkingManager ? networkingManager : &Networking::shared())
{
}

void KillDedicatedSessionModel::killSession(Completion completion) const
{
    const QVariantMap body{{QStringLiteral("vpn_username"), user.vpnUsername().value_or(QString())}};
    networkingManager->postRequest<HttpResponseModel<GenericReponseWithHeader>>(
        Endpoint::KillDedicatedIPSession, body, std::nullopt,
        [completion = std::move(completion)](std::expected<HttpResponseModel<GenericReponseWithHeader>, Error> result) {
            if (!completion)
                return;
            if (!result) {
                completion(std::unexpected(result.error()));
                return;
            }
            completion(true);
        });
}

#include "HttpResponseModel.h"
#include "ProfileResponseModel.h"
#include "SupportTicketModelSupportAPIResponseModel.h"

#include <QJsonDocument>
#include <QLocale>
#include <gtest/gtest.h>

namespace {

QJsonObject parse(const char* text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return document.object();
}

// A profile reply as the identity backend sends it, every key present.
const char* fullProfileReply = R"({"body": {
    "client_id": 4711, "client_name": "Ada Lovelace", "email": "ada@example.org",
    "phone_number": "+44 20 7946 0000", "signup_date": "2023-02-14", "billing_cycle": "Annually",
    "expiry_date": "2025-02-14", "billing_plan": "Premium", "status": "Active", "client_type": "paid",
    "hosting_id": 99, "payment_gateway": {"name": "card", "recurring_gateway": 1, "auto_recurring": 0,
        "subscription_id": "sub_1", "sku": "vpn-12m"},
    "active_addons": [{"slug": "dedicated_ip", "title": "Dedicated IP", "expiry": "2025-02-14", "status": "Active"}],
    "addons": [{"title": "Port Forwarding", "expiry": "", "status": "Inactive"}],
    "grace_period": 0, "grace_period_expiry": "", "days_remaining": 3, "desired_outcome": 1,
    "referral_link": "https://127.0.0.1/ref/abc", "renewal_invoice_generated": 0, "password_manager": true,
    "vpn_username": "vpnuser1", "is_trial": 0,
    "dedicated_ip_detail": {"ip": "10.0.0.7", "iso": "DE", "hosts": [
        {"dns": "de-dip.example", "protocol": "udp", "server_type": "openvpn", "port_number": "1194"}]}
}})";

QJsonObject requiredOnlyProfile()
{
    return parse(R"({"client_name": "A", "email": "a@b.c", "phone_number": "", "signup_date": "2024-01-01",
        "billing_cycle": "Monthly", "expiry_date": "2024-02-01", "status": "Active", "vpn_username": "u",
        "client_type": "paid", "payment_gateway": {"name": "n", "recurring_gateway": 0, "auto_recurring": 1, "sku": "s"},
        "dedicated_ip_detail": {"ip": "", "iso": "", "hosts": []}})");
}

TEST(ProfileResponseModelTests, FullReplyDecodesThroughTheBodyWrapper)
{
    const auto reply = HttpResponseModel<ProfileResponseModel>::fromJson(parse(fullProfileReply));
    ASSERT_TRUE(reply);
    const ProfileResponseModel& profile = reply->body;
    EXPECT_EQ(profile.client_id, 4711);
    EXPECT_EQ(profile.clientName, "Ada Lovelace");
    EXPECT_EQ(profile.vpnUsername, "vpnuser1");
    EXPECT_EQ(profile.trial, 0);
    EXPECT_EQ(profile.graceDaysRemaining, 3);
    EXPECT_EQ(profile.passwordManager, true);
    EXPECT_EQ(profile.paymentGateway.subscriptionId, QString("sub_1"));
    ASSERT_TRUE(profile.activeAddons);
    ASSERT_EQ(profile.activeAddons->size(), 1);
    EXPECT_EQ(profile.activeAddons->at(0).slug, QString("dedicated_ip"));
    EXPECT_EQ(profile.activeAddons->at(0).title(), "Dedicated IP");
    ASSERT_TRUE(profile.addons);
    EXPECT_EQ(profile.addons->at(0).slug, std::nullopt);
    ASSERT_EQ(profile.dedicatedIPDetail.hosts.size(), 1);
    EXPECT_EQ(profile.dedicatedIPDetail.hosts[0].portNumber, "1194");
    EXPECT_EQ(profile.dedicatedIPDetail.hosts[0].serverProtocol, "udp");

    // Encoding writes every key back with the same types.
    EXPECT_EQ(reply->toJson(), parse(fullProfileReply));
}

TEST(ProfileResponseModelTests, RequiredKeysAloneDecodeAndEncodeWithoutOptionalKeys)
{
    const auto profile = ProfileResponseModel::fromJson(requiredOnlyProfile());
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->trial, std::nullopt);
    EXPECT_EQ(profile->client_id, std::nullopt);
    EXPECT_EQ(profile->activeAddons, std::nullopt);
    EXPECT_EQ(profile->paymentGateway.subscriptionId, std::nullopt);
    EXPECT_EQ(profile->toJson(), requiredOnlyProfile());
}

TEST(ProfileResponseModelTests, NullOptionalFieldsReadAsAbsent)
{
    QJsonObject object = requiredOnlyProfile();
    object.insert("is_trial", QJsonValue::Null);
    object.insert("active_addons", QJsonValue::Null);
    object.insert("referral_link", QJsonValue::Null);
    const auto profile = ProfileResponseModel::fromJson(object);
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->trial, std::nullopt);
    EXPECT_EQ(profile->activeAddons, std::nullopt);
    EXPECT_EQ(profile->referralLink, std::nullopt);
}

TEST(ProfileResponseModelTests, MissingNullOrMistypedFieldsFailTheWholeProfile)
{
    struct Case {
        const char* what;
        std::function<void(QJsonObject&)> change;
    };
    const auto setIn = [](const char* outer, const char* key, QJsonValue value) {
        return [=](QJsonObject& o) {
            QJsonObject inner = o.value(outer).toObject();
            inner.insert(key, value);
            o.insert(outer, inner);
        };
    };
    const Case cases[] = {
        {"no dedicated_ip_detail", [](QJsonObject& o) { o.remove("dedicated_ip_detail"); }},
        {"no payment_gateway", [](QJsonObject& o) { o.remove("payment_gateway"); }},
        {"null email", [](QJsonObject& o) { o.insert("email", QJsonValue::Null); }},
        {"is_trial as string", [](QJsonObject& o) { o.insert("is_trial", "0"); }},
        {"hosting_id as string", [](QJsonObject& o) { o.insert("hosting_id", "12"); }},
        {"is_trial as bool", [](QJsonObject& o) { o.insert("is_trial", true); }},
        {"is_trial fractional", [](QJsonObject& o) { o.insert("is_trial", 0.5); }},
        {"password_manager as number", [](QJsonObject& o) { o.insert("password_manager", 1); }},
        {"status as number", [](QJsonObject& o) { o.insert("status", 1); }},
        {"addon without title", [](QJsonObject& o) {
             o.insert("addons", parse(R"({"a": [{"expiry": "", "status": ""}]})").value("a"));
         }},
        {"active addon not an object", [](QJsonObject& o) {
             o.insert("active_addons", parse(R"({"a": ["x"]})").value("a"));
         }},
        {"gateway sku missing", [](QJsonObject& o) {
             QJsonObject g = o.value("payment_gateway").toObject();
             g.remove("sku");
             o.insert("payment_gateway", g);
         }},
        {"gateway auto_recurring as bool", setIn("payment_gateway", "auto_recurring", true)},
        {"dedicated hosts null", setIn("dedicated_ip_detail", "hosts", QJsonValue::Null)},
        {"port_number as number", setIn("dedicated_ip_detail", "hosts",
                                        parse(R"({"h": [{"dns": "d", "protocol": "p", "server_type": "t",
                                                  "port_number": 1194}]})").value("h"))},
    };
    for (const Case& c : cases) {
        QJsonObject object = requiredOnlyProfile();
        c.change(object);
        EXPECT_EQ(ProfileResponseModel::fromJson(object), std::nullopt) << c.what;
    }
}

TEST(ProfileResponseModelTests, BodyWrapperRequiresAnObjectBody)
{
    EXPECT_FALSE(HttpResponseModel<ProfileResponseModel>::fromJson(QJsonObject{}));
    EXPECT_FALSE(HttpResponseModel<ProfileResponseModel>::fromJson(QJsonObject{{"body", QJsonValue::Null}}));
    EXPECT_FALSE(HttpResponseModel<ProfileResponseModel>::fromJson(QJsonObject{{"body", "x"}}));
}

TEST(ProfileResponseModelTests, FormatDateUnderEnglishLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(ProfileResponseModel::formatDate("2024-01-31"), "31 Jan 2024");
    EXPECT_EQ(ProfileResponseModel::formatDate("2024-12-05"), "05 Dec 2024");
    EXPECT_EQ(ProfileResponseModel::formatDate("31 Jan 2024"), "31 Jan 2024");
    EXPECT_EQ(ProfileResponseModel::formatDate(""), "");
    EXPECT_EQ(ProfileResponseModel::formatDate("2024-02-30"), "2024-02-30");
    QLocale::setDefault(previous);
}

TEST(ProfileResponseModelTests, SupportReplyFieldsAreAllOptional)
{
    const auto empty = SupportTicketModelSupportAPIResponseModel::fromJson(QJsonObject{});
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, SupportTicketModelSupportAPIResponseModel{});
    EXPECT_EQ(empty->toJson(), QJsonObject{});

    const QJsonObject full = parse(R"({"result": "success", "id": 8812, "tid": "XJK-1121", "c": "QWERTY"})");
    const auto reply = SupportTicketModelSupportAPIResponseModel::fromJson(full);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->id, 8812);
    EXPECT_EQ(reply->tid, QString("XJK-1121"));
    EXPECT_EQ(reply->toJson(), full);

    EXPECT_FALSE(SupportTicketModelSupportAPIResponseModel::fromJson(parse(R"({"id": "8812"})")));
    EXPECT_FALSE(SupportTicketModelSupportAPIResponseModel::fromJson(parse(R"({"result": true})")));
}

}

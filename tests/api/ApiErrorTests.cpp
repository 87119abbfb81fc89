#include "ApiError.h"
#include "ApiResponse.h"
#include "HttpError.h"
#include "Networking.h"
#include "NetworkError.h"
#include "SecretRedaction.h"

#include <gtest/gtest.h>

namespace {

enum class Outcome { Body, Refusal, Raised };
constexpr Outcome Body = Outcome::Body;
constexpr Outcome Refusal = Outcome::Refusal;
constexpr Outcome Raised = Outcome::Raised;

struct Pair {
    QString left;
    std::optional<QString> right;
    static std::optional<Pair> fromJson(const QJsonObject& object)
    {
        if (!object.value("left").isString())
            return std::nullopt;
        Pair pair{object.value("left").toString(), std::nullopt};
        if (object.contains("right")) {
            if (!object.value("right").isString())
                return std::nullopt;
            pair.right = object.value("right").toString();
        }
        return pair;
    }
    static QStringList codingKeys() { return {"left", "right"}; }
};

}

TEST(ApiErrorTest, UserTextsByCode)
{
    EXPECT_EQ(Networking::userMessage(-1009), QStringLiteral("The Internet connection appears to be offline. (-1009)"));
    EXPECT_EQ(Networking::userMessage(-1001), QStringLiteral("We were unable to complete your request. Please try again. (-1001)"));
    EXPECT_EQ(Networking::userMessage(500), QStringLiteral("Something went wrong. Please try again later or contact support. (500)"));
    EXPECT_EQ(Networking::userMessage(-1), QStringLiteral("Something went wrong. Please try again later or contact support. (-1)"));
}

TEST(ApiErrorTest, RootErrorDescendsOnlyThroughTheHttpLayer)
{
    const Error network = NetworkError::make(NetworkError::NotConnectedToInternet);
    const Error chain = HttpError::requestRetryFailed(HttpError::sessionTaskFailed(network));
    EXPECT_EQ(Networking::rootError(chain).code, NetworkError::NotConnectedToInternet);

    const Error wrapped = Networking::wrapError(Networking::rootError(chain));
    EXPECT_EQ(wrapped.domain, QStringLiteral("VeltamorineError"));
    EXPECT_EQ(wrapped.code, -1009);
    EXPECT_EQ(wrapped.message, Networking::userMessage(-1009));
    EXPECT_EQ(wrapped.underlying->domain, NetworkError::domain);

    // An error of another layer stops the descent even when it wraps something.
    const Error foreign = Error("Other", 5).wrapping(network);
    EXPECT_EQ(Networking::rootError(HttpError::requestRetryFailed(foreign)).domain, QStringLiteral("Other"));
}

TEST(ApiErrorTest, EnvelopeDecodingRules)
{
    const struct {
        const char* name;
        QByteArray reply;
        Outcome outcome;
        qint64 code;
    } cases[] = {
        {"200 with body", R"({"header":{"response_code":200,"message":"OK"},"body":{"left":"l"}})", Body, 0},
        {"extra members ignored", R"({"x":1,"header":{"response_code":200,"message":"OK","y":2},"body":{"left":"l","z":3}})", Body, 0},
        {"403 refusal", R"({"header":{"response_code":403,"message":"Nope"}})", Refusal, 403},
        {"refusal with foreign body", R"({"header":{"response_code":409,"message":"Nope"},"body":{"other":1}})", Refusal, 409},
        {"refusal whose body misfits", R"({"header":{"response_code":409,"message":"Nope"},"body":{"left":1}})", Raised, DecodingError::dataCorrupted},
        {"no body", R"({"header":{"response_code":200,"message":"OK"}})", Raised, -1},
        {"empty body object", R"({"header":{"response_code":200,"message":"OK"},"body":{}})", Raised, -1},
        {"only an optional key", R"({"header":{"response_code":200,"message":"OK"},"body":{"right":"r"}})", Raised, DecodingError::dataCorrupted},
        {"null body", R"({"header":{"response_code":200,"message":"OK"},"body":null})", Raised, DecodingError::dataCorrupted},
        {"array body", R"({"header":{"response_code":200,"message":"OK"},"body":[]})", Raised, DecodingError::dataCorrupted},
        {"no header", R"({"body":{"left":"l"}})", Raised, DecodingError::dataCorrupted},
        {"code as text", R"({"header":{"response_code":"200","message":"OK"}})", Raised, DecodingError::dataCorrupted},
        {"code as fraction", R"({"header":{"response_code":200.5,"message":"OK"}})", Raised, DecodingError::dataCorrupted},
        {"message missing", R"({"header":{"response_code":200}})", Raised, DecodingError::dataCorrupted},
        {"not JSON", "<html>", Raised, DecodingError::dataCorrupted},
        {"empty", "", Raised, DecodingError::dataCorrupted},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodeResult<Pair> result = ReplyDecoding::decodeResponse<Pair>(c.reply);
        switch (c.outcome) {
        case Outcome::Body:
            ASSERT_TRUE(result && *result);
            EXPECT_EQ((*result)->left, QStringLiteral("l"));
            break;
        case Outcome::Refusal:
            ASSERT_TRUE(result);
            ASSERT_FALSE(*result);
            EXPECT_EQ(result->error().code, c.code);
            EXPECT_EQ(result->error().message, QStringLiteral("Nope"));
            EXPECT_FALSE(result->error().underlying);
            break;
        case Outcome::Raised:
            ASSERT_FALSE(result);
            EXPECT_EQ(result.error().code, c.code);
            break;
        }
    }
}

TEST(ApiErrorTest, SecretFieldsAreRedactedAtAnyDepth)
{
    const QVariantMap body{
        {"username", "dave"},
        {"password", "p"},
        {"Password", "p"},
        {"code", "c"},
        {"secret", "s"},
        {"refresh_token", "r"},
        {"accessToken", "a"},
        {"firebaseToken", "f"},
        {"oem-at", "a"},
        {"device_type", "mac"},
        {"list", QVariantList{QVariantMap{{"token", "t"}, {"kept", 1}}}},
    };
    const QVariantMap out = SecretRedaction::redacted(body);
    for (const char* secret : {"password", "Password", "code", "secret", "refresh_token", "accessToken", "firebaseToken", "oem-at"})
        EXPECT_EQ(out.value(secret).toString(), SecretRedaction::placeholder) << secret;
    EXPECT_EQ(out.value("username").toString(), QStringLiteral("dave"));
    EXPECT_EQ(out.value("device_type").toString(), QStringLiteral("mac"));
    const QVariantMap inner = out.value("list").toList().value(0).toMap();
    EXPECT_EQ(inner.value("token").toString(), SecretRedaction::placeholder);
    EXPECT_EQ(inner.value("kept").toInt(), 1);
}

#include "JsonFields.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {

QJsonObject parse(const char* text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return document.object();
}

struct Item {
    qint64 id = 0;

    static std::optional<Item> fromJson(const QJsonObject& object)
    {
        Item item;
        if (!JsonFields::requiredInteger(object, QLatin1StringView("id"), item.id))
            return std::nullopt;
        return item;
    }

    QJsonObject toJson() const { return {{QStringLiteral("id"), id}}; }
};

constexpr qint64 untouched = -7;

// Reads key "v" into an optional that starts out present, and tells whether it is present afterwards.
using OptionalReader = std::function<bool(const QJsonObject&, bool& present)>;

template <typename T>
OptionalReader reader(T initial, bool (*read)(const QJsonObject&, QLatin1StringView, std::optional<T>&))
{
    return [initial, read](const QJsonObject& object, bool& present) {
        std::optional<T> out = initial;
        const bool ok = read(object, QLatin1StringView("v"), out);
        present = out.has_value();
        return ok;
    };
}

}

TEST(JsonFieldsTests, IntegersAreWholeNumbersReadExactly)
{
    struct Case {
        const char* json;
        std::optional<qint64> expected;
    };
    const Case cases[] = {
        {R"({"n":0})", 0},
        {R"({"n":-42})", -42},
        {R"({"n":2.0})", 2},
        {R"({"n":1e3})", 1000},
        // Beyond 2^53 a double would round; the value must arrive unchanged.
        {R"({"n":9007199254740993})", 9007199254740993LL},
        {R"({"n":9223372036854775807})", std::numeric_limits<qint64>::max()},
        {R"({"n":-9223372036854775808})", std::numeric_limits<qint64>::min()},
        {R"({"n":9223372036854775808})", std::nullopt},
        {R"({"n":1e19})", std::nullopt},
        {R"({"n":1.5})", std::nullopt},
        {R"({"n":-0.25})", std::nullopt},
        {R"({"n":"1"})", std::nullopt},
        {R"({"n":true})", std::nullopt},
        {R"({"n":[1]})", std::nullopt},
        {R"({"n":null})", std::nullopt},
        {R"({})", std::nullopt},
    };
    for (const Case& c : cases) {
        qint64 out = untouched;
        const bool ok = JsonFields::requiredInteger(parse(c.json), QLatin1StringView("n"), out);
        EXPECT_EQ(ok, c.expected.has_value()) << c.json;
        EXPECT_EQ(out, c.expected.value_or(untouched)) << c.json;
    }
}

TEST(JsonFieldsTests, OptionalFieldsTakeMissingAndNullAsAbsentButRefuseAnotherType)
{
    // Each reader sees the same three objects; "wrong" holds a value of a type it must refuse.
    struct Case {
        const char* name;
        const char* good;
        const char* wrong;
        OptionalReader read;
    };
    const Case cases[] = {
        {"string", R"({"v":""})", R"({"v":1})", reader<QString>(QStringLiteral("old"), JsonFields::optionalString)},
        {"integer", R"({"v":5})", R"({"v":"5"})", reader<qint64>(1, JsonFields::optionalInteger)},
        {"bool", R"({"v":false})", R"({"v":0})", reader<bool>(true, JsonFields::optionalBool)},
        {"object", R"({"v":{}})", R"({"v":[]})", reader<QJsonObject>({}, JsonFields::optionalObject)},
        {"array", R"({"v":[]})", R"({"v":{}})", reader<QJsonArray>({}, JsonFields::optionalArray)},
        {"list", R"({"v":[{"id":1}]})", R"({"v":{"id":1}})", reader<QList<Item>>({}, JsonFields::optionalList<Item>)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool present = false;
        EXPECT_TRUE(c.read(parse(c.good), present));
        EXPECT_TRUE(present);
        EXPECT_TRUE(c.read(parse("{}"), present));
        EXPECT_FALSE(present);
        EXPECT_TRUE(c.read(parse(R"({"v":null})"), present));
        EXPECT_FALSE(present);
        // A refused value leaves the earlier value in place.
        EXPECT_FALSE(c.read(parse(c.wrong), present));
        EXPECT_TRUE(present);
    }
}

TEST(JsonFieldsTests, RequiredFieldsRefuseMissingNullAndAnotherType)
{
    const auto key = QLatin1StringView("v");
    for (const char* json : {R"({})", R"({"v":null})", R"({"v":1})"}) {
        QString text = QStringLiteral("old");
        EXPECT_FALSE(JsonFields::requiredString(parse(json), key, text)) << json;
        EXPECT_EQ(text, QStringLiteral("old"));
    }
    for (const char* json : {R"({})", R"({"v":null})", R"({"v":"true"})", R"({"v":1})"}) {
        bool flag = true;
        EXPECT_FALSE(JsonFields::requiredBool(parse(json), key, flag)) << json;
    }
    for (const char* json : {R"({})", R"({"v":null})", R"({"v":"1.5"})"}) {
        double number = 0;
        EXPECT_FALSE(JsonFields::requiredDouble(parse(json), key, number)) << json;
    }
    double number = 0;
    EXPECT_TRUE(JsonFields::requiredDouble(parse(R"({"v":1.5})"), key, number));
    EXPECT_EQ(number, 1.5);
}

TEST(JsonFieldsTests, OneBadElementFailsTheWholeList)
{
    struct Case {
        const char* json;
        std::optional<QList<qint64>> ids;
    };
    const Case cases[] = {
        {R"({"items":[]})", QList<qint64>{}},
        {R"({"items":[{"id":1},{"id":2}]})", QList<qint64>{1, 2}},
        {R"({"items":[{"id":1},3]})", std::nullopt},
        {R"({"items":[{"id":1},null]})", std::nullopt},
        {R"({"items":[{"id":1},{"id":"2"}]})", std::nullopt},
        {R"({"items":[{"id":1},{}]})", std::nullopt},
    };
    for (const Case& c : cases) {
        std::optional<QList<Item>> out = QList<Item>{Item{untouched}};
        const bool ok = JsonFields::optionalList(parse(c.json), QLatin1StringView("items"), out);
        EXPECT_EQ(ok, c.ids.has_value()) << c.json;
        ASSERT_TRUE(out) << c.json;
        QList<qint64> ids;
        for (const Item& item : *out)
            ids.append(item.id);
        EXPECT_EQ(ids, c.ids.value_or(QList<qint64>{untouched})) << c.json;
    }
}

TEST(JsonFieldsTests, ListsAndOptionalStringsRoundTrip)
{
    QJsonObject object;
    JsonFields::putString(object, QLatin1StringView("absent"), std::nullopt);
    JsonFields::putString(object, QLatin1StringView("empty"), QString());
    JsonFields::putString(object, QLatin1StringView("name"), QStringLiteral("Zürich"));
    object.insert(QStringLiteral("items"), JsonFields::encodeList(QList<Item>{Item{3}, Item{9007199254740993LL}}));
    const QJsonObject back = QJsonDocument::fromJson(QJsonDocument(object).toJson()).object();

    EXPECT_FALSE(back.contains(QStringLiteral("absent")));
    std::optional<QString> empty, name;
    ASSERT_TRUE(JsonFields::optionalString(back, QLatin1StringView("empty"), empty));
    ASSERT_TRUE(JsonFields::optionalString(back, QLatin1StringView("name"), name));
    EXPECT_EQ(empty, QString(""));
    EXPECT_EQ(name, QStringLiteral("Zürich"));

    std::optional<QList<Item>> items;
    ASSERT_TRUE(JsonFields::optionalList(back, QLatin1StringView("items"), items));
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 2);
    EXPECT_EQ(items->at(0).id, 3);
    EXPECT_EQ(items->at(1).id, 9007199254740993LL);
}

#include "UserDefaultsCodable.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A small stored type of this test's own, with the strict decoding every model has.
struct Pin {
    QString name;
    qint64 count = 0;

    bool operator==(const Pin&) const = default;

    QJsonObject toJson() const { return {{QStringLiteral("name"), name}, {QStringLiteral("count"), count}}; }
    static std::optional<Pin> fromJson(const QJsonObject& object)
    {
        const QJsonValue name = object.value(QStringLiteral("name"));
        const QJsonValue count = object.value(QStringLiteral("count"));
        if (!name.isString() || !count.isDouble())
            return std::nullopt;
        return Pin{name.toString(), count.toInteger()};
    }
};

class UserDefaultsCodableTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    UserDefaults defaults{dir.path()};
    const QString key = QStringLiteral("AppPreference.pin");
};

TEST_F(UserDefaultsCodableTest, ValueRoundTripsAsOneDataItemOfItsJson)
{
    UserDefaultsCodable::setCodable(defaults, std::optional(Pin{QStringLiteral("a"), 3}), key);
    EXPECT_EQ(UserDefaultsCodable::codable<Pin>(defaults, key), (Pin{QStringLiteral("a"), 3}));
    const auto stored = defaults.dataForKey(key);
    ASSERT_TRUE(stored);
    EXPECT_EQ(QJsonDocument::fromJson(*stored).object(), (Pin{QStringLiteral("a"), 3}).toJson());
}

TEST_F(UserDefaultsCodableTest, AbsentReadings)
{
    struct Case {
        const char* name;
        QVariant stored;  // invalid: never written
    };
    const Case cases[] = {
        {"never written", QVariant()},
        {"written as absent", QByteArray("null")},
        {"not JSON", QByteArray("{\"name\":")},
        {"wrong field type", QByteArray(R"({"name":"a","count":"3"})")},
        {"a JSON array", QByteArray(R"([{"name":"a","count":3}])")},
        {"not a data item", QString::fromLatin1(R"({"name":"a","count":3})")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        defaults.setObject(c.stored, key);
        EXPECT_FALSE(UserDefaultsCodable::codable<Pin>(defaults, key));
        // Nothing is repaired on read.
        EXPECT_EQ(defaults.objectForKey(key), c.stored);
    }
}

TEST_F(UserDefaultsCodableTest, WritingAbsentStoresJsonNull)
{
    UserDefaultsCodable::setCodable(defaults, std::optional(Pin{QStringLiteral("a"), 1}), key);
    UserDefaultsCodable::setCodable<Pin>(defaults, std::nullopt, key);
    EXPECT_EQ(defaults.dataForKey(key), QByteArray("null"));
    EXPECT_FALSE(UserDefaultsCodable::codable<Pin>(defaults, key));
}

TEST_F(UserDefaultsCodableTest, ListIsAnArrayOfDataItemsInOrder)
{
    const QList<Pin> pins{{QStringLiteral("a"), 1}, {QStringLiteral("b"), 2}, {QStringLiteral("c"), 3}};
    UserDefaultsCodable::setCodableArray(defaults, std::optional(pins), key);
    const auto stored = defaults.arrayForKey(key);
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 3);
    for (qsizetype i = 0; i < 3; ++i) {
        ASSERT_EQ((*stored)[i].typeId(), QMetaType::QByteArray);
        EXPECT_EQ(QJsonDocument::fromJson((*stored)[i].toByteArray()).object(), pins[i].toJson());
    }
    EXPECT_EQ(UserDefaultsCodable::array<Pin>(defaults, key), pins);
}

TEST_F(UserDefaultsCodableTest, ListReadings)
{
    const QByteArray a = R"({"name":"a","count":1})";
    const QByteArray c = R"({"name":"c","count":3})";
    struct Case {
        const char* name;
        QVariant stored;
        std::optional<QList<Pin>> expected;
    };
    const Case cases[] = {
        {"never written", QVariant(), std::nullopt},
        {"bad element skipped", QVariantList{a, QByteArray(R"({"name":2})"), c},
         QList<Pin>{{QStringLiteral("a"), 1}, {QStringLiteral("c"), 3}}},
        {"null element skipped", QVariantList{QByteArray("null"), c}, QList<Pin>{{QStringLiteral("c"), 3}}},
        {"a string among the items", QVariantList{a, QStringLiteral("text"), c}, std::nullopt},
        {"nothing decodes", QVariantList{QByteArray("x")}, QList<Pin>{}},
        {"empty array", QVariantList{}, QList<Pin>{}},
        {"not an array", QByteArray("[]"), std::nullopt},
    };
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.name);
        defaults.setObject(cs.stored, key);
        EXPECT_EQ(UserDefaultsCodable::array<Pin>(defaults, key), cs.expected);
    }
}

TEST_F(UserDefaultsCodableTest, EmptyListStaysAndAbsentListRemovesTheKey)
{
    UserDefaultsCodable::setCodableArray(defaults, std::optional(QList<Pin>{}), key);
    EXPECT_EQ(defaults.arrayForKey(key), QVariantList{});
    EXPECT_EQ(UserDefaultsCodable::array<Pin>(defaults, key), QList<Pin>{});

    UserDefaultsCodable::setCodableArray<Pin>(defaults, std::nullopt, key);
    EXPECT_FALSE(defaults.hasObject(key));
    EXPECT_FALSE(UserDefaultsCodable::array<Pin>(defaults, key));
}

}

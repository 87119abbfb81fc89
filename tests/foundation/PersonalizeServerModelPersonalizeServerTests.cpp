#include "PersonalizeServerModelPersonalizeServer.h"

#include <gtest/gtest.h>

namespace {

using Record = PersonalizeServerModelPersonalizeServer;

Record::Dictionary sample()
{
    return {
        {"us", {Record("a", true), Record("b", false), Record("c", true)}},
        {"de", {Record("x", true)}},
        {"fr", {}},
    };
}

TEST(PersonalizeServerTests, LikedAndDislikedIdentifiersJoinInListOrder)
{
    const std::optional<Record::Dictionary> dictionary = sample();
    EXPECT_EQ(Record::joinedIdentifiers(dictionary, QString("us"), true), QString("a,c"));
    EXPECT_EQ(Record::joinedIdentifiers(dictionary, QString("us"), false), QString("b"));
    EXPECT_EQ(Record::joinedIdentifiers(dictionary, QString("de"), false), QString(""));
    EXPECT_EQ(Record::joinedIdentifiers(dictionary, QString("fr"), true), QString(""));
}

TEST(PersonalizeServerTests, MissingKeyEntryOrDictionaryGivesNone)
{
    EXPECT_EQ(Record::joinedIdentifiers(sample(), std::nullopt, true), std::nullopt);
    EXPECT_EQ(Record::joinedIdentifiers(sample(), QString("it"), true), std::nullopt);
    EXPECT_EQ(Record::joinedIdentifiers(std::nullopt, QString("us"), true), std::nullopt);
    EXPECT_EQ(Record::joinedIdentifiers(Record::Dictionary{}, QString("us"), false), std::nullopt);
}

TEST(PersonalizeServerTests, ArchiveRoundTripsAndNamesTheClass)
{
    const QByteArray data = Record::archive(sample());
    EXPECT_TRUE(data.contains("\"$class\":\"PersonalizeServer\""));
    EXPECT_EQ(Record::unarchive(data), sample());
    EXPECT_EQ(Record::unarchive(Record::archive({})), Record::Dictionary{});
}

TEST(PersonalizeServerTests, AnythingButAnArchiveOfRecordsReadsAsNone)
{
    const char* cases[] = {
        "",
        "not json",
        "[]",
        R"({"us": {}})",
        R"({"us": [1]})",
        R"({"us": [{"identifier": "a", "liked": true}]})",
        R"({"us": [{"$class": "Other", "identifier": "a", "liked": true}]})",
        R"({"us": [{"$class": "PersonalizeServer", "identifier": 1, "liked": true}]})",
        R"({"us": [{"$class": "PersonalizeServer", "identifier": "a", "liked": 1}]})",
    };
    for (const char* text : cases)
        EXPECT_EQ(Record::unarchive(QByteArray(text)), std::nullopt) << text;
}

}

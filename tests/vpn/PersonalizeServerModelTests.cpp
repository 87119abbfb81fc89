#include "VpnEngineFixture.h"

#include "PersonalizeServerModel.h"

namespace {

using Entry = PersonalizeServerModel::PersonalizeServer;
using Type = QuorDataFetcherServer::Type;

class PersonalizeServerModelTest : public VpnEngineFixture {
protected:
    PersonalizeServerModel model() const { return PersonalizeServerModel(preserved(), appPreferences()); }
    void lastConnectionTo(const QString& code)
    {
        appPreferences().setLastConnection(record(row(code, code, Type::Country, code)));
    }
    QList<Entry> entries(const QString& code) const
    {
        return preserved().personalizeServer().value_or(Entry::Dictionary{}).value(code);
    }
};

TEST_F(PersonalizeServerModelTest, NewestVerdictGoesLastAndReplacesAnOlderOne)
{
    preserved().setEnablePersonaliseServer(true);
    lastConnectionTo(QStringLiteral("FR"));
    struct Step {
        QString identifier;
        bool liked;
        QList<Entry> after;
    };
    const QList<Step> steps{
        {"A", true, {{"A", true}}},
        {"B", false, {{"A", true}, {"B", false}}},
        {"C", true, {{"A", true}, {"B", false}, {"C", true}}},
        {"B", true, {{"A", true}, {"C", true}, {"B", true}}},
        {"A", false, {{"C", true}, {"B", true}, {"A", false}}},
        {"", true, {{"C", true}, {"B", true}, {"A", false}}},  // an empty identifier stores nothing
    };
    for (const Step& step : steps) {
        model().personalize(step.identifier, step.liked);
        EXPECT_EQ(entries(QStringLiteral("FR")), step.after);
    }

    // Another location keeps its own list for the same server.
    lastConnectionTo(QStringLiteral("DE"));
    model().personalize(QStringLiteral("A"), true);
    EXPECT_EQ(entries(QStringLiteral("DE")), (QList<Entry>{{"A", true}}));
    EXPECT_EQ(entries(QStringLiteral("FR")).size(), 3);
}

TEST_F(PersonalizeServerModelTest, NothingIsStoredWhileOffOrWithoutALastConnection)
{
    model().personalize(QStringLiteral("A"), true);  // no last connection
    preserved().setEnablePersonaliseServer(false);
    lastConnectionTo(QStringLiteral("FR"));
    model().personalize(QStringLiteral("A"), true);  // switched off
    EXPECT_FALSE(preserved().personalizeServer());
}

TEST_F(PersonalizeServerModelTest, TheQueryAnswersFromTheOldestVerdictWhateverTheSwitch)
{
    EXPECT_FALSE(model().isFilteredServerRequested());  // no last connection
    lastConnectionTo(QStringLiteral("FR"));
    EXPECT_FALSE(model().isFilteredServerRequested());  // no records
    Entry::Dictionary records;
    records.insert(QStringLiteral("FR"), {{"A", true}, {"B", false}});
    records.insert(QStringLiteral("DE"), {{"C", false}});
    records.insert(QStringLiteral("IT"), {});
    preserved().setPersonalizeServer(records);
    preserved().setEnablePersonaliseServer(false);
    EXPECT_TRUE(model().isFilteredServerRequested());
    lastConnectionTo(QStringLiteral("DE"));
    EXPECT_FALSE(model().isFilteredServerRequested());
    lastConnectionTo(QStringLiteral("IT"));
    EXPECT_FALSE(model().isFilteredServerRequested());
}

}

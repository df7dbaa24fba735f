#include "suggest/query_history.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace linesift {
namespace {

using Texts = std::vector<std::u16string>;

std::u16string Numbered(int i) {
    std::u16string text = u"q000";
    text[1] = static_cast<char16_t>(u'0' + i / 100);
    text[2] = static_cast<char16_t>(u'0' + i / 10 % 10);
    text[3] = static_cast<char16_t>(u'0' + i % 10);
    return text;
}

struct SuggestRow {
    const char* name;
    Texts recent;
    Texts all;
    std::u16string text;
    Texts expected;
};

TEST(QueryHistorySuggestTest, Rows) {
    const std::vector<SuggestRow> rows = {
        {"longer entries with the exact beginning, not equal ones nor other case",
         {},
         {u"Abd", u"ab", u"abc", u"abx"},
         u"ab",
         {u"abc", u"abx"}},
        {"empty text offers the recent queries newest first",
         {u"new", u"older", u"oldest"},
         {u"new", u"older", u"oldest"},
         u"",
         {u"new", u"older", u"oldest"}},
        {"at most five, in sorted order",
         {},
         {u"a1", u"a2", u"a3", u"a4", u"a5", u"a6", u"a7"},
         u"a",
         {u"a1", u"a2", u"a3", u"a4", u"a5"}},
        {"entries before the first character are skipped",
         {},
         {u"A", u"Zed", u"_x", u"xa", u"xb", u"y"},
         u"x",
         {u"xa", u"xb"}},
        {"a prefix that only starts the same is not a match",
         {},
         {u"err", u"error", u"erx"},
         u"erro",
         {u"error"}},
        {"nothing when no entry begins with the text", {u"abc"}, {u"abc"}, u"b", {}},
        {"surrogate pairs sort by code unit, before the BMP's last characters",
         {},
         {u"\uff21", u"\U0001F600a", u"\U0001F600ab"},
         u"\U0001F600a",
         {u"\U0001F600ab"}},
    };
    for (const SuggestRow& row : rows) {
        QueryHistory history;
        history.Assign(row.recent, row.all);
        EXPECT_EQ(history.Suggest(row.text), row.expected) << row.name;
    }
}

TEST(QueryHistoryRecordTest, CommittingTwiceKeepsOneEntryAndMovesItToTheFront) {
    QueryHistory history;
    history.Record(u"b");
    history.Record(u"a");
    history.Record(u"b");
    EXPECT_EQ(history.Recent(), (Texts{u"b", u"a"}));
    EXPECT_EQ(history.All(), (Texts{u"a", u"b"}));
}

TEST(QueryHistoryRecordTest, RecentKeepsTheFiveNewest) {
    QueryHistory history;
    for (const char16_t* text : {u"1", u"2", u"3", u"4", u"5", u"6"}) {
        history.Record(text);
    }
    EXPECT_EQ(history.Recent(), (Texts{u"6", u"5", u"4", u"3", u"2"}));
    EXPECT_EQ(history.All().size(), 6u);
}

TEST(QueryHistoryRecordTest, AFullListDropsItsGreatestEntryEvenWhenThatIsTheNewOne) {
    QueryHistory history;
    for (int i = 1; i <= 100; ++i) {
        history.Record(Numbered(i));
    }
    ASSERT_EQ(history.All().size(), 100u);
    history.Record(u"z after all");
    EXPECT_EQ(history.All().size(), 100u);
    EXPECT_EQ(history.All().back(), Numbered(100));
    EXPECT_EQ(history.Recent().front(), u"z after all");

    history.Record(u"a before all");
    EXPECT_EQ(history.All().front(), u"a before all");
    EXPECT_EQ(history.All().back(), Numbered(99));
}

TEST(QueryHistoryRecordTest, EmptyTextIsNotRecorded) {
    QueryHistory history;
    history.Record(u"");
    EXPECT_FALSE(history.HasHistory());
    EXPECT_TRUE(history.All().empty());
}

// A hand-edited settings file may hold lists out of order, with repeats or too
// long; suggestions stop early in an unsorted list, so the lists are repaired.
TEST(QueryHistoryAssignTest, RepairsListsFromAHandEditedFile) {
    Texts all = {u"b", u"", u"a", u"b", u"ab"};
    for (int i = 0; i < 120; ++i) {
        all.push_back(u"z" + Numbered(i));
    }
    QueryHistory history;
    history.Assign({u"x", u"", u"y", u"x", u"1", u"2", u"3", u"4"}, all);
    EXPECT_EQ(history.Recent(), (Texts{u"x", u"y", u"1", u"2", u"3"}));
    ASSERT_EQ(history.All().size(), 100u);
    EXPECT_EQ((Texts{history.All().begin(), history.All().begin() + 4}),
              (Texts{u"a", u"ab", u"b", u"zq000"}));
    EXPECT_EQ(history.All().back(), u"z" + Numbered(96));
    EXPECT_EQ(history.Suggest(u"a"), (Texts{u"ab"}));
}

}  // namespace
}  // namespace linesift

// The process column table: a column added as one row must take part in everything the table
// drives, so every optional column is read and written exactly once, and captions and identifiers
// (the names values are stored under) never collide.
#include "process/ProcessColumns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace taskwell {
namespace {

TEST(ProcessColumnTable, EveryOptionalColumnIsInEachFlagOrderOnceAndPIDInNone) {
    for (auto order : {FlagLoadOrder(), FlagSaveOrder()}) {
        const std::set<TProcessColumn> flags(order.begin(), order.end());
        EXPECT_EQ(flags.size(), order.size());
        for (const TProcessColumnRow& row : ProcessColumnTable())
            EXPECT_EQ(flags.count(row.column), row.column == TProcessColumn::pdProcessID ? 0u : 1u) << row.caption;
    }
}

TEST(ProcessColumnTable, RowsAreInColumnOrderWithDistinctStoredNames) {
    std::set<std::string> names;
    int index = 0;
    for (const TProcessColumnRow& row : ProcessColumnTable()) {
        EXPECT_EQ(ColumnIndex(row.column), index++) << row.caption;
        EXPECT_EQ(ColumnOfCaption(row.caption), ColumnIndex(row.column)) << row.caption;
        EXPECT_TRUE(names.insert(row.caption).second) << row.caption;
        const bool optional = row.column != TProcessColumn::pdProcessID;
        EXPECT_EQ(*row.identifier != '\0', optional) << row.caption;
        EXPECT_EQ(*row.boxCaption != '\0', optional) << row.caption;
        if (optional) {
            EXPECT_TRUE(names.insert(row.identifier).second) << row.identifier;
        }
    }
    EXPECT_EQ(index, kProcessColumnCount);
    EXPECT_EQ(ColumnOfCaption("No such column"), -1);
}

}  // namespace
}  // namespace taskwell

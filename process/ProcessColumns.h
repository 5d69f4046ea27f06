// The columns of the process list: the always-shown "PID" column and nine optional ones, each
// described by one row of ProcessColumnTable. The list, its sort, the column chooser and the
// settings all read that table, so a new column is one new row (and one new TProcessColumn).
//
// An optional column's identifier is also the name of its stored on/off flag, and its caption the
// name under which its width is stored.
#pragma once

#include <cstddef>
#include <set>
#include <span>
#include <string>

#include "platform/Types.h"

namespace taskwell {

class TProcess;

enum class TProcessColumn {
    pdProcessID,
    pdImageName,
    pdCntUsage,
    pdDefHeapID,
    pdModuleID,
    pdCntThreads,
    pdParentID,
    pdPriority,
    pdBinTyp,
    pddwFlags,
};

constexpr int kProcessColumnCount = 10;

using TProcessColumns = std::set<TProcessColumn>;

// One column of the process list.
struct TProcessColumnRow {
    TProcessColumn column;
    // The header text; the column's width is stored under it.
    const char* caption;
    // The name of the stored on/off flag; "" for "PID", which is always shown.
    const char* identifier;
    // The caption of the column's box in the column chooser; "" for "PID", which has none.
    const char* boxCaption;
    int defaultWidth;
    bool shownByDefault;
    // The places of the column's flag among the flags read at start-up and written at shutdown.
    int loadRank;
    int saveRank;
    // The text of the column's cell for a record ("PID": the row's caption).
    std::string (*cell)(const TProcess&);
    // The column's sort key as a signed number; null for a column ordered by its text.
    DWORD (*number)(const TProcess&);
};

// Every column in the order of the list's columns (and of the TProcessColumn values).
std::span<const TProcessColumnRow> ProcessColumnTable();
const TProcessColumnRow& ColumnRow(TProcessColumn column);

inline constexpr int ColumnIndex(TProcessColumn c) {
    return static_cast<int>(c);
}

inline const char* ColumnCaption(TProcessColumn c) {
    return ColumnRow(c).caption;
}

inline const char* ColumnIdentifier(TProcessColumn c) {
    return ColumnRow(c).identifier;
}

// The column with that header caption, or -1 when none has it.
int ColumnOfCaption(const std::string& caption);

// The optional columns in the order their flags are read at start-up, and written at shutdown.
std::span<const TProcessColumn> FlagLoadOrder();
std::span<const TProcessColumn> FlagSaveOrder();

// The columns shown when nothing else is stored.
TProcessColumns DefaultProcessColumns();

}  // namespace taskwell

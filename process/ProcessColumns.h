// The columns of the process list: the always-shown "PID" column and nine optional ones. Each
// optional column's identifier is also the name of its stored on/off flag, and each caption is the
// name under which the column's width is stored.
#pragma once

#include <array>
#include <cstddef>
#include <set>

namespace taskwell {

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

// Column header texts, by column index.
inline constexpr std::array<const char*, kProcessColumnCount> ColumnCaptions = {
    "PID", "Image Name", "Usage", "DefHeapID", "ModuleID", "Threads", "ParentID", "Priority", "Type", "Flags"};

// Stored identifiers, by column index; "PID" is always shown and has none.
inline constexpr std::array<const char*, kProcessColumnCount> ColumnIdentifiers = {
    "", "pdImageName", "pdCntUsage", "pdDefHeapID", "pdModuleID", "pdCntThreads", "pdParentID", "pdPriority",
    "pdBinTyp", "pddwFlags"};

inline constexpr int ColumnIndex(TProcessColumn c) {
    return static_cast<int>(c);
}

inline const char* ColumnCaption(TProcessColumn c) {
    return ColumnCaptions[static_cast<std::size_t>(c)];
}

inline const char* ColumnIdentifier(TProcessColumn c) {
    return ColumnIdentifiers[static_cast<std::size_t>(c)];
}

// The columns shown when nothing else is stored: PID, Image Name, Threads, Priority and Type.
inline TProcessColumns DefaultProcessColumns() {
    return {TProcessColumn::pdProcessID, TProcessColumn::pdImageName, TProcessColumn::pdCntThreads,
            TProcessColumn::pdPriority, TProcessColumn::pdBinTyp};
}

}  // namespace taskwell

#include "process/ProcessColumns.h"

#include <algorithm>
#include <array>

#include "app/DisplayFormats.h"
#include "app/PathUtils.h"
#include "process/TProcess.h"

namespace taskwell {

namespace {

using C = TProcessColumn;
constexpr int kWidth = 50;

// A column ordered by its text has no number.
constexpr DWORD (*kByText)(const TProcess&) = nullptr;

const TProcessColumnRow kColumns[] = {
    {C::pdProcessID, "PID", "", "", kWidth, true, -1, -1,
     [](const TProcess& p) { return HexText(p.ProcessID); }, kByText},
    {C::pdImageName, "Image Name", "pdImageName", "Name", kWidth, true, 0, 0,
     [](const TProcess& p) { return ImageName(p.ExePath); }, kByText},
    {C::pdCntUsage, "Usage", "pdCntUsage", "Usage Count", kWidth, false, 8, 1,
     [](const TProcess& p) { return SignedText(p.CntUsage); }, [](const TProcess& p) { return p.CntUsage; }},
    {C::pdDefHeapID, "DefHeapID", "pdDefHeapID", "Def Heap ID", kWidth, false, 4, 2,
     [](const TProcess& p) { return HexText(p.DefHeapID); }, [](const TProcess& p) { return p.DefHeapID; }},
    {C::pdModuleID, "ModuleID", "pdModuleID", "Module ID", kWidth, false, 5, 3,
     [](const TProcess& p) { return HexText(p.ModuleID); }, [](const TProcess& p) { return p.ModuleID; }},
    {C::pdCntThreads, "Threads", "pdCntThreads", "Threads count", kWidth, true, 1, 4,
     [](const TProcess& p) { return SignedText(p.CntThreads); }, [](const TProcess& p) { return p.CntThreads; }},
    {C::pdParentID, "ParentID", "pdParentID", "Parent ID", kWidth, false, 6, 5,
     [](const TProcess& p) { return HexText(p.ParentID); }, [](const TProcess& p) { return p.ParentID; }},
    {C::pdPriority, "Priority", "pdPriority", "Priority", kWidth, true, 2, 6,
     [](const TProcess& p) { return p.Priority; }, kByText},
    {C::pdBinTyp, "Type", "pdBinTyp", "Type", kWidth, true, 3, 8,
     [](const TProcess& p) { return p.BinTyp; }, kByText},
    {C::pddwFlags, "Flags", "pddwFlags", "Flags", kWidth, false, 7, 7,
     [](const TProcess& p) { return HexText(p.Flags); }, [](const TProcess& p) { return p.Flags; }},
};
static_assert(std::size(kColumns) == kProcessColumnCount);

// The optional columns ordered by one of their ranks.
template <int TProcessColumnRow::*rank>
std::array<TProcessColumn, kProcessColumnCount - 1> FlagOrder() {
    std::array<TProcessColumn, kProcessColumnCount - 1> order{};
    for (const TProcessColumnRow& row : kColumns)
        if (row.*rank >= 0) order[static_cast<std::size_t>(row.*rank)] = row.column;
    return order;
}

}  // namespace

std::span<const TProcessColumnRow> ProcessColumnTable() {
    return kColumns;
}

const TProcessColumnRow& ColumnRow(TProcessColumn column) {
    return kColumns[static_cast<std::size_t>(column)];
}

int ColumnOfCaption(const std::string& caption) {
    for (const TProcessColumnRow& row : kColumns)
        if (caption == row.caption) return ColumnIndex(row.column);
    return -1;
}

std::span<const TProcessColumn> FlagLoadOrder() {
    static const auto order = FlagOrder<&TProcessColumnRow::loadRank>();
    return order;
}

std::span<const TProcessColumn> FlagSaveOrder() {
    static const auto order = FlagOrder<&TProcessColumnRow::saveRank>();
    return order;
}

TProcessColumns DefaultProcessColumns() {
    TProcessColumns shown;
    for (const TProcessColumnRow& row : kColumns)
        if (row.shownByDefault) shown.insert(row.column);
    return shown;
}

}  // namespace taskwell

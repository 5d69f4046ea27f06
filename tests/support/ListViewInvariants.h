// Checks that hold for every list view after any scenario step: each row's image index is -1 or a
// valid index of the image lists it draws from, and each row bound to a process record (by process
// id in its data word) reaches a live record whose image index it shows.
#pragma once

#include <gtest/gtest.h>

#include "process/ProcessList.h"
#include "ui/TImageList.h"
#include "ui/TListView.h"

namespace taskwell::testing {

inline ::testing::AssertionResult ImageIndicesValid(const TListView& view) {
    for (int i = 0; i < view.ItemCount(); ++i) {
        int image = view.Item(i).ImageIndex();
        for (const TImageList* list : {view.SmallImages(), view.LargeImages()}) {
            if (image < -1 || (list && image >= list->Count()))
                return ::testing::AssertionFailure()
                       << "row " << i << " shows image " << image << " of " << (list ? list->Count() : 0);
        }
    }
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult RowsBoundToRecords(const TListView& view, const ProcessList& records) {
    for (int i = 0; i < view.ItemCount(); ++i) {
        const TListItem& row = view.Item(i);
        const TProcess* record = records.Find(static_cast<DWORD>(row.Data));
        if (!record) return ::testing::AssertionFailure() << "row " << i << " is bound to no live record";
        if (record->ImageIndex != row.ImageIndex())
            return ::testing::AssertionFailure()
                   << "row " << i << " shows image " << row.ImageIndex() << ", its record has " << record->ImageIndex;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace taskwell::testing

// A list view as the system's list view control.
//
// The peer remembers what it last gave the control for every row (caption, sub-item texts, image),
// so a change sends only the texts that really differ: the refresh tick rewrites whole rows and
// most of them stay the same, and a sort moves texts between rows that stay where they are.
//
// The scroll position belongs to the user: the program's changes (texts, sorting, selection)
// leave it alone, and where the user scrolls to is reported to the widget. Only the widget's own
// SetTopIndex scrolls.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Win32ControlPeer.h"
#include "ui/TListView.h"

namespace taskwell::win32 {

class Win32ListViewPeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32ListViewPeer> Create(Win32UiBackend& backend, TListView& list);
    Win32ListViewPeer(Win32UiBackend& backend, TListView& list);

    bool OnNotify(const NMHDR& header, ::LRESULT& result) override;
    void ImageListChanged(::HIMAGELIST list) override;
    void ImageListGone(::HIMAGELIST list) override;
    void Recheck() override;

protected:
    void Apply(Change what, int index) override;
    ::LRESULT WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) override;
    void ApplyFont() override;
    ::POINT KeyboardPopupPoint() override;
    void BeforeContextPopup() override;

private:
    // A row as the control has it. subItems holds one text per column after the first.
    struct Row {
        std::string caption;
        std::vector<std::string> subItems;
        int image = 0;
    };

    bool Open();
    void ApplyStyle();
    void ApplyImages();
    void ApplyColumns();
    void ApplyColumnWidth(int index);
    void SyncAll();
    void SyncRow(int index);
    bool InsertRow(int index);
    void DeleteRow(int index);
    void DeleteAll();
    void SetSubItems(int index, Row& row, const TListItem& item);
    // True when the control's row shows the item's texts and image.
    bool Shows(int index, const TListItem& item) const;
    void ApplySelection();
    void ReportSelection();
    void ReportColumnWidths();
    // Scrolls so that the widget's top row is the first one shown.
    void ApplyTopIndex();
    // Scrolls so that the row is the first one shown (report and list views; the icon views
    // have no first row).
    void ScrollToRow(int row);
    // Tells the widget the first row shown, when it differs from what the widget has.
    void ReportTopIndex();

    std::vector<Row> rows_;
    std::vector<TListColumn> columns_;
    ::HIMAGELIST large_ = nullptr;
    ::HIMAGELIST small_ = nullptr;
    // The widget suspended drawing for a batch of its own (BeginUpdate).
    bool suspended_ = false;
    // Up to this many changed rows are drawn as they change; more are drawn once at the end.
    static constexpr int kQuietBatch = 16;
};

}  // namespace taskwell::win32

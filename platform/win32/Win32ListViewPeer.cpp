#include "platform/win32/Win32ListViewPeer.h"

#include <algorithm>

#include "platform/win32/Win32ImageListPeer.h"
#include "platform/win32/Win32UiBackend.h"

namespace taskwell::win32 {

namespace {

DWORD StyleOf(TViewStyle style) {
    switch (style) {
    case TViewStyle::vsReport:
        return LVS_REPORT;
    case TViewStyle::vsSmallIcon:
        return LVS_SMALLICON;
    case TViewStyle::vsList:
        return LVS_LIST;
    default:
        return LVS_ICON;
    }
}

// The widget's "no image" is -1; for the control -1 would ask the parent for the image, so rows
// without one get the control's own "none".
int NativeImage(int image) {
    return image < 0 ? I_IMAGENONE : image;
}

}  // namespace

std::unique_ptr<Win32ListViewPeer> Win32ListViewPeer::Create(Win32UiBackend& backend, TListView& list) {
    auto peer = std::make_unique<Win32ListViewPeer>(backend, list);
    if (!peer->Open()) return nullptr;
    return peer;
}

Win32ListViewPeer::Win32ListViewPeer(Win32UiBackend& backend, TListView& list) : Win32ControlPeer(backend, list) {}

bool Win32ListViewPeer::Open() {
    TListView* list = As<TListView>();
    // The image lists belong to the widgets: the control must not destroy them. The selection shows
    // while the list has not the focus too.
    DWORD style = WS_TABSTOP | LVS_SHAREIMAGELISTS | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE |
                  StyleOf(list->ViewStyle());
    if (!CreateChild(WC_LISTVIEWA, style, WS_EX_CLIENTEDGE)) return false;
    FlagScope applying(applying_);
    ApplyStyle();
    ApplyFont();
    ApplyImages();
    ApplyColumns();
    SyncAll();
    if (list->TopIndex() > 0) ApplyTopIndex();
    return true;
}

void Win32ListViewPeer::ApplyStyle() {
    TListView* list = As<TListView>();
    if (!list) return;
    LONG_PTR style = ::GetWindowLongPtrA(Handle(), GWL_STYLE);
    LONG_PTR wanted = (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | static_cast<LONG_PTR>(StyleOf(list->ViewStyle()));
    if (wanted != style) ::SetWindowLongPtrA(Handle(), GWL_STYLE, wanted);
    // Report view: a click anywhere in the row selects it, and the whole row shows selected.
    ::SendMessageA(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                   list->RowSelect() ? LVS_EX_FULLROWSELECT : 0);
}

void Win32ListViewPeer::ApplyFont() {
    Win32ControlPeer::ApplyFont();
    TListView* list = As<TListView>();
    if (!list) return;
    ::SendMessageA(Handle(), LVM_SETTEXTCOLOR, 0, static_cast<::LPARAM>(list->Font().Color & 0xFFFFFF));
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

void Win32ListViewPeer::ApplyTopIndex() {
    TListView* list = As<TListView>();
    if (!list) return;
    ScrollToRow(list->TopIndex());
    // Near the end the control shows a full page and stops earlier: the widget learns where.
    ReportTopIndex();
}

void Win32ListViewPeer::ReportTopIndex() {
    TListView* list = As<TListView>();
    if (!list || !Handle()) return;
    int top = static_cast<int>(::SendMessageA(Handle(), LVM_GETTOPINDEX, 0, 0));
    if (top != list->TopIndex()) list->PeerTopIndex(top);
}

void Win32ListViewPeer::ApplyImages() {
    TListView* list = As<TListView>();
    if (!list) return;
    large_ = Win32ImageListPeer::HandleOf(list->LargeImages());
    small_ = Win32ImageListPeer::HandleOf(list->SmallImages());
    ::SendMessageA(Handle(), LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<::LPARAM>(large_));
    ::SendMessageA(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<::LPARAM>(small_));
}

void Win32ListViewPeer::ApplyColumns() {
    TListView* list = As<TListView>();
    if (!list) return;
    int wanted = list->ColumnCount();
    // Columns past the widget's go, from the last.
    for (int j = static_cast<int>(columns_.size()) - 1; j >= wanted; --j) {
        if (!::SendMessageA(Handle(), LVM_DELETECOLUMN, static_cast<::WPARAM>(j), 0)) break;
        columns_.pop_back();
    }
    for (int j = 0; j < wanted; ++j) {
        const TListColumn& col = list->Column(j);
        std::string caption = col.Caption;
        LVCOLUMNA lvc{};
        lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        lvc.pszText = caption.data();
        lvc.cx = col.Width;
        lvc.iSubItem = j;
        if (j < static_cast<int>(columns_.size())) {
            if (columns_[static_cast<size_t>(j)].Caption == col.Caption && columns_[static_cast<size_t>(j)].Width == col.Width)
                continue;
            if (::SendMessageA(Handle(), LVM_SETCOLUMNA, static_cast<::WPARAM>(j), reinterpret_cast<::LPARAM>(&lvc)))
                columns_[static_cast<size_t>(j)] = col;
        } else {
            if (::SendMessageA(Handle(), LVM_INSERTCOLUMNA, static_cast<::WPARAM>(j), reinterpret_cast<::LPARAM>(&lvc)) < 0)
                break;
            columns_.push_back(col);
        }
    }
    // Rows hold one sub-item text per column after the first; new columns start empty.
    size_t subs = columns_.empty() ? 0 : columns_.size() - 1;
    for (auto& row : rows_) row.subItems.resize(subs);
    SyncAll();
}

void Win32ListViewPeer::ApplyColumnWidth(int index) {
    TListView* list = As<TListView>();
    if (!list) return;
    if (index < 0 || index >= list->ColumnCount() || index >= static_cast<int>(columns_.size())) {
        ApplyColumns();
        return;
    }
    int width = list->Column(index).Width;
    if (::SendMessageA(Handle(), LVM_SETCOLUMNWIDTH, static_cast<::WPARAM>(index), MAKELPARAM(width, 0)))
        columns_[static_cast<size_t>(index)].Width = width;
}

void Win32ListViewPeer::SetSubItems(int index, Row& row, const TListItem& item) {
    const auto& subs = item.SubItems();
    for (size_t j = 0; j < row.subItems.size(); ++j) {
        const std::string& text = j < subs.size() ? subs[j] : std::string();
        if (row.subItems[j] == text) continue;
        std::string copy = text;
        LVITEMA lvi{};
        lvi.iSubItem = static_cast<int>(j + 1);
        lvi.pszText = copy.data();
        if (::SendMessageA(Handle(), LVM_SETITEMTEXTA, static_cast<::WPARAM>(index), reinterpret_cast<::LPARAM>(&lvi)))
            row.subItems[j] = text;
    }
}

namespace {
// The control's item for a row: its caption and picture. caption holds the text the item points to.
LVITEMA MainItem(int index, const TListItem& item, std::string& caption) {
    caption = item.Caption();
    LVITEMA lvi{};
    lvi.mask = LVIF_TEXT | LVIF_IMAGE;
    lvi.iItem = index;
    lvi.pszText = caption.data();
    lvi.iImage = NativeImage(item.ImageIndex());
    return lvi;
}
}  // namespace

bool Win32ListViewPeer::InsertRow(int index) {
    TListView* list = As<TListView>();
    if (!list || index < 0 || index > static_cast<int>(rows_.size()) || index >= list->ItemCount()) return false;
    const TListItem& item = list->Item(index);
    std::string caption;
    LVITEMA lvi = MainItem(index, item, caption);
    if (::SendMessageA(Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<::LPARAM>(&lvi)) != index) {
        // Not where it belongs (or not at all): start again from what the control really has.
        DeleteAll();
        return false;
    }
    Row row;
    row.caption = item.Caption();
    row.image = item.ImageIndex();
    row.subItems.resize(columns_.empty() ? 0 : columns_.size() - 1);
    auto at = rows_.insert(rows_.begin() + index, std::move(row));
    SetSubItems(index, *at, item);
    return true;
}

void Win32ListViewPeer::SyncRow(int index) {
    TListView* list = As<TListView>();
    if (!list || index < 0 || index >= static_cast<int>(rows_.size()) || index >= list->ItemCount()) return;
    const TListItem& item = list->Item(index);
    Row& row = rows_[static_cast<size_t>(index)];
    if (row.caption != item.Caption() || row.image != item.ImageIndex()) {
        std::string caption;
        LVITEMA lvi = MainItem(index, item, caption);
        if (::SendMessageA(Handle(), LVM_SETITEMA, 0, reinterpret_cast<::LPARAM>(&lvi))) {
            row.caption = item.Caption();
            row.image = item.ImageIndex();
        }
    }
    SetSubItems(index, row, item);
}

void Win32ListViewPeer::DeleteRow(int index) {
    if (index < 0 || index >= static_cast<int>(rows_.size())) return;
    if (::SendMessageA(Handle(), LVM_DELETEITEM, static_cast<::WPARAM>(index), 0))
        rows_.erase(rows_.begin() + index);
    else
        DeleteAll();
}

void Win32ListViewPeer::DeleteAll() {
    ::SendMessageA(Handle(), LVM_DELETEALLITEMS, 0, 0);
    rows_.clear();
}

void Win32ListViewPeer::SyncAll() {
    TListView* list = As<TListView>();
    if (!list) return;
    int count = list->ItemCount();
    while (static_cast<int>(rows_.size()) > count) DeleteRow(static_cast<int>(rows_.size()) - 1);
    int common = std::min(count, static_cast<int>(rows_.size()));
    // Many rows changing at once (a sort) are drawn once, afterwards, unless the widget has
    // suspended drawing itself.
    int differing = 0;
    for (int i = 0; i < common && differing <= kQuietBatch; ++i)
        if (!Shows(i, list->Item(i))) ++differing;
    const bool quiet = differing > kQuietBatch && !suspended_;
    if (quiet) ::SendMessageA(Handle(), WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < common; ++i) SyncRow(i);
    if (quiet) {
        ::SendMessageA(Handle(), WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(Handle(), nullptr, FALSE);
    }
    for (int i = static_cast<int>(rows_.size()); i < count; ++i)
        if (!InsertRow(i)) break;
    ApplySelection();
}

bool Win32ListViewPeer::Shows(int index, const TListItem& item) const {
    const Row& row = rows_[static_cast<size_t>(index)];
    if (row.caption != item.Caption() || row.image != item.ImageIndex()) return false;
    const auto& subs = item.SubItems();
    for (size_t j = 0; j < row.subItems.size(); ++j)
        if (row.subItems[j] != (j < subs.size() ? subs[j] : std::string())) return false;
    return true;
}

void Win32ListViewPeer::ApplySelection() {
    TListView* list = As<TListView>();
    if (!list) return;
    int wanted = list->SelectedIndex();
    if (wanted >= static_cast<int>(rows_.size())) wanted = -1;
    int current = static_cast<int>(::SendMessageA(Handle(), LVM_GETNEXTITEM, static_cast<::WPARAM>(-1), LVNI_SELECTED));
    if (wanted == current) return;
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED;
    if (wanted < 0) {
        ::SendMessageA(Handle(), LVM_SETITEMSTATE, static_cast<::WPARAM>(-1), reinterpret_cast<::LPARAM>(&state));
        return;
    }
    // The keyboard goes on from the selected row, so it takes the focus too. Some list view
    // controls bring a newly focused row into view: the program's selection must not scroll.
    const int top = static_cast<int>(::SendMessageA(Handle(), LVM_GETTOPINDEX, 0, 0));
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageA(Handle(), LVM_SETITEMSTATE, static_cast<::WPARAM>(wanted), reinterpret_cast<::LPARAM>(&state));
    ScrollToRow(top);
}

void Win32ListViewPeer::ScrollToRow(int wanted) {
    TListView* list = As<TListView>();
    if (!list || rows_.empty()) return;
    wanted = std::clamp(wanted, 0, static_cast<int>(rows_.size()) - 1);
    int top = static_cast<int>(::SendMessageA(Handle(), LVM_GETTOPINDEX, 0, 0));
    if (wanted == top) return;
    if (list->ViewStyle() == TViewStyle::vsReport) {
        // Report view scrolls by whole rows, given in pixels.
        RECT row{};
        row.left = LVIR_BOUNDS;
        if (::SendMessageA(Handle(), LVM_GETITEMRECT, 0, reinterpret_cast<::LPARAM>(&row)) && row.bottom > row.top)
            ::SendMessageA(Handle(), LVM_SCROLL, 0, static_cast<::LPARAM>((wanted - top) * (row.bottom - row.top)));
    } else if (list->ViewStyle() == TViewStyle::vsList) {
        // The row is brought in from beyond it, so it ends up first.
        int perPage = static_cast<int>(::SendMessageA(Handle(), LVM_GETCOUNTPERPAGE, 0, 0));
        int beyond = std::min(wanted + std::max(perPage, 1) - 1, static_cast<int>(rows_.size()) - 1);
        ::SendMessageA(Handle(), LVM_ENSUREVISIBLE, static_cast<::WPARAM>(beyond), FALSE);
        ::SendMessageA(Handle(), LVM_ENSUREVISIBLE, static_cast<::WPARAM>(wanted), FALSE);
    }
}

void Win32ListViewPeer::Apply(Change what, int index) {
    switch (what) {
    case Change::Items: {
        int known = static_cast<int>(rows_.size());
        if (index >= 0 && index < known)
            SyncRow(index);
        else if (index >= 0 && index == known)
            InsertRow(index);
        else {
            SyncAll();
            ReportTopIndex();
        }
        break;
    }
    case Change::ItemInserted:
        // The control moves the rows below down itself; only the new one is sent.
        if (TListView* list = As<TListView>(); !list || list->ItemCount() != static_cast<int>(rows_.size()) + 1 ||
                                               !InsertRow(index))
            SyncAll();
        ApplySelection();
        break;
    case Change::ItemDeleted:
        if (index < 0)
            DeleteAll();
        else
            DeleteRow(index);
        if (TListView* list = As<TListView>(); list && list->ItemCount() != static_cast<int>(rows_.size())) SyncAll();
        // Fewer rows may leave the control showing fewer below its top: it scrolls back itself.
        ReportTopIndex();
        break;
    case Change::TopIndex:
        ApplyTopIndex();
        break;
    case Change::EnsureVisible:
        if (index >= 0 && index < static_cast<int>(rows_.size())) {
            ::SendMessageA(Handle(), LVM_ENSUREVISIBLE, static_cast<::WPARAM>(index), FALSE);
            ReportTopIndex();
        }
        break;
    case Change::Columns:
        if (index < 0)
            ApplyColumns();
        else
            ApplyColumnWidth(index);
        break;
    case Change::ViewStyle:
        ApplyStyle();
        break;
    case Change::Images:
        ApplyImages();
        break;
    case Change::Redraw:
        suspended_ = index == 0;
        ::SendMessageA(Handle(), WM_SETREDRAW, index == 0 ? FALSE : TRUE, 0);
        if (index != 0) ::InvalidateRect(Handle(), nullptr, TRUE);
        break;
    default:
        Win32ControlPeer::Apply(what, index);
        break;
    }
}

void Win32ListViewPeer::ReportSelection() {
    TListView* list = As<TListView>();
    if (!list || !Handle()) return;
    int index = static_cast<int>(::SendMessageA(Handle(), LVM_GETNEXTITEM, static_cast<::WPARAM>(-1), LVNI_SELECTED));
    list->PeerSelected(index);
}

void Win32ListViewPeer::Recheck() {
    if (!applying_) ReportSelection();
}

bool Win32ListViewPeer::OnNotify(const NMHDR& header, ::LRESULT& result) {
    if (header.hwndFrom != Handle()) return false;
    switch (header.code) {
    case LVN_COLUMNCLICK: {
        result = 0;
        if (TListView* list = As<TListView>(); list && !applying_)
            list->PeerColumnClick(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        return true;
    }
    case NM_CLICK:
    case NM_DBLCLK: {
        result = 0;
        if (applying_) return true;
        // The click's selection first, so the handler sees the row the user clicked.
        ::HWND self = Handle();
        ReportSelection();
        if (!StillAttached(self, this)) return true;
        if (TListView* list = As<TListView>()) {
            if (header.code == NM_CLICK)
                list->PeerClick();
            else
                list->PeerDblClick();
        }
        return true;
    }
    case LVN_ITEMCHANGED:
        break;
    default:
        return false;
    }
    result = 0;
    if (applying_) return true;
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if (!(change.uChanged & LVIF_STATE) || !((change.uNewState ^ change.uOldState) & LVIS_SELECTED)) return true;
    if (change.uNewState & LVIS_SELECTED) {
        ReportSelection();
    } else {
        // A click on another row first deselects the old one: whether anything stays selected is
        // known only after the message that selects the new row.
        Backend().PostRecheck(Handle());
    }
    return true;
}

::POINT Win32ListViewPeer::KeyboardPopupPoint() {
    // Below the selected row's caption when the row is in view, else the control's corner.
    int selected = static_cast<int>(::SendMessageA(Handle(), LVM_GETNEXTITEM, static_cast<::WPARAM>(-1), LVNI_SELECTED));
    RECT row{};
    row.left = LVIR_LABEL;
    if (selected >= 0 &&
        ::SendMessageA(Handle(), LVM_GETITEMRECT, static_cast<::WPARAM>(selected), reinterpret_cast<::LPARAM>(&row))) {
        RECT view{};
        ::GetClientRect(Handle(), &view);
        ::HWND header = reinterpret_cast<::HWND>(::SendMessageA(Handle(), LVM_GETHEADER, 0, 0));
        RECT columns{};
        if (header && ::IsWindowVisible(header) && ::GetWindowRect(header, &columns))
            view.top += columns.bottom - columns.top;
        if (row.top >= view.top && row.bottom <= view.bottom && row.left < view.right) {
            ::POINT at{std::max(row.left, view.left), row.bottom};
            ::ClientToScreen(Handle(), &at);
            return at;
        }
    }
    return Win32ControlPeer::KeyboardPopupPoint();
}

void Win32ListViewPeer::BeforeContextPopup() {
    // A right click selects the row under it: the menu's handlers work on that row.
    if (!applying_) ReportSelection();
}

::LRESULT Win32ListViewPeer::WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    switch (msg) {
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_MOUSEWHEEL:
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_SIZE: {
        // The user scrolls (or the control scrolls a row the user went to into view): the widget
        // learns the new first row once the control has moved.
        ::HWND self = Handle();
        ::LRESULT result = Win32ControlPeer::WndProc(msg, wParam, lParam);
        if (StillAttached(self, this) && !applying_) ReportTopIndex();
        return result;
    }
    default:
        break;
    }
    if (msg == WM_NOTIFY && lParam) {
        // The column header tells the list view about widths the user dragged: the control takes
        // them first, then the widget learns them.
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        ::HWND from = header->hwndFrom;
        UINT code = header->code;
        ::LRESULT result = DefaultProc(msg, wParam, lParam);
        ::HWND columns = reinterpret_cast<::HWND>(::SendMessageA(Handle(), LVM_GETHEADER, 0, 0));
        if (from && from == columns && !applying_ &&
            (code == HDN_ENDTRACKA || code == HDN_ENDTRACKW || code == HDN_ITEMCHANGEDA || code == HDN_ITEMCHANGEDW ||
             code == HDN_DIVIDERDBLCLICKA || code == HDN_DIVIDERDBLCLICKW))
            ReportColumnWidths();
        return result;
    }
    return Win32ControlPeer::WndProc(msg, wParam, lParam);
}

void Win32ListViewPeer::ReportColumnWidths() {
    TListView* list = As<TListView>();
    if (!list || !Handle()) return;
    for (size_t j = 0; j < columns_.size(); ++j) {
        int width = static_cast<int>(::SendMessageA(Handle(), LVM_GETCOLUMNWIDTH, static_cast<::WPARAM>(j), 0));
        if (width == columns_[j].Width) continue;
        columns_[j].Width = width;
        list->PeerColumnWidth(static_cast<int>(j), width);
    }
}

void Win32ListViewPeer::ImageListChanged(::HIMAGELIST list) {
    if (list && (list == large_ || list == small_) && Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void Win32ListViewPeer::ImageListGone(::HIMAGELIST list) {
    if (!list || !Handle()) return;
    if (list == large_) {
        large_ = nullptr;
        ::SendMessageA(Handle(), LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
    }
    if (list == small_) {
        small_ = nullptr;
        ::SendMessageA(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, 0);
    }
}

}  // namespace taskwell::win32

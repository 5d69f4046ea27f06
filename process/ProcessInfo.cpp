#include "process/ProcessInfo.h"

#include <algorithm>
#include <cstring>

#include "app/DisplayFormats.h"
#include "app/MiscUtils.h"
#include "app/PathUtils.h"
#include "process/ProcessMonitor.h"
#include "process/ToolhelpSnapshot.h"
#include "ui/TApplication.h"

namespace taskwell {

namespace {
constexpr int kWidth = 427;
constexpr int kHeight = 483;
constexpr int kProcessInfoTopic = 150;
constexpr int kFieldLeft = 84;
constexpr int kFieldWidth = 310;
constexpr int kFieldHeight = 15;
constexpr int kFirstFieldTop = 16;
constexpr int kFieldPitch = 18;
constexpr int kNoteHeight = 18;

struct ColumnRow {
    const char* caption;
    int width;
};
constexpr ColumnRow kThreadColumns[] = {
    {"Thread ID", 80}, {"Usage", 50}, {"Priority", 100}, {"Delta Priority", 100}, {"Flags", 80}};
constexpr ColumnRow kModuleColumns[] = {{" Name", 100},        {"ModuleID", 80},  {"Global Usage", 50},
                                        {"Process Usage", 50}, {"Base Addr", 80}, {"Base Size", 80},
                                        {"Module Handle", 80}};
constexpr ColumnRow kHeapColumns[] = {{"Heap List ID", 80}, {"List Flags", 80}, {"Handle", 80},
                                      {"Address", 80},      {"Block Size", 80}, {"Flags", 80},
                                      {"Lock Count", 50},   {"Reserved", 80}};

template <size_t N>
TListView& ListPage(TTabSheet& page, const ColumnRow (&columns)[N], TLabel*& note) {
    note = &page.Add<TLabel>();
    note->SetHeight(page.Scaled(kNoteHeight));
    note->SetAlign(TAlign::alTop);
    note->SetVisible(false);
    TListView& list = page.Add<TListView>();
    list.SetAlign(TAlign::alClient);
    list.SetViewStyle(TViewStyle::vsReport);
    list.SetRowSelect(true);
    list.SetFont(TFont{.Name = "Verdana", .Size = 8});
    for (const ColumnRow& c : columns) list.AddColumn(c.caption, page.Scaled(c.width));
    return list;
}

void AddRow(TListView& list, const std::string& caption, std::vector<std::string> cells) {
    TListItem& row = list.AddItem();
    row.SetCaption(caption);
    row.SetSubItems(std::move(cells));
}

void ShowNote(TLabel& note, const char* text) {
    note.SetCaption(text);
    note.SetVisible(true);
}
}  // namespace

TfrmProcessInfo::TfrmProcessInfo(TApplication& app, const Platform& platform) : TForm(app), platform_(platform) {
    Name = "frmProcessInfo";
    BorderStyle = TBorderStyle::bsSizeable;
    HelpContext = kProcessInfoTopic;
    SetCaption("Process Information");
    SetDesignBounds(0, 0, kWidth, kHeight);

    imgIcon = &Add<TImage>();
    imgIcon->SetDesignBounds(8, 12, 32, 32);
    imgIcon->SetStretch(true);
    lblName = &Add<TLabel>("Name:");
    lblName->SetDesignBounds(50, 12, 60, 15);
    valueProcName = &AddValueField(*this, Scaled(49), Scaled(29), Scaled(365), Scaled(21));

    gbProcessInfo = &Add<TGroupBox>(" Process Information ");
    gbProcessInfo->SetDesignBounds(7, 58, 405, 201);
    struct FieldRow {
        const char* label;
        TEdit* TfrmProcessInfo::*field;
    };
    static constexpr FieldRow kFields[] = {
        {"Process ID:", &TfrmProcessInfo::valueProcessID}, {"Usage:", &TfrmProcessInfo::valueUsage},
        {"Def Heap ID:", &TfrmProcessInfo::valueDefHeapID}, {"Module ID:", &TfrmProcessInfo::valueModuleID},
        {"Threads:", &TfrmProcessInfo::valueCntThreads},    {"Parent ID:", &TfrmProcessInfo::valueParentID},
        {"Priority:", &TfrmProcessInfo::valuePriority},     {"Type:", &TfrmProcessInfo::valueType},
        {"Flags:", &TfrmProcessInfo::valueFlags},           {"Exe Path:", &TfrmProcessInfo::valueExePath},
    };
    int top = kFirstFieldTop;
    for (const FieldRow& row : kFields) {
        TLabel& label = gbProcessInfo->Add<TLabel>(row.label);
        label.SetDesignBounds(10, top, kFieldLeft - 14, kFieldHeight);
        this->*row.field = &AddValueField(*gbProcessInfo, Scaled(kFieldLeft), Scaled(top), Scaled(kFieldWidth),
                                          Scaled(kFieldHeight));
        top += kFieldPitch;
    }

    pcProcInfo = &Add<TPageControl>();
    pcProcInfo->SetDesignBounds(7, 264, 405, 153);
    tsThreads = &pcProcInfo->AddPage("Threads", -1);
    tsModules = &pcProcInfo->AddPage("Modules", -1);
    tsHeaps = &pcProcInfo->AddPage("Heaps", -1);
    pcProcInfo->SetActivePageIndex(0);
    lbThreads = &ListPage(*tsThreads, kThreadColumns, lblThreadsNote);
    lbModules = &ListPage(*tsModules, kModuleColumns, lblModulesNote);
    lbHeaps = &ListPage(*tsHeaps, kHeapColumns, lblHeapsNote);

    btnOk = &Add<TButton>("&Ok");
    btnOk->Default = true;
    btnOk->ModalResult = mrOk;
    btnOk->SetDesignBounds(180, 428, 75, 25);

    OnResize = [this] { FormResize(); };
    FormResize();
}

TfrmProcessInfo::~TfrmProcessInfo() {
    // The copy is the dialog's own; nothing else refers to it.
    DestroyIconQuietly(platform_.Shell, icon_);
}

void TfrmProcessInfo::ShowProcess(const TProcess& record) {
    // The record's icon may be destroyed by a tick while the dialog is open: show a copy.
    if (platform_.Shell.IsUsableIcon(record.Icon)) {
        icon_ = platform_.Shell.CopyIcon(record.Icon);
        imgIcon->SetIcon(icon_);
    }
    valueProcName->SetText(ImageName(record.ExePath));
    valueProcessID->SetText(HexText(record.ProcessID));
    valueUsage->SetText(SignedText(record.CntUsage));
    valueDefHeapID->SetText(HexText(record.DefHeapID));
    valueModuleID->SetText(HexText(record.ModuleID));
    valueCntThreads->SetText(SignedText(record.CntThreads));
    valueParentID->SetText(HexText(record.ParentID));
    valuePriority->SetText(std::to_string(record.PriClassBase) +
                           (record.Priority.empty() ? "" : "  (" + record.Priority + ")"));
    valueType->SetText(record.BinTyp);
    valueFlags->SetText(HexText(record.Flags));
    IUiBackend& ui = App().Backend();
    const TFont font = Font();
    valueExePath->SetText(ShortenPath(record.ExePath, valueExePath->Width(),
                                      [&](const std::string& text) { return ui.TextWidth(font, text); }));
    ListThreads(record.ProcessID);
    ListModules(record.ProcessID);
    ListHeaps(record.ProcessID);
}

template <class Fill>
void TfrmProcessInfo::FillList(TListView& list, TLabel& note, const char* notAvailable, Fill fill) {
    TListUpdate update(list);
    list.ClearItems();
    note.SetVisible(false);
    bool available = false;
    try {
        available = fill();
    } catch (...) {
        available = false;
    }
    if (!available) {
        list.ClearItems();
        ShowNote(note, notAvailable);
    }
}

void TfrmProcessInfo::ListThreads(DWORD processId) {
    FillList(*lbThreads, *lblThreadsNote, kThreadsNotAvailable, [&] {
        ToolhelpSnapshot snapshot(platform_.Toolhelp, TH32CS_SNAPTHREAD, processId);
        snapshot.Walk(&IToolhelp::Thread32First, &IToolhelp::Thread32Next, [&](const THREADENTRY32& e) {
            // The snapshot holds every thread of the system.
            if (e.th32OwnerProcessID != processId) return;
            AddRow(*lbThreads, HexText(e.th32ThreadID),
                   {SignedText(e.cntUsage), PriorityClassText(e.tpBasePri) + " (" + std::to_string(e.tpBasePri) + ")",
                    std::to_string(e.tpDeltaPri), HexText(e.dwFlags)});
        });
        return snapshot.Taken();
    });
}

void TfrmProcessInfo::ListModules(DWORD processId) {
    FillList(*lbModules, *lblModulesNote, kModulesNotAvailable, [&] {
        ToolhelpSnapshot snapshot(platform_.Toolhelp, TH32CS_SNAPMODULE, processId);
        snapshot.Walk(&IToolhelp::Module32First, &IToolhelp::Module32Next, [&](const MODULEENTRY32& e) {
            if (e.th32ProcessID != processId) return;
            const std::string path(e.szExePath, strnlen(e.szExePath, sizeof e.szExePath));
            AddRow(*lbModules, ImageName(path),
                   {HexText(e.th32ModuleID), SignedText(e.GlblcntUsage), SignedText(e.ProccntUsage),
                    HexText(e.modBaseAddr), SignedText(e.modBaseSize), HexText(e.hModule)});
        });
        return snapshot.Taken();
    });
}

void TfrmProcessInfo::ListHeaps(DWORD processId) {
    bool cut = false;
    FillList(*lbHeaps, *lblHeapsNote, kHeapsNotAvailable, [&] {
        ToolhelpSnapshot snapshot(platform_.Toolhelp, TH32CS_SNAPHEAPLIST, processId);
        int blocks = 0;
        snapshot.Walk(&IToolhelp::Heap32ListFirst, &IToolhelp::Heap32ListNext, [&](const HEAPLIST32& heap) {
            // Only heaps of this process are walked: a block walk of another one is of no use here.
            if (cut || heap.th32ProcessID != processId) return;
            HEAPENTRY32 block{};
            block.dwSize = sizeof block;
            for (bool more = platform_.Toolhelp.Heap32First(block, processId, heap.th32HeapID); more;
                 more = platform_.Toolhelp.Heap32Next(block)) {
                if (blocks == kMaxHeapBlocks) {
                    cut = true;
                    return;
                }
                ++blocks;
                AddRow(*lbHeaps, HexText(heap.th32HeapID),
                       {HexText(heap.dwFlags), HexText(block.hHandle), HexText(block.dwAddress),
                        SignedText(block.dwBlockSize), HexText(block.dwFlags), SignedText(block.dwLockCount),
                        HexText(block.dwResvd)});
            }
        });
        return snapshot.Taken();
    });
    if (cut && !lblHeapsNote->Visible()) ShowNote(*lblHeapsNote, kHeapsCut);
}

void TfrmProcessInfo::FormResize() {
    const int width = ClientWidth();
    const int height = ClientHeight();
    auto atLeastZero = [](int v) { return std::max(v, 0); };
    valueProcName->SetWidth(atLeastZero(width - valueProcName->Left() - Scaled(5)));
    gbProcessInfo->SetWidth(atLeastZero(width - 2 * gbProcessInfo->Left()));
    pcProcInfo->SetWidth(atLeastZero(width - 2 * pcProcInfo->Left()));
    pcProcInfo->SetHeight(atLeastZero(height - pcProcInfo->Top() - btnOk->Height() - Scaled(10)));
    btnOk->SetTop(atLeastZero(height - btnOk->Height() - Scaled(5)));
}

}  // namespace taskwell

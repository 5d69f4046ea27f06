#include "platform/win32/Win32UiBackend.h"

#include <algorithm>
#include <stdexcept>

#include "platform/win32/Win32ButtonPeer.h"
#include "platform/win32/Win32CheckBoxPeer.h"
#include "platform/win32/Win32ComboBoxPeer.h"
#include "platform/win32/Win32ControlPeer.h"
#include "platform/win32/Win32EditPeer.h"
#include "platform/win32/Win32FormPeer.h"
#include "platform/win32/Win32GaugePeer.h"
#include "platform/win32/Win32GraphPeer.h"
#include "platform/win32/Win32GroupBoxPeer.h"
#include "platform/win32/Win32ImageListPeer.h"
#include "platform/win32/Win32ImagePeer.h"
#include "platform/win32/Win32LabelPeer.h"
#include "platform/win32/Win32ListViewPeer.h"
#include "platform/win32/Win32MenuPeer.h"
#include "platform/win32/Win32PageControlPeer.h"
#include "platform/win32/Win32PanelPeer.h"
#include "platform/win32/Win32StatusBarPeer.h"
#include "platform/win32/Win32SystemFunction.h"
#include "platform/win32/Win32TabSheetPeer.h"
#include "platform/win32/Win32TimerPeer.h"
#include "ui/StdCtrls.h"
#include "ui/TApplication.h"
#include "ui/TForm.h"
#include "ui/TListView.h"
#include "ui/TComboBox.h"
#include "ui/TMenu.h"
#include "ui/TOpenDialog.h"
#include "ui/TPageControl.h"
#include "ui/TSaveDialog.h"
#include "ui/TStatusBar.h"
#include "ui/TxyGraph.h"

namespace taskwell::win32 {

namespace {

constexpr const char* kUtilityClass = "TaskwellUtility";
// Posted to the hidden window: wParam is a control window whose peer should look again at its state.
constexpr UINT kRecheckMessage = WM_APP + 1;
constexpr UINT kFirstCommand = 100;
constexpr UINT kLastCommand = 0xEFFF;

// The common dialog library, loaded when a file dialog is first asked for and kept to the end of the
// process: loaded at start it would bring the printing libraries with it (the system's print spooler
// and, under Wine, the host's printing and encryption libraries), megabytes of resident memory
// that most sessions never use.
struct FileDialogFunctions {
    using GetFileName = ::BOOL(WINAPI*)(::OPENFILENAMEA*);
    using ExtendedError = ::DWORD(WINAPI*)();
    GetFileName open = nullptr;
    GetFileName save = nullptr;
    ExtendedError error = nullptr;
};

const FileDialogFunctions& FileDialogs() {
    static const FileDialogFunctions functions = [] {
        FileDialogFunctions f;
        const ::HMODULE comdlg = LoadSystemLibrary("comdlg32.dll");
        f.open = SystemFunction<FileDialogFunctions::GetFileName>(comdlg, "GetOpenFileNameA");
        f.save = SystemFunction<FileDialogFunctions::GetFileName>(comdlg, "GetSaveFileNameA");
        f.error = SystemFunction<FileDialogFunctions::ExtendedError>(comdlg, "CommDlgExtendedError");
        return f;
    }();
    return functions;
}

::BOOL CALLBACK NoteFace(const LOGFONTA*, const TEXTMETRICA*, DWORD, ::LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

// Whether the system has a face of that name.
bool HasFace(::HDC dc, const char* face) {
    LOGFONTA lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    ::EnumFontFamiliesExA(dc, &lf, reinterpret_cast<FONTENUMPROCA>(&NoteFace), reinterpret_cast<::LPARAM>(&found), 0);
    return found;
}

// The face a font of that name is made in. Windows 98 has the faces the program names; a system
// without them (Wine without the Windows fonts) would put its default sans serif in their place,
// which has neither proportion, so a face of the same build stands in: Tahoma for MS Sans Serif,
// a Verdana-like face for Verdana, a typewriter face of the same widths for Courier New. Without
// any of them the system's own choice stays.
std::string FaceFor(::HDC dc, const std::string& name) {
    struct Alternates {
        const char* face;
        const char* instead[3];
    };
    static const Alternates kAlternates[] = {
        {"MS Sans Serif", {"Microsoft Sans Serif", "Tahoma", nullptr}},
        {"Verdana", {"DejaVu Sans", "Bitstream Vera Sans", nullptr}},
        {"Courier New", {"Liberation Mono", "DejaVu Sans Mono", "Courier"}},
    };
    if (!dc || HasFace(dc, name.c_str())) return name;
    for (const auto& entry : kAlternates) {
        if (lstrcmpiA(entry.face, name.c_str()) != 0) continue;
        for (const char* other : entry.instead)
            if (other && HasFace(dc, other)) return other;
    }
    return name;
}

// A font of the face at a character height in pixels, or (pixels 0) at the point size on the
// screen; null when the system makes none.
::HFONT MakeFont(const std::string& face, int points, int pixels, bool bold) {
    int height = pixels > 0 ? -pixels : -11;
    std::string made = face;
    if (::HDC dc = ::GetDC(nullptr)) {
        if (pixels <= 0) height = -::MulDiv(points, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
        made = FaceFor(dc, face);
        ::ReleaseDC(nullptr, dc);
    }
    LOGFONTA lf{};
    lf.lfHeight = height;  // negative: the height of the characters, without the leading above them
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    // A typewriter face asks for fixed pitch, so that a system without it picks one of the kind.
    const bool typewriter = lstrcmpiA(face.c_str(), "Courier New") == 0 || lstrcmpiA(face.c_str(), "Courier") == 0;
    lf.lfPitchAndFamily = typewriter ? FIXED_PITCH | FF_MODERN : DEFAULT_PITCH | FF_SWISS;
    lstrcpynA(lf.lfFaceName, made.c_str(), LF_FACESIZE);
    return ::CreateFontIndirectA(&lf);
}

::HICON LoadAppIcon(::HINSTANCE instance, int size) {
    auto icon = static_cast<::HICON>(::LoadImageA(instance, "MAINICON", IMAGE_ICON, size, size, 0));
    return icon;
}

}  // namespace

Win32UiBackend::Win32UiBackend(::HINSTANCE instance) : instance_(instance) {
    // InitCommonControlsEx came with common controls 4.70; Windows 95's own (4.00) has only
    // InitCommonControls, which registers every class we use there. From version 6 on only the
    // former registers anything, so it is used wherever it exists.
    using InitCommonControlsExFunction = ::BOOL(WINAPI*)(const ::INITCOMMONCONTROLSEX*);
    static const auto initCommonControlsEx =
        SystemFunction<InitCommonControlsExFunction>("comctl32.dll", "InitCommonControlsEx");
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES;
    if (!initCommonControlsEx || !initCommonControlsEx(&icc)) ::InitCommonControls();
    // The classic dialog face: 8-point MS Sans Serif.
    font_ = MakeFont("MS Sans Serif", 8, 0, false);
    ownFont_ = font_ != nullptr;
    if (!font_) font_ = static_cast<::HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    RegisterClasses();
    utility_ = ::CreateWindowExA(WS_EX_TOOLWINDOW, kUtilityClass, "Taskwell", WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, instance_, nullptr);
    if (utility_) ::SetWindowLongPtrA(utility_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32UiBackend::~Win32UiBackend() {
    if (utility_) {
        ::SetWindowLongPtrA(utility_, GWLP_USERDATA, 0);
        ::DestroyWindow(utility_);
    }
    if (ownFont_ && font_) ::DeleteObject(font_);
    for (auto& f : fonts_) ::DeleteObject(f.second);
}

void Win32UiBackend::RegisterClasses() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance_;
    wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512) /* IDC_ARROW */);

    wc.lpszClassName = kUtilityClass;
    wc.lpfnWndProc = &Win32UiBackend::UtilityProc;
    ::RegisterClassExA(&wc);

    wc.lpfnWndProc = &Win32ControlPeer::WindowProc;
    wc.hbrBackground = reinterpret_cast<::HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));

    // Forms show the program's icon until the application names one.
    wc.style = CS_DBLCLKS;
    wc.lpszClassName = FormClass();
    wc.hIcon = LoadAppIcon(instance_, ::GetSystemMetrics(SM_CXICON));
    wc.hIconSm = LoadAppIcon(instance_, ::GetSystemMetrics(SM_CXSMICON));
    if (!wc.hIcon) wc.hIcon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512) /* IDI_APPLICATION */);
    ::RegisterClassExA(&wc);
    wc.hIcon = nullptr;
    wc.hIconSm = nullptr;

    wc.lpszClassName = PageClass();
    ::RegisterClassExA(&wc);
    wc.lpszClassName = PanelClass();
    wc.hbrBackground = nullptr;  // painted by the panel in its own colour
    ::RegisterClassExA(&wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;  // the bar's proportions depend on the whole size
    wc.lpszClassName = GaugeClass();
    ::RegisterClassExA(&wc);
    wc.lpszClassName = ImageClass();  // a stretched picture, too
    ::RegisterClassExA(&wc);
    wc.lpszClassName = GraphClass();  // the plot spans the whole window
    ::RegisterClassExA(&wc);
}

// --- Peers ---

std::unique_ptr<IPeer> Win32UiBackend::CreatePeer(TControl& control) {
    if (TApplication* app = control.Application()) RememberApplication(app);
    if (auto* form = dynamic_cast<TForm*>(&control)) return Win32FormPeer::Create(*this, *form);
    if (auto* pages = dynamic_cast<TPageControl*>(&control)) return Win32PageControlPeer::Create(*this, *pages);
    if (auto* sheet = dynamic_cast<TTabSheet*>(&control)) return Win32TabSheetPeer::Create(*this, *sheet);
    if (auto* bar = dynamic_cast<TStatusBar*>(&control)) return Win32StatusBarPeer::Create(*this, *bar);
    if (auto* list = dynamic_cast<TListView*>(&control)) return Win32ListViewPeer::Create(*this, *list);
    if (auto* group = dynamic_cast<TGroupBox*>(&control)) return Win32GroupBoxPeer::Create(*this, *group);
    if (auto* panel = dynamic_cast<TPanel*>(&control)) return Win32PanelPeer::Create(*this, *panel);
    if (auto* label = dynamic_cast<TLabel*>(&control)) return Win32LabelPeer::Create(*this, *label);
    if (auto* gauge = dynamic_cast<TGauge*>(&control)) return Win32GaugePeer::Create(*this, *gauge);
    if (auto* graph = dynamic_cast<TxyGraph*>(&control)) return Win32GraphPeer::Create(*this, *graph);
    if (auto* button = dynamic_cast<TButton*>(&control)) return Win32ButtonPeer::Create(*this, *button);
    if (auto* box = dynamic_cast<TCheckBox*>(&control)) return Win32CheckBoxPeer::Create(*this, *box);
    if (auto* edit = dynamic_cast<TEdit*>(&control)) return Win32EditPeer::Create(*this, *edit);
    if (auto* combo = dynamic_cast<TComboBox*>(&control)) return Win32ComboBoxPeer::Create(*this, *combo);
    if (auto* image = dynamic_cast<TImage*>(&control)) return Win32ImagePeer::Create(*this, *image);
    return nullptr;
}

std::unique_ptr<IPeer> Win32UiBackend::CreatePeer(TMenu& menu) {
    return Win32MenuPeer::Create(*this, menu);
}

std::unique_ptr<IPeer> Win32UiBackend::CreatePeer(TImageList& images) {
    return Win32ImageListPeer::Create(*this, images);
}

std::unique_ptr<IPeer> Win32UiBackend::CreatePeer(TTimer& timer) {
    if (!utility_) return nullptr;
    return std::make_unique<Win32TimerPeer>(*this, timer);
}

// --- Message loop ---

void Win32UiBackend::ProcessMessages() {
    MSG msg;
    while (!quit_ && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit_ = true;
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void Win32UiBackend::RunMessageLoop() {
    MSG msg;
    while (!quit_) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit_ = true;
            break;
        }
        if (got == -1) break;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void Win32UiBackend::RunModal(TForm& form) {
    // The other forms take no input while the modal one is up.
    std::vector<::HWND> disabled;
    for (Win32FormPeer* peer : forms_) {
        ::HWND h = peer->Handle();
        if (h && peer != form.Peer() && ::IsWindowEnabled(h)) {
            ::EnableWindow(h, FALSE);
            disabled.push_back(h);
        }
    }
    struct Reenable {
        std::vector<::HWND>& windows;
        ~Reenable() {
            for (::HWND h : windows)
                if (::IsWindow(h)) ::EnableWindow(h, TRUE);
        }
    } reenable{disabled};
    form.Show();
    MSG msg;
    while (!quit_ && form.ModalResult == mrNone) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Keep the quit for the main loop.
            quit_ = true;
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1) break;
        // Enter and Escape anywhere in the modal form act on the form as a whole.
        if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
            ::HWND formWindow = ToHwnd(WindowHandle(form));
            if (formWindow && (msg.hwnd == formWindow || ::IsChild(formWindow, msg.hwnd))) {
                bool handled = false;
                try {
                    handled = form.DialogKey(static_cast<int>(msg.wParam));
                } catch (const std::exception& e) {
                    ReportException(&form.App(), e);
                    handled = true;
                }
                if (handled) continue;
            }
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    if (form.ModalResult == mrNone) form.ModalResult = mrCancel;
}

void Win32UiBackend::Terminate() {
    quit_ = true;
    ::PostQuitMessage(0);
}

// --- Message boxes, application ---

int Win32UiBackend::MessageBox(TForm* owner, const std::string& text, const std::string& caption, UINT flags) {
    ::HWND ownerWindow = nullptr;
    if (owner) {
        if (auto* peer = dynamic_cast<Win32ControlPeer*>(owner->Peer())) ownerWindow = peer->Handle();
    }
    int answer = ::MessageBoxA(ownerWindow, text.c_str(), caption.c_str(), flags);
    if (answer != 0) return answer;
    // The box could not be shown: answer as its safe button would.
    switch (flags & 0xF) {
    case MB_YESNO:
        return IDNO;
    case MB_OKCANCEL:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

void Win32UiBackend::RememberApplication(TApplication* app) {
    if (app && !app_) app_ = app;
}

void Win32UiBackend::ApplicationChanged() {
    if (!app_) {
        for (auto* f : forms_) {
            if (TApplication* app = f->App()) {
                app_ = app;
                break;
            }
        }
    }
    // Hidden forms are given the icon when shown, unless the program may now free the one they hold.
    const bool released = UpdateAppIcon(app_);
    for (auto* f : forms_) f->ApplyIcon(released);
}

bool Win32UiBackend::UpdateAppIcon(TApplication* app) {
    HICON source = app ? app->Icon() : 0;
    if (source == appIconSource_) return false;
    appIconSource_ = source;
    // The picture itself, no copy: the program keeps it valid until it sets no icon (see
    // TApplication::SetIcon), and every copy would be one more icon for the system to make.
    ::HICON icon = ToHicon(source);
    appIcon_ = source != 0 && IconIsUsable(icon) ? icon : nullptr;
    // No icon any more: the program may now free the pictures it gave, which hidden forms may hold.
    return source == 0;
}

bool Win32UiBackend::IsUsableIcon(HICON icon) {
    return IconIsUsable(ToHicon(icon));
}

HWND Win32UiBackend::WindowHandle(const TControl& control) {
    auto* peer = dynamic_cast<Win32ControlPeer*>(control.Peer());
    return peer ? FromHwnd(peer->Handle()) : 0;
}

void Win32UiBackend::Popup(TPopupMenu& menu, int x, int y) {
    if (!menu.Peer() && app_ && app_->MainForm) menu.Realise(app_->MainForm);
    if (auto* peer = dynamic_cast<Win32MenuPeer*>(menu.Peer())) peer->Popup(x, y);
}

bool Win32UiBackend::ShowHelp(const std::string& helpFile, UINT topic) {
    // The help viewer needs the file; without it the viewer would only complain in its own words.
    if (helpFile.empty() || ::GetFileAttributesA(helpFile.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    ::HWND owner = nullptr;
    if (app_ && app_->MainForm) owner = ToHwnd(WindowHandle(*app_->MainForm));
    return ::WinHelpA(owner, helpFile.c_str(), HELP_CONTEXT, topic) != FALSE;
}

::HCURSOR Win32UiBackend::CursorHandle(TCursor cursor) {
    // Shared system cursors: loaded once by the system, never destroyed.
    return ::LoadCursorA(nullptr, cursor == TCursor::crHourGlass ? MAKEINTRESOURCEA(32514) /* IDC_WAIT */
                                                                  : MAKEINTRESOURCEA(32512) /* IDC_ARROW */);
}

bool Win32UiBackend::ExecuteSaveDialog(TSaveDialog& dialog, TForm* owner) {
    return RunFileDialog(dialog, true, owner);
}

bool Win32UiBackend::ExecuteOpenDialog(TOpenDialog& dialog, TForm* owner) {
    return RunFileDialog(dialog, false, owner);
}

bool Win32UiBackend::RunFileDialog(TFileDialog& dialog, bool save, TForm* owner) {
    // The filter: description and pattern pairs, each ended by a NUL, the whole by another.
    std::string filter;
    for (const auto& entry : dialog.Filter) {
        filter += entry.Description;
        filter.push_back('\0');
        filter += entry.Pattern;
        filter.push_back('\0');
    }
    filter.push_back('\0');
    std::vector<char> file(MAX_PATH + 1, '\0');
    lstrcpynA(file.data(), dialog.FileName.c_str(), static_cast<int>(file.size()));
    ::OPENFILENAMEA ofn{};
    // The record as Windows 95 knows it (without the fields added later), which every version takes.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    // The system disables the owner while the dialog is up.
    if (owner) ofn.hwndOwner = ToHwnd(WindowHandle(*owner));
    ofn.lpstrFilter = dialog.Filter.empty() ? nullptr : filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<::DWORD>(file.size());
    ofn.lpstrInitialDir = dialog.InitialDir.empty() ? nullptr : dialog.InitialDir.c_str();
    ofn.lpstrTitle = dialog.Title.empty() ? nullptr : dialog.Title.c_str();
    ofn.lpstrDefExt = dialog.DefaultExt.empty() ? nullptr : dialog.DefaultExt.c_str();
    ofn.Flags = dialog.Options | OFN_EXPLORER;
    const FileDialogFunctions& dialogs = FileDialogs();
    const auto show = save ? dialogs.save : dialogs.open;
    // Without the common dialog library no dialog can be shown: as if cancelled.
    if (!show) return false;
    auto run = [&] { return show(&ofn) != FALSE; };
    // Cancelled, or the dialog could not be shown: FileName stays as it was.
    if (!run()) {
        // A starting name the dialog refuses (characters no file name can hold) would keep the
        // user from choosing at all: the dialog is offered again without it.
        if (!dialogs.error || dialogs.error() != FNERR_INVALIDFILENAME || file[0] == '\0') return false;
        std::fill(file.begin(), file.end(), '\0');
        if (!run()) return false;
    }
    dialog.FileName = file.data();
    return true;
}

void Win32UiBackend::SetCursor(TCursor cursor) {
    cursor_ = cursor;
    // Shown at once, without waiting for the mouse to move: the hourglass directly; afterwards the
    // shape the window under the pointer asks for (an edit field's text cursor, a divider's arrows),
    // when that window is one of ours.
    if (cursor == TCursor::crDefault) {
        ::POINT at{};
        if (::GetCursorPos(&at)) {
            ::HWND under = ::WindowFromPoint(at);
            if (under && ::GetWindowThreadProcessId(under, nullptr) == ::GetCurrentThreadId()) {
                ::LRESULT hit = ::SendMessageA(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
                if (::SendMessageA(under, WM_SETCURSOR, reinterpret_cast<::WPARAM>(under),
                                   MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE)))
                    return;
            }
        }
    }
    ::SetCursor(CursorHandle(cursor));
}

::HFONT Win32UiBackend::FontFor(const TFont& font) {
    // The colour does not make a different font; a height in pixels wins over the point size.
    auto sameFace = [&](const TFont& f) {
        return f.Name == font.Name && f.Bold == font.Bold &&
               (font.Height > 0 ? f.Height == font.Height : f.Height <= 0 && f.Size == font.Size);
    };
    if (sameFace(TFont{})) return font_;
    for (auto& f : fonts_)
        if (sameFace(f.first)) return f.second;
    ::HFONT made = MakeFont(font.Name, font.Size, font.Height, font.Bold);
    if (!made) return font_;
    fonts_.emplace_back(font, made);
    return made;
}

int Win32UiBackend::TextWidth(const TFont& font, const std::string& text) {
    if (text.empty()) return 0;
    // A memory context of the screen's kind measures as the screen draws; the font stays the
    // backend's (FontFor keeps it) and the context is given back before returning.
    ::HDC dc = ::CreateCompatibleDC(nullptr);
    if (!dc) return static_cast<int>(text.size()) * 6;
    ::HGDIOBJ old = ::SelectObject(dc, FontFor(font));
    SIZE size{};
    int width = ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size)
                    ? static_cast<int>(size.cx)
                    : static_cast<int>(text.size()) * 6;
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return width;
}

int Win32UiBackend::ScreenLogPixels() {
    ::HDC dc = ::GetDC(nullptr);
    if (!dc) return 0;
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    return dpi;
}

void Win32UiBackend::WindowSizeForClient(const TForm& form, int clientWidth, int clientHeight, int& width,
                                         int& height) {
    // The styles the window really has once it exists (the system adds some of its own); before
    // that, the ones it will be made with.
    DWORD style = 0, exStyle = 0;
    ::HWND hwnd = ToHwnd(WindowHandle(form));
    if (hwnd) {
        style = static_cast<DWORD>(::GetWindowLongA(hwnd, GWL_STYLE));
        exStyle = static_cast<DWORD>(::GetWindowLongA(hwnd, GWL_EXSTYLE));
    } else {
        Win32FormPeer::StylesOf(form, style, exStyle);
    }
    const bool menu = form.Menu() != nullptr || (hwnd && ::GetMenu(hwnd) != nullptr);
    RECT r{0, 0, clientWidth, clientHeight};
    if (!::AdjustWindowRectEx(&r, style & ~static_cast<DWORD>(WS_VISIBLE), menu ? TRUE : FALSE, exStyle)) {
        width = clientWidth;
        height = clientHeight;
        return;
    }
    width = r.right - r.left;
    height = r.bottom - r.top;
}

void Win32UiBackend::ReportException(TApplication* app, const std::exception& e) {
    if (!app) app = app_;
    try {
        if (app)
            app->HandleException(e);
        else
            ::MessageBoxA(nullptr, e.what(), "Error", MB_OK | MB_ICONHAND);
    } catch (...) {
        // Nothing more can be done about it here; the program goes on.
    }
}

// --- Registries ---

void Win32UiBackend::AddControl(Win32ControlPeer* peer) { controls_.push_back(peer); }

void Win32UiBackend::RemoveControl(Win32ControlPeer* peer) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), peer), controls_.end());
}

void Win32UiBackend::ShowHeldTexts() {
    // By index: a text put into a window sends it messages, and a handler may add controls.
    for (size_t i = 0; i < controls_.size(); ++i) controls_[i]->ShowHeldText();
}

void Win32UiBackend::ImageListChanged(::HIMAGELIST list) {
    for (auto* c : controls_) c->ImageListChanged(list);
}

void Win32UiBackend::ImageListGone(::HIMAGELIST list) {
    for (auto* c : controls_) c->ImageListGone(list);
}

void Win32UiBackend::AddForm(Win32FormPeer* peer) {
    forms_.push_back(peer);
    if (!app_) RememberApplication(peer->App());
    if (UpdateAppIcon(app_))
        for (auto* f : forms_) f->ApplyIcon(true);
}

void Win32UiBackend::RemoveForm(Win32FormPeer* peer) {
    forms_.erase(std::remove(forms_.begin(), forms_.end(), peer), forms_.end());
}

UINT_PTR Win32UiBackend::AddTimer(Win32TimerPeer* peer) {
    UINT_PTR id = nextTimer_++;
    timers_[id] = peer;
    return id;
}

void Win32UiBackend::RemoveTimer(UINT_PTR id) {
    timers_.erase(id);
}

UINT Win32UiBackend::AddMenuCommand(TMenuItem* item) {
    // Ids wrap round within the range WM_COMMAND carries, skipping those still in use.
    for (UINT tries = 0; tries <= kLastCommand - kFirstCommand; ++tries) {
        UINT id = nextCommand_++;
        if (nextCommand_ > kLastCommand) nextCommand_ = kFirstCommand;
        if (commands_.emplace(id, item).second) return id;
    }
    return 0;
}

void Win32UiBackend::RemoveMenuCommand(UINT id) {
    commands_.erase(id);
}

bool Win32UiBackend::MenuCommand(UINT id) {
    auto it = commands_.find(id);
    if (it == commands_.end()) return false;
    TMenuItem* item = it->second;
    TApplication* app = app_;
    if (TMenu* menu = item->Menu(); menu && menu->Owner()) app = &menu->Owner()->App();
    if (app)
        app->Guarded([item] { item->Click(); });
    else
        item->Click();
    return true;
}

void Win32UiBackend::AddMenu(Win32MenuPeer* peer) { menus_.push_back(peer); }

void Win32UiBackend::RemoveMenu(Win32MenuPeer* peer) {
    menus_.erase(std::remove(menus_.begin(), menus_.end(), peer), menus_.end());
}

void Win32UiBackend::ExitMenuLoop() {
    if (menuLoop_ > 0) --menuLoop_;
    if (menuLoop_ > 0) return;
    // Rebuilds that waited for the menu to close. A rebuild may add or remove menus: work on a copy
    // and check each is still there.
    auto menus = menus_;
    for (auto* m : menus)
        if (std::find(menus_.begin(), menus_.end(), m) != menus_.end()) m->FlushPending();
}

void Win32UiBackend::PostRecheck(::HWND window) {
    if (utility_ && window) ::PostMessageA(utility_, kRecheckMessage, reinterpret_cast<::WPARAM>(window), 0);
}

// --- The hidden window: timers and deferred checks ---

::LRESULT CALLBACK Win32UiBackend::UtilityProc(::HWND hwnd, UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    auto* backend = reinterpret_cast<Win32UiBackend*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!backend) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    try {
        return backend->HandleUtility(msg, wParam, lParam);
    } catch (const std::exception& e) {
        backend->ReportException(nullptr, e);
    } catch (...) {
        backend->ReportException(nullptr, std::runtime_error("Unknown error"));
    }
    return 0;
}

::LRESULT Win32UiBackend::HandleUtility(UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    switch (msg) {
    case WM_TIMER: {
        auto it = timers_.find(wParam);
        if (it != timers_.end()) it->second->Elapsed();
        return 0;
    }
    case kRecheckMessage: {
        auto window = reinterpret_cast<::HWND>(wParam);
        // The window may have gone meanwhile; then it has no peer any more.
        if (::IsWindow(window))
            if (Win32ControlPeer* peer = Win32ControlPeer::FromWindow(window)) peer->Recheck();
        return 0;
    }
    default:
        return ::DefWindowProcA(utility_, msg, wParam, lParam);
    }
}

}  // namespace taskwell::win32

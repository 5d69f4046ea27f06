// taskwell_compat_checks: checks, from inside a running program under Wine, the pieces that let
// taskwell.exe start and work on a Windows 95 without updates:
//   - SystemFunction, the run-time lookup of functions the exe must not import: a function that
//     exists is callable, a missing function or library gives null (and loads nothing);
//   - AddBlankImage, the slot an image list gets for a picture it could not take (common controls
//     4.00 have no ImageList_SetImageCount): one more image, of the list's size, drawing nothing;
//   - the runtime's semaphores: the compiler runtime's CreateSemaphoreW import is answered inside
//     this exe (Win32RuntimeImports.cpp) with working semaphores, and a runtime mutex wanted by two
//     threads at once makes the second one wait.
// The import table itself is checked by check_imports.sh.
//
// One PASS/FAIL line per check, then "N passed, M failed"; the exit code is 0 only when nothing
// failed. Run by run_e2e.sh --self.
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32BlankImage.h"
#include "platform/win32/Win32RuntimeImports.h"
#include "platform/win32/Win32SystemFunction.h"

#include "e2e_util.h"

#include <ext/concurrence.h>

#include <cstdint>
#include <cstdio>

namespace {

using e2e::Checks;
using taskwell::win32::AddBlankImage;
using taskwell::win32::SystemFunction;

void CheckSystemFunction(Checks& checks) {
    using TickCountFunction = DWORD(WINAPI*)();
    struct Case {
        const char* module;
        const char* name;
        bool found;
    };
    const Case cases[] = {
        {"kernel32.dll", "GetTickCount", true},
        {"KERNEL32.DLL", "GetTickCount", true},
        {"kernel32.dll", "TaskwellNoSuchFunction", false},
        {"kernel32.dll", nullptr, false},
        {"taskwell_absent.dll", "GetTickCount", false},
    };
    for (const Case& c : cases) {
        auto fn = SystemFunction<TickCountFunction>(c.module, c.name);
        if (!checks.expect((fn != nullptr) == c.found, "SystemFunction(%s, %s) %s", c.module,
                           c.name ? c.name : "(null)", c.found ? "found" : "is null"))
            continue;
        // What was found is the function itself: it answers what the imported one answers.
        if (fn) {
            const DWORD looked = fn(), imported = ::GetTickCount();
            checks.expect(imported - looked < 1000, "  the function found runs (%lu vs %lu)",
                          static_cast<unsigned long>(looked), static_cast<unsigned long>(imported));
        }
    }
    checks.expect(::GetModuleHandleA("taskwell_absent.dll") == nullptr, "a lookup loads no library");
    checks.expect(SystemFunction<TickCountFunction>(static_cast<HMODULE>(nullptr), "GetTickCount") == nullptr,
                  "SystemFunction of a null module is null");
}

// A DIB section of w x h pixels filled with one colour, for drawing into and reading back.
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    std::uint32_t* bits = nullptr;
    int w = 0, h = 0;

    Canvas(int width, int height) : w(width), h(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc = ::CreateCompatibleDC(nullptr);
        void* pixels = nullptr;
        bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        bits = static_cast<std::uint32_t*>(pixels);
        if (dc && bitmap) old = ::SelectObject(dc, bitmap);
    }
    ~Canvas() {
        if (old) ::SelectObject(dc, old);
        if (bitmap) ::DeleteObject(bitmap);
        if (dc) ::DeleteDC(dc);
    }
    bool ok() const { return dc && bitmap && bits; }
    void Fill(std::uint32_t pixel) {
        ::GdiFlush();
        for (int i = 0; i < w * h; ++i) bits[i] = pixel;
    }
    int PixelsOtherThan(std::uint32_t pixel) {
        ::GdiFlush();
        int n = 0;
        for (int i = 0; i < w * h; ++i) n += (bits[i] & 0xFFFFFF) != pixel;
        return n;
    }
};

void CheckBlankImage(Checks& checks) {
    checks.expect(!AddBlankImage(nullptr), "AddBlankImage of no list adds nothing and says so");

    struct Case {
        const char* kind;
        UINT flags;
        int size;
    };
    const Case cases[] = {
        {"24-bit", ILC_COLOR24 | ILC_MASK, 16},
        {"24-bit", ILC_COLOR24 | ILC_MASK, 32},
        {"device colours", ILC_COLOR | ILC_MASK, 16},
    };
    const std::uint32_t background = 0x123456;
    for (const Case& c : cases) {
        HIMAGELIST list = ::ImageList_Create(c.size, c.size, c.flags, 4, 4);
        if (!checks.expect(list != nullptr, "%s %dx%d image list made", c.kind, c.size, c.size)) continue;
        HICON icon = static_cast<HICON>(::LoadImageA(nullptr, MAKEINTRESOURCEA(32512) /* IDI_APPLICATION */,
                                                     IMAGE_ICON, c.size, c.size, LR_SHARED));
        const bool iconAdded = icon && ::ImageList_ReplaceIcon(list, -1, icon) == 0;
        checks.expect(iconAdded, "  a picture goes in first");
        checks.expect(AddBlankImage(list), "  AddBlankImage succeeds");
        checks.expect(::ImageList_GetImageCount(list) == 2, "  the blank image is the second (count %d)",
                      ::ImageList_GetImageCount(list));
        int w = 0, h = 0;
        ::ImageList_GetIconSize(list, &w, &h);
        checks.expect(w == c.size && h == c.size, "  the list keeps its image size (%dx%d)", w, h);

        Canvas canvas(c.size, c.size);
        if (!checks.expect(canvas.ok(), "  canvas made")) {
            ::ImageList_Destroy(list);
            continue;
        }
        // The picture changes the canvas, so a blank that leaves it alone is no accident of drawing.
        canvas.Fill(background);
        ::ImageList_Draw(list, 0, canvas.dc, 0, 0, ILD_NORMAL);
        const int pictured = canvas.PixelsOtherThan(background);
        checks.expect(!iconAdded || pictured > 0, "  the picture draws (%d pixels changed)", pictured);
        canvas.Fill(background);
        const BOOL drawn = ::ImageList_Draw(list, 1, canvas.dc, 0, 0, ILD_NORMAL);
        const int blanked = canvas.PixelsOtherThan(background);
        checks.expect(drawn && blanked == 0, "  the blank image draws nothing (%d pixels changed)", blanked);
        ::ImageList_Destroy(list);
    }
}

// The import slot of the runtime's CreateSemaphoreW: defined by Win32RuntimeImports.cpp, or
// else the entry of the exe's import table.
using CreateSemaphoreWFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR);
extern "C" const CreateSemaphoreWFunction runtimeCreateSemaphoreW __asm__(TASKWELL_CREATE_SEMAPHORE_W_SLOT);

bool InThisExe(const void* address) {
    auto* base = reinterpret_cast<const unsigned char*>(::GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    auto* at = static_cast<const unsigned char*>(address);
    return at >= base && at < base + nt->OptionalHeader.SizeOfImage;
}

struct Contender {
    __gnu_cxx::__mutex* mutex = nullptr;
    volatile LONG acquired = 0;
    volatile LONG failed = 0;
};

DWORD WINAPI ContendFor(void* param) {
    auto* c = static_cast<Contender*>(param);
    try {
        c->mutex->lock();
        ::InterlockedExchange(&c->acquired, 1);
        c->mutex->unlock();
    } catch (...) {
        ::InterlockedExchange(&c->failed, 1);
    }
    return 0;
}

void CheckRuntimeSemaphores(Checks& checks) {
    const void* target = reinterpret_cast<const void*>(runtimeCreateSemaphoreW);
    checks.expect(target && InThisExe(target), "the runtime's CreateSemaphoreW is answered inside the exe");

    HANDLE sema = runtimeCreateSemaphoreW(nullptr, 0, 2, nullptr);
    if (checks.expect(sema != nullptr, "an unnamed semaphore is made through it")) {
        const bool first = ::ReleaseSemaphore(sema, 1, nullptr) && ::ReleaseSemaphore(sema, 1, nullptr);
        const bool beyond = ::ReleaseSemaphore(sema, 1, nullptr);
        checks.expect(first && !beyond, "  it counts up to its maximum of 2 and no further");
        const bool taken = ::WaitForSingleObject(sema, 0) == WAIT_OBJECT_0 &&
                           ::WaitForSingleObject(sema, 0) == WAIT_OBJECT_0;
        checks.expect(taken && ::WaitForSingleObject(sema, 0) == WAIT_TIMEOUT, "  and is taken twice, then waits");
        ::CloseHandle(sema);
    }
    ::SetLastError(0);
    HANDLE named = runtimeCreateSemaphoreW(nullptr, 0, 1, L"TaskwellCompatSemaphore");
    checks.expect(named == nullptr && ::GetLastError() == ERROR_CALL_NOT_IMPLEMENTED,
                  "a named semaphore is refused (error %lu)", ::GetLastError());
    if (named) ::CloseHandle(named);

    // Two threads want one runtime mutex: the second waits on the mutex's semaphore until the first
    // lets go, and then has it.
    __gnu_cxx::__mutex mutex;
    Contender contender;
    contender.mutex = &mutex;
    mutex.lock();
    HANDLE thread = ::CreateThread(nullptr, 0, &ContendFor, &contender, 0, nullptr);
    if (!checks.expect(thread != nullptr, "a second thread started")) {
        mutex.unlock();
        return;
    }
    ::Sleep(200);
    checks.expect(!contender.acquired && !contender.failed, "  it waits while the mutex is held");
    mutex.unlock();
    const bool ended = ::WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    ::CloseHandle(thread);
    checks.expect(ended && contender.acquired && !contender.failed,
                  "  it has the mutex once the first thread lets go (ended %d, acquired %ld, failed %ld)", ended,
                  static_cast<long>(contender.acquired), static_cast<long>(contender.failed));
}

}  // namespace

int main() {
    Checks checks;
    CheckSystemFunction(checks);
    CheckBlankImage(checks);
    CheckRuntimeSemaphores(checks);
    std::printf("%d passed, %d failed\n", checks.passed(), checks.failed());
    std::fflush(stdout);
    return checks.failed() == 0 ? 0 : 1;
}

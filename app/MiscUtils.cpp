#include "app/MiscUtils.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <vector>

#include "ui/TApplication.h"
#include "ui/TIcon.h"

namespace taskwell {

namespace {

// False when the record cannot be had, whether the call reports its failure or raises an error: the
// version tests then say no, and the program entry and creation go on as on the family it was
// built for rather than end.
bool ReadVersion(ISystem& system, OSVERSIONINFOA& info) {
    info = OSVERSIONINFOA{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    try {
        return system.GetVersionExA(info);
    } catch (...) {
        return false;
    }
}

bool Windows98Condition(const OSVERSIONINFOA& v) {
    // The build field is compared as a whole signed number: on the Windows 95 family its high word
    // holds major and minor version, so for any 4.x the build test passes and the minor decides.
    return v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && v.dwMajorVersion >= 4 && v.dwMinorVersion >= 10 &&
           static_cast<LONG>(v.dwBuildNumber) >= 1998;
}

bool IsNumber(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::vector<std::string> SplitDots(const std::string& s) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = s.find('.', start);
        parts.push_back(s.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts;
}

}  // namespace

bool IsWindowsNT(ISystem& system) {
    OSVERSIONINFOA v;
    if (!ReadVersion(system, v)) return false;
    return v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion > 3;
}

bool IsWindows98(ISystem& system) {
    OSVERSIONINFOA v;
    if (!ReadVersion(system, v)) return false;
    return Windows98Condition(v);
}

bool IsWindows95(ISystem& system) {
    OSVERSIONINFOA v;
    if (!ReadVersion(system, v)) return false;
    return v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && !Windows98Condition(v) &&
           (v.dwMajorVersion > 3 || v.dwMinorVersion > 10);
}

void ShowMessageBox(IUiBackend& ui, const std::string& caption, const std::string& text) {
    ui.MessageBox(nullptr, text, caption, MB_OK | MB_SETFOREGROUND);
}

void WaitWithMessages(ISystem& system, TApplication& app, int ms) {
    const DWORD start = system.GetTickCount();
    // Unsigned difference of two tick counts: correct across the counter's wrap.
    do {
        app.ProcessMessages();
    } while (ms >= 0 && static_cast<DWORD>(system.GetTickCount() - start) <= static_cast<DWORD>(ms));
}

void LoadIconResource(IShell& shell, TIcon& icon, const std::string& name) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    HICON h = 0;
    try {
        h = shell.LoadIconA(upper);
    } catch (...) {
        h = 0;
    }
    icon.SetHandle(h);
}

std::string GetFileVersionText(ISystem& system, const std::string& path) {
    DWORD handle = 0;
    DWORD size = system.GetFileVersionInfoSizeA(path, handle);
    if (size == 0) return "";
    std::vector<char> buffer(size);  // released on every path
    if (!system.GetFileVersionInfoA(path, handle, size, buffer.data())) return "";
    const char* value = nullptr;
    UINT len = 0;
    if (!system.VerQueryValueA(buffer.data(), "\\StringFileInfo\\040904E4\\FileVersion", value, len) || !value)
        return "";
    // The value lies inside the block; never read past its end even if it lacks its terminator.
    const char* end = buffer.data() + buffer.size();
    if (value < buffer.data() || value >= end) return "";
    size_t n = 0;
    while (value + n < end && value[n] != '\0') ++n;
    return std::string(value, n);
}

std::string ShortVersionTextOf(const std::string& stamp) {
    if (stamp.find('.') == std::string::npos) return stamp;
    std::vector<std::string> parts = SplitDots(stamp);
    if (parts[1].size() == 1) parts[1] = "0" + parts[1];
    std::string result = parts[0] + "." + parts[1];
    // A release part that is not a number counts as 0; beyond 26 there is no letter to give.
    if (parts.size() > 2 && IsNumber(parts[2]) && parts[2].size() <= 2) {
        int release = std::stoi(parts[2]);
        if (release >= 1 && release <= 26) result += static_cast<char>('a' + release - 1);
    }
    return result;
}

std::string BuildTextOf(const std::string& stamp) {
    std::vector<std::string> parts = SplitDots(stamp);
    if (parts.size() == 1) return "";
    if (parts.size() >= 4) {
        // Everything after the third dot.
        size_t pos = 0;
        for (int i = 0; i < 3; ++i) pos = stamp.find('.', pos) + 1;
        return stamp.substr(pos);
    }
    return parts.back();
}

std::string ShortVersionText(ISystem& system, const std::string& path) {
    return ShortVersionTextOf(GetFileVersionText(system, path));
}

std::string BuildText(ISystem& system, const std::string& path) {
    return BuildTextOf(GetFileVersionText(system, path));
}

std::string AddTrailingBackslash(const std::string& path) {
    if (path.empty() || path.back() == '\\') return path;
    return path + "\\";
}

TRect DialogPlacement(const TForm& owner, int width, int height) {
    int left = owner.Left() + owner.Width() / 2 - width / 2;
    int top = owner.Top() + owner.Height() / 2 - height / 2;
    if (left < 2) left = 2;
    if (top < 2) top = 2;
    return TRect{left, top, left + width, top + height};
}

void DestroyIconQuietly(IShell& shell, HICON icon) {
    if (icon != 0) RunQuietly([&] { shell.DestroyIcon(icon); });
}

void PlaceDialog(TForm& dialog, const TForm& owner) {
    const TRect place = DialogPlacement(owner, dialog.Width(), dialog.Height());
    dialog.SetBounds(place.Left, place.Top, place.Width(), place.Height());
}

std::vector<TRect> DesktopWorkAreas(ISystem& system) {
    auto toRect = [](const RECTL& r) { return TRect{r.left, r.top, r.right, r.bottom}; };
    std::vector<TRect> areas;
    try {
        const bool listed = system.EnumDisplayMonitors([&](const MONITORINFO& monitor) {
            const TRect work = toRect(monitor.rcWork);
            if (work.Width() <= 0 || work.Height() <= 0) return true;
            // The primary first: a window with no part on any monitor goes there when it is as near
            // as any other.
            if (monitor.dwFlags & MONITORINFOF_PRIMARY)
                areas.insert(areas.begin(), work);
            else
                areas.push_back(work);
            return true;
        });
        if (listed && !areas.empty()) return areas;
    } catch (const std::exception&) {
    }
    areas.clear();
    try {
        RECTL work{};
        if (system.SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) && work.right > work.left &&
            work.bottom > work.top)
            areas.push_back(toRect(work));
    } catch (const std::exception&) {
    }
    return areas;
}

TRect PlacementOnScreen(const TRect& bounds, const std::vector<TRect>& workAreas) {
    auto overlap = [](int low1, int high1, int low2, int high2) {
        return std::max(0, std::min(high1, high2) - std::max(low1, low2));
    };
    // How far the window lies from the area, squared (0 when they touch or overlap).
    auto distance = [&](const TRect& area) {
        const long long dx = std::max({0, area.Left - bounds.Right, bounds.Left - area.Right});
        const long long dy = std::max({0, area.Top - bounds.Bottom, bounds.Top - area.Bottom});
        return dx * dx + dy * dy;
    };
    const TRect* nearest = nullptr;
    for (const TRect& area : workAreas) {
        if (overlap(bounds.Left, bounds.Right, area.Left, area.Right) >= kReachableWidth &&
            overlap(bounds.Top, bounds.Bottom, area.Top, area.Bottom) >= kReachableHeight)
            return bounds;
        if (!nearest || distance(area) < distance(*nearest)) nearest = &area;
    }
    return nearest ? MovedOnto(bounds, *nearest) : bounds;
}

TRect MovedOnto(const TRect& bounds, const TRect& area) {
    const int width = std::clamp(bounds.Width(), 1, area.Width());
    const int height = std::clamp(bounds.Height(), 1, area.Height());
    const int left = std::clamp(bounds.Left, area.Left, area.Right - width);
    const int top = std::clamp(bounds.Top, area.Top, area.Bottom - height);
    return TRect{left, top, left + width, top + height};
}

void ResetScreenSaverFlag(ISystem& system) {
    system.SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 0, nullptr, 0);
}

}  // namespace taskwell

#include "sysinfo/SystemInfoPage.h"

#include <iterator>

#include "app/DisplayFormats.h"
#include "app/MiscUtils.h"
#include "components/RegistryKey.h"

namespace taskwell {

namespace {
constexpr int kCaptionLeft = 8;
constexpr int kCaptionWidth = 96;
constexpr int kFieldLeft = 108;
constexpr int kFirstRow = 18;
constexpr int kRowPitch = 17;
constexpr int kFieldHeight = 15;
constexpr int kGroupGap = 4;
constexpr const char* kVersionKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

enum : WORD { kIntel = 0, kMips = 1, kAlpha = 2, kPowerPC = 3 };

// One line of a group: a caption and one field (two for the address space), caption and field
// sharing the hint unless the caption has its own.
struct FieldRow {
    const char* caption;
    TEdit* TSystemInfoPage::*field;
    const char* hint;
    TEdit* TSystemInfoPage::*second = nullptr;
    const char* secondHint = nullptr;
    const char* captionHint = nullptr;
};
constexpr FieldRow kOperatingSystem[] = {
    {"Windows Dir.:", &TSystemInfoPage::valueWinDir, "Windows' directory"},
    {"System Dir.:", &TSystemInfoPage::valueSystemDir, "Windows' System directory"},
    {"Up time:", &TSystemInfoPage::valueUpTime, "Time elapsed since computer was started"},
    {"Platform:", &TSystemInfoPage::valuePlatform, "platform supported by the operating system"},
    {"Version:", &TSystemInfoPage::valueVersion, "Operating system version"},
};
constexpr FieldRow kGeneral[] = {
    {"Computer name:", &TSystemInfoPage::valueComputerName, "Computer name"},
    {"User name:", &TSystemInfoPage::valueUserName, "User name"},
    {"Registered owner:", &TSystemInfoPage::valueRegOwner, "Registered owner of this Windows' copy"},
    {"Registered org.:", &TSystemInfoPage::valueRegCompany, "Registered organization of this Windows' copy"},
};
constexpr FieldRow kProcessor[] = {
    {"CPU architecture:", &TSystemInfoPage::valueCPUarch, "Processor architecture"},
    {"Page size:", &TSystemInfoPage::valuePageSize, "Granularity of page protection and commitment"},
    {"Address space:", &TSystemInfoPage::valueMinAddressSpace,
     "Lowest memory address accessible to applications and dynamic-link libraries (DLLs)",
     &TSystemInfoPage::valueMaxAddressSpace,
     "Highest memory address accessible to applications and dynamic-link libraries (DLLs)",
     "Lowest/Highest memory address accessible to applications and dynamic-link libraries (DLLs)"},
    {"Nb of CPUs:", &TSystemInfoPage::valueNbCPUs, "Number of CPUs in this system"},
    {"Active CPUs:", &TSystemInfoPage::valueActiveCPUs, "Active CPUs (1=active, 0=inactive)"},
    {"Alloc. Gran.:", &TSystemInfoPage::valueAllocGran, "Allocation granularity in which memory will be allocated on"},
    {"CPU type:", &TSystemInfoPage::valueCPUtype, "Processor type"},
    {"CPU level:", &TSystemInfoPage::valueCPUlevel, "System's architecture-dependent processor level"},
    {"CPU revision:", &TSystemInfoPage::valueCPUrevision, "Architecture-dependent processor revision"},
};

TEdit& ValueField(TGroupBox& group, int left, int top, int width, const char* hint) {
    TEdit& field = AddValueField(group, left, top, width, group.Scaled(kFieldHeight));
    field.Hint = hint;
    return field;
}
}  // namespace

void TSystemInfoPage::Build(TTabSheet& page) {
    // Widths follow the page (in this screen's pixels); heights and offsets are design lengths.
    const int width = page.ClientWidth() > 0 ? page.ClientWidth() : page.Scaled(420);
    const int margin = page.Scaled(4), fieldLeft = page.Scaled(kFieldLeft);
    int top = 4;
    auto group = [&](const char* caption, const FieldRow* rows, size_t count) {
        const int height = kFirstRow + kRowPitch * static_cast<int>(count) + 4;
        TGroupBox& box = page.Add<TGroupBox>(caption);
        box.SetBounds(margin, page.Scaled(top), width - 2 * margin, page.Scaled(height));
        top += height + kGroupGap;
        const int fieldWidth = box.Width() - fieldLeft - page.Scaled(8);
        for (size_t i = 0; i < count; ++i) {
            const FieldRow& row = rows[i];
            const int y = page.Scaled(kFirstRow + kRowPitch * static_cast<int>(i));
            TLabel& label = box.Add<TLabel>(row.caption);
            label.SetBounds(page.Scaled(kCaptionLeft), y, page.Scaled(kCaptionWidth), page.Scaled(kFieldHeight));
            label.Hint = row.captionHint ? row.captionHint : row.hint;
            if (row.second) {
                const int half = fieldWidth / 2;
                this->*row.field = &ValueField(box, fieldLeft, y, half - margin, row.hint);
                this->*row.second = &ValueField(box, fieldLeft + half, y, fieldWidth - half, row.secondHint);
            } else {
                this->*row.field = &ValueField(box, fieldLeft, y, fieldWidth, row.hint);
            }
        }
        return &box;
    };
    gbOperatingSystem = group(" Operating System ", kOperatingSystem, std::size(kOperatingSystem));
    gbGeneral = group(" General ", kGeneral, std::size(kGeneral));
    gbProcessor = group(" Processor ", kProcessor, std::size(kProcessor));
}

std::string TSystemInfoPage::ArchitectureText(WORD architecture) {
    switch (architecture) {
    case kIntel: return "Intel";
    case kMips: return "MIPS";
    case kAlpha: return "Alpha";
    case kPowerPC: return "PowerPC";
    default: return "Unknown";
    }
}

std::string TSystemInfoPage::ProcessorLevelText(WORD architecture, WORD level) {
    switch (architecture) {
    case kIntel:
        switch (level) {
        case 3: return "80386";
        case 4: return "80486";
        case 5: return "Pentium";
        default: return "Unknown";
        }
    case kMips:
        return level == 4 ? "R4000" : HexText(level & 0xFF, 2);
    case kAlpha:
        return std::to_string(level);  // 21064, 21066 and 21164 read as themselves
    case kPowerPC:
        switch (level) {
        case 1: return "601";
        case 3: return "603";
        case 4: return "604";
        case 6: return "603+";
        case 9: return "604+";
        case 20: return "620";
        default: return HexText(level, 4);
        }
    default:
        return "Unknown";
    }
}

std::string TSystemInfoPage::ProcessorRevisionText(WORD architecture, WORD level, WORD revision) {
    const unsigned high = revision >> 8;
    const unsigned low = revision & 0xFF;
    switch (architecture) {
    case kIntel:
        if (level == 3 || level == 4) return std::string(1, static_cast<char>(65 + high)) + std::to_string(low);
        if (level == 5) return "Model " + std::to_string(high) + ", Stepping " + std::to_string(low);
        return "Unknown";
    case kMips:
        return HexText(low, 2);
    case kAlpha:
        return "Model " + std::string(1, static_cast<char>(65 + high)) + ", Pass" + std::to_string(low);
    case kPowerPC:
        return HexText(high, 2) + "." + HexText(low, 2);
    default:
        return "Unknown";
    }
}

std::string TSystemInfoPage::ProcessorTypeText(LONG type) {
    switch (type) {
    case 386: return "Intel 386";
    case 486: return "Intel 486";
    case 586: return "Intel Pentium";
    case 4000: return "MIPS R4000";
    default: return "Unknown";
    }
}

std::string TSystemInfoPage::ActiveProcessorsText(LONG count, DWORD mask) {
    std::string text;
    for (LONG i = 0; i < count && i < 32; ++i) text += (mask >> i) & 1 ? '1' : '0';
    return text;
}

std::string TSystemInfoPage::UpTimeText(std::uint64_t ms) {
    return std::to_string(ms / 3600000) + "h " + std::to_string((ms % 3600000) / 60000) + "m " +
           std::to_string((ms % 60000) / 1000) + "s";
}

std::string TSystemInfoPage::PlatformText(const TSysInfoComp& info) const {
    if (IsWindows95(platform_.System)) return "Windows 95";
    if (IsWindows98(platform_.System)) return "Windows 98";
    switch (info.osPlatformId()) {
    case 0: return "Win32s on Windows 3.1";
    case 1: return "Win32 on Windows 95";
    case 2: return "Windows NT";
    default: return "Unknown";
    }
}

void TSystemInfoPage::UpdateSystemInfoPage() {
    const TSysInfoComp& info = frame_.Facts();
    ISystem& system = platform_.System;
    const WORD arch = info.siProcessorArchitecture();
    // 1 to 9: the processor.
    valueCPUarch->SetText(ArchitectureText(arch));
    valuePageSize->SetText(std::to_string(info.siPageSize()));
    valueAllocGran->SetText(std::to_string(info.siAllocationGranularity() / 1024) + "K");
    valueMinAddressSpace->SetText("Lowest: " + HexText(static_cast<DWORD>(info.siMinimumApplicationAddress())));
    valueMaxAddressSpace->SetText("Highest: " + HexText(static_cast<DWORD>(info.siMaximumApplicationAddress())));
    valueNbCPUs->SetText(std::to_string(info.siNumberOfProcessors()));
    valueActiveCPUs->SetText(
        ActiveProcessorsText(info.siNumberOfProcessors(), static_cast<DWORD>(info.siActiveProcessorMask())));
    valueCPUlevel->SetText(ProcessorLevelText(arch, info.siProcessorLevel()));
    valueCPUrevision->SetText(ProcessorRevisionText(arch, info.siProcessorLevel(), info.siProcessorRevision()));
    valueCPUtype->SetText(ProcessorTypeText(info.siProcessorType()));
    // 10 to 13: the system. A name the system does not give leaves its field empty.
    std::string text;
    system.GetSystemDirectoryA(text);
    valueSystemDir->SetText(text);
    system.GetWindowsDirectoryA(text);
    valueWinDir->SetText(text);
    valuePlatform->SetText(PlatformText(info));
    valueVersion->SetText(std::to_string(info.osMajorVersion()) + "." + std::to_string(info.osMinorVersion()) +
                          " build " + std::to_string(info.osBuildNumber()) + " " + info.osCSDVersion());
    system.GetComputerNameA(text);
    valueComputerName->SetText(text);
    system.GetUserNameA(text);
    valueUserName->SetText(text);
    // 14: the registered owner. A value that is no text shows as empty.
    RegistryKey version(platform_.Registry, HKEY_LOCAL_MACHINE, kVersionKey, KEY_READ);
    if (version.Opened()) {
        valueRegOwner->SetText(version.ReadString("RegisteredOwner"));
        valueRegCompany->SetText(version.ReadString("RegisteredOrganization"));
    }
}

void TSystemInfoPage::UpdateUpTime() {
    const DWORD tick = platform_.System.GetTickCount();
    if (tickSeen_ && tick < lastTick_) ++wraps_;
    tickSeen_ = true;
    lastTick_ = tick;
    valueUpTime->SetText(UpTimeText((wraps_ << 32) + tick));
}

}  // namespace taskwell

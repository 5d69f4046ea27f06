// The System Info page: facts about the operating system, the computer and its user, and the
// processor, in read-only fields beside their captions. Filled once at start-up; only the up time
// follows the ticks.
#pragma once

#include <cstdint>
#include <string>

#include "app/PageFrame.h"
#include "platform/Platform.h"
#include "ui/StdCtrls.h"
#include "ui/TPageControl.h"

namespace taskwell {

class TSystemInfoPage {
public:
    TSystemInfoPage(TPageFrame& frame, const Platform& platform) : frame_(frame), platform_(platform) {}

    // Builds the three groups and their fields on the page's sheet.
    void Build(TTabSheet& sheet);
    // Fills every field but the up time.
    void UpdateSystemInfoPage();
    // Shows the time since the system started. The system's millisecond count wraps after 49.7 days;
    // the wraps seen while the program runs are counted, so the up time keeps growing.
    void UpdateUpTime();

    // The texts of the processor facts, as the page shows them.
    static std::string ArchitectureText(WORD architecture);
    static std::string ProcessorLevelText(WORD architecture, WORD level);
    static std::string ProcessorRevisionText(WORD architecture, WORD level, WORD revision);
    static std::string ProcessorTypeText(LONG type);
    // One character per processor (at most 32): "1" active, "0" not, processor 0 first.
    static std::string ActiveProcessorsText(LONG count, DWORD mask);
    // "2h 5m 9s" for 7509000 ms.
    static std::string UpTimeText(std::uint64_t milliseconds);

    TGroupBox* gbOperatingSystem = nullptr;
    TGroupBox* gbGeneral = nullptr;
    TGroupBox* gbProcessor = nullptr;
    TEdit* valueWinDir = nullptr;
    TEdit* valueSystemDir = nullptr;
    TEdit* valueUpTime = nullptr;
    TEdit* valuePlatform = nullptr;
    TEdit* valueVersion = nullptr;
    TEdit* valueComputerName = nullptr;
    TEdit* valueUserName = nullptr;
    TEdit* valueRegOwner = nullptr;
    TEdit* valueRegCompany = nullptr;
    TEdit* valueCPUarch = nullptr;
    TEdit* valuePageSize = nullptr;
    TEdit* valueMinAddressSpace = nullptr;
    TEdit* valueMaxAddressSpace = nullptr;
    TEdit* valueNbCPUs = nullptr;
    TEdit* valueActiveCPUs = nullptr;
    TEdit* valueAllocGran = nullptr;
    TEdit* valueCPUtype = nullptr;
    TEdit* valueCPUlevel = nullptr;
    TEdit* valueCPUrevision = nullptr;

private:
    std::string PlatformText(const TSysInfoComp& info) const;

    TPageFrame& frame_;
    const Platform& platform_;
    bool tickSeen_ = false;
    DWORD lastTick_ = 0;
    std::uint64_t wraps_ = 0;
};

}  // namespace taskwell

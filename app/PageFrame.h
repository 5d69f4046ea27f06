// What a page may ask of the main window: the shared readings, read-only, the options of the whole
// window, and the few commands that belong to the window rather than to one page. A page reaches
// nothing else of the main window and nothing of another page; the main window carries out a
// cross-page command by asking the page it concerns.
#pragma once

#include <functional>
#include <string>

#include "app/DateTimeFormat.h"
#include "components/TRegistryEnhanced.h"
#include "components/TSysInfoComp.h"
#include "components/TWinList.h"
#include "process/ProcessList.h"
#include "ui/TForm.h"

namespace taskwell {

// The latest readings of the statistics and the memory status, stored by the main window for the
// next tick.
struct TSharedReadings {
    LONG ProcessCount = 0;
    LONG MemUsedK = 0;
    LONG CPUUsage = 0;
    LONG ThreadCount = 0;
    LONG VMCount = 0;
    // Bytes, 64-bit and unsigned. Committed memory comes from its statistic on Windows 95/98 and
    // from the extended memory status where the host has it, since a 4-byte statistic cannot carry
    // 4 GB.
    DWORDLONG CommittedBytes = 0;
    DWORDLONG DiskCacheBytes = 0;
};

// Writes one value of the settings under the key set; a refusal is noted by the main window, which
// shows the first one once, and the caller goes on with the next value.
using TSettingWriter = std::function<void(const std::string& name, const TRegValue& value)>;

// The settings key of that name below the program's settings root.
std::string SettingsKey(const std::string& name);
// A column width as stored: a number from 0 to 32767; anything else gives def.
LONG ReadColumnWidth(const TRegistryEnhanced& registry, const std::string& name, LONG def);

class TPageFrame {
public:
    // The main window: owner of the dialogs and message boxes, and of the focus.
    virtual TForm& Window() = 0;
    virtual const ProcessList& Processes() const = 0;
    virtual const TSharedReadings& Latest() const = 0;
    // The memory status and the system facts.
    virtual const TSysInfoComp& Facts() const = 0;
    // The window list engine.
    virtual TWinList& Windows() = 0;
    virtual const TFormatSettings& Formats() const = 0;
    // The settings accessor, for the values a page stores outside the main window's saving.
    virtual TRegistryEnhanced& Settings() = 0;
    // "&Confirmations" and "&Show 16-bit tasks".
    virtual bool Confirmations() const = 0;
    virtual bool Show16bit() const = 0;
    // The program directory: the executable's directory, ending in a backslash.
    virtual std::string ProgramDirectory() const = 0;

    // Runs a refresh tick now.
    virtual void RefreshNow() = 0;
    // Brings the process records up to date and shows the process on the Processes page, selected.
    virtual void ShowProcess(DWORD processId) = 0;

protected:
    ~TPageFrame() = default;
};

}  // namespace taskwell

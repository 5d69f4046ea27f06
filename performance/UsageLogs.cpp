#include "performance/UsageLogs.h"

#include "app/PathUtils.h"
#include "performance/PerformancePage.h"

namespace taskwell {

namespace {
constexpr const char* kLineEnd = "\r\n";

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}
}  // namespace

TUsageLogs::TUsageLogs(TPerformancePage& page, TPageFrame& frame, TApplication& app, const Platform& platform)
    : SaveDialog(app), page_(page), frame_(frame), platform_(platform) {
    SaveDialog.Title = "Choose a log file";
    SaveDialog.DefaultExt = "log";
    SaveDialog.Filter = {{"Log files", "*.log"}, {"All files", "*.*"}};
    SaveDialog.Options = ofHideReadOnly | ofPathMustExist;
}

std::string TUsageLogs::Line(const SYSTEMTIME& now, const std::string& value) const {
    return Quoted(FormatDate(frame_.Formats(), now)) + "," + Quoted(FormatTime(frame_.Formats(), now)) + "," +
           Quoted(value);
}

void TUsageLogs::LogUsageHistory() {
    const bool cpu = page_.itmCPUHistEnabled->Checked();
    const bool mem = page_.itmMemHistEnable->Checked();
    if (!cpu && !mem) return;
    // One reading of the clock for the tick: a date and a time from two readings could pair the old
    // day with the new time at midnight.
    SYSTEMTIME now{};
    platform_.System.GetLocalTime(now);
    if (cpu) {
        try {
            AppendLogLine(page_.CPULogFile, Line(now, std::to_string(frame_.Latest().CPUUsage)));
        } catch (...) {
            // Tried again at the next tick.
        }
    }
    if (mem) {
        try {
            AppendLogLine(page_.MemLogFile, Line(now, std::to_string(frame_.Latest().CommittedBytes)));
        } catch (...) {
        }
    }
}

bool TUsageLogs::AppendLogLine(const std::string& path, const std::string& line) {
    IFiles& files = platform_.Files;
    const bool exists = files.GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    const HANDLE file = files.CreateFileA(path, GENERIC_WRITE, exists ? OPEN_EXISTING : CREATE_NEW);
    if (file == 0) return false;
    bool written = false;
    // The end of the file before the line: a 64-bit position, as a log may pass 2 and 4 GB.
    LONGLONG end = 0;
    try {
        end = exists ? files.SetFilePointer(file, 0, FILE_END) : 0;
        if (end >= 0) {
            const std::string text = (exists ? std::string() : std::string(kHeader) + kLineEnd) + line + kLineEnd;
            DWORD done = 0;
            written = files.WriteFile(file, text, done);
            if (!written && exists && done > 0) {
                // Part of the line reached the file: cut it back off.
                if (files.SetFilePointer(file, end, FILE_BEGIN) >= 0) files.SetEndOfFile(file);
            }
        }
    } catch (...) {
        written = false;
    }
    try {
        files.CloseHandle(file);
    } catch (...) {
    }
    // A file made now without its header would take later lines without one: it goes.
    if (!written && !exists) {
        try {
            files.DeleteFileA(path);
        } catch (...) {
        }
    }
    return written;
}

void TUsageLogs::itmCPUHistEnabledClick() {
    page_.itmCPUHistEnabled->SetChecked(!page_.itmCPUHistEnabled->Checked());
}

void TUsageLogs::itmMemHistEnableClick() {
    page_.itmMemHistEnable->SetChecked(!page_.itmMemHistEnable->Checked());
}

void TUsageLogs::itmCPUHistChooseClick() {
    ChooseLogFile(page_.CPULogFile);
}

void TUsageLogs::itmMemHistChooseClick() {
    ChooseLogFile(page_.MemLogFile);
}

void TUsageLogs::ChooseLogFile(std::string& path) {
    SaveDialog.InitialDir = ExtractFilePath(path);
    SaveDialog.FileName = ExtractFileName(path);
    if (SaveDialog.Execute()) path = SaveDialog.FileName;
}

}  // namespace taskwell

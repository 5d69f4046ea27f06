// The usage logs: with its "&Events" switch on, each refresh tick appends the CPU usage (percent) or
// the committed memory (bytes) to a CSV file, one line of date, time and value per tick:
//
//     "Date","Time","Usage"            (written when the program creates the file)
//     "1999/12/31","23:59:58","42"
//
// Lines end with a carriage return and a line feed. A file is opened and closed for every line.
// Each log stands on its own: one that cannot be written is skipped silently for this tick and tried
// again at the next, and never keeps the other from being written. A line is written whole or not
// at all: a write that fails half way is cut back off the file, and a new file whose first write
// failed is removed, so no later line is glued to a broken one and no file lacks its header.
#pragma once

#include <string>

#include "app/PageFrame.h"
#include "platform/Platform.h"
#include "ui/TSaveDialog.h"

namespace taskwell {

class TPerformancePage;

// Part of the Performance page, which holds the logs' switches and paths.
class TUsageLogs {
public:
    TUsageLogs(TPerformancePage& page, TPageFrame& frame, TApplication& app, const Platform& platform);

    // Appends the line of each log that is on, stamped with one reading of the clock.
    void LogUsageHistory();
    // Appends one line (without its line end) to the file, creating it with the header when there
    // is none. False when the line could not be written (the file is as it was).
    bool AppendLogLine(const std::string& path, const std::string& line);

    // The "&Events" menu's commands.
    void itmCPUHistEnabledClick();
    void itmMemHistEnableClick();
    void itmCPUHistChooseClick();
    void itmMemHistChooseClick();

    static constexpr const char* kHeader = "\"Date\",\"Time\",\"Usage\"";

    // The one dialog both logs choose their file with.
    TSaveDialog SaveDialog;

private:
    // Lets the user choose a new path for a log; the path changes only when the user confirms.
    void ChooseLogFile(std::string& path);
    std::string Line(const SYSTEMTIME& now, const std::string& value) const;

    TPerformancePage& page_;
    TPageFrame& frame_;
    const Platform& platform_;
};

}  // namespace taskwell

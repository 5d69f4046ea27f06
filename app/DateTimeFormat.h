// The program's date and time formats: set once at start-up to the short date "yyyy/mm/dd" and the
// long time "HH:mm:ss", where "/" and ":" stand for the separators of the user's locale. The usage
// logs stamp their lines with them.
#pragma once

#include <string>

#include "platform/SystemFacts.h"

namespace taskwell {

struct TFormatSettings {
    std::string ShortDateFormat = "yyyy/mm/dd";
    std::string LongTimeFormat = "HH:mm:ss";
    std::string DateSeparator = "/";
    std::string TimeSeparator = ":";

    // The separators of the user's locale; a separator the system does not give stays as it is.
    void ReadLocale(ISystem& system);
};

// The date of the reading in ShortDateFormat: "yyyy" the year, "mm" the month and "dd" the day,
// each zero-padded; "/" is the date separator; other characters stand as they are.
std::string FormatDate(const TFormatSettings& settings, const SYSTEMTIME& time);
// The time of the reading in LongTimeFormat: "HH" the hour (0 to 23), "mm" the minutes and "ss" the
// seconds, each zero-padded; ":" is the time separator.
std::string FormatTime(const TFormatSettings& settings, const SYSTEMTIME& time);

}  // namespace taskwell

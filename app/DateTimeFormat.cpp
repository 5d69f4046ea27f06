#include "app/DateTimeFormat.h"

#include <cstdio>

namespace taskwell {

void TFormatSettings::ReadLocale(ISystem& system) {
    std::string text;
    if (system.GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDATE, text) && !text.empty()) DateSeparator = text;
    if (system.GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, text) && !text.empty()) TimeSeparator = text;
}

namespace {
std::string Padded(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*u", digits, value);
    return text;
}

// Writes the format with its fields; each token is a run of one letter.
template <class Field>
std::string Expand(const std::string& format, char separator, const std::string& separatorText, Field field) {
    std::string out;
    for (size_t i = 0; i < format.size();) {
        const char c = format[i];
        if (c == separator) {
            out += separatorText;
            ++i;
            continue;
        }
        size_t run = 1;
        while (i + run < format.size() && format[i + run] == c) ++run;
        std::string value;
        if (field(c, run, value))
            out += value;
        else
            out.append(format, i, run);
        i += run;
    }
    return out;
}
}  // namespace

std::string FormatDate(const TFormatSettings& settings, const SYSTEMTIME& time) {
    return Expand(settings.ShortDateFormat, '/', settings.DateSeparator, [&](char c, size_t run, std::string& value) {
        if (c == 'y' && run == 4) value = Padded(time.wYear, 4);
        else if (c == 'm' && run == 2) value = Padded(time.wMonth, 2);
        else if (c == 'd' && run == 2) value = Padded(time.wDay, 2);
        else return false;
        return true;
    });
}

std::string FormatTime(const TFormatSettings& settings, const SYSTEMTIME& time) {
    return Expand(settings.LongTimeFormat, ':', settings.TimeSeparator, [&](char c, size_t run, std::string& value) {
        if (c == 'H' && run == 2) value = Padded(time.wHour, 2);
        else if (c == 'm' && run == 2) value = Padded(time.wMinute, 2);
        else if (c == 's' && run == 2) value = Padded(time.wSecond, 2);
        else return false;
        return true;
    });
}

}  // namespace taskwell

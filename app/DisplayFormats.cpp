#include "app/DisplayFormats.h"

#include <algorithm>

namespace taskwell {

std::string HexText(DWORD value, int digits) {
    // Written by hand rather than formatted: every process row's caption is made on every tick.
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char reversed[8];
    int count = 0;
    do {
        reversed[count++] = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    std::string text(static_cast<size_t>(std::max(digits - count, 0)), '0');
    while (count > 0) text.push_back(reversed[--count]);
    return text;
}

std::string SignedText(DWORD value) {
    return std::to_string(static_cast<LONG>(value));
}

}  // namespace taskwell

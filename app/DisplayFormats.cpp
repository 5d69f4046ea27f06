#include "app/DisplayFormats.h"

#include <cstdio>

namespace taskwell {

std::string HexText(DWORD value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string SignedText(DWORD value) {
    return std::to_string(static_cast<LONG>(value));
}

}  // namespace taskwell

#include "app/DisplayFormats.h"

#include <cstdio>

namespace taskwell {

std::string HexText(DWORD value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

std::string SignedText(DWORD value) {
    return std::to_string(static_cast<LONG>(value));
}

}  // namespace taskwell

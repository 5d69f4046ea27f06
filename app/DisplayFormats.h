// How numbers are shown program-wide: ids, handles, addresses and flag words as 8 upper-case
// hexadecimal digits, zero-padded; counts and priorities in plain signed decimal.
#pragma once

#include <string>

#include "platform/Types.h"

namespace taskwell {

// "0000F00D" for 0xF00D; with fewer digits, "0D" for 0xD and 2 (a longer value keeps its digits).
std::string HexText(DWORD value, int digits = 8);
// The value's bits read as a signed 32-bit number: "-1" for 0xFFFFFFFF.
std::string SignedText(DWORD value);

}  // namespace taskwell

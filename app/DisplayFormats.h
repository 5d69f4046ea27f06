// How numbers are shown program-wide: ids, handles, addresses and flag words as 8 upper-case
// hexadecimal digits, zero-padded; counts and priorities in plain signed decimal.
#pragma once

#include <string>

#include "platform/Types.h"

namespace taskwell {

// "0000F00D" for 0xF00D.
std::string HexText(DWORD value);
// The value's bits read as a signed 32-bit number: "-1" for 0xFFFFFFFF.
std::string SignedText(DWORD value);

}  // namespace taskwell

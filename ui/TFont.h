// The face, size and colour a control draws its text in.
#pragma once

#include <string>

namespace taskwell {

struct TFont {
    std::string Name = "MS Sans Serif";
    int Size = 8;       // points
    int Height = 0;     // character height in pixels; when set it wins over Size
    int Color = 0;      // 0xBBGGRR; black
    bool Bold = false;

    bool operator==(const TFont&) const = default;
};

}  // namespace taskwell

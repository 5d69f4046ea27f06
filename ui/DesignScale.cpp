#include "ui/DesignScale.h"

#include <cstdint>

namespace taskwell {

namespace {
constexpr int kLowestDpi = 24;
constexpr int kHighestDpi = 480;
}  // namespace

int ScaleDesignLength(int length, int dpi) {
    if (dpi < kLowestDpi || dpi > kHighestDpi) dpi = kDesignDpi;
    if (dpi == kDesignDpi) return length;
    const std::int64_t product = static_cast<std::int64_t>(length) * dpi;
    const std::int64_t half = product < 0 ? -kDesignDpi / 2 : kDesignDpi / 2;
    std::int64_t scaled = (product + half) / kDesignDpi;
    if (scaled == 0 && length != 0) scaled = length < 0 ? -1 : 1;
    return static_cast<int>(scaled);
}

}  // namespace taskwell

// An icon picture held by handle.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace taskwell {

class TIcon {
public:
    HICON Handle() const { return handle_; }
    // Every handle set is a picture of its own, numbered anew, and copies of the icon keep the
    // number: a holder that keeps something made from a picture (a copy of it) can tell by the
    // number that it is still the same picture, where the handle alone could since have been freed
    // and given by the system to another.
    void SetHandle(HICON h) {
        handle_ = h;
        picture_ = h == 0 ? 0 : ++lastPicture_;
    }
    bool Empty() const { return handle_ == 0; }
    // 0 for an empty icon.
    std::uint64_t Picture() const { return picture_; }

private:
    // Icons are set on the user-interface thread only.
    static inline std::uint64_t lastPicture_ = 0;
    HICON handle_ = 0;
    std::uint64_t picture_ = 0;
};

}  // namespace taskwell

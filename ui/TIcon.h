// An icon picture held by handle.
#pragma once

#include "platform/Types.h"

namespace taskwell {

class TIcon {
public:
    HICON Handle() const { return handle_; }
    void SetHandle(HICON h) { handle_ = h; }
    bool Empty() const { return handle_ == 0; }

private:
    HICON handle_ = 0;
};

}  // namespace taskwell

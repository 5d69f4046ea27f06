#include "app/DisplayFormats.h"

#include <gtest/gtest.h>

namespace taskwell {
namespace {

TEST(HexText, UpperCaseDigitsPaddedToTheWidthButNeverCut) {
    struct Case {
        DWORD value;
        int digits;
        const char* text;
    };
    for (const Case& c : {Case{0, 8, "00000000"}, Case{0xABCD, 8, "0000ABCD"}, Case{0xFFFFFFFF, 8, "FFFFFFFF"},
                          Case{0x80000000, 8, "80000000"}, Case{5, 2, "05"}, Case{0x1234, 2, "1234"},
                          Case{0, 1, "0"}, Case{0x0F, 4, "000F"}})
        EXPECT_EQ(HexText(c.value, c.digits), c.text) << c.value << "/" << c.digits;
}

}  // namespace
}  // namespace taskwell

#include "ui/DesignScale.h"

#include <gtest/gtest.h>

#include "support/SimFixture.h"
#include "ui/StdCtrls.h"
#include "ui/TForm.h"

namespace taskwell {
namespace {

TEST(DesignScale, ScalesByTheScreensDpiOver96RoundingAsMulDiv) {
    struct Case {
        int length, dpi, expected;
    };
    const Case cases[] = {
        {444, 96, 444}, {19, 96, 19},                      // Small Fonts: unchanged
        {538, 120, 673}, {2, 120, 3}, {105, 144, 158},     // halves round up
        {19, 120, 24}, {7, 120, 9},                        // 23.75, 8.75
        {-2, 120, -3}, {-7, 144, -11},                     // away from zero below it
        {1, 30, 1}, {-1, 30, -1}, {0, 144, 0},             // nonzero stays nonzero
        {100, 0, 100}, {100, 4800, 100},                   // no DPI the system could mean
        {100, 24, 25}, {100, 480, 500},                    // the range's ends
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScaleDesignLength(c.length, c.dpi), c.expected) << c.length << " at " << c.dpi << " dpi";
}

TEST(DesignScale, AFormScalesByTheDpiTheScreenHadWhenFirstAsked) {
    testing::SimFixture f;
    f.ui.LogPixels = 120;
    TForm form(f.app);
    EXPECT_EQ(form.Scaled(100), 125);
    f.ui.LogPixels = 144;
    TForm later(f.app);
    EXPECT_EQ(later.Scaled(100), 125);
    // A control on no form yet has no screen: its lengths stay design lengths.
    TLabel loose;
    EXPECT_EQ(loose.Scaled(100), 100);
}

}  // namespace
}  // namespace taskwell

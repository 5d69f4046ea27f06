#include <gtest/gtest.h>

#include "support/SimFixture.h"

namespace taskwell {
namespace {

constexpr const char* kAppColumns = "Software\\Orvex Software\\Taskwell\\Application Columns";

// The main window built on a 1024 x 768 screen (work area 740 high) of each DPI: its design bounds,
// status panels, margins and default column widths scale, and with nothing stored it opens wholly
// on the work area (moved up or left, shrunk only where taller); a stored column width stays.
TEST(LargeFonts, TheMainWindowScalesItsDesignByTheScreensDpi) {
    struct Case {
        int dpi;
        int left, top, width, height;
        int panels[4];
        int margin, bottomPanel, pidColumn;
    };
    const Case cases[] = {
        {96, 259, 137, 444, 538, {100, 105, 200, 50}, 7, 41, 50},
        {120, 324, 740 - 673, 555, 673, {125, 131, 250, 63}, 9, 51, 63},
        {144, 1024 - 666, 0, 666, 740, {150, 158, 300, 75}, 11, 62, 75},
    };
    for (const Case& c : cases) {
        testing::MainWindowFixture f;
        f.ui.LogPixels = c.dpi;
        f.registry.SetDword(HKEY_CURRENT_USER, kAppColumns, "Task", 250);
        TfrmMain& m = f.Create();
        const std::string at = std::to_string(c.dpi) + " dpi";
        EXPECT_EQ(m.Left(), c.left) << at;
        EXPECT_EQ(m.Top(), c.top) << at;
        EXPECT_EQ(m.Width(), c.width) << at;
        EXPECT_EQ(m.Height(), c.height) << at;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(m.sbMain->Panels(i).Width, c.panels[i]) << at << ", panel " << i;
        EXPECT_EQ(m.pcMain->Left(), c.margin) << at;
        EXPECT_EQ(m.tsApplications->ClientHeight() - m.ApplicationsPage.sagApplications->Height(), c.bottomPanel)
            << at;
        EXPECT_EQ(m.ProcessPage.sagProcesses->Column(0).Width, c.pidColumn) << at;
        EXPECT_EQ(m.ApplicationsPage.sagApplications->Column(0).Width, 250) << at << ": stored";
        EXPECT_EQ(m.ApplicationsPage.sagApplications->Column(1).Width, m.Scaled(100)) << at << ": default";
    }
}

}  // namespace
}  // namespace taskwell

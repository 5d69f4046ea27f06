#include <gtest/gtest.h>

#include "support/SimFixture.h"

namespace taskwell {
namespace {

constexpr const char* kAppColumns = "Software\\Orvex Software\\Taskwell\\Application Columns";

// The main window built on a screen of each DPI: its design bounds, status panels, margins and
// default column widths scale; widths the user stored stay as they were saved.
TEST(LargeFonts, TheMainWindowScalesItsDesignByTheScreensDpi) {
    struct Case {
        int dpi;
        int left, top, width, height;
        int panels[4];
        int margin, bottomPanel, pidColumn;
    };
    const Case cases[] = {
        {96, 259, 137, 444, 538, {100, 105, 200, 50}, 7, 41, 50},
        {120, 324, 171, 555, 673, {125, 131, 250, 63}, 9, 51, 63},
        {144, 389, 206, 666, 807, {150, 158, 300, 75}, 11, 62, 75},
    };
    for (const Case& c : cases) {
        testing::MainWindowFixture f;
        f.ui.LogPixels = c.dpi;
        // A screen the scaled window fits on, so that nothing moves it.
        f.machine.Monitors = {{RECTL{0, 0, 1600, 1200}, RECTL{0, 0, 1600, 1172}}};
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

// Without a stored place the window opens wholly on the primary work area (1024 x 768 with a task
// bar: 740 high), moved up or left and, only where taller than the area, shrunk to it.
TEST(LargeFonts, TheDesignBoundsOpenWhollyOnTheWorkArea) {
    struct Case {
        int dpi, left, top, height;
    };
    const Case cases[] = {{96, 259, 137, 538}, {120, 324, 740 - 673, 673}, {144, 1024 - 666, 0, 740}};
    for (const Case& c : cases) {
        testing::MainWindowFixture f;
        f.ui.LogPixels = c.dpi;
        TfrmMain& m = f.Create();
        EXPECT_EQ(m.Left(), c.left) << c.dpi << " dpi";
        EXPECT_EQ(m.Top(), c.top) << c.dpi << " dpi";
        EXPECT_EQ(m.Height(), c.height) << c.dpi << " dpi";
    }
}

}  // namespace
}  // namespace taskwell

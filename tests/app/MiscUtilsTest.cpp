#include "app/MiscUtils.h"

#include <gtest/gtest.h>

#include "support/SimFixture.h"
#include "ui/TIcon.h"
#include "ui/TTimer.h"

namespace taskwell {
namespace {

using sim::Op;
using testing::SimFixture;

struct VersionCase {
    const char* name;
    DWORD major, minor, build, platformId;
    bool nt, win98, win95;
};

class VersionTests : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionTests, ClassifiesTheVersionRecord) {
    const VersionCase& c = GetParam();
    SimFixture f;
    f.machine.SetVersion(c.major, c.minor, c.build, c.platformId);
    EXPECT_EQ(IsWindowsNT(f.machine), c.nt);
    EXPECT_EQ(IsWindows98(f.machine), c.win98);
    EXPECT_EQ(IsWindows95(f.machine), c.win95);
}

INSTANTIATE_TEST_SUITE_P(
    Systems, VersionTests,
    ::testing::Values(
        VersionCase{"Windows95", 4, 0, 0x04000000u | 950u, 1, false, false, true},
        VersionCase{"Windows95OSR2", 4, 0, 0x04000000u | 1111u, 1, false, false, true},
        VersionCase{"Windows98", 4, 10, 0x040A0000u | 1998u, 1, false, true, false},
        VersionCase{"Windows98SE", 4, 10, 0x040A0000u | 2222u, 1, false, true, false},
        VersionCase{"WindowsMe", 4, 90, 0x045A0000u | 3000u, 1, false, true, false},
        // A build field without the version in its high word still decides by its whole value.
        VersionCase{"Windows98PlainBuild", 4, 10, 1998, 1, false, true, false},
        VersionCase{"Windows98EarlyBuild", 4, 10, 1997, 1, false, false, true},
        VersionCase{"WindowsNT351", 3, 51, 1057, 2, false, false, false},
        VersionCase{"WindowsNT4", 4, 0, 1381, 2, true, false, false},
        VersionCase{"Windows10", 10, 0, 19045, 2, true, false, false},
        VersionCase{"Win32s", 3, 10, 0, 0, false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VersionTests, AreAllFalseWhenTheRecordCannotBeHad) {
    SimFixture f;
    f.machine.UseWindowsNT4();
    f.machine.Fail(Op::GetVersionExA);
    EXPECT_FALSE(IsWindowsNT(f.machine));
    EXPECT_FALSE(IsWindows98(f.machine));
    EXPECT_FALSE(IsWindows95(f.machine));
}

struct StampCase {
    const char* stamp;
    const char* shortText;
    const char* build;
};

class VersionTextTests : public ::testing::TestWithParam<StampCase> {};

TEST_P(VersionTextTests, FormatsTheStamp) {
    const StampCase& c = GetParam();
    EXPECT_EQ(ShortVersionTextOf(c.stamp), c.shortText) << c.stamp;
    EXPECT_EQ(BuildTextOf(c.stamp), c.build) << c.stamp;
}

INSTANTIATE_TEST_SUITE_P(Stamps, VersionTextTests,
                         ::testing::Values(StampCase{"1.1.0.25", "1.01", "25"},
                                           StampCase{"1.1.2.25", "1.01b", "25"},
                                           StampCase{"2.10.0.7", "2.10", "7"},
                                           StampCase{"3.5.26.100", "3.05z", "100"},
                                           StampCase{"3.5.27.1", "3.05", "1"},  // no letter past z
                                           StampCase{"1.1.x.9", "1.01", "9"},   // a release that is no number
                                           StampCase{"1.2.3", "1.02c", "3"},
                                           StampCase{"1.2", "1.02", "2"},
                                           StampCase{"7", "7", ""},
                                           StampCase{"", "", ""},
                                           StampCase{"1.1.0.25.6", "1.01", "25.6"}),
                         [](const auto& info) { return "Stamp" + std::to_string(info.index); });

TEST(FileVersionText, ReadsTheStampOfTheFile) {
    SimFixture f;
    f.machine.FileVersions["C:\\TW.EXE"] = "2.10.0.7";
    EXPECT_EQ(GetFileVersionText(f.machine, "C:\\TW.EXE"), "2.10.0.7");
    EXPECT_EQ(ShortVersionText(f.machine, "C:\\TW.EXE"), "2.10");
    EXPECT_EQ(BuildText(f.machine, "C:\\TW.EXE"), "7");
}

TEST(FileVersionText, IsEmptyWithoutAVersionResourceOrWhenReadingFails) {
    SimFixture f;
    EXPECT_EQ(GetFileVersionText(f.machine, "C:\\NONE.EXE"), "");
    EXPECT_EQ(ShortVersionText(f.machine, "C:\\NONE.EXE"), "");
    EXPECT_EQ(BuildText(f.machine, "C:\\NONE.EXE"), "");
    EXPECT_EQ(f.machine.Calls(Op::GetFileVersionInfoA), 0);  // size 0: nothing more is asked

    f.machine.FileVersions["C:\\TW.EXE"] = "1.1.0.25";
    f.machine.Fail(Op::GetFileVersionInfoA);
    EXPECT_EQ(GetFileVersionText(f.machine, "C:\\TW.EXE"), "");
    f.machine.Fail(Op::GetFileVersionInfoA, false);
    f.machine.Fail(Op::VerQueryValueA);
    EXPECT_EQ(GetFileVersionText(f.machine, "C:\\TW.EXE"), "");
}

TEST(WaitWithMessages, ReturnsJustAfterTheTimeAndLetsTimersRun) {
    SimFixture f;
    TTimer timer(f.app, 100, true);
    int fired = 0;
    timer.OnTimer = [&] { ++fired; };
    std::uint64_t start = f.machine.Now();
    WaitWithMessages(f.machine, f.app, 350);
    std::uint64_t waited = f.machine.Now() - start;
    EXPECT_GT(waited, 350u);
    EXPECT_LE(waited, 352u);
    EXPECT_EQ(fired, 3);
}

TEST(WaitWithMessages, EndsWhenTheTickCountWrapsDuringTheWait) {
    SimFixture f;
    f.machine.TickBase = 0xFFFFFF00u;  // 256 ms before the counter wraps to 0
    std::uint64_t start = f.machine.Now();
    WaitWithMessages(f.machine, f.app, 350);
    EXPECT_GT(f.machine.Now() - start, 350u);
    EXPECT_LE(f.machine.Now() - start, 352u);
}

TEST(WaitWithMessages, ProcessesMessagesAtLeastOnce) {
    SimFixture f;
    bool ran = false;
    f.ui.At(0, [&] { ran = true; });
    WaitWithMessages(f.machine, f.app, -5);
    EXPECT_TRUE(ran);
}

TEST(LoadIconResource, UpperCasesTheNameAndLeavesNoPictureOnFailure) {
    SimFixture f;
    TIcon icon;
    LoadIconResource(f.machine, icon, "z_3");
    ASSERT_FALSE(f.machine.LoadedIconNames.empty());
    EXPECT_EQ(f.machine.LoadedIconNames.back(), "Z_3");
    EXPECT_FALSE(icon.Empty());

    LoadIconResource(f.machine, icon, "no_such_icon");
    EXPECT_TRUE(icon.Empty());

    LoadIconResource(f.machine, icon, "z_3");
    f.machine.Raise(Op::LoadIconA);
    LoadIconResource(f.machine, icon, "z_4");
    EXPECT_TRUE(icon.Empty());
}

TEST(ShowMessageBox, IsOwnedByTheDesktopWithOkAndNoIcon) {
    SimFixture f;
    ShowMessageBox(f.ui, "Error", "Something");
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    const auto& box = f.ui.MessageBoxes[0];
    EXPECT_TRUE(box.ownedByDesktop);
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text, "Something");
    EXPECT_EQ(box.flags, MB_OK | MB_SETFOREGROUND);
}

TEST(AddTrailingBackslash, AddsOneOnlyWhereMissing) {
    EXPECT_EQ(AddTrailingBackslash(""), "");
    EXPECT_EQ(AddTrailingBackslash("C:\\"), "C:\\");
    EXPECT_EQ(AddTrailingBackslash("C:\\TOOLS"), "C:\\TOOLS\\");
}

TEST(ResetScreenSaverFlag, TellsTheSystemNoScreenSaverRuns) {
    SimFixture f;
    ResetScreenSaverFlag(f.machine);
    ASSERT_EQ(f.machine.SystemParameterCalls.size(), 1u);
    EXPECT_EQ(f.machine.SystemParameterCalls[0].action, 97u);
    EXPECT_EQ(f.machine.SystemParameterCalls[0].param, 0u);
}

}  // namespace
}  // namespace taskwell

#include "components/TRePosApp.h"

#include <gtest/gtest.h>

#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimUi.h"
#include "ui/Exception.h"
#include "ui/TApplication.h"
#include "ui/TForm.h"

namespace taskwell {
namespace {

using sim::SimRegistry;

constexpr const char* kSection = "Software\\Maker\\App\\app.INI\\frmMain";

struct RePosAppTest : ::testing::Test {
    sim::SimMachine machine;
    sim::SimUi ui{machine};
    TApplication app{ui};
    TForm form{app};
    SimRegistry registry;
    TRePosApp placement{registry, form};
    RePosAppTest() {
        placement.InifileName = "Software\\Maker\\App\\app";
        placement.SectionName = "frmMain";
        placement.Left = 259;
        placement.Top = 137;
        placement.Width = 444;
        placement.Height = 538;
        form.SetBounds(1, 2, 3, 4);
    }
    void TearDown() override { EXPECT_EQ(registry.OpenKeys(), 0) << "a key was left open"; }
    void Store(const char* name, const std::string& text) { registry.SetString(HKEY_CURRENT_USER, kSection, name, text); }
    std::optional<std::string> Stored(const char* name) const {
        return registry.GetString(HKEY_CURRENT_USER, kSection, name);
    }
};

TEST_F(RePosAppTest, WithNothingStoredTheDefaultBoundsApply) {
    form.SetWindowState(TWindowState::wsMaximized);
    placement.LoadAppPosition();
    EXPECT_EQ((std::vector<int>{form.Left(), form.Top(), form.Width(), form.Height()}),
              (std::vector<int>{259, 137, 444, 538}));
    EXPECT_EQ(form.WindowState(), TWindowState::wsNormal);
    // Loading opens the placement key, creating it.
    EXPECT_TRUE(registry.KeyExists(HKEY_CURRENT_USER, "Software\\Maker\\App\\app.INI"));
}

TEST_F(RePosAppTest, AppliesWidthHeightLeftAndTopInThisOrder) {
    Store("Top", "20");
    Store("Left", "10");
    Store("Width", "30");
    Store("Height", "40");
    std::vector<std::vector<int>> seen;
    form.OnResize = [&] { seen.push_back({form.Left(), form.Top(), form.Width(), form.Height()}); };
    placement.LoadAppPosition();
    EXPECT_EQ(seen, (std::vector<std::vector<int>>{{1, 2, 30, 4}, {1, 2, 30, 40}, {10, 2, 30, 40}, {10, 20, 30, 40}}));
}

TEST_F(RePosAppTest, ReadsDecimalAndHexadecimalTextAndFallsBackOnAnythingElse) {
    struct Case {
        const char* text;
        int top;  // what the window's top becomes (default 137)
    };
    const Case cases[] = {
        {"64", 64},         {"0x40", 64},        {"0X40", 64},       {"-20", -20},   {"+12", 12},
        {"0x7FFF", 32767},  {"0xFFFFFFFF", -1},  {"abc", 137},       {"", 137},      {"0x", 137},
        {"0x4G", 137},      {" 64", 137},        {"64 ", 137},       {"6.5", 137},   {"0x123456789", 137},
        {"32768", 137},     {"-32769", 137},     {"99999999999", 137},
    };
    for (const Case& c : cases) {
        Store("Top", c.text);
        placement.LoadAppPosition();
        EXPECT_EQ(form.Top(), c.top) << '"' << c.text << '"';
    }
}

TEST_F(RePosAppTest, ASizeBelowOnePixelOrAValueOfAnotherTypeGivesTheDefault) {
    Store("Width", "0");
    Store("Height", "-5");
    registry.SetDword(HKEY_CURRENT_USER, kSection, "Left", 50);
    registry.SetRaw(HKEY_CURRENT_USER, kSection, "Top", REG_BINARY, {'6', '4', 0});
    placement.LoadAppPosition();
    EXPECT_EQ((std::vector<int>{form.Left(), form.Top(), form.Width(), form.Height()}),
              (std::vector<int>{259, 137, 444, 538}));
}

TEST_F(RePosAppTest, MaximisesOnlyForTrueInAnyCase) {
    const std::pair<const char*, TWindowState> cases[] = {{"True", TWindowState::wsMaximized},
                                                          {"TRUE", TWindowState::wsMaximized},
                                                          {"true", TWindowState::wsMaximized},
                                                          {"False", TWindowState::wsNormal},
                                                          {"1", TWindowState::wsNormal},
                                                          {"True ", TWindowState::wsNormal}};
    for (auto [text, state] : cases) {
        Store("MyWindowState", text);
        placement.LoadAppPosition();
        EXPECT_EQ(form.WindowState(), state) << text;
    }
}

TEST_F(RePosAppTest, SavesStateThenTopLeftWidthHeightAsText) {
    form.SetBounds(-4, 7000, 640, 480);
    placement.SaveAppPosition();
    EXPECT_EQ(registry.ValueNames(HKEY_CURRENT_USER, kSection),
              (std::vector<std::string>{"MyWindowState", "Top", "Left", "Width", "Height"}));
    EXPECT_EQ(Stored("MyWindowState"), "False");
    EXPECT_EQ(Stored("Top"), "7000");
    EXPECT_EQ(Stored("Left"), "-4");
    EXPECT_EQ(Stored("Width"), "640");
    EXPECT_EQ(Stored("Height"), "480");
    for (const char* name : {"MyWindowState", "Top", "Left", "Width", "Height"})
        EXPECT_EQ(registry.GetType(HKEY_CURRENT_USER, kSection, name), REG_SZ) << name;
}

TEST_F(RePosAppTest, AMaximisedWindowSavesOnlyItsStateAndComesBackOverItsNormalBounds) {
    form.SetBounds(10, 20, 300, 200);
    placement.SaveAppPosition();
    form.SetWindowState(TWindowState::wsMaximized);
    form.SetBounds(0, 0, 1024, 768);  // as the system reports a maximised window
    registry.ClearLog();
    placement.SaveAppPosition();
    EXPECT_EQ(registry.Writes(), std::vector<std::string>{std::string("HKEY_CURRENT_USER\\") + kSection +
                                                          "\\MyWindowState"});
    EXPECT_EQ(Stored("MyWindowState"), "True");

    placement.LoadAppPosition();
    EXPECT_EQ((std::vector<int>{form.Left(), form.Top(), form.Width(), form.Height()}),
              (std::vector<int>{10, 20, 300, 200}));
    EXPECT_EQ(form.WindowState(), TWindowState::wsMaximized);
}

TEST_F(RePosAppTest, UsesItsConfiguredNames) {
    placement.InifileName = "\\Other";
    placement.SectionName = "Dimensions";
    placement.TopName = "T";
    placement.LeftName = "L";
    placement.WidthName = "W";
    placement.HeightName = "H";
    placement.WindowStateName = "S";
    form.SetBounds(5, 6, 7, 8);
    placement.SaveAppPosition();
    EXPECT_EQ(registry.ValueNames(HKEY_CURRENT_USER, "Other.INI\\Dimensions"),
              (std::vector<std::string>{"S", "T", "L", "W", "H"}));
    form.SetBounds(0, 0, 1, 1);
    placement.LoadAppPosition();
    EXPECT_EQ((std::vector<int>{form.Left(), form.Top(), form.Width(), form.Height()}), (std::vector<int>{5, 6, 7, 8}));
}

TEST_F(RePosAppTest, ARefusedValueStopsNoOtherAndIsRaisedAfterwards) {
    registry.RefuseValue("Top");
    form.SetBounds(10, 20, 300, 200);
    try {
        placement.SaveAppPosition();
        FAIL() << "no error raised";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'Top'");
    }
    EXPECT_EQ(registry.ValueNames(HKEY_CURRENT_USER, kSection),
              (std::vector<std::string>{"MyWindowState", "Left", "Width", "Height"}));
}

TEST_F(RePosAppTest, ForcingAnIniFileStillKeepsThePlacementInTheRegistry) {
    placement.ForceINIFile = true;
    form.SetBounds(10, 20, 300, 200);
    placement.SaveAppPosition();
    EXPECT_EQ(Stored("Width"), "300");
}

}  // namespace
}  // namespace taskwell

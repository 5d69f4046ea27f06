#include "app/PathUtils.h"

#include <gtest/gtest.h>

namespace taskwell {
namespace {

// One pixel per character, so a width is a number of characters.
int Chars(const std::string& text) {
    return static_cast<int>(text.size());
}

TEST(PathParts, SplitAtTheLastBackslashOrColon) {
    struct Case {
        const char* path;
        const char* dir;
        const char* name;
    };
    for (Case c : {Case{"C:\\WINDOWS\\EXPLORER.EXE", "C:\\WINDOWS\\", "EXPLORER.EXE"}, Case{"C:NOTE.EXE", "C:", "NOTE.EXE"},
                   Case{"NOTE.EXE", "", "NOTE.EXE"}, Case{"C:\\", "C:\\", ""}, Case{"", "", ""},
                   Case{"\\\\SERVER\\SHARE\\A.EXE", "\\\\SERVER\\SHARE\\", "A.EXE"}}) {
        EXPECT_EQ(ExtractFilePath(c.path), c.dir) << c.path;
        EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
    }
}

TEST(PathParts, ExtensionsChangeOnlyInTheFileName) {
    EXPECT_EQ(ChangeFileExt("C:\\TASKWELL.EXE", ".upd"), "C:\\TASKWELL.upd");
    EXPECT_EQ(ChangeFileExt("C:\\V1.2\\TASKWELL", ".upd"), "C:\\V1.2\\TASKWELL.upd");
    EXPECT_EQ(ChangeFileExt("A.B.C", ""), "A.B");
}

TEST(PathParts, ImageNamesLowerOnlyTheLettersAToZ) {
    EXPECT_EQ(ImageName("C:\\WINDOWS\\EXPLORER.EXE"), "explorer.exe");
    // Letters outside A to Z (here in the Windows-1252 code page) keep their case.
    EXPECT_EQ(ImageName("C:\\PROGRAMME\\\xC4RGER_1.EXE"), "\xC4rger_1.exe");
    EXPECT_EQ(ImageName("D:WIN.COM"), "win.com");
}

TEST(ShortenPath, CutsDirectoriesFromTheFrontThenTheDrive) {
    const std::string path = "C:\\WINDOWS\\SYSTEM\\COLOR\\F.EXE";
    struct Case {
        int width;
        const char* shown;
    };
    for (Case c : {Case{1000, "C:\\WINDOWS\\SYSTEM\\COLOR\\F.EXE"}, Case{29, "C:\\WINDOWS\\SYSTEM\\COLOR\\F.EXE"},
                   Case{28, "C:\\...\\SYSTEM\\COLOR\\F.EXE"}, Case{24, "C:\\...\\COLOR\\F.EXE"},
                   Case{17, "C:\\...\\F.EXE"}, Case{11, "...\\F.EXE"}, Case{8, "F.EXE"}, Case{0, "F.EXE"}})
        EXPECT_EQ(ShortenPath(path, c.width, Chars), c.shown) << c.width;
}

TEST(ShortenPath, StepsThroughTheDescribedExample) {
    // Each step is taken only while the text before it is too wide: asking for one pixel less than
    // a step's own width gives the next one.
    const char* steps[] = {"C:\\A\\B\\C\\F.EXE", "C:\\...\\B\\C\\F.EXE", "C:\\...\\C\\F.EXE", "C:\\...\\F.EXE",
                           "...\\F.EXE", "F.EXE"};
    std::vector<std::string> seen;
    for (int width = 40; width >= 0; --width) {
        std::string shown = ShortenPath("C:\\A\\B\\C\\F.EXE", width, Chars);
        if (seen.empty() || seen.back() != shown) seen.push_back(shown);
    }
    // The intermediate steps wider than the original never fit where the original did not.
    EXPECT_EQ(seen, (std::vector<std::string>{steps[0], steps[3], steps[4], steps[5]}));
    // Measured so that every step is narrower than the one before, each one shows in turn.
    auto narrowing = [](const std::string& text) {
        return text == "C:\\A\\B\\C\\F.EXE" ? 60 : text == "C:\\...\\B\\C\\F.EXE" ? 50 : text == "C:\\...\\C\\F.EXE" ? 40
               : text == "C:\\...\\F.EXE"   ? 30 : text == "...\\F.EXE" ? 20 : 10;
    };
    for (int i = 0; i < 6; ++i) EXPECT_EQ(ShortenPath("C:\\A\\B\\C\\F.EXE", 60 - 10 * i, narrowing), steps[i]) << i;
}

TEST(ShortenPath, EdgeCases) {
    EXPECT_EQ(ShortenPath("", 0, Chars), "");
    EXPECT_EQ(ShortenPath("NOTE.EXE", 2, Chars), "NOTE.EXE");
    EXPECT_EQ(ShortenPath("C:NOTE.EXE", 9, Chars), "NOTE.EXE");
    EXPECT_EQ(ShortenPath("C:\\NOTE.EXE", 9, Chars), "NOTE.EXE");
    // A directory whose name begins with a dot is cut like any other: the next one is kept. (Dots
    // are narrow here, as in most faces, so the ellipsis is narrower than the name it replaces.)
    auto narrowDots = [](const std::string& text) {
        int width = 0;
        for (char c : text) width += c == '.' ? 1 : 3;
        return width;
    };
    EXPECT_EQ(ShortenPath("C:\\.AB\\X\\F.EXE", 34, narrowDots), "C:\\...\\X\\F.EXE");
    EXPECT_EQ(ShortenPath("C:\\.AB\\.X\\F.EXE", 35, narrowDots), "C:\\...\\.X\\F.EXE");
    // Relative paths lose their directories the same way.
    EXPECT_EQ(ShortenPath("TOOLS\\BIN\\F.EXE", 12, Chars), "...\\F.EXE");
}

}  // namespace
}  // namespace taskwell

// The System Info page against the simulated machine.
#include "sysinfo/SystemInfoPage.h"

#include <gtest/gtest.h>

#include "app/Main.h"
#include "support/SimFixture.h"

namespace taskwell {
namespace {

using sim::Op;
using testing::SimFixture;

constexpr const char* kVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

struct InfoFixture : SimFixture {
    std::unique_ptr<TfrmMain> form;
    explicit InfoFixture(const std::function<void(InfoFixture&)>& before = nullptr) {
        registry.SetString(HKEY_LOCAL_MACHINE, kVersionKey, "RegisteredOwner", "Jo Bloggs");
        registry.SetString(HKEY_LOCAL_MACHINE, kVersionKey, "RegisteredOrganization", "Orvex Software");
        if (before) before(*this);
        form = CreateMainForm();
    }
    TSystemInfoPage& Page() { return form->SystemInfoPage; }
};

TEST(SystemInfoPage, ShowsTheFactsOfAWindows98Machine) {
    InfoFixture f;
    TSystemInfoPage& p = f.Page();
    struct Expect {
        const TEdit* field;
        const char* text;
    };
    for (Expect e : {Expect{p.valueWinDir, "C:\\WINDOWS"}, Expect{p.valueSystemDir, "C:\\WINDOWS\\SYSTEM"},
                     Expect{p.valuePlatform, "Windows 98"}, Expect{p.valueVersion, "4.10 build 1998  A "},
                     Expect{p.valueComputerName, "ORVEX-PC"}, Expect{p.valueUserName, "Jo"},
                     Expect{p.valueRegOwner, "Jo Bloggs"}, Expect{p.valueRegCompany, "Orvex Software"},
                     Expect{p.valueCPUarch, "Intel"}, Expect{p.valuePageSize, "4096"},
                     Expect{p.valueMinAddressSpace, "Lowest: 00400000"}, Expect{p.valueMaxAddressSpace, "Highest: 7FFEFFFF"},
                     Expect{p.valueNbCPUs, "1"}, Expect{p.valueActiveCPUs, "1"}, Expect{p.valueAllocGran, "64K"},
                     Expect{p.valueCPUtype, "Intel Pentium"}, Expect{p.valueCPUlevel, "Pentium"},
                     Expect{p.valueCPUrevision, "Model 2, Stepping 1"}})
        EXPECT_EQ(e.field->Text(), e.text) << e.field->Hint;
    EXPECT_EQ(f.registry.OpenKeys(), 0);
}

TEST(SystemInfoPage, IsBuiltWithReadOnlyFieldsCaptionsAndHints) {
    InfoFixture f;
    TSystemInfoPage& p = f.Page();
    EXPECT_EQ(p.gbOperatingSystem->Caption(), " Operating System ");
    EXPECT_EQ(p.gbGeneral->Caption(), " General ");
    EXPECT_EQ(p.gbProcessor->Caption(), " Processor ");
    struct Row {
        const TEdit* field;
        const char* caption;
        const char* hint;
    };
    for (Row r : {Row{p.valueWinDir, "Windows Dir.:", "Windows' directory"},
                  Row{p.valueUpTime, "Up time:", "Time elapsed since computer was started"},
                  Row{p.valuePlatform, "Platform:", "platform supported by the operating system"},
                  Row{p.valueRegCompany, "Registered org.:", "Registered organization of this Windows' copy"},
                  Row{p.valueMinAddressSpace, "Address space:",
                      "Lowest memory address accessible to applications and dynamic-link libraries (DLLs)"},
                  Row{p.valueAllocGran, "Alloc. Gran.:", "Allocation granularity in which memory will be allocated on"},
                  Row{p.valueCPUrevision, "CPU revision:", "Architecture-dependent processor revision"}}) {
        EXPECT_TRUE(r.field->ReadOnly()) << r.caption;
        EXPECT_EQ(r.field->BorderStyle(), TEditBorder::bsNone) << r.caption;
        EXPECT_EQ(r.field->Color, clBtnFace) << r.caption;
        EXPECT_EQ(r.field->Hint, r.hint) << r.caption;
        bool captioned = false;
        for (auto& c : r.field->Parent()->Controls())
            if (c->Caption() == r.caption && c->Top() == r.field->Top() && c->Left() < r.field->Left()) captioned = true;
        EXPECT_TRUE(captioned) << r.caption;
    }
    EXPECT_EQ(p.valueMaxAddressSpace->Top(), p.valueMinAddressSpace->Top());
    EXPECT_GT(p.valueMaxAddressSpace->Left(), p.valueMinAddressSpace->Left());
}

TEST(SystemInfoPage, ProcessorLevelsAndRevisionsByArchitecture) {
    struct Case {
        WORD arch, level, revision;
        const char* levelText;
        const char* revisionText;
    };
    for (Case c : {Case{0, 3, 0x0102, "80386", "B2"}, Case{0, 4, 0x0003, "80486", "A3"},
                   Case{0, 5, 0x0201, "Pentium", "Model 2, Stepping 1"}, Case{0, 6, 0x0201, "Unknown", "Unknown"},
                   Case{1, 4, 0x0123, "R4000", "23"}, Case{1, 0x0105, 0x0003, "05", "03"},
                   Case{2, 21064, 0x0105, "21064", "Model B, Pass5"}, Case{2, 21266, 0x0000, "21266", "Model A, Pass0"},
                   Case{3, 1, 0x0102, "601", "01.02"}, Case{3, 6, 0x0A0B, "603+", "0A.0B"},
                   Case{3, 20, 0, "620", "00.00"}, Case{3, 0x0ABC, 0, "0ABC", "00.00"},
                   Case{9, 5, 0x0201, "Unknown", "Unknown"}}) {
        EXPECT_EQ(TSystemInfoPage::ProcessorLevelText(c.arch, c.level), c.levelText) << c.arch << "/" << c.level;
        EXPECT_EQ(TSystemInfoPage::ProcessorRevisionText(c.arch, c.level, c.revision), c.revisionText)
            << c.arch << "/" << c.level;
    }
    EXPECT_EQ(TSystemInfoPage::ArchitectureText(3), "PowerPC");
    EXPECT_EQ(TSystemInfoPage::ArchitectureText(4), "Unknown");
    EXPECT_EQ(TSystemInfoPage::ProcessorTypeText(4000), "MIPS R4000");
    EXPECT_EQ(TSystemInfoPage::ProcessorTypeText(686), "Unknown");
}

TEST(SystemInfoPage, ActiveProcessorsOneCharacterEachAtMost32) {
    EXPECT_EQ(TSystemInfoPage::ActiveProcessorsText(2, 2), "01");
    EXPECT_EQ(TSystemInfoPage::ActiveProcessorsText(4, 0xD), "1011");
    EXPECT_EQ(TSystemInfoPage::ActiveProcessorsText(0, 1), "");
    EXPECT_EQ(TSystemInfoPage::ActiveProcessorsText(-1, 1), "");
    EXPECT_EQ(TSystemInfoPage::ActiveProcessorsText(40, 0xFFFFFFFF), std::string(32, '1'));
}

TEST(SystemInfoPage, OwnerValuesThatAreNoTextShowEmpty) {
    InfoFixture f([](InfoFixture& g) {
        g.registry.SetDword(HKEY_LOCAL_MACHINE, kVersionKey, "RegisteredOwner", 42);
        g.registry.DeleteValue(HKEY_LOCAL_MACHINE, kVersionKey, "RegisteredOrganization");
    });
    EXPECT_EQ(f.Page().valueRegOwner->Text(), "");
    EXPECT_EQ(f.Page().valueRegCompany->Text(), "");
    // Creation went on after the page: the up time is there and the placement was restored.
    EXPECT_FALSE(f.Page().valueUpTime->Text().empty());
}

TEST(SystemInfoPage, FailedNameCallsLeaveEmptyFields) {
    InfoFixture f([](InfoFixture& g) {
        g.machine.Fail(Op::GetComputerNameA);
        g.machine.Fail(Op::GetWindowsDirectoryA);
        g.registry.DeleteKey(HKEY_LOCAL_MACHINE, kVersionKey);
    });
    EXPECT_EQ(f.Page().valueComputerName->Text(), "");
    EXPECT_EQ(f.Page().valueWinDir->Text(), "");
    EXPECT_EQ(f.Page().valueUserName->Text(), "Jo");
    EXPECT_EQ(f.Page().valueRegOwner->Text(), "");
}

TEST(SystemInfoPage, PlatformByVersion) {
    InfoFixture w95([](InfoFixture& g) { g.machine.UseWindows95(); });
    EXPECT_EQ(w95.Page().valuePlatform->Text(), "Windows 95");
    EXPECT_EQ(w95.Page().valueVersion->Text(), "4.0 build 950  A ");
}

TEST(UpTime, HoursMinutesAndSecondsWithoutDays) {
    struct Case {
        std::uint64_t ms;
        const char* text;
    };
    for (Case c : {Case{0, "0h 0m 0s"}, Case{7509000, "2h 5m 9s"}, Case{25 * 3600000ull, "25h 0m 0s"},
                   Case{3000000000ull, "833h 20m 0s"}, Case{0xFFFFFFFFull, "1193h 2m 47s"}})
        EXPECT_EQ(TSystemInfoPage::UpTimeText(c.ms), c.text) << c.ms;
}

TEST(UpTime, KeepsGrowingAcrossTheWrapOfTheTickCount) {
    InfoFixture f([](InfoFixture& g) { g.machine.TickBase = 0xFFFFFFFFu - 5000; });
    f.Page().UpdateUpTime();
    const std::string before = f.Page().valueUpTime->Text();
    f.form->itmUpdateSpeedPausedClick();
    f.ui.Advance(10000);  // the count wraps meanwhile
    f.Page().UpdateUpTime();
    EXPECT_EQ(before, "1193h 2m 42s");
    EXPECT_EQ(f.Page().valueUpTime->Text(), "1193h 2m 52s");
}

}  // namespace
}  // namespace taskwell

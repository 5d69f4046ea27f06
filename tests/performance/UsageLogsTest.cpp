// The usage logs against the simulated files and clock.
#include "performance/UsageLogs.h"

#include <gtest/gtest.h>

#include "app/Main.h"
#include "support/SimFixture.h"

namespace taskwell {
namespace {

using sim::FileOp;
using testing::SimFixture;

constexpr const char* kCPULog = "C:\\Program Files\\Orvex\\Taskwell\\CPU_Usage.Log";
constexpr const char* kMemLog = "C:\\Program Files\\Orvex\\Taskwell\\Mem_Usage.Log";
constexpr const char* kHeader = "\"Date\",\"Time\",\"Usage\"\r\n";

struct LogFixture : testing::MainWindowFixture {
    explicit LogFixture(const std::function<void(LogFixture&)>& before = nullptr) {
        machine.LocalTime = SYSTEMTIME{2001, 2, 5, 3, 4, 5, 6, 789};
        if (before) before(*this);
        Create();
        form->itmUpdateSpeedPausedClick();  // lines come from the test's own ticks
    }
    std::string File(const std::string& path) const {
        const std::string* content = files.Content(path);
        return content ? *content : "<no file>";
    }
    void Tick() { form->itmRefreshNowClick(); }
};

TEST(UsageLogs, WriteTheHeaderOnceThenOneLinePerTick) {
    LogFixture f;
    f.form->PerformancePage.itmCPUHistEnabled->Click();
    f.form->Readings.CPUUsage = 0;
    f.form->PerformancePage.LogUsageHistory();
    f.form->Readings.CPUUsage = -3;
    f.form->PerformancePage.LogUsageHistory();
    EXPECT_EQ(f.File(kCPULog), std::string(kHeader) + "\"2001/02/03\",\"04:05:06\",\"0\"\r\n" +
                                   "\"2001/02/03\",\"04:05:06\",\"-3\"\r\n");
    EXPECT_EQ(f.File(kMemLog), "<no file>");
    EXPECT_EQ(f.files.OpenHandles(), 0);
}

TEST(UsageLogs, TheMemoryLogHoldsCommittedBytes) {
    LogFixture f;
    f.form->PerformancePage.itmMemHistEnable->Click();
    f.registry.SetStatValue("VMM\\cpgCommit", 3000000000u);  // above 2 GB: unsigned
    f.form->Readers.PerfStatsCommit.Tick();
    f.form->PerformancePage.LogUsageHistory();
    EXPECT_EQ(f.File(kMemLog), std::string(kHeader) + "\"2001/02/03\",\"04:05:06\",\"3000000000\"\r\n");
}

TEST(UsageLogs, AnExistingFileGetsNoHeaderEvenWhenEmpty) {
    LogFixture f;
    f.files.SetContent(kCPULog, "");
    f.form->PerformancePage.itmCPUHistEnabled->Click();
    f.form->Readings.CPUUsage = 7;
    f.form->PerformancePage.LogUsageHistory();
    EXPECT_EQ(f.File(kCPULog), "\"2001/02/03\",\"04:05:06\",\"7\"\r\n");
}

TEST(UsageLogs, OnePathForBothTakesTheCPULineThenTheMemoryLine) {
    LogFixture f;
    f.form->PerformancePage.MemLogFile = kCPULog;
    f.form->PerformancePage.itmCPUHistEnabled->Click();
    f.form->PerformancePage.itmMemHistEnable->Click();
    f.form->Readings.CPUUsage = 12;
    f.form->Readings.CommittedBytes = 4096;
    f.form->PerformancePage.LogUsageHistory();
    EXPECT_EQ(f.File(kCPULog), std::string(kHeader) + "\"2001/02/03\",\"04:05:06\",\"12\"\r\n" +
                                   "\"2001/02/03\",\"04:05:06\",\"4096\"\r\n");
}

TEST(UsageLogs, UseTheLocalesSeparators) {
    // The locale is read at creation.
    LogFixture f([](LogFixture& g) {
        g.machine.Locale[LOCALE_SDATE] = ".";
        g.machine.Locale[LOCALE_STIME] = "-";
    });
    f.form->PerformancePage.itmCPUHistEnabled->Click();
    f.form->PerformancePage.LogUsageHistory();
    EXPECT_NE(f.File(kCPULog).find("\"2001.02.03\",\"04-05-06\""), std::string::npos) << f.File(kCPULog);
}

TEST(UsageLogs, TakeDateAndTimeFromOneReadingOfTheClock) {
    LogFixture f;
    f.form->PerformancePage.itmCPUHistEnabled->Click();
    // The clock turns midnight between two readings.
    f.machine.NextLocalTimes = {SYSTEMTIME{1999, 12, 5, 31, 23, 59, 59, 999}, SYSTEMTIME{2000, 1, 6, 1, 0, 0, 0, 0}};
    f.form->PerformancePage.LogUsageHistory();
    EXPECT_NE(f.File(kCPULog).find("\"1999/12/31\",\"23:59:59\""), std::string::npos) << f.File(kCPULog);
}

TEST(UsageLogs, AFailingLogNeitherStopsTheOtherNorTheTick) {
    LogFixture f;
    f.form->PerformancePage.CPULogFile = "C:\\NO SUCH DIRECTORY\\CPU.LOG";
    f.form->PerformancePage.itmCPUHistEnabled->Click();
    f.form->PerformancePage.itmMemHistEnable->Click();
    f.Tick();
    f.Tick();
    EXPECT_EQ(f.File("C:\\NO SUCH DIRECTORY\\CPU.LOG"), "<no file>");
    // The memory log has its two lines, and no message was shown.
    const std::string mem = f.File(kMemLog);
    EXPECT_EQ(std::count(mem.begin(), mem.end(), '\n'), 3) << mem;
    EXPECT_TRUE(f.ui.MessageBoxes.empty());
    EXPECT_EQ(f.files.OpenHandles(), 0);
}

TEST(UsageLogs, AFullDiskNeverLeavesAPartLine) {
    // Logs that grew past 2 GB and 4 GB as well: their ends lie beyond a signed and an unsigned
    // 32-bit position (the simulation holds only their last lines).
    for (std::uint64_t earlier : {0ull, 3ull << 30, 5ull << 30}) {
        LogFixture f;
        f.files.SetContent(kCPULog, std::string(kHeader) + "\"2001/02/03\",\"04:05:06\",\"5\"\r\n", earlier);
        f.form->PerformancePage.itmCPUHistEnabled->Click();
        const std::string before = f.File(kCPULog);
        f.files.FreeSpace = 10;  // room for part of a line only
        f.form->Readings.CPUUsage = 6;
        f.form->PerformancePage.LogUsageHistory();
        EXPECT_EQ(f.File(kCPULog), before) << earlier;
        EXPECT_EQ(f.files.Size(kCPULog), earlier + before.size()) << earlier;
        // Space again: the next line follows the last whole one.
        f.files.FreeSpace = UINT64_MAX;
        f.form->Readings.CPUUsage = 7;
        f.form->PerformancePage.LogUsageHistory();
        EXPECT_EQ(f.File(kCPULog), before + "\"2001/02/03\",\"04:05:06\",\"7\"\r\n") << earlier;
        EXPECT_EQ(f.files.OpenHandles(), 0) << earlier;
    }
}

TEST(UsageLogs, ANewFileWhoseFirstWriteFailedIsRemoved) {
    LogFixture f;
    f.form->PerformancePage.itmCPUHistEnabled->Click();
    f.files.FreeSpace = 5;
    f.form->PerformancePage.LogUsageHistory();
    EXPECT_EQ(f.File(kCPULog), "<no file>");
    f.files.FreeSpace = UINT64_MAX;
    f.form->PerformancePage.LogUsageHistory();
    EXPECT_EQ(f.File(kCPULog).substr(0, 23), kHeader);
}

TEST(UsageLogs, ARefusedOrRaisingFileIsSkippedSilently) {
    for (FileOp op : {FileOp::CreateFileA, FileOp::WriteFile, FileOp::SetFilePointer, FileOp::CloseHandle}) {
        LogFixture f;
        f.files.SetContent(kCPULog, "x\r\n");
        f.files.Raise(op);
        f.form->PerformancePage.itmCPUHistEnabled->Click();
        f.form->PerformancePage.itmMemHistEnable->Click();
        EXPECT_NO_THROW(f.form->PerformancePage.LogUsageHistory()) << sim::FileOpName(op);
        f.files.Raise(op, false);
        if (op != FileOp::CloseHandle) {
            EXPECT_EQ(f.File(kCPULog), "x\r\n") << sim::FileOpName(op);
        }
        EXPECT_TRUE(f.ui.MessageBoxes.empty()) << sim::FileOpName(op);
    }
    LogFixture f;
    f.files.Refused.insert(kCPULog);
    f.form->PerformancePage.itmCPUHistEnabled->Click();
    f.form->PerformancePage.LogUsageHistory();
    EXPECT_EQ(f.File(kCPULog), "<no file>");
}

TEST(UsageLogs, ChoosingAFileStartsAtTheCurrentOneAndChangesOnlyWhenConfirmed) {
    LogFixture f;
    f.ui.SaveDialogResponder = [](TSaveDialog&) { return false; };
    f.form->PerformancePage.itmCPUHistChoose->Click();
    EXPECT_EQ(f.form->PerformancePage.CPULogFile, kCPULog);
    ASSERT_EQ(f.ui.SaveDialogs.size(), 1u);
    const TSaveDialog& shown = f.ui.SaveDialogs[0];
    EXPECT_EQ(shown.Title, "Choose a log file");
    EXPECT_EQ(shown.DefaultExt, "log");
    ASSERT_EQ(shown.Filter.size(), 2u);
    EXPECT_EQ(shown.Filter[0].Description, "Log files");
    EXPECT_EQ(shown.Filter[0].Pattern, "*.log");
    EXPECT_EQ(shown.Filter[1].Description, "All files");
    EXPECT_EQ(shown.Options, ofHideReadOnly | ofPathMustExist);
    EXPECT_EQ(shown.InitialDir, "C:\\Program Files\\Orvex\\Taskwell\\");
    EXPECT_EQ(shown.FileName, "CPU_Usage.Log");
    f.ui.SaveDialogResponder = [](TSaveDialog& d) {
        d.FileName = "C:\\LOGS\\MEM.LOG";
        return true;
    };
    f.form->PerformancePage.itmMemHistChoose->Click();
    EXPECT_EQ(f.form->PerformancePage.MemLogFile, "C:\\LOGS\\MEM.LOG");
    EXPECT_EQ(f.ui.SaveDialogs.back().FileName, "Mem_Usage.Log");
}

TEST(DateTimeFormat, WritesTheProgramsFormatsWithTheLocalesSeparators) {
    TFormatSettings s;
    const SYSTEMTIME t{2026, 12, 2, 8, 5, 7, 9, 0};
    EXPECT_EQ(FormatDate(s, t), "2026/12/08");
    EXPECT_EQ(FormatTime(s, t), "05:07:09");
    s.DateSeparator = "-";
    s.TimeSeparator = ".";
    EXPECT_EQ(FormatDate(s, t), "2026-12-08");
    EXPECT_EQ(FormatTime(s, t), "05.07.09");
}

}  // namespace
}  // namespace taskwell

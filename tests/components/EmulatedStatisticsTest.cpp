#include "components/EmulatedStatistics.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace taskwell {
namespace {

using Times = EmulatedStatistics::CpuTimes;
constexpr std::uint64_t kMax64 = std::numeric_limits<std::uint64_t>::max();
constexpr LONG kMax = 0x7FFFFFFF;

TEST(EmulatedStatisticsTest, CpuUsageIsTheBusyShareOfTheTimeSinceTheStart) {
    struct Case {
        const char* what;
        Times start, now;
        LONG percent;
    };
    const Case cases[] = {
        // Kernel time includes idle: busy = (kernel - idle) + user, of kernel + user.
        {"half busy", {1000, 3000, 2000}, {1500, 3600, 2400}, 50},
        {"all busy in user mode", {0, 0, 0}, {0, 0, 700}, 100},
        {"all busy in kernel mode", {10, 20, 30}, {10, 320, 30}, 100},
        {"all idle", {0, 0, 0}, {800, 800, 0}, 0},
        {"a third, rounded down", {0, 0, 0}, {2, 2, 1}, 33},
        {"two thirds, rounded up", {0, 0, 0}, {1, 1, 2}, 67},
        {"idle reported beyond the kernel time counts the kernel time as idle", {0, 0, 0}, {900, 500, 500}, 50},
        {"deltas whose sum passes 64 bits", {0, 0, 0}, {0, kMax64, kMax64}, 100},
        {"half of a huge stretch", {0, 0, 0}, {kMax64 / 2, kMax64, 0}, 50},
    };
    for (const Case& c : cases) {
        EmulatedStatistics stats;
        stats.StartCpu(c.start);
        EXPECT_EQ(stats.CpuUsage(c.now), c.percent) << c.what;
        EXPECT_EQ(stats.Last(EmulatedStat::CPUUsage), c.percent) << c.what;
    }
}

TEST(EmulatedStatisticsTest, EachReadingMeasuresFromTheOneBefore) {
    EmulatedStatistics stats;
    stats.StartCpu({0, 0, 0});
    EXPECT_EQ(stats.CpuUsage({100, 100, 100}), 50);   // 100 busy of 200
    EXPECT_EQ(stats.CpuUsage({100, 200, 100}), 100);  // only kernel work since
    EXPECT_EQ(stats.CpuUsage({300, 400, 100}), 0);    // only idle since
}

TEST(EmulatedStatisticsTest, NoElapsedTimeRepeatsTheLastValueAndKeepsTheStartingPoint) {
    EmulatedStatistics stats;
    stats.StartCpu({0, 0, 0});
    ASSERT_EQ(stats.CpuUsage({200, 400, 100}), 60);  // 200 + 100 busy of 500
    // The clock of the host did not move: same times again.
    EXPECT_EQ(stats.CpuUsage({200, 400, 100}), 60);
    EXPECT_EQ(stats.CpuUsage({200, 400, 100}), 60);
    // The next stretch is measured from the last reading that moved, not from the repeats.
    EXPECT_EQ(stats.CpuUsage({300, 500, 100}), 0);
}

TEST(EmulatedStatisticsTest, AFirstReadingWithoutAStartOnlyTakesTheStartingPoint) {
    EmulatedStatistics stats;
    // Times since the host started tell nothing about the current load.
    EXPECT_EQ(stats.CpuUsage({5000, 9000, 9000}), 0);
    EXPECT_EQ(stats.CpuUsage({5000, 9100, 9100}), 100);
}

TEST(EmulatedStatisticsTest, TimesThatGoBackwardsNeverWrapRound) {
    struct Case {
        const char* what;
        Times back;
    };
    const Case cases[] = {
        {"idle went back", {50, 1000, 1000}},
        {"kernel went back", {100, 10, 1000}},
        {"user went back", {100, 1000, 10}},
        {"all went back", {0, 0, 0}},
    };
    for (const Case& c : cases) {
        EmulatedStatistics stats;
        stats.StartCpu({0, 0, 0});
        ASSERT_EQ(stats.CpuUsage({100, 1000, 1000}), 95) << c.what;  // 900 + 1000 busy of 2000
        // A host whose counters started again: the last value stays, and the new times are
        // the starting point of the next reading.
        EXPECT_EQ(stats.CpuUsage(c.back), 95) << c.what;
        Times later = c.back;
        later.kernel += 100;
        later.idle += 100;
        EXPECT_EQ(stats.CpuUsage(later), 0) << c.what;
    }
}

TEST(EmulatedStatisticsTest, StartingAgainMeasuresFromTheNewStart) {
    EmulatedStatistics stats;
    stats.StartCpu({0, 0, 0});
    ASSERT_EQ(stats.CpuUsage({0, 0, 100}), 100);
    stats.StartCpu({0, 0, 100});
    EXPECT_EQ(stats.CpuUsage({100, 100, 100}), 0);
}

TEST(EmulatedStatisticsTest, BytesAreSaturatedBelowTwoGigabytes) {
    struct Case {
        const char* what;
        std::uint64_t pages, pageSize;
        LONG bytes;
    };
    const Case cases[] = {
        {"nothing", 0, 4096, 0},
        {"64 MB", 16384, 4096, 64 * 1024 * 1024},
        {"the last page below 2 GB", 524287, 4096, 0x7FFFF000},
        {"exactly 2 GB does not turn negative", 524288, 4096, kMax},
        {"3.5 GB", 917504, 4096, kMax},
        {"pages beyond 32 bits", std::uint64_t{1} << 40, 4096, kMax},
        {"a product beyond 64 bits", kMax64, kMax64, kMax},
        {"no page size", 1000, 0, 0},
        {"large pages just below 2 GB", 1023, 2 * 1024 * 1024, 0x7FE00000},
        {"large pages reaching 2 GB", 1024, 2 * 1024 * 1024, kMax},
        {"a page size of one byte", 0x7FFFFFFF, 1, kMax},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EmulatedStatistics::Bytes(c.pages, c.pageSize), c.bytes) << c.what;
        EmulatedStatistics stats;
        EXPECT_EQ(stats.Commit(c.pages, c.pageSize), c.bytes) << c.what;
        EXPECT_EQ(stats.DiskCache(c.pages, c.pageSize), c.bytes) << c.what;
    }
}

TEST(EmulatedStatisticsTest, ThreadCountsAreSaturatedToo) {
    EmulatedStatistics stats;
    EXPECT_EQ(stats.Threads(37), 37);
    EXPECT_EQ(stats.Threads(std::uint64_t{1} << 33), kMax);
    EXPECT_EQ(stats.Threads(0x7FFFFFFF), kMax);
}

TEST(EmulatedStatisticsTest, EachStatisticRemembersItsOwnLastValue) {
    EmulatedStatistics stats;
    for (int i = 0; i < kEmulatedStatCount; ++i)
        EXPECT_EQ(stats.Last(static_cast<EmulatedStat>(i)), 0) << "before any reading, statistic " << i;
    stats.StartCpu({0, 0, 0});
    stats.CpuUsage({0, 10, 30});
    stats.Threads(120);
    stats.VirtualMachines();
    stats.DiskCache(2, 4096);
    stats.Commit(3, 4096);
    EXPECT_EQ(stats.Last(EmulatedStat::CPUUsage), 100);
    EXPECT_EQ(stats.Last(EmulatedStat::Threads), 120);
    EXPECT_EQ(stats.Last(EmulatedStat::VMs), 1);
    EXPECT_EQ(stats.Last(EmulatedStat::DiskCache), 8192);
    EXPECT_EQ(stats.Last(EmulatedStat::Commit), 12288);
}

TEST(EmulatedStatisticsTest, KeyNamesAreFoundInAnyCaseAndNothingElseIs) {
    struct Case {
        const char* name;
        std::optional<EmulatedStat> stat;
    };
    const Case cases[] = {
        {"KERNEL\\CPUUsage", EmulatedStat::CPUUsage},
        {"kernel\\cpuusage", EmulatedStat::CPUUsage},
        {"KERNEL\\Threads", EmulatedStat::Threads},
        {"Kernel\\VMs", EmulatedStat::VMs},
        {"VMM\\cpgDiskcache", EmulatedStat::DiskCache},
        {"VMM\\CPGCOMMIT", EmulatedStat::Commit},
        {"KERNEL", std::nullopt},
        {"KERNEL\\", std::nullopt},
        {"KERNEL\\CPUUsage\\", std::nullopt},
        {"KERNEL\\CPUUsag", std::nullopt},
        {"VMM\\cpgCommitted", std::nullopt},
        {"VMM/cpgCommit", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(EmulatedStatistics::StatOf(c.name), c.stat) << c.name;
    for (int i = 0; i < kEmulatedStatCount; ++i) {
        const auto stat = static_cast<EmulatedStat>(i);
        EXPECT_EQ(EmulatedStatistics::StatOf(EmulatedStatistics::KeyNameOf(stat)), stat) << i;
    }
}

}  // namespace
}  // namespace taskwell

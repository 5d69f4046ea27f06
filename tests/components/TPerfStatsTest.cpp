// The statistics reader and its polling threads against the simulated registry and threads.
#include "components/TPerfStats.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "components/TUpStatsThread.h"
#include "support/SimFixture.h"

namespace taskwell {
namespace {

using sim::RegOp;
using testing::SimFixture;

constexpr const char* kEnum = "System\\CurrentControlSet\\control\\PerfStats\\Enum\\";

struct StatsFixture : SimFixture {
    TStatsThreads statsThreads{threads};
    std::vector<std::pair<char, LONG>> events;  // 's' OnStat, 'c' OnStatChange

    std::unique_ptr<TPerfStats> Reader(const std::string& key, bool autoTick = false, LONG interval = 1000) {
        auto r = std::make_unique<TPerfStats>(registry, statsThreads);
        r->SetKeyName(key);
        r->SetAutoTick(autoTick);
        r->SetInterval(interval);
        r->OnStat = [this](TCustomPerfStats&, LONG v) { events.emplace_back('s', v); };
        r->OnStatChange = [this](TCustomPerfStats&, LONG v) { events.emplace_back('c', v); };
        return r;
    }
    // Ticks the reader once for each value the statistic takes.
    void Feed(TCustomPerfStats& r, const std::string& key, std::initializer_list<DWORD> values) {
        for (DWORD v : values) {
            registry.SetStatValue(key, v);
            r.Tick();
        }
    }
};

TEST(PerfStatsKeyName, LoadsTheDescriptionOrSaysWhatIsMissing) {
    struct Case {
        const char* what;
        std::function<void(sim::SimRegistry&)> setUp;
        const char* key;
        LONG code;
    };
    const std::string stat = std::string(kEnum) + "KERNEL\\Mine";
    const Case cases[] = {
        {"no backslash", nullptr, "CPUUsage", 1},
        {"unknown category", nullptr, "NOSUCH\\CPUUsage", 1},
        {"unknown statistic", nullptr, "KERNEL\\NoSuch", 2},
        {"no name", [&](sim::SimRegistry& r) { r.CreateKey(HKEY_LOCAL_MACHINE, stat); }, "KERNEL\\Mine", 3},
        {"no description",
         [&](sim::SimRegistry& r) { r.SetString(HKEY_LOCAL_MACHINE, stat, "Name", "Mine"); }, "KERNEL\\Mine", 4},
        {"no differentiate",
         [&](sim::SimRegistry& r) {
             r.SetString(HKEY_LOCAL_MACHINE, stat, "Name", "Mine");
             r.SetString(HKEY_LOCAL_MACHINE, stat, "Description", "Mine.");
         },
         "KERNEL\\Mine", 5},
        {"differentiate that is no text",
         [&](sim::SimRegistry& r) {
             r.SetString(HKEY_LOCAL_MACHINE, stat, "Name", "Mine");
             r.SetString(HKEY_LOCAL_MACHINE, stat, "Description", "Mine.");
             r.SetDword(HKEY_LOCAL_MACHINE, stat, "Differentiate", 0);
         },
         "KERNEL\\Mine", 5},
        {"name that is no text",
         [&](sim::SimRegistry& r) { r.SetDword(HKEY_LOCAL_MACHINE, stat, "Name", 7); }, "KERNEL\\Mine", 3},
        {"a complete statistic", nullptr, "KERNEL\\Threads", 0},
    };
    for (const Case& c : cases) {
        StatsFixture f;
        if (c.setUp) c.setUp(f.registry);
        TPerfStats r(f.registry, f.statsThreads);
        EXPECT_NO_THROW(r.SetKeyName(c.key)) << c.what;
        EXPECT_EQ(r.LastError(), c.code) << c.what;
        EXPECT_EQ(r.LastError(), 0) << c.what << ": read once, then reset";
        EXPECT_EQ(r.KeyName(), c.code == 0 ? c.key : "") << c.what;
        EXPECT_EQ(f.registry.OpenKeys(), 0) << c.what;
    }
    StatsFixture f;
    TPerfStats r(f.registry, f.statsThreads);
    r.SetKeyName("KERNEL\\Threads");
    EXPECT_EQ(r.CategoryName(), "KERNEL statistics");
    EXPECT_EQ(r.StatName(), "Threads");
    EXPECT_EQ(r.Description(), "The Threads statistic.");
    EXPECT_FALSE(r.Differentiate());
    EXPECT_EQ(TCustomPerfStats::ErrorText(1), "Key name must have form \"Category\\Stat\"");
    EXPECT_EQ(TCustomPerfStats::ErrorText(2), "Invalid category");
    EXPECT_EQ(TCustomPerfStats::ErrorText(5), "No Differentiate value for stat");
    EXPECT_EQ(TCustomPerfStats::ErrorText(8), "Error");
}

TEST(PerfStatsActive, StartsAndStopsThroughTheRegistryWhateverTheValuesHold) {
    StatsFixture f;
    // Start and stop values of another type and size than the 4 bytes once expected.
    f.registry.SetDword(HKEY_DYN_DATA, "PerfStats\\StartStat", "KERNEL\\Threads", 1);
    f.registry.SetRaw(HKEY_DYN_DATA, "PerfStats\\StopStat", "KERNEL\\Threads", REG_BINARY, std::vector<BYTE>(12, 1));
    auto r = f.Reader("KERNEL\\Threads");
    f.registry.ClearLog();
    EXPECT_NO_THROW(r->SetActiveStat(true));
    EXPECT_TRUE(r->ActiveStat());
    EXPECT_NO_THROW(r->SetActiveStat(false));
    EXPECT_FALSE(r->ActiveStat());
    std::vector<std::string> keys;
    for (auto& call : f.registry.CallLog())
        if (call.op == RegOp::RegQueryValueExA) keys.push_back(call.key + ":" + call.name);
    EXPECT_EQ(keys, (std::vector<std::string>{"HKEY_DYN_DATA\\PerfStats\\StartStat:KERNEL\\Threads",
                                              "HKEY_DYN_DATA\\PerfStats\\StopStat:KERNEL\\Threads"}));
    EXPECT_EQ(f.registry.OpenKeys(), 0);
    // Without a key name nothing starts.
    TPerfStats none(f.registry, f.statsThreads);
    none.SetActiveStat(true);
    EXPECT_FALSE(none.ActiveStat());
}

TEST(PerfStatsReadings, EachReadingIsOneQueryOfFourBytes) {
    // The provider of a Windows 98 statistic runs on every query: a second query would start it
    // twice or sample a near-empty interval.
    StatsFixture f;
    auto r = f.Reader("KERNEL\\CPUUsage");
    r->SetActiveStat(true);
    f.Feed(*r, "KERNEL\\CPUUsage", {10, 20, 30});
    // A live value longer than 4 bytes is no reading.
    f.registry.SetRaw(HKEY_DYN_DATA, "PerfStats\\StatData", "KERNEL\\CPUUsage", REG_BINARY, std::vector<BYTE>(8, 1));
    f.events.clear();
    r->Tick();
    EXPECT_EQ(f.events, (std::vector<std::pair<char, LONG>>{{'s', 0}, {'c', 0}}));
    r->SetActiveStat(false);
    for (auto [key, queries] : {std::pair{"PerfStats\\StartStat", 1}, std::pair{"PerfStats\\StatData", 4},
                                std::pair{"PerfStats\\StopStat", 1}})
        EXPECT_EQ(f.registry.Queries(HKEY_DYN_DATA, key, "KERNEL\\CPUUsage"), queries) << key;
}

TEST(PerfStatsReadings, ALevelReportsEveryReadingAndEachChange) {
    StatsFixture f;
    auto r = f.Reader("KERNEL\\Threads");
    r->SetActiveStat(true);  // not polled: readings come from Tick alone
    EXPECT_TRUE(f.events.empty());
    f.Feed(*r, "KERNEL\\Threads", {5, 5, 7});
    EXPECT_EQ(f.events, (std::vector<std::pair<char, LONG>>{{'s', 5}, {'c', 5}, {'s', 5}, {'s', 7}, {'c', 7}}));
    EXPECT_EQ(r->Stat(), 7);
}

TEST(PerfStatsReadings, ACounterReportsDifferencesAndItsRate) {
    StatsFixture f;
    f.registry.AddStatistic("KERNEL\\Switches", true);
    auto r = f.Reader("KERNEL\\Switches", false, 500);
    ASSERT_TRUE(r->Differentiate());
    r->SetActiveStat(true);
    f.Feed(*r, "KERNEL\\Switches", {100});  // the first reading fires nothing
    EXPECT_TRUE(f.events.empty());
    f.Feed(*r, "KERNEL\\Switches", {150});
    EXPECT_EQ(f.events, (std::vector<std::pair<char, LONG>>{{'s', 50}, {'c', 50}}));
    f.events.clear();
    f.Feed(*r, "KERNEL\\Switches", {200});
    EXPECT_EQ(f.events, (std::vector<std::pair<char, LONG>>{{'s', 50}}));
    f.events.clear();
    f.Feed(*r, "KERNEL\\Switches", {260});
    EXPECT_EQ(f.events, (std::vector<std::pair<char, LONG>>{{'s', 60}, {'c', 60}}));
    EXPECT_EQ(r->Stat(), 120);  // 60 per 500 ms
    // A counter that wraps still gives the right difference.
    f.events.clear();
    f.Feed(*r, "KERNEL\\Switches", {0x7FFFFFF0, 0x80000010});
    EXPECT_EQ(f.events.back().second, 32);
}

TEST(PerfStatsReadings, ARateNeedsAPositiveIntervalAndStaysIn32Bits) {
    StatsFixture f;
    f.registry.AddStatistic("KERNEL\\Switches", true);
    auto r = f.Reader("KERNEL\\Switches", false, 1);
    r->SetActiveStat(true);
    f.Feed(*r, "KERNEL\\Switches", {0, 0x7FFFFFFF});
    EXPECT_EQ(r->Stat(), INT32_MAX);  // 2^31 - 1 per millisecond is beyond 32 bits per second
    for (LONG interval : {0, -1}) {
        r->SetInterval(interval);
        EXPECT_EQ(r->Stat(), 0) << interval;
    }
}

TEST(PerfStatsReadings, AMissingValueReadsZero) {
    StatsFixture f;
    auto r = f.Reader("KERNEL\\Threads");
    f.registry.SetStatValue("KERNEL\\Threads", 9);
    r->SetActiveStat(true);
    f.registry.DeleteValue(HKEY_DYN_DATA, "PerfStats\\StatData", "KERNEL\\Threads");
    f.events.clear();
    r->Tick();
    EXPECT_EQ(f.events, (std::vector<std::pair<char, LONG>>{{'s', 0}, {'c', 0}}));
    EXPECT_TRUE(r->ActiveStat());
}

TEST(PerfStatsReadings, VanishedLiveValuesStopTheReaderOnce) {
    StatsFixture f;
    auto r = f.Reader("KERNEL\\Threads");
    int lost = 0;
    r->OnLostKey = [&](TCustomPerfStats& sender) {
        ++lost;
        EXPECT_EQ(&sender, r.get());
    };
    r->SetActiveStat(true);
    f.registry.DeleteKey(HKEY_DYN_DATA, "PerfStats\\StatData");
    f.events.clear();
    r->Tick();
    r->Tick();
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(r->ActiveStat());
    EXPECT_EQ(r->KeyName(), "");
    EXPECT_EQ(r->CategoryName(), "");
    EXPECT_EQ(r->LastError(), 6);  // the second tick found it inactive
    EXPECT_TRUE(f.events.empty());
}

TEST(PerfStatsDisplay, ShowsTheChosenElements) {
    StatsFixture f;
    auto r = f.Reader("KERNEL\\Threads");
    EXPECT_EQ(r->DisplayString(), "Inactive: KERNEL\\Threads");
    TPerfStats none(f.registry, f.statsThreads);
    EXPECT_EQ(none.DisplayString(), "No key");
    f.registry.SetStatValue("KERNEL\\Threads", 1536);
    r->SetActiveStat(true);
    r->Tick();
    r->SetDisplayElements({TPerfElement::tpeStatValue, TPerfElement::tpeStatMax});
    EXPECT_EQ(r->DisplayElements(), (TPerfElements{TPerfElement::tpeStatValue}));
    EXPECT_EQ(r->DisplayString(), "1.5K");
    r->SetDisplayElements({TPerfElement::tpeCategory, TPerfElement::tpeStatName, TPerfElement::tpeStatValue});
    EXPECT_EQ(r->DisplayString(), "KERNEL statistics: Threads = 1.5K");
    r->SetDisplayElements({TPerfElement::tpeStatName});
    EXPECT_EQ(r->DisplayString(), "Threads");
}

TEST(PerfStatsDisplay, FormatsValuesInKilosAndMegas) {
    struct Case {
        LONG n;
        const char* text;
    };
    for (Case c : {Case{-5, "-5"}, Case{1000, "1000"}, Case{1024, "1024"}, Case{1025, "1K"}, Case{1536, "1.5K"},
                   Case{1048576, "1024K"}, Case{1048577, "1M"}, Case{1572864, "1.5M"}, Case{INT32_MAX, "2047.9M"}})
        EXPECT_EQ(TCustomPerfStats::FormatStatValue(c.n), c.text) << c.n;
}

// ---------------------------------------------------------------------------------------------
// Polling.

TEST(PerfStatsPolling, ReadersOfOneIntervalShareOneThread) {
    StatsFixture f;
    auto a = f.Reader("KERNEL\\Threads", true, 1500);
    auto b = f.Reader("KERNEL\\VMs", true, 1500);
    auto c = f.Reader("KERNEL\\CPUUsage", true, 750);
    for (auto* r : {a.get(), b.get(), c.get()}) r->SetActiveStat(true);
    EXPECT_EQ(f.statsThreads.Count(), 2);
    EXPECT_EQ(f.threads.Running(), 2);
    a->SetActiveStat(false);
    EXPECT_NE(f.statsThreads.Find(1500), nullptr);
    b->SetActiveStat(false);
    EXPECT_EQ(f.statsThreads.Find(1500), nullptr);
    EXPECT_EQ(f.threads.Running(), 1);
    // Moving to another interval moves to its thread.
    c->SetInterval(1500);
    EXPECT_EQ(f.statsThreads.Find(750), nullptr);
    ASSERT_NE(f.statsThreads.Find(1500), nullptr);
    EXPECT_EQ(f.statsThreads.Find(1500)->Members().size(), 1u);
}

TEST(PerfStatsPolling, ManualReadersAndIntervalsOfZeroOrLessJoinNoThread) {
    StatsFixture f;
    auto manual = f.Reader("KERNEL\\Threads", false, 1500);
    manual->SetActiveStat(true);
    manual->SetInterval(750);
    EXPECT_EQ(manual->Interval(), 750);
    EXPECT_EQ(f.threads.Running(), 0);
    for (LONG interval : {0, -1}) {
        auto r = f.Reader("KERNEL\\VMs", true, interval);
        r->SetActiveStat(true);
        EXPECT_EQ(f.threads.Running(), 0) << interval;
        f.ui.Advance(10000);
        EXPECT_EQ(f.threads.Passes(), 0) << interval;
    }
}

TEST(PerfStatsPolling, PassesFollowTheIntervalWithoutBusyWaiting) {
    for (LONG interval : {750, 1500, 1750, 3250}) {
        StatsFixture f;
        auto r = f.Reader("KERNEL\\Threads", true, interval);
        r->SetActiveStat(true);
        f.events.clear();
        f.ui.Advance(10000);
        EXPECT_EQ(f.threads.Passes(), 10000 / interval) << interval;
        EXPECT_EQ(static_cast<int>(f.events.size()), 10000 / interval) << interval;
    }
}

TEST(PerfStatsPolling, AFailingReaderDoesNotStopThePass) {
    StatsFixture f;
    auto a = f.Reader("KERNEL\\Threads", true, 1500);
    auto b = f.Reader("KERNEL\\VMs", true, 1500);
    a->OnStat = [](TCustomPerfStats&, LONG) { throw std::runtime_error("handler failed"); };
    int bReadings = 0;
    b->OnStat = [&](TCustomPerfStats&, LONG) { ++bReadings; };
    a->SetActiveStat(false);
    EXPECT_THROW(a->SetActiveStat(true), std::runtime_error);  // the first reading is the caller's
    b->SetActiveStat(true);
    bReadings = 0;
    f.ui.Advance(4500);
    EXPECT_EQ(bReadings, 3);
}

TEST(PerfStatsPolling, AStopWithAPassPendingRunsNoMorePass) {
    StatsFixture f;
    auto r = f.Reader("KERNEL\\Threads", true, 750);
    r->SetActiveStat(true);
    f.threads.HoldPasses = true;
    f.ui.Advance(750);
    ASSERT_EQ(f.threads.Held(), 1);
    f.events.clear();
    r->SetActiveStat(false);
    f.threads.RunHeld();
    f.ui.Advance(3000);
    EXPECT_TRUE(f.events.empty());
    EXPECT_EQ(f.threads.Running(), 0);
    // Destruction with a pass pending is just as quiet.
    auto s = f.Reader("KERNEL\\VMs", true, 750);
    s->SetActiveStat(true);
    f.ui.Advance(750);
    ASSERT_EQ(f.threads.Held(), 1);
    s.reset();
    f.threads.RunHeld();
    EXPECT_EQ(f.threads.Running(), 0);
}

TEST(PerfStatsPolling, AReaderThatLosesItsKeyInAPassStopsItsThreadSafely) {
    StatsFixture f;
    auto a = f.Reader("KERNEL\\Threads", true, 750);
    auto b = f.Reader("KERNEL\\VMs", true, 750);
    int lost = 0;
    for (auto* r : {a.get(), b.get()}) {
        r->OnLostKey = [&](TCustomPerfStats&) { ++lost; };
        r->SetActiveStat(true);
    }
    f.registry.DeleteKey(HKEY_DYN_DATA, "PerfStats\\StatData");
    f.ui.Advance(750);  // the pass stops both readers, and with them its own thread
    EXPECT_EQ(lost, 2);
    EXPECT_EQ(f.threads.Running(), 0);
    EXPECT_EQ(f.statsThreads.Count(), 0);
    f.ui.Advance(3000);
    EXPECT_EQ(lost, 2);
}

TEST(PerfStatsPolling, APassOpensTheLiveValuesOnceAndAFailedOpeningIsTriedAgain) {
    StatsFixture f;
    const char* keys[] = {"KERNEL\\CPUUsage", "KERNEL\\Threads", "KERNEL\\VMs", "VMM\\cpgDiskcache", "VMM\\cpgCommit"};
    std::vector<std::unique_ptr<TPerfStats>> readers;
    for (const char* key : keys) {
        readers.push_back(f.Reader(key, true, 1750));
        readers.back()->SetActiveStat(true);
    }
    auto liveOpenings = [&] {
        int n = 0;
        for (const auto& call : f.registry.CallLog())
            n += call.op == RegOp::RegOpenKeyExA && call.name.find("StatData") != std::string::npos;
        return n;
    };
    f.registry.ClearLog();
    f.events.clear();
    f.ui.Advance(1750);
    EXPECT_EQ(liveOpenings(), 1);
    EXPECT_EQ(f.events.size(), 5u) << "every reader read";
    EXPECT_EQ(f.registry.OpenKeys(), 0) << "closed when the pass ends";

    // The first reader's opening fails and stops it; the next one opens the key for itself.
    int lost = 0;
    readers[0]->OnLostKey = [&](TCustomPerfStats&) {
        ++lost;
        f.registry.Fail(RegOp::RegOpenKeyExA, false);
    };
    f.registry.Fail(RegOp::RegOpenKeyExA);
    f.events.clear();
    f.ui.Advance(1750);
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(readers[0]->ActiveStat());
    for (size_t i = 1; i < readers.size(); ++i) EXPECT_TRUE(readers[i]->ActiveStat()) << keys[i];
    EXPECT_EQ(f.registry.OpenKeys(), 0);
}

TEST(PerfStatsLoading, AppliesTheStoredStateWhenLoadingEnds) {
    StatsFixture f;
    TPerfStats r(f.registry, f.statsThreads);
    r.BeginLoading();
    r.SetKeyName("KERNEL\\Threads");  // validated at once
    r.SetActiveStat(true);
    r.SetAutoTick(true);
    r.SetInterval(750);
    EXPECT_EQ(r.KeyName(), "KERNEL\\Threads");
    EXPECT_FALSE(r.ActiveStat());
    EXPECT_EQ(f.threads.Running(), 0);
    int readings = 0;
    r.OnStat = [&](TCustomPerfStats&, LONG) { ++readings; };
    r.EndLoading();
    EXPECT_TRUE(r.ActiveStat());
    EXPECT_EQ(f.threads.Running(), 1);
    EXPECT_EQ(readings, 2);  // the start's reading and the end of loading's
}

}  // namespace
}  // namespace taskwell

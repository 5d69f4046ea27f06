#include "components/EmulatedStatKeys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace taskwell {
namespace {

using Kind = EmulatedStatKeys::Kind;

const EmulatedStatKeys::Offered kAll{EmulatedStat::CPUUsage, EmulatedStat::Threads, EmulatedStat::VMs,
                                     EmulatedStat::DiskCache, EmulatedStat::Commit};
// A host without the memory counters.
const EmulatedStatKeys::Offered kNoMemory{EmulatedStat::CPUUsage, EmulatedStat::Threads, EmulatedStat::VMs};

const std::string kEnum = "System\\CurrentControlSet\\control\\PerfStats\\Enum";

std::string Text(const std::vector<BYTE>& data) {
    return std::string(data.begin(), data.end());
}

TEST(EmulatedStatKeysTest, ClassifiesTheStatisticsKeysInAnyCaseAndNothingElse) {
    struct Case {
        HKEY root;
        std::string path;
        Kind kind;
        std::string category = "";
        EmulatedStat stat = EmulatedStat::CPUUsage;
    };
    const Case cases[] = {
        {HKEY_LOCAL_MACHINE, kEnum + "\\KERNEL", Kind::Category, "KERNEL"},
        {HKEY_LOCAL_MACHINE, kEnum + "\\kernel", Kind::Category, "KERNEL"},
        {HKEY_LOCAL_MACHINE, kEnum + "\\VMM", Kind::Category, "VMM"},
        {HKEY_LOCAL_MACHINE, kEnum + "\\KERNEL\\CPUUsage", Kind::Description, "", EmulatedStat::CPUUsage},
        {HKEY_LOCAL_MACHINE, "\\" + kEnum + "\\KERNEL\\Threads", Kind::Description, "", EmulatedStat::Threads},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CURRENTCONTROLSET\\CONTROL\\PERFSTATS\\ENUM\\KERNEL\\VMS", Kind::Description, "",
         EmulatedStat::VMs},
        {HKEY_LOCAL_MACHINE, kEnum + "\\VMM\\cpgDiskcache", Kind::Description, "", EmulatedStat::DiskCache},
        {HKEY_LOCAL_MACHINE, kEnum + "\\VMM\\cpgCommit\\", Kind::Description, "", EmulatedStat::Commit},
        {HKEY_LOCAL_MACHINE, "System", Kind::Branch},
        {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control", Kind::Branch},
        {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\PerfStats", Kind::Branch},
        {HKEY_LOCAL_MACHINE, kEnum, Kind::Branch},
        {HKEY_LOCAL_MACHINE, "", Kind::Branch},
        {HKEY_LOCAL_MACHINE, "Software", Kind::None},
        {HKEY_LOCAL_MACHINE, "System\\Setup", Kind::None},
        {HKEY_LOCAL_MACHINE, kEnum + "\\NET", Kind::None},
        {HKEY_LOCAL_MACHINE, kEnum + "\\KERNEL\\Interrupts", Kind::None},
        {HKEY_LOCAL_MACHINE, kEnum + "\\VMM\\CPUUsage", Kind::None},
        {HKEY_LOCAL_MACHINE, kEnum + "\\KERNEL\\CPUUsage\\More", Kind::None},
        {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\control\\PerfStats\\\\Enum\\KERNEL", Kind::None},
        {HKEY_CURRENT_USER, kEnum + "\\KERNEL", Kind::None},
        {HKEY_CURRENT_USER, "System", Kind::None},
        {HKEY_DYN_DATA, "PerfStats\\StartStat", Kind::Start},
        {HKEY_DYN_DATA, "perfstats\\stopstat", Kind::Stop},
        {HKEY_DYN_DATA, "PerfStats\\StatData", Kind::Data},
        {HKEY_DYN_DATA, "\\PerfStats\\StatData", Kind::Data},
        {HKEY_DYN_DATA, "PerfStats", Kind::Branch},
        {HKEY_DYN_DATA, "", Kind::Branch},
        {HKEY_DYN_DATA, "PerfStats\\StatData\\More", Kind::None},
        {HKEY_DYN_DATA, "PerfStats\\Other", Kind::None},
        {HKEY_DYN_DATA, "Config Manager", Kind::None},
        {HKEY_LOCAL_MACHINE, "PerfStats\\StatData", Kind::None},
    };
    for (const Case& c : cases) {
        const auto key = EmulatedStatKeys::Classify(c.root, c.path, kAll);
        EXPECT_EQ(key.kind, c.kind) << c.path;
        if (c.kind == Kind::Category) {
            EXPECT_EQ(key.category, c.category) << c.path;
        }
        if (c.kind == Kind::Description) {
            EXPECT_EQ(key.stat, c.stat) << c.path;
        }
    }
}

TEST(EmulatedStatKeysTest, OnlyTheStatisticsOfferedAreAnswered) {
    // Windows 95/98 publish their own: nothing is offered and no key is answered.
    for (const std::string& path : {kEnum, kEnum + "\\KERNEL", kEnum + "\\KERNEL\\CPUUsage"})
        EXPECT_EQ(EmulatedStatKeys::Classify(HKEY_LOCAL_MACHINE, path, {}).kind, Kind::None) << path;
    EXPECT_EQ(EmulatedStatKeys::Classify(HKEY_DYN_DATA, "PerfStats\\StatData", {}).kind, Kind::None);

    // Without the memory counters the memory manager's category and statistics are not there.
    EXPECT_EQ(EmulatedStatKeys::Classify(HKEY_LOCAL_MACHINE, kEnum + "\\VMM", kNoMemory).kind, Kind::None);
    EXPECT_EQ(EmulatedStatKeys::Classify(HKEY_LOCAL_MACHINE, kEnum + "\\VMM\\cpgCommit", kNoMemory).kind, Kind::None);
    EXPECT_EQ(EmulatedStatKeys::Classify(HKEY_LOCAL_MACHINE, kEnum + "\\KERNEL\\Threads", kNoMemory).kind,
              Kind::Description);
    const auto data = EmulatedStatKeys::Classify(HKEY_DYN_DATA, "PerfStats\\StatData", kNoMemory);
    EXPECT_FALSE(EmulatedStatKeys::StatValue(data, "VMM\\cpgCommit", kNoMemory).has_value());
    EXPECT_EQ(EmulatedStatKeys::StatValue(data, "KERNEL\\Threads", kNoMemory), EmulatedStat::Threads);
    EXPECT_EQ(EmulatedStatKeys::ValueNames(data, kNoMemory),
              (std::vector<std::string>{"KERNEL\\CPUUsage", "KERNEL\\Threads", "KERNEL\\VMs"}));
}

TEST(EmulatedStatKeysTest, DescriptionsAreTextsTheReaderAcceptsAndLevelsEveryOne) {
    for (int i = 0; i < kEmulatedStatCount; ++i) {
        const auto stat = static_cast<EmulatedStat>(i);
        const std::string keyName = EmulatedStatistics::KeyNameOf(stat);
        const auto key = EmulatedStatKeys::Classify(HKEY_LOCAL_MACHINE, kEnum + "\\" + keyName, kAll);
        ASSERT_EQ(key.kind, Kind::Description) << keyName;
        for (const char* value : {"Name", "Description", "Differentiate"}) {
            std::vector<BYTE> data;
            ASSERT_TRUE(EmulatedStatKeys::DescriptionValue(key, value, data)) << keyName << " " << value;
            // A text the reader takes: at least one character, one terminating zero and no other.
            ASSERT_GE(data.size(), 2u) << keyName << " " << value;
            EXPECT_EQ(data.back(), 0) << keyName << " " << value;
            EXPECT_EQ(Text(data).find('\0'), data.size() - 1) << keyName << " " << value;
        }
        std::vector<BYTE> data;
        ASSERT_TRUE(EmulatedStatKeys::DescriptionValue(key, "differentiate", data)) << keyName;
        EXPECT_EQ(Text(data), std::string("FALSE", 6)) << keyName << ": a level, not a running counter";
        EXPECT_FALSE(EmulatedStatKeys::DescriptionValue(key, "Other", data)) << keyName;
        EXPECT_EQ(EmulatedStatKeys::ValueNames(key, kAll),
                  (std::vector<std::string>{"Name", "Description", "Differentiate"}));

        const std::string category = keyName.substr(0, keyName.find('\\'));
        const auto categoryKey = EmulatedStatKeys::Classify(HKEY_LOCAL_MACHINE, kEnum + "\\" + category, kAll);
        ASSERT_TRUE(EmulatedStatKeys::DescriptionValue(categoryKey, "Name", data)) << category;
        EXPECT_GE(data.size(), 2u) << category;
        EXPECT_FALSE(EmulatedStatKeys::DescriptionValue(categoryKey, "Description", data)) << category;
    }
    // Branches and the live-value keys describe nothing.
    std::vector<BYTE> data;
    EXPECT_FALSE(EmulatedStatKeys::DescriptionValue(EmulatedStatKeys::Classify(HKEY_LOCAL_MACHINE, kEnum, kAll),
                                                    "Name", data));
    EXPECT_FALSE(EmulatedStatKeys::DescriptionValue(
        EmulatedStatKeys::Classify(HKEY_DYN_DATA, "PerfStats\\StatData", kAll), "Name", data));
}

TEST(EmulatedStatKeysTest, StartStopAndDataValuesAreNamedByTheStatistics) {
    for (const char* path : {"PerfStats\\StartStat", "PerfStats\\StopStat", "PerfStats\\StatData"}) {
        const auto key = EmulatedStatKeys::Classify(HKEY_DYN_DATA, path, kAll);
        EXPECT_EQ(EmulatedStatKeys::StatValue(key, "kernel\\cpuusage", kAll), EmulatedStat::CPUUsage) << path;
        EXPECT_EQ(EmulatedStatKeys::StatValue(key, "VMM\\cpgDiskcache", kAll), EmulatedStat::DiskCache) << path;
        EXPECT_FALSE(EmulatedStatKeys::StatValue(key, "KERNEL\\Interrupts", kAll).has_value()) << path;
        EXPECT_FALSE(EmulatedStatKeys::StatValue(key, "", kAll).has_value()) << path;
        EXPECT_EQ(EmulatedStatKeys::ValueNames(key, kAll).size(), 5u) << path;
    }
    // A description key has no live values, whatever they are called.
    const auto description = EmulatedStatKeys::Classify(HKEY_LOCAL_MACHINE, kEnum + "\\KERNEL\\CPUUsage", kAll);
    EXPECT_FALSE(EmulatedStatKeys::StatValue(description, "KERNEL\\CPUUsage", kAll).has_value());
    const auto branch = EmulatedStatKeys::Classify(HKEY_DYN_DATA, "PerfStats", kAll);
    EXPECT_TRUE(EmulatedStatKeys::ValueNames(branch, kAll).empty());
}

TEST(EmulatedStatKeysTest, SubKeyPathsJoinAsTheRegistryTakesThem) {
    struct Case {
        const char* base;
        const char* sub;
        const char* joined;
    };
    const Case cases[] = {
        {"", "PerfStats\\StatData", "PerfStats\\StatData"},
        {"", "\\PerfStats\\StatData", "PerfStats\\StatData"},
        {"PerfStats", "StatData", "PerfStats\\StatData"},
        {"PerfStats", "\\StatData", "PerfStats\\StatData"},
        {"PerfStats", "", "PerfStats"},
        {"", "", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(EmulatedStatKeys::Join(c.base, c.sub), c.joined) << c.base << " + " << c.sub;
}

TEST(EmulatedStatKeysTest, LiveValuesAreFourBytesLeastSignificantFirst) {
    EXPECT_EQ(EmulatedStatKeys::Binary(0x01020304), (std::vector<BYTE>{4, 3, 2, 1}));
    EXPECT_EQ(EmulatedStatKeys::Binary(0x7FFFFFFF), (std::vector<BYTE>{0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(EmulatedStatKeys::Binary(0), (std::vector<BYTE>{0, 0, 0, 0}));
}

}  // namespace
}  // namespace taskwell

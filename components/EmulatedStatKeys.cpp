#include "components/EmulatedStatKeys.h"


#include "app/PathUtils.h"

namespace taskwell {

namespace {

// The descriptions the emulation gives: the category's name and the statistic's own. Every
// emulated statistic is a level, so "Differentiate" is "FALSE" throughout.
struct Description {
    EmulatedStat stat;
    const char* categoryName;
    const char* name;
    const char* description;
};

const Description kDescriptions[] = {
    {EmulatedStat::CPUUsage, "Kernel", "Processor Usage (%)",
     "How much of the time the processor was busy, in percent."},
    {EmulatedStat::Threads, "Kernel", "Threads", "The number of threads in the system."},
    {EmulatedStat::VMs, "Kernel", "Virtual Machines",
     "The number of virtual machines: the system's own and one for each DOS session."},
    {EmulatedStat::DiskCache, "Virtual Memory Manager", "Disk Cache Size",
     "The memory the disk cache takes, in bytes."},
    {EmulatedStat::Commit, "Virtual Memory Manager", "Committed Memory",
     "The memory committed to programs and to the system, in bytes."},
};

const Description& DescriptionOf(EmulatedStat stat) {
    for (const Description& d : kDescriptions)
        if (d.stat == stat) return d;
    return kDescriptions[0];
}

// The key below HKEY_LOCAL_MACHINE that holds a key per category.
const char* const kEnumPath[] = {"System", "CurrentControlSet", "Control", "PerfStats", "Enum"};
constexpr size_t kEnumDepth = sizeof kEnumPath / sizeof kEnumPath[0];

// The key names a path is made of, without one leading and one trailing backslash.
std::vector<std::string> Segments(const std::string& path) {
    size_t from = !path.empty() && path.front() == '\\' ? 1 : 0;
    size_t to = path.size();
    if (to > from && path[to - 1] == '\\') --to;
    std::vector<std::string> segments;
    if (to <= from) return segments;
    for (;;) {
        const size_t slash = path.find('\\', from);
        if (slash == std::string::npos || slash >= to) {
            segments.push_back(path.substr(from, to - from));
            return segments;
        }
        segments.push_back(path.substr(from, slash - from));
        from = slash + 1;
    }
}

std::string CategoryOf(EmulatedStat stat) {
    const std::string name = EmulatedStatistics::KeyNameOf(stat);
    return name.substr(0, name.find('\\'));
}

std::vector<BYTE> Text(const char* text) {
    std::vector<BYTE> data(text, text + std::char_traits<char>::length(text));
    data.push_back(0);
    return data;
}

}  // namespace

std::string EmulatedStatKeys::Join(const std::string& base, const std::string& subKey) {
    const std::string sub = !subKey.empty() && subKey.front() == '\\' ? subKey.substr(1) : subKey;
    if (base.empty()) return sub;
    if (sub.empty()) return base;
    return base + "\\" + sub;
}

EmulatedStatKeys::Key EmulatedStatKeys::Classify(HKEY root, const std::string& path, const Offered& offered) {
    Key key;
    if (offered.empty()) return key;
    const std::vector<std::string> segments = Segments(path);
    if (root == HKEY_LOCAL_MACHINE) {
        for (size_t i = 0; i < segments.size() && i < kEnumDepth; ++i)
            if (!SameText(segments[i], kEnumPath[i])) return key;
        if (segments.size() <= kEnumDepth) {
            key.kind = Kind::Branch;
        } else if (segments.size() == kEnumDepth + 1) {
            for (EmulatedStat stat : offered) {
                if (!SameText(segments[kEnumDepth], CategoryOf(stat))) continue;
                key.kind = Kind::Category;
                key.category = CategoryOf(stat);
            }
        } else if (segments.size() == kEnumDepth + 2) {
            const auto stat = EmulatedStatistics::StatOf(segments[kEnumDepth] + "\\" + segments[kEnumDepth + 1]);
            if (stat && offered.count(*stat)) {
                key.kind = Kind::Description;
                key.stat = *stat;
            }
        }
    } else if (root == HKEY_DYN_DATA) {
        if (segments.empty()) {
            key.kind = Kind::Branch;
        } else if (SameText(segments[0], "PerfStats")) {
            if (segments.size() == 1) key.kind = Kind::Branch;
            if (segments.size() == 2 && SameText(segments[1], "StartStat")) key.kind = Kind::Start;
            if (segments.size() == 2 && SameText(segments[1], "StopStat")) key.kind = Kind::Stop;
            if (segments.size() == 2 && SameText(segments[1], "StatData")) key.kind = Kind::Data;
        }
    }
    return key;
}

bool EmulatedStatKeys::DescriptionValue(const Key& key, const std::string& valueName, std::vector<BYTE>& data) {
    if (key.kind == Kind::Category && SameText(valueName, "Name")) {
        for (const Description& d : kDescriptions) {
            if (CategoryOf(d.stat) != key.category) continue;
            data = Text(d.categoryName);
            return true;
        }
        return false;
    }
    if (key.kind != Kind::Description) return false;
    const Description& d = DescriptionOf(key.stat);
    if (SameText(valueName, "Name")) {
        data = Text(d.name);
    } else if (SameText(valueName, "Description")) {
        data = Text(d.description);
    } else if (SameText(valueName, "Differentiate")) {
        data = Text("FALSE");
    } else {
        return false;
    }
    return true;
}

std::optional<EmulatedStat> EmulatedStatKeys::StatValue(const Key& key, const std::string& valueName,
                                                        const Offered& offered) {
    if (key.kind != Kind::Start && key.kind != Kind::Stop && key.kind != Kind::Data) return std::nullopt;
    const auto stat = EmulatedStatistics::StatOf(valueName);
    if (!stat || !offered.count(*stat)) return std::nullopt;
    return stat;
}

std::vector<std::string> EmulatedStatKeys::ValueNames(const Key& key, const Offered& offered) {
    switch (key.kind) {
    case Kind::Category:
        return {"Name"};
    case Kind::Description:
        return {"Name", "Description", "Differentiate"};
    case Kind::Start:
    case Kind::Stop:
    case Kind::Data: {
        std::vector<std::string> names;
        for (EmulatedStat stat : offered) names.emplace_back(EmulatedStatistics::KeyNameOf(stat));
        return names;
    }
    default:
        return {};
    }
}

std::vector<BYTE> EmulatedStatKeys::Binary(LONG value) {
    const auto v = static_cast<DWORD>(value);
    return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 24)};
}

}  // namespace taskwell

// The registry keys and values through which the Windows 95/98 family describes and publishes its
// performance statistics, as a registry of a host that lacks them answers them for the
// statistics it can work out itself (EmulatedStatistics):
//
//   HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\PerfStats\Enum\<Category>   "Name"
//   ...\Enum\<Category>\<Stat>   "Name", "Description", "Differentiate" ("FALSE": a level)
//   HKEY_DYN_DATA\PerfStats\StartStat, \StopStat, \StatData   one value per statistic, named
//                                 "<Category>\<Stat>"; reading it starts, stops or reads it
//
// The keys above them (PerfStats, Enum) are branches without values. Paths are compared without
// regard to case, as the registry does. The class only classifies and describes; the registry
// implementation decides when to answer (when the real key or value is missing) and supplies the
// live values.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "components/EmulatedStatistics.h"
#include "platform/Registry.h"

namespace taskwell {

class EmulatedStatKeys {
public:
    using Offered = std::set<EmulatedStat>;

    enum class Kind { None, Branch, Category, Description, Start, Stop, Data };
    struct Key {
        Kind kind = Kind::None;
        std::string category;         // Category: the category as the statistics name it ("KERNEL")
        EmulatedStat stat{};          // Description: the statistic described
    };

    // The path of a key below another: one leading backslash of the sub-key path is dropped (a
    // path written from the root), and an empty sub-key path names the key itself.
    static std::string Join(const std::string& base, const std::string& subKey);

    // What the key at root\path is to the emulation of the statistics offered: Kind::None for
    // every key it does not answer (and for everything when nothing is offered).
    static Key Classify(HKEY root, const std::string& path, const Offered& offered);

    // A description value ("Name" of a category; "Name", "Description", "Differentiate" of a
    // statistic) as REG_SZ bytes with the terminating zero; false for any other value or key.
    static bool DescriptionValue(const Key& key, const std::string& valueName, std::vector<BYTE>& data);

    // The statistic a value of StartStat, StopStat or StatData stands for, when it is offered.
    static std::optional<EmulatedStat> StatValue(const Key& key, const std::string& valueName, const Offered& offered);

    // The names of the values an emulated key holds, in the order an enumeration gives them.
    static std::vector<std::string> ValueNames(const Key& key, const Offered& offered);

    // A live value as StatData holds it: 4 bytes, least significant first.
    static std::vector<BYTE> Binary(LONG value);
};

}  // namespace taskwell

// The registry of the running system. Handles are the system's own, carried as 32-bit values; the
// six predefined roots are the system's predefined keys. One leading backslash of a sub-key path
// (a path written from the root) is dropped before the system sees it.
//
// Statistics on hosts that do not publish them: the Windows 95/98 family describes its performance
// statistics under HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\PerfStats\Enum and publishes
// them under HKEY_DYN_DATA\PerfStats (StartStat, StatData, StopStat); the NT family and Wine leave
// those keys empty or out. Where a key or value is missing there, this registry answers it for the
// statistics the host can work out (Win32HostReadings, EmulatedStatistics), so the statistics
// reader above does not know the difference. The real registry always comes first, key by key and
// value by value: on Windows 95/98 every answer is the system's own.
//
// Keys on those paths are followed while they are open: a real key the system gave is followed
// under its own handle, and a key the system lacks is stood in for by a real key opened for the
// purpose (HKEY_LOCAL_MACHINE\Software, read only), whose handle the system hands to nobody else
// while it is open. Either is closed with RegCloseKey like any key. Values cannot be written to a
// key that is stood in for. A live value (StartStat, StatData, StopStat) the system's own key
// lacked once is answered from then on without asking the system again: a host that does not
// publish a statistic does not begin to while the program runs, and the readers ask for each value
// every polling pass.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "components/EmulatedStatKeys.h"
#include "components/EmulatedStatistics.h"
#include "platform/Registry.h"

namespace taskwell::win32 {

class Win32HostReadings;

class Win32Registry : public IRegistry {
public:
    Win32Registry();
    // Closes the keys still followed.
    ~Win32Registry() override;
    Win32Registry(const Win32Registry&) = delete;
    Win32Registry& operator=(const Win32Registry&) = delete;

    LONG RegOpenKeyExA(HKEY key, const std::string& subKey, DWORD samDesired, HKEY& result) override;
    LONG RegCreateKeyExA(HKEY key, const std::string& subKey, DWORD samDesired, HKEY& result) override;
    LONG RegCloseKey(HKEY key) override;
    // Asks for the size first, then reads the data; when the value grows between the two calls the
    // pair is repeated a few times.
    LONG RegQueryValueExA(HKEY key, const std::string& valueName, DWORD& type, std::vector<BYTE>& data) override;
    // One query of the system; a value answered for a host that lacks it is copied in the same way.
    LONG RegQueryValueExA(HKEY key, const std::string& valueName, DWORD& type, BYTE* data, DWORD& size) override;
    LONG RegSetValueExA(HKEY key, const std::string& valueName, DWORD type, const BYTE* data, DWORD size) override;
    LONG RegDeleteValueA(HKEY key, const std::string& valueName) override;
    LONG RegEnumValueA(HKEY key, DWORD index, std::string& valueName) override;

    // How many keys on the statistics' paths are open, and how many of them are stood in for.
    int FollowedKeys() const { return static_cast<int>(followed_.size()); }
    int StandIns() const;

private:
    struct Followed {
        HKEY root = 0;
        std::string path;
        EmulatedStatKeys::Key key;
        bool real = false;  // the system's own key; false when it lacks it and a stand-in is open
    };

    const EmulatedStatKeys::Offered& Offered();
    // Root and path of an open key: known (located) for the roots and for followed keys.
    struct Location {
        bool located = false;
        HKEY root = 0;
        std::string path;
        const Followed* followed = nullptr;
    };
    Location Locate(HKEY key) const;
    // The key to follow for subKey below a located key.
    Followed Below(const Location& at, const std::string& subKey);
    LONG Emulate(const Followed& key, const std::string& valueName, DWORD& type, std::vector<BYTE>& data);
    // Whether a value of a followed key is asked of the system first; NoteLacked remembers a live
    // value the system's key did not have.
    bool AskSystem(const Followed& key, const std::string& valueName) const;
    void NoteLacked(const Followed& key, const std::string& valueName);
    LONG Reading(EmulatedStat stat);

    std::map<HKEY, Followed> followed_;
    std::set<std::string> lackedLive_;  // live values the system lacks, "<path>\<value>" in lower case
    std::unique_ptr<Win32HostReadings> host_;
    EmulatedStatistics statistics_;
};

}  // namespace taskwell::win32

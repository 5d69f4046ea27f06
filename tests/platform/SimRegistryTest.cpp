// The simulated registry behaves as the system's does where the program relies on it: names without
// regard to case, values in the order first stored, handles that must be closed, access checked per
// handle, malformed paths refused, and failures reported with the platform's codes.
#include "platform/sim/SimRegistry.h"

#include <gtest/gtest.h>

namespace taskwell {
namespace {

using sim::RegOp;
using sim::SimRegistry;

TEST(SimRegistry, KeysAndValuesIgnoreCaseAndKeepTheirFirstSpelling) {
    SimRegistry reg;
    HKEY k = 0;
    ASSERT_EQ(reg.RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Orvex", KEY_ALL_ACCESS, k), ERROR_SUCCESS);
    const BYTE one[] = {1, 0, 0, 0};
    ASSERT_EQ(reg.RegSetValueExA(k, "Top", REG_DWORD, one, 4), ERROR_SUCCESS);
    const BYTE two[] = {2, 0, 0, 0};
    ASSERT_EQ(reg.RegSetValueExA(k, "TOP", REG_DWORD, two, 4), ERROR_SUCCESS);
    ASSERT_EQ(reg.RegCloseKey(k), ERROR_SUCCESS);

    EXPECT_TRUE(reg.KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\orvex"));
    EXPECT_EQ(reg.SubkeyNames(HKEY_CURRENT_USER, "software"), std::vector<std::string>{"Orvex"});
    EXPECT_EQ(reg.ValueNames(HKEY_CURRENT_USER, "Software\\Orvex"), std::vector<std::string>{"Top"});
    EXPECT_EQ(reg.GetDword(HKEY_CURRENT_USER, "Software\\Orvex", "top"), 2u);
    // The same path below another root is another key.
    EXPECT_FALSE(reg.KeyExists(HKEY_LOCAL_MACHINE, "Software\\Orvex"));
}

TEST(SimRegistry, ValuesEnumerateInTheOrderFirstStored) {
    SimRegistry reg;
    reg.SetDword(HKEY_CURRENT_USER, "K", "b", 1);
    reg.SetDword(HKEY_CURRENT_USER, "K", "a", 1);
    reg.SetDword(HKEY_CURRENT_USER, "K", "c", 1);
    reg.SetString(HKEY_CURRENT_USER, "K", "B", "again");  // replaces b in its place
    HKEY k = 0;
    ASSERT_EQ(reg.RegOpenKeyExA(HKEY_CURRENT_USER, "K", KEY_READ, k), ERROR_SUCCESS);
    std::vector<std::string> names;
    std::string name;
    DWORD i = 0;
    LONG rc;
    while ((rc = reg.RegEnumValueA(k, i++, name)) == ERROR_SUCCESS) names.push_back(name);
    EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(names, (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(reg.GetType(HKEY_CURRENT_USER, "K", "b"), REG_SZ);
    reg.RegCloseKey(k);
}

TEST(SimRegistry, TracksOpenHandlesUntilClosed) {
    SimRegistry reg;
    reg.CreateKey(HKEY_CURRENT_USER, "A\\B");
    HKEY a = 0, b = 0;
    ASSERT_EQ(reg.RegOpenKeyExA(HKEY_CURRENT_USER, "A", KEY_READ, a), ERROR_SUCCESS);
    ASSERT_EQ(reg.RegOpenKeyExA(a, "B", KEY_READ, b), ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKeys(), 2);
    EXPECT_EQ(reg.OpenKeyPaths(), (std::vector<std::string>{"HKEY_CURRENT_USER\\A", "HKEY_CURRENT_USER\\A\\B"}));
    EXPECT_EQ(reg.RegCloseKey(a), ERROR_SUCCESS);
    EXPECT_EQ(reg.RegCloseKey(a), sim::ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg.RegCloseKey(b), ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKeys(), 0);
    // Roots are always open and closing one is harmless.
    EXPECT_EQ(reg.RegCloseKey(HKEY_USERS), ERROR_SUCCESS);
}

TEST(SimRegistry, RefusesMalformedPathsAndUnknownHandles) {
    SimRegistry reg;
    struct Case {
        const char* path;
        LONG expected;
    };
    const Case cases[] = {{"\\Lead", sim::ERROR_BAD_PATHNAME},
                          {"Two\\\\InARow", sim::ERROR_BAD_PATHNAME},
                          {"Trailing\\", ERROR_SUCCESS},
                          {"", ERROR_SUCCESS}};
    for (const Case& c : cases) {
        HKEY k = 0;
        EXPECT_EQ(reg.RegCreateKeyExA(HKEY_CURRENT_USER, c.path, KEY_ALL_ACCESS, k), c.expected) << c.path;
        if (k) reg.RegCloseKey(k);
    }
    HKEY k = 0;
    EXPECT_EQ(reg.RegOpenKeyExA(0x1234, "A", KEY_READ, k), sim::ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg.OpenKeys(), 0);
}

TEST(SimRegistry, ChecksTheAccessOfEachHandle) {
    SimRegistry reg;
    reg.SetDword(HKEY_CURRENT_USER, "K", "v", 1);
    HKEY readOnly = 0, writeOnly = 0;
    ASSERT_EQ(reg.RegOpenKeyExA(HKEY_CURRENT_USER, "K", KEY_READ, readOnly), ERROR_SUCCESS);
    ASSERT_EQ(reg.RegOpenKeyExA(HKEY_CURRENT_USER, "K", KEY_WRITE, writeOnly), ERROR_SUCCESS);
    const BYTE b[] = {0, 0, 0, 0};
    DWORD type;
    std::vector<BYTE> data;
    EXPECT_EQ(reg.RegSetValueExA(readOnly, "v", REG_DWORD, b, 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.RegDeleteValueA(readOnly, "v"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.RegQueryValueExA(writeOnly, "v", type, data), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.RegQueryValueExA(readOnly, "v", type, data), ERROR_SUCCESS);
    EXPECT_EQ(reg.RegSetValueExA(writeOnly, "v", REG_DWORD, b, 4), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetDword(HKEY_CURRENT_USER, "K", "v"), 0u);
    reg.RegCloseKey(readOnly);
    reg.RegCloseKey(writeOnly);
}

TEST(SimRegistry, AHandleToADeletedKeyReportsItAndStillCloses) {
    SimRegistry reg;
    reg.SetDword(HKEY_CURRENT_USER, "A\\B", "v", 1);
    HKEY k = 0;
    ASSERT_EQ(reg.RegOpenKeyExA(HKEY_CURRENT_USER, "A\\B", KEY_ALL_ACCESS, k), ERROR_SUCCESS);
    ASSERT_TRUE(reg.DeleteKey(HKEY_CURRENT_USER, "A"));
    DWORD type;
    std::vector<BYTE> data;
    EXPECT_EQ(reg.RegQueryValueExA(k, "v", type, data), sim::ERROR_KEY_DELETED);
    EXPECT_EQ(reg.RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKeys(), 0);
}

TEST(SimRegistry, InjectedFailuresReportTheirCodeAndChangeNothing) {
    SimRegistry reg;
    reg.FailWith(RegOp::RegCreateKeyExA, 1009);
    HKEY k = 0;
    EXPECT_EQ(reg.RegCreateKeyExA(HKEY_CURRENT_USER, "K", KEY_ALL_ACCESS, k), 1009);
    EXPECT_FALSE(reg.KeyExists(HKEY_CURRENT_USER, "K"));
    reg.Fail(RegOp::RegCreateKeyExA, false);
    ASSERT_EQ(reg.RegCreateKeyExA(HKEY_CURRENT_USER, "K", KEY_ALL_ACCESS, k), ERROR_SUCCESS);

    reg.RefuseValue("top");
    const BYTE b[] = {'1', 0};
    EXPECT_EQ(reg.RegSetValueExA(k, "Top", REG_SZ, b, 2), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.RegSetValueExA(k, "Left", REG_SZ, b, 2), ERROR_SUCCESS);
    EXPECT_EQ(reg.ValueNames(HKEY_CURRENT_USER, "K"), std::vector<std::string>{"Left"});

    reg.Raise(RegOp::RegQueryValueExA);
    DWORD type;
    std::vector<BYTE> data;
    EXPECT_THROW(reg.RegQueryValueExA(k, "Left", type, data), std::runtime_error);
    reg.RegCloseKey(k);

    EXPECT_EQ(reg.Writes(), std::vector<std::string>{"HKEY_CURRENT_USER\\K\\Left"});
    EXPECT_EQ(reg.Calls(RegOp::RegCreateKeyExA), 2);
}

}  // namespace
}  // namespace taskwell

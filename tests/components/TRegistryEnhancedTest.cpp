#include "components/TRegistryEnhanced.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/sim/SimRegistry.h"
#include "ui/Exception.h"

namespace taskwell {
namespace {

using sim::RegOp;
using sim::SimRegistry;

std::vector<BYTE> Text(const std::string& s, bool terminated = true) {
    std::vector<BYTE> data(s.begin(), s.end());
    if (terminated) data.push_back(0);
    return data;
}

std::vector<BYTE> Dword(DWORD n) {
    return {static_cast<BYTE>(n), static_cast<BYTE>(n >> 8), static_cast<BYTE>(n >> 16), static_cast<BYTE>(n >> 24)};
}

struct RegistryEnhancedTest : ::testing::Test {
    SimRegistry registry;
    TRegistryEnhanced reg{registry};
    RegistryEnhancedTest() { reg.Key = "Software\\Test"; }
    void TearDown() override {
        EXPECT_EQ(registry.OpenKeys(), 0) << "a key was left open";
    }
};

TEST_F(RegistryEnhancedTest, WritesEachKindWithItsTypeAndBytes) {
    struct Case {
        const char* name;
        TRegValue value;
        DWORD type;
        std::vector<BYTE> data;
    };
    const Case cases[] = {
        {"number", TRegValue(LONG{250}), REG_DWORD, Dword(250)},
        {"negative", TRegValue(LONG{-3}), REG_DWORD, Dword(0xFFFFFFFDu)},
        {"on", TRegValue(true), REG_DWORD, Dword(1)},
        {"off", TRegValue(false), REG_DWORD, Dword(0)},
        {"text", TRegValue("C:\\Logs\\CPU.Log"), REG_SZ, Text("C:\\Logs\\CPU.Log")},
        {"empty", TRegValue(""), REG_SZ, Text("")},
    };
    for (const Case& c : cases) {
        reg.WriteValue(c.name, c.value);
        EXPECT_EQ(registry.GetType(HKEY_CURRENT_USER, "Software\\Test", c.name), c.type) << c.name;
        EXPECT_EQ(registry.GetRaw(HKEY_CURRENT_USER, "Software\\Test", c.name), c.data) << c.name;
    }
}

TEST_F(RegistryEnhancedTest, ReadsTextAndNumbersAndTheDefaultForAnythingElse) {
    struct Case {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
        TRegValue expected;
    };
    const TRegValue def(LONG{-77});
    const Case cases[] = {
        {"REG_SZ", REG_SZ, Text("hello"), TRegValue("hello")},
        {"REG_SZ without its zero", REG_SZ, Text("abc", false), TRegValue("abc")},
        {"REG_SZ cut at its first zero", REG_SZ, {'a', 0, 'b', 0}, TRegValue("a")},
        {"REG_EXPAND_SZ as stored", REG_EXPAND_SZ, Text("%WINDIR%\\x"), TRegValue("%WINDIR%\\x")},
        {"REG_DWORD", REG_DWORD, Dword(1750), TRegValue(LONG{1750})},
        {"REG_DWORD signed", REG_DWORD, Dword(0x80000000u), TRegValue(LONG{INT_MIN})},
        {"REG_DWORD of three bytes", REG_DWORD, {1, 2, 3}, def},
        {"REG_BINARY", REG_BINARY, {1, 0, 0, 0}, def},
        {"REG_NONE", REG_NONE, {}, def},
        {"type 11", 11, Dword(5), def},
    };
    for (const Case& c : cases) {
        registry.SetRaw(HKEY_CURRENT_USER, "Software\\Test", "v", c.type, c.data);
        EXPECT_EQ(reg.ReadValue("v", def), c.expected) << c.what;
    }
    EXPECT_EQ(reg.ReadValue("absent", def), def);
    reg.Key = "Software\\Nowhere";
    EXPECT_EQ(reg.ReadValue("v", def), def);
    EXPECT_FALSE(registry.KeyExists(HKEY_CURRENT_USER, "Software\\Nowhere")) << "a read created its key";
}

TEST_F(RegistryEnhancedTest, ConvertsForTheTargetOrGivesTheDefault) {
    struct Case {
        TRegValue value;
        std::optional<LONG> number;
        std::optional<bool> boolean;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {TRegValue(LONG{0}), 0, false, std::nullopt},
        {TRegValue(LONG{-2}), -2, true, std::nullopt},
        {TRegValue(true), 1, true, std::nullopt},
        {TRegValue("42"), 42, true, "42"},
        {TRegValue("-2147483648"), INT_MIN, true, "-2147483648"},
        {TRegValue("2147483648"), std::nullopt, std::nullopt, "2147483648"},
        {TRegValue("0"), 0, false, "0"},
        {TRegValue("TRUE"), std::nullopt, true, "TRUE"},
        {TRegValue("false"), std::nullopt, false, "false"},
        {TRegValue("abc"), std::nullopt, std::nullopt, "abc"},
        {TRegValue(" 1"), std::nullopt, std::nullopt, " 1"},
        {TRegValue("-"), std::nullopt, std::nullopt, "-"},
        {TRegValue(""), std::nullopt, std::nullopt, ""},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(c.value.AsNumber(), c.number) << "case " << i;
        EXPECT_EQ(c.value.AsBoolean(), c.boolean) << "case " << i;
        EXPECT_EQ(c.value.AsText(), c.text) << "case " << i;
    }
    registry.SetString(HKEY_CURRENT_USER, "Software\\Test", "word", "abc");
    registry.SetDword(HKEY_CURRENT_USER, "Software\\Test", "number", 7);
    EXPECT_EQ(reg.ReadInteger("word", 250), 250);
    EXPECT_TRUE(reg.ReadBool("word", true));
    EXPECT_EQ(reg.ReadString("number", "C:\\x.log"), "C:\\x.log");
    EXPECT_EQ(reg.ReadInteger("number", 250), 7);
}

TEST_F(RegistryEnhancedTest, SubkeyPartsInNamesAndBackslashesAroundTheKey) {
    struct Case {
        const char* key;
        const char* name;
        const char* storedKey;
        const char* storedName;
    };
    const Case cases[] = {
        {"\\Software\\Test\\", "plain", "Software\\Test", "plain"},
        {"Software\\Test\\", "Columns\\Task", "Software\\Test\\Columns", "Task"},
        {"Software\\Test", "\\A\\\\B\\v", "Software\\Test\\A\\B", "v"},
        {"Software\\Test", "A\\", "Software\\Test\\A", ""},
    };
    for (const Case& c : cases) {
        reg.Key = c.key;
        reg.WriteValue(c.name, LONG{5});
        EXPECT_EQ(registry.GetDword(HKEY_CURRENT_USER, c.storedKey, c.storedName), 5u) << c.key << " " << c.name;
        EXPECT_EQ(reg.ReadInteger(c.name, 0), 5) << c.key << " " << c.name;
        registry.DeleteValue(HKEY_CURRENT_USER, c.storedKey, c.storedName);
    }
}

TEST_F(RegistryEnhancedTest, AnEmptyKeyDoesNothing) {
    for (const char* key : {"", "\\", "\\\\"}) {
        reg.Key = key;
        reg.WriteValue("v", LONG{1});
        EXPECT_EQ(reg.ReadInteger("v", 9), 9) << key;
    }
    EXPECT_TRUE(registry.CallLog().empty());
}

TEST_F(RegistryEnhancedTest, UsesTheChosenRoot) {
    const std::pair<TRootKey, HKEY> roots[] = {
        {TRootKey::hkClassesRoot, HKEY_CLASSES_ROOT}, {TRootKey::hkCurrentConfig, HKEY_CURRENT_CONFIG},
        {TRootKey::hkCurrentUser, HKEY_CURRENT_USER}, {TRootKey::hkDynData, HKEY_DYN_DATA},
        {TRootKey::hkLocalMachine, HKEY_LOCAL_MACHINE}, {TRootKey::hkUsers, HKEY_USERS}};
    LONG n = 0;
    for (auto [root, hkey] : roots) {
        reg.RootKey = root;
        reg.WriteValue("v", ++n);
        EXPECT_EQ(registry.GetDword(hkey, "Software\\Test", "v"), static_cast<DWORD>(n)) << SimRegistry::RootName(hkey);
    }
}

TEST_F(RegistryEnhancedTest, OpensEveryKeyWithTheChosenAccess) {
    registry.SetDword(HKEY_CURRENT_USER, "Software\\Test", "v", 3);
    reg.Access = TRegAccess::kRead;
    EXPECT_EQ(reg.ReadInteger("v", 0), 3);
    EXPECT_THROW(reg.WriteValue("v", LONG{4}), Exception);
    reg.Access = TRegAccess::kWrite;
    EXPECT_EQ(reg.ReadInteger("v", 0), 0);
    reg.WriteValue("v", LONG{4});
    EXPECT_EQ(registry.GetDword(HKEY_CURRENT_USER, "Software\\Test", "v"), 4u);
}

TEST_F(RegistryEnhancedTest, ARefusedValueRaisesItsNameAndClosesTheKey) {
    registry.RefuseValue("CPU_Logfile");
    reg.Key = "Software\\Test\\Logs";
    try {
        reg.WriteValue("CPU_Logfile", "C:\\cpu.log");
        FAIL() << "no error raised";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'CPU_Logfile'");
    }
    EXPECT_FALSE(registry.ValueExists(HKEY_CURRENT_USER, "Software\\Test\\Logs", "CPU_Logfile"));
    // A call that raises instead of reporting is a refusal as well.
    registry.Raise(RegOp::RegSetValueExA);
    EXPECT_THROW(reg.WriteValue("Mem", true), Exception);
}

TEST_F(RegistryEnhancedTest, AKeyThatCannotBeCreatedMakesTheWriteASilentNoOp) {
    for (bool raise : {false, true}) {
        registry.Fail(RegOp::RegCreateKeyExA, !raise);
        registry.Raise(RegOp::RegCreateKeyExA, raise);
        EXPECT_NO_THROW(reg.WriteValue("v", LONG{1}));
        EXPECT_EQ(registry.Calls(RegOp::RegSetValueExA), 0);
        EXPECT_FALSE(registry.KeyExists(HKEY_CURRENT_USER, "Software\\Test"));
    }
}

TEST_F(RegistryEnhancedTest, ReadFailuresGiveTheDefault) {
    registry.SetDword(HKEY_CURRENT_USER, "Software\\Test", "v", 3);
    for (RegOp op : {RegOp::RegOpenKeyExA, RegOp::RegQueryValueExA}) {
        registry.Fail(op);
        EXPECT_EQ(reg.ReadInteger("v", 11), 11) << sim::RegOpName(op);
        registry.Fail(op, false);
        registry.Raise(op);
        EXPECT_EQ(reg.ReadInteger("v", 12), 12) << sim::RegOpName(op);
        registry.Raise(op, false);
    }
    EXPECT_EQ(reg.ReadInteger("v", 0), 3);
}

TEST_F(RegistryEnhancedTest, EachCallOpensAndClosesItsOwnKey) {
    reg.WriteValue("a", LONG{1});
    reg.ReadValue("a", LONG{0});
    reg.ReadValue("absent", LONG{0});
    std::vector<RegOp> ops;
    for (const auto& call : registry.CallLog()) ops.push_back(call.op);
    EXPECT_EQ(ops, (std::vector<RegOp>{RegOp::RegCreateKeyExA, RegOp::RegSetValueExA, RegOp::RegCloseKey,
                                       RegOp::RegOpenKeyExA, RegOp::RegQueryValueExA, RegOp::RegCloseKey,
                                       RegOp::RegOpenKeyExA, RegOp::RegQueryValueExA, RegOp::RegCloseKey}));
}

}  // namespace
}  // namespace taskwell

// The settings fuzz: 500 registry contents for the whole settings layout, made from a fixed seed
// (so every run sees the same 500): values of the wrong type (text for numbers, numbers for texts,
// binary data of odd sizes, numbers of the wrong size), empty and 64 KB texts, texts without their
// terminating zero, negative and huge numbers, missing values and missing keys. Each content gets a
// whole session: start, ticks, the New Task dialog (which reads and rewrites the history), close.
//
// Nothing may fail and no error box may show; every value written back must be of its layout's type
// and valid (booleans 0 or 1, numbers in their range, one update speed and one view style, paths
// not empty, placement within the 16-bit range); and a value stored valid and independent of the
// others comes back as it was stored.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/Main.h"
#include "process/ProcessColumns.h"
#include "support/RegistryTree.h"
#include "support/SimFixture.h"
#include "tasks/NewTask.h"
#include "ui/TApplication.h"

namespace taskwell {
namespace {

using testing::SimFixture;
using testing::StoredValue;

constexpr std::uint32_t kSeed = 19990531;
constexpr int kCases = 500;
constexpr size_t kLongText = 64 * 1024;

// What the layout stores under a value.
enum class Kind {
    Boolean,      // REG_DWORD 0 or 1
    Number,       // REG_DWORD from lo to hi
    Path,         // REG_SZ, not empty
    Bound,        // REG_SZ, decimal, 16-bit signed (placement left and top)
    Size,         // REG_SZ, decimal, 1 to 32767 (placement width and height)
    WindowState,  // REG_SZ "True" or "False"
    Entry,        // REG_SZ (a line of the run history)
};

struct LayoutValue {
    std::string key;  // below the settings root; empty for the root itself
    std::string name;
    Kind kind;
    LONG lo = 0, hi = 0;
    // Read and written on its own: stored valid, it is written back as it was stored. (The radio
    // choices, the tray option that Hide When Minimized overrides, the placement that a stored
    // maximised state leaves unwritten and the history are not.)
    bool independent = false;

    std::string Path() const { return key.empty() ? name : key + "\\" + name; }
};

constexpr LONG kMaxWidth = 32767;
const std::string kPlacementKey = "taskwell.INI\\frmMain";
const std::string kHistoryKey = "New Tasks";

std::vector<LayoutValue> Layout() {
    std::vector<LayoutValue> layout;
    for (const char* option : {"&Always On Top", "&Confirmations", "&Show 16-bit tasks", "&Show Kernel Times"})
        layout.push_back({"", option, Kind::Boolean, 0, 1, true});
    for (const char* option : {"&Minimize On Use", "&Show icon in tray", "&Hide When Minimized", "&High", "&Normal",
                               "&Low", "&Paused", "Lar&ge Icons", "S&mall Icons", "&List", "&Details"})
        layout.push_back({"", option, Kind::Boolean, 0, 1});
    layout.push_back({"", "ActivePage", Kind::Number, 0, 3, true});
    for (const char* column : {"Task", "Status"})
        layout.push_back({"Application Columns", column, Kind::Number, 0, kMaxWidth, true});
    layout.push_back({"Logs", "CPU", Kind::Boolean, 0, 1, true});
    layout.push_back({"Logs", "CPU_Logfile", Kind::Path, 0, 0, true});
    layout.push_back({"Logs", "Mem", Kind::Boolean, 0, 1, true});
    layout.push_back({"Logs", "Mem_Logfile", Kind::Path, 0, 0, true});
    for (int c = 1; c < kProcessColumnCount; ++c)
        layout.push_back(
            {"Process Columns", ColumnIdentifier(static_cast<TProcessColumn>(c)), Kind::Boolean, 0, 1, true});
    layout.push_back(
        {"Process Columns", "Sorting", Kind::Number, -(kProcessColumnCount - 1), kProcessColumnCount - 1, true});
    // A column's width is written back only while the column is shown.
    for (const TProcessColumnRow& row : ProcessColumnTable())
        layout.push_back({"Process Columns", row.caption, Kind::Number, 0, kMaxWidth});
    layout.push_back({kPlacementKey, "MyWindowState", Kind::WindowState});
    for (const char* bound : {"Top", "Left"}) layout.push_back({kPlacementKey, bound, Kind::Bound, -32768, 32767});
    for (const char* size : {"Width", "Height"}) layout.push_back({kPlacementKey, size, Kind::Size, 1, 32767});
    for (int n = 0; n < TfrmNewTask::kMaxEntries; ++n) layout.push_back({kHistoryKey, std::to_string(n), Kind::Entry});
    return layout;
}

// ---------------------------------------------------------------------------------------------
// The contents.

// A fixed sequence from the seed. (The standard distributions differ between libraries; the
// engine's own output does not.)
class Random {
public:
    explicit Random(std::uint32_t seed) : engine_(seed) {}
    std::uint32_t Next() { return engine_(); }
    // 0 to n - 1.
    int Below(int n) { return static_cast<int>(engine_() % static_cast<std::uint32_t>(n)); }
    bool OneIn(int n) { return Below(n) == 0; }

private:
    std::mt19937 engine_;
};

std::vector<BYTE> Text(const std::string& text, bool terminated = true) {
    std::vector<BYTE> data(text.begin(), text.end());
    if (terminated) data.push_back(0);
    return data;
}

std::vector<BYTE> Dword(DWORD n) {
    return {static_cast<BYTE>(n), static_cast<BYTE>(n >> 8), static_cast<BYTE>(n >> 16), static_cast<BYTE>(n >> 24)};
}

// A content the layout takes as valid for the value, in its own type and canonical form.
StoredValue ValidContent(const LayoutValue& v, Random& r) {
    const LONG n = v.lo + static_cast<LONG>(r.Next() % static_cast<std::uint32_t>(v.hi - v.lo + 1));
    switch (v.kind) {
    case Kind::Boolean:
    case Kind::Number: return {REG_DWORD, Dword(static_cast<DWORD>(n))};
    case Kind::Path: return {REG_SZ, Text("C:\\LOGS\\usage" + std::to_string(r.Below(100)) + ".log")};
    case Kind::Bound:
    case Kind::Size: return {REG_SZ, Text(std::to_string(n))};
    case Kind::WindowState: return {REG_SZ, Text(r.OneIn(2) ? "True" : "False")};
    case Kind::Entry: return {REG_SZ, Text("C:\\APPS\\TOOL" + std::to_string(r.Below(30)) + ".EXE")};
    }
    return {};
}

std::string Printable(Random& r, size_t length) {
    static const char kChars[] = "abcXYZ019 .\\:/-_&%\"'";
    std::string s;
    for (size_t i = 0; i < length; ++i) s.push_back(kChars[r.Below(sizeof kChars - 1)]);
    return s;
}

// Any content at all: of another type, of the wrong size, at the edges of the range or far beyond.
// valid says whether it is a ValidContent.
StoredValue AnyContent(const LayoutValue& v, Random& r, bool& valid) {
    valid = false;
    static const DWORD kEdgeNumbers[] = {0u, 1u, 2u, 3u, 4u, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 32767u, 32768u,
                                         65535u, 65536u, 0xFFFF8000u, 0xFFFF7FFFu, 10u, 0xFFFFFFF6u};
    static const char* kNumberTexts[] = {"0", "1", "-1", "+7", "-0", " 5", "5 ", "0x40", "0X", "0x", "0xFFFFFFFF",
                                         "1e3", "99999999999", "-2147483648", "2147483648", "32768", "-32769",
                                         "3", "4", "12abc", "", "True", "false", "TRUE", "yes", "0x7FFF"};
    switch (r.Below(14)) {
    case 0:
    case 1: valid = true; return ValidContent(v, r);
    case 2: return {REG_DWORD, Dword(kEdgeNumbers[r.Below(std::size(kEdgeNumbers))])};
    case 3: return {REG_DWORD, Dword(r.Next())};
    case 4: {  // a number of the wrong size
        std::vector<BYTE> data(
            static_cast<size_t>(std::vector<int>{0, 1, 2, 3, 5, 8}[static_cast<size_t>(r.Below(6))]));
        for (BYTE& b : data) b = static_cast<BYTE>(r.Next());
        return {REG_DWORD, data};
    }
    case 5: return {REG_SZ, Text("")};
    case 6: return {REG_SZ, Text(kNumberTexts[r.Below(std::size(kNumberTexts))])};
    case 7: return {REG_SZ, Text(Printable(r, static_cast<size_t>(1 + r.Below(40))))};
    case 8: return {REG_SZ, Text(std::string(kLongText, static_cast<char>('A' + r.Below(26))))};
    case 9: {  // without its terminating zero, or with a zero inside
        const std::string text = Printable(r, static_cast<size_t>(1 + r.Below(12)));
        if (r.OneIn(2)) return {REG_SZ, Text(text, false)};
        std::vector<BYTE> data = Text(text);
        data.insert(data.begin() + static_cast<std::ptrdiff_t>(text.size() / 2), BYTE{0});
        return {REG_SZ, data};
    }
    case 10: {  // the text of a valid content, as an expandable text
        StoredValue s = ValidContent(v, r);
        if (s.type == REG_SZ) return {REG_EXPAND_SZ, s.data};
        return {REG_EXPAND_SZ, Text(std::to_string(static_cast<LONG>(s.data[0] | s.data[1] << 8)))};
    }
    case 11: {  // binary data of an odd size
        std::vector<BYTE> data(static_cast<size_t>(r.Below(10)));
        for (BYTE& b : data) b = static_cast<BYTE>(r.Next());
        return {REG_BINARY, data};
    }
    case 12: {
        const DWORD types[] = {REG_NONE, 7 /* REG_MULTI_SZ */, 11 /* REG_QWORD */, 0x1234};
        return {types[r.Below(4)], Text(Printable(r, 6))};
    }
    default: return {REG_SZ, Text(Printable(r, static_cast<size_t>(r.Below(300))))};
    }
}

// One registry content for the whole layout, as the case's seed makes it.
struct Content {
    std::map<std::string, StoredValue> stored;  // by layout path; a missing value is not in it
    std::set<std::string> valid;               // paths whose content is a ValidContent
};

Content MakeContent(Random& r, const std::vector<LayoutValue>& layout) {
    Content c;
    std::set<std::string> missingKeys;
    for (const char* key : {"Application Columns", "Logs", "Process Columns", "taskwell.INI\\frmMain", "New Tasks"})
        if (r.OneIn(8)) missingKeys.insert(key);
    const bool noRoot = r.OneIn(40);
    for (const LayoutValue& v : layout) {
        // Some values are missing; so are whole keys now and then.
        if (noRoot || missingKeys.count(v.key) || r.OneIn(6)) continue;
        bool valid = false;
        c.stored[v.Path()] = AnyContent(v, r, valid);
        if (valid) c.valid.insert(v.Path());
    }
    return c;
}

void Store(sim::SimRegistry& registry, const std::vector<LayoutValue>& layout, const Content& c) {
    const std::string root = testing::kSettingsRootPath;
    for (const LayoutValue& v : layout) {
        auto it = c.stored.find(v.Path());
        if (it == c.stored.end()) continue;
        registry.SetRaw(HKEY_CURRENT_USER, v.key.empty() ? root : root + "\\" + v.key, v.name, it->second.type,
                        it->second.data);
    }
}

// ---------------------------------------------------------------------------------------------
// The session and the checks.

struct Outcome {
    std::string escaped;
    std::vector<std::string> boxes;
    std::set<std::string> written;  // layout paths written during the session
    testing::RegistryTree after;
    int activePage = -1;
    int openKeys = 0;
};

Outcome RunSession(const std::vector<LayoutValue>& layout, const Content& content) {
    SimFixture f;
    f.StartDesktop();
    Store(f.registry, layout, content);
    Outcome out;
    f.ui.Responder = [&](const sim::MessageBoxCall& call) {
        out.boxes.push_back(call.text);
        return IDOK;
    };
    // The New Task dialog is confirmed with the entry it shows (the most recent one).
    f.ui.ModalResponder = [](TForm& dialog) {
        if (auto* run = dynamic_cast<TfrmNewTask*>(&dialog)) run->btnOk->Click();
        return mrOk;
    };
    std::unique_ptr<TfrmMain> form;
    auto drive = [&](const char* what, const std::function<void()>& step) {
        try {
            step();
        } catch (const std::exception& e) {
            if (out.escaped.empty()) out.escaped = std::string(what) + ": " + e.what();
        } catch (...) {
            if (out.escaped.empty()) out.escaped = std::string(what) + ": an error of no known kind";
        }
    };
    drive("start", [&] {
        form = f.CreateMainForm();
        form->Show();
    });
    if (form) {
        drive("ticks", [&] {
            for (int tick = 0; tick < 3; ++tick) {
                const UINT interval = form->tmrRefresh.Interval();
                f.ui.Advance(interval > 0 ? interval : 1750);
            }
        });
        drive("new task", [&] { f.app.Guarded([&] { form->Menus.itmNewTask->Click(); }); });
        out.activePage = form->pcMain->ActivePageIndex();
        drive("close", [&] { f.app.Guarded([&] { form->Menus.itmExit->Click(); }); });
        form.reset();
    }
    const std::string prefix = "HKEY_CURRENT_USER\\" + std::string(testing::kSettingsRootPath) + "\\";
    for (const std::string& w : f.registry.Writes())
        if (w.compare(0, prefix.size(), prefix) == 0) out.written.insert(w.substr(prefix.size()));
    out.after = testing::SettingsTree(f.registry);
    out.openKeys = f.registry.OpenKeys();
    return out;
}

std::optional<LONG> DecimalOf(const std::string& text) {
    if (text.empty() || text.size() > 11) return std::nullopt;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return std::nullopt;
    for (size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9') return std::nullopt;
    const long long n = std::stoll(text);
    // Canonical: no leading zeros, no "-0".
    if (std::to_string(n) != text || n < INT_MIN || n > INT_MAX) return std::nullopt;
    return static_cast<LONG>(n);
}

// The text of a REG_SZ value stored with exactly one terminating zero, at its end.
std::optional<std::string> TerminatedText(const StoredValue& v) {
    if (v.type != REG_SZ || v.data.empty() || v.data.back() != 0) return std::nullopt;
    const std::string text(v.data.begin(), v.data.end() - 1);
    if (text.find('\0') != std::string::npos) return std::nullopt;
    return text;
}

// Why the written value is not of its layout's type or not valid; empty when it is.
std::string Invalid(const LayoutValue& v, const StoredValue& s) {
    if (v.kind == Kind::Boolean || v.kind == Kind::Number) {
        if (s.type != REG_DWORD || s.data.size() != 4) return "not a REG_DWORD of four bytes";
        const LONG n =
            static_cast<LONG>(s.data[0] | s.data[1] << 8 | s.data[2] << 16 | static_cast<DWORD>(s.data[3]) << 24);
        if (n < v.lo || n > v.hi)
            return std::to_string(n) + " is outside " + std::to_string(v.lo) + ".." + std::to_string(v.hi);
        return "";
    }
    const std::optional<std::string> text = TerminatedText(s);
    if (!text) return "not a REG_SZ text with its terminating zero";
    switch (v.kind) {
    case Kind::Path: return text->empty() ? "an empty path" : "";
    case Kind::Bound:
    case Kind::Size: {
        const std::optional<LONG> n = DecimalOf(*text);
        if (!n || *n < v.lo || *n > v.hi)
            return "\"" + *text + "\" is no decimal number in " + std::to_string(v.lo) + ".." + std::to_string(v.hi);
        return "";
    }
    case Kind::WindowState:
        return *text == "True" || *text == "False" ? "" : "\"" + *text + "\" is neither True nor False";
    default: return "";
    }
}

bool On(const testing::RegistryTree& tree, const std::string& path) {
    auto it = tree.find(path);
    return it != tree.end() && it->second == StoredValue{REG_DWORD, Dword(1)};
}

TEST(SettingsFuzz, AnyStoredContentStartsTicksClosesAndIsWrittenBackValid) {
    const std::vector<LayoutValue> layout = Layout();
    std::map<std::string, const LayoutValue*> byPath;
    for (const LayoutValue& v : layout) byPath[v.Path()] = &v;
    Random random(kSeed);
    int roundTrips = 0, ran = 0;
    for (int n = 0; n < kCases; ++n, ++ran) {
        const Content content = MakeContent(random, layout);
        const Outcome o = RunSession(layout, content);
        const std::string label = "case " + std::to_string(n);
        EXPECT_EQ(o.escaped, "") << label;
        // The one box a session may show: New Task's answer for an entry that starts nothing.
        for (const std::string& box : o.boxes)
            if (box.rfind("Cannot find '", 0) != 0) ADD_FAILURE() << label << ": box \"" << box << "\"";
        EXPECT_EQ(o.openKeys, 0) << label;

        // Every value written is one of the layout's, of its type and valid.
        for (const std::string& path : o.written) {
            auto v = byPath.find(path);
            if (v == byPath.end()) {
                ADD_FAILURE() << label << ": " << path << " is written but is no value of the layout";
                continue;
            }
            const std::string why = Invalid(*v->second, o.after.at(path));
            EXPECT_EQ(why, "") << label << ": " << path << " written as " << testing::DescribeValue(o.after.at(path));
        }
        // The close wrote the whole layout but the column widths of hidden columns, the history and
        // (for a maximised window) the placement's bounds.
        for (const LayoutValue& v : layout) {
            if (v.kind == Kind::Entry || v.kind == Kind::Bound || v.kind == Kind::Size) continue;
            if (v.key == "Process Columns" && v.kind == Kind::Number && v.name != "Sorting") continue;
            EXPECT_EQ(o.written.count(v.Path()), 1u) << label << ": " << v.Path() << " not written";
        }
        // One update speed, one view style; a window hidden when minimised keeps its tray icon.
        int speeds = 0, styles = 0;
        for (const char* speed : {"&High", "&Normal", "&Low", "&Paused"}) speeds += On(o.after, speed);
        for (const char* style : {"Lar&ge Icons", "S&mall Icons", "&List", "&Details"}) styles += On(o.after, style);
        EXPECT_EQ(speeds, 1) << label;
        EXPECT_EQ(styles, 1) << label;
        if (On(o.after, "&Hide When Minimized")) {
            EXPECT_TRUE(On(o.after, "&Show icon in tray")) << label;
        }
        EXPECT_TRUE(On(o.after, "&Minimize On Use")) << label;
        // The page shown is the page stored.
        auto page = o.after.find("ActivePage");
        if (page != o.after.end()) {
            EXPECT_EQ(page->second, (StoredValue{REG_DWORD, Dword(static_cast<DWORD>(o.activePage))})) << label;
        }
        // The history holds entries "0" up: none empty but the one entered ("0"), none twice.
        std::set<std::string> entries;
        for (int e = 0; e < TfrmNewTask::kMaxEntries; ++e) {
            auto it = o.after.find(kHistoryKey + "\\" + std::to_string(e));
            if (it == o.after.end() || !o.written.count(it->first)) continue;
            const std::string text = TerminatedText(it->second).value_or("");
            if (e > 0) {
                EXPECT_FALSE(text.empty()) << label << ": history entry " << e << " is empty";
            }
            if (text.empty()) continue;
            std::string upper = text;
            for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            EXPECT_TRUE(entries.insert(upper).second) << label << ": history entry " << e << " twice";
        }

        // A value stored valid, on its own, comes back as it was.
        for (const LayoutValue& v : layout) {
            if (!v.independent || !content.valid.count(v.Path())) continue;
            ++roundTrips;
            EXPECT_EQ(o.after.at(v.Path()), content.stored.at(v.Path()))
                << label << ": " << v.Path() << " stored as " << testing::DescribeValue(content.stored.at(v.Path()))
                << ", written back as " << testing::DescribeValue(o.after.at(v.Path()));
        }
        // A shown process column stored with a valid width keeps it.
        for (int c = 0; c < kProcessColumnCount; ++c) {
            const std::string flag =
                std::string("Process Columns\\") + ColumnIdentifier(static_cast<TProcessColumn>(c));
            const std::string width = std::string("Process Columns\\") + ColumnCaption(static_cast<TProcessColumn>(c));
            if ((c == 0 || On(o.after, flag)) && content.valid.count(width)) {
                EXPECT_EQ(o.after.at(width), content.stored.at(width)) << label << ": " << width;
            }
        }
        if (::testing::Test::HasFailure()) break;  // the first failing case tells enough
    }
    // The cases reach what they are meant to: valid values to keep, more than one a case.
    if (ran == kCases) {
        EXPECT_GT(roundTrips, kCases);
    }
}

}  // namespace
}  // namespace taskwell

#include "components/TRePosApp.h"

#include <exception>

#include "ui/Exception.h"
#include "ui/TForm.h"

namespace taskwell {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

TRePosApp::TRePosApp(IRegistry& registry, TForm& owner) : registry_(registry), owner_(owner) {
    registry_.RootKey = TRootKey::hkCurrentUser;
}

std::optional<LONG> TRePosApp::ParseBound(const std::string& text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (text.size() > 10) return std::nullopt;
        DWORD n = 0;
        for (size_t i = 2; i < text.size(); ++i) {
            int d = HexDigit(text[i]);
            if (d < 0) return std::nullopt;
            n = n << 4 | static_cast<DWORD>(d);
        }
        return static_cast<LONG>(n);
    }
    return TRegValue(text).AsNumber();
}

std::string TRePosApp::ValueName(const std::string& name) const {
    return SectionName + "\\" + name;
}

std::int16_t TRePosApp::ReadBound(const std::string& name, std::int16_t def, bool isSize) const {
    auto text = registry_.ReadValue(ValueName(name), TRegValue(LONG{0})).AsText();
    if (!text) return def;
    auto n = ParseBound(*text);
    if (!n || *n < -32768 || *n > 32767 || (isSize && *n < 1)) return def;
    return static_cast<std::int16_t>(*n);
}

void TRePosApp::LoadAppPosition() {
    registry_.Key = InifileName + ".INI";
    registry_.CreateKey();
    const int top = ReadBound(TopName, Top, false);
    const int left = ReadBound(LeftName, Left, false);
    const int height = ReadBound(HeightName, Height, true);
    const int width = ReadBound(WidthName, Width, true);
    owner_.SetWidth(width);
    owner_.SetHeight(height);
    owner_.SetLeft(left);
    owner_.SetTop(top);
    const std::string state = registry_.ReadString(ValueName(WindowStateName), "False");
    owner_.SetWindowState(EqualsIgnoringCase(state, "True") ? TWindowState::wsMaximized : TWindowState::wsNormal);
}

void TRePosApp::SaveAppPosition() {
    registry_.Key = InifileName + ".INI";
    std::exception_ptr first;
    auto write = [&](const std::string& name, const std::string& text) {
        try {
            registry_.WriteValue(ValueName(name), text);
        } catch (const Exception&) {
            if (!first) first = std::current_exception();
        }
    };
    if (owner_.WindowState() == TWindowState::wsMaximized) {
        write(WindowStateName, "True");
    } else {
        write(WindowStateName, "False");
        write(TopName, std::to_string(owner_.Top()));
        write(LeftName, std::to_string(owner_.Left()));
        write(WidthName, std::to_string(owner_.Width()));
        write(HeightName, std::to_string(owner_.Height()));
    }
    if (first) std::rethrow_exception(first);
}

}  // namespace taskwell

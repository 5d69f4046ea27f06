// The placement keeper: stores the bounds and the maximised state of the window that owns it, and
// restores them. Values live under HKEY_CURRENT_USER in the key "<InifileName>.INI", subkey
// SectionName, all as REG_SZ text: the four bounds as decimal text and the state as "True"
// (maximised) or "False".
//
// ForceINIFile is kept for the component's published shape only: the program keeps no files of
// settings, so the registry is used whatever it says and a placement is never lost to a file that
// nothing reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "components/TRegistryEnhanced.h"

namespace taskwell {

class TForm;

class TRePosApp {
public:
    TRePosApp(IRegistry& registry, TForm& owner);

    std::string Name;
    // Bounds used when nothing usable is stored.
    std::int16_t Top = 100;
    std::int16_t Left = 100;
    std::int16_t Height = 300;
    std::int16_t Width = 300;
    std::string LeftName = "Left";
    std::string TopName = "Top";
    std::string HeightName = "Height";
    std::string WidthName = "Width";
    std::string InifileName = "MyApp";
    std::string SectionName = "Dimensions";
    std::string WindowStateName = "MyWindowState";
    bool ForceINIFile = false;

    // Reads top, left, height and width (a value that is absent, not text or not an integer gives
    // the default bound; so does a coordinate outside the 16-bit range the system's windows have, or
    // a width or height below 1), applies width, height, left and top in this order, then maximises
    // the window when the stored state is "True" in any case and makes it normal otherwise.
    void LoadAppPosition();
    // Maximised: writes only the state "True", so the stored bounds stay those of the last normal
    // window. Otherwise writes "False", then top, left, width and height. A refused value does not
    // stop the others; the first refusal is raised once all were tried.
    void SaveAppPosition();

    // A stored bound: decimal text with an optional sign, or hexadecimal after "0x"/"0X" (up to
    // eight digits, read as a signed 32-bit number). None for anything else.
    static std::optional<LONG> ParseBound(const std::string& text);

private:
    std::string ValueName(const std::string& name) const;
    std::int16_t ReadBound(const std::string& name, std::int16_t def, bool isSize) const;

    TRegistryEnhanced registry_;
    TForm& owner_;
};

}  // namespace taskwell

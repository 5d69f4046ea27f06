#include "app/PathUtils.h"

namespace taskwell {

namespace {
constexpr const char* kEllipsis = "...\\";

// Where the last directory separator or drive colon stands, npos when there is none. A plain loop
// from the end: the process list splits every image path on every tick.
size_t LastSeparator(const std::string& path) {
    for (size_t i = path.size(); i-- > 0;)
        if (path[i] == '\\' || path[i] == ':') return i;
    return std::string::npos;
}
}  // namespace

std::string ExtractFileName(const std::string& path) {
    const size_t cut = LastSeparator(path);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ExtractFilePath(const std::string& path) {
    const size_t cut = LastSeparator(path);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
    const size_t name = LastSeparator(path);
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (name != std::string::npos && dot < name)) return path + extension;
    return path.substr(0, dot) + extension;
}

std::string LowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && LowerCase(a) == LowerCase(b);
}

std::string ImageName(const std::string& path) {
    return LowerCase(ExtractFileName(path));
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

namespace {
// Cuts the first directory from a directory part: "\A\B\" gives "\...\B\", "...\B\" gives "...\",
// "...\" and "\" give nothing. Only an ellipsis the shortening itself put in front is skipped, so a
// directory whose name begins with a dot is cut like any other.
std::string CutFirstDirectory(std::string dir) {
    if (dir == "\\") return "";
    std::string lead;
    if (!dir.empty() && dir.front() == '\\') {
        lead = "\\";
        dir.erase(0, 1);
    }
    if (StartsWith(dir, kEllipsis)) dir.erase(0, 4);
    const size_t slash = dir.find('\\');
    dir = slash == std::string::npos ? std::string() : kEllipsis + dir.substr(slash + 1);
    return lead + dir;
}
}  // namespace

std::string ShortenPath(const std::string& path, int width, const std::function<int(const std::string&)>& measure) {
    std::string dir = ExtractFilePath(path);
    const std::string name = path.substr(dir.size());
    std::string drive;
    if (dir.size() >= 2 && dir[1] == ':') {
        drive = dir.substr(0, 2);
        dir.erase(0, 2);
    }
    std::string text = drive + dir + name;
    while ((!drive.empty() || !dir.empty()) && measure(text) > width) {
        if (dir == "\\...\\") {
            drive.clear();
            dir = kEllipsis;
        } else if (dir.empty()) {
            drive.clear();
        } else {
            dir = CutFirstDirectory(dir);
        }
        text = drive + dir + name;
    }
    return text;
}

std::vector<std::string> PathParts(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t cut = path.find('\\', start);
        if (cut == std::string::npos) cut = path.size();
        if (cut > start) parts.push_back(path.substr(start, cut - start));
        start = cut + 1;
    }
    return parts;
}

}  // namespace taskwell

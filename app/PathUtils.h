// Paths as the program shows and builds them: the directory and file-name parts of a path (split at
// the last backslash or colon), extensions, the lower-case image name of an executable, and the
// shortening of a path to fit a field.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace taskwell {

// The file-name part: everything after the last backslash or colon ("C:\WIN\A.EXE" gives "A.EXE").
std::string ExtractFileName(const std::string& path);
// The directory part: everything up to and including the last backslash or colon ("C:\WIN\").
std::string ExtractFilePath(const std::string& path);
// The path with the extension of its file name (from its last dot on) replaced; an extension is
// added when the file name has none.
std::string ChangeFileExt(const std::string& path, const std::string& extension);
// The text with the letters A to Z in lower case; every other character stays as it is.
std::string LowerCase(std::string text);
// True when the texts are equal but for the case of the letters A to Z (as the system compares file,
// key and value names).
bool SameText(const std::string& a, const std::string& b);
// The name a process is listed under: the file-name part of its executable, in lower case.
std::string ImageName(const std::string& path);
// The parts of a backslash-separated path, empty parts skipped ("\\A\\\\B\\" gives "A", "B").
std::vector<std::string> PathParts(const std::string& path);
// True when the text begins with the prefix (false for a text shorter than the prefix).
bool StartsWith(const std::string& text, const std::string& prefix);

// Fits a path into width pixels, measured by measure (the text's width in the field's font). The
// directories are cut from the front, one at a time, into "...\" ("C:\A\B\F.EXE", then
// "C:\...\B\F.EXE", "C:\...\F.EXE", "...\F.EXE"); then the drive goes; the file name is never cut,
// so a path that cannot be made to fit shows its file name alone. An empty path stays empty.
std::string ShortenPath(const std::string& path, int width, const std::function<int(const std::string&)>& measure);

}  // namespace taskwell

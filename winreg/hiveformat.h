// The text format of a Wine registry hive (user.reg): reading it strictly, so that
// a file we do not fully understand is never rewritten, and writing key sections
// exactly as Wine itself writes them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace winreg {

struct RegValue {
    std::u16string name; // empty for the default value
    uint32_t type = 0;
    std::string data; // the stored bytes; string types as UTF-16LE
};

struct KeySection {
    std::u16string path; // components joined by one backslash
    std::vector<std::string> options; // "#class=..." and "#link" lines, kept when rewriting
    std::vector<RegValue> values;
};

// Where one key's section lies in the file: from the blank lines before its
// "[...]" header to the start of the next section.
struct SectionSpan {
    std::u16string folded; // its key path, folded as Wine compares key paths
    size_t begin = 0;
    size_t end = 0;
    size_t firstLine = 0; // line number of the first line of the span
    size_t headerLine = 0; // line number of its "[...]" header
};

struct FormatError {
    size_t line = 0;
    std::string reason;
};

inline constexpr std::string_view hiveSignature = "WINE REGISTRY Version 2";
// The longest value name the registry takes; Wine drops longer ones from a file it loads.
inline constexpr size_t maxValueNameLength = 16383;
// The longest name of a key that Wine loads from a file.
inline constexpr size_t maxKeyNameLength = 256;

// A key path as the registry reads it: a run of backslashes separates as one,
// and trailing ones end nothing. False for a path that begins with one.
bool normalizeKeyPath(std::u16string &path);

// Checks the structure of the whole file (every line's kind, every key header,
// every continued line) in one pass and hands each key section to visit, which
// may refuse it with a reason; preambleEnd is where the first section begins.
using SectionVisitor = std::function<bool(SectionSpan &span, FormatError &error)>;
bool scanHive(std::string_view text, size_t &preambleEnd, const SectionVisitor &visit, FormatError &error);
// Reads one section's header, options and values; the span must come from scanHive.
bool readSection(std::string_view span, size_t firstLine, KeySection &section, FormatError &error);
// The architectures that the "#arch=" lines before the first key name
// ("win32", "win64"), in file order: Wine checks every one.
std::vector<std::string> hiveArches(std::string_view text);
// A section as Wine writes it, a blank line first, values sorted by name.
std::string formatSection(const KeySection &section, int64_t unixSeconds, uint64_t fileTime);

// A value's data as a hive line writes it after "name"=: "text", str(2):"..",
// dword:0000002a, hex:.. or hex(type):..; a hex list goes on on a new line once
// the line begun at lineStart passes 76 characters, never with lineStart npos.
void appendValueData(std::string &out, const RegValue &value, size_t lineStart = std::string::npos);
// Text between quotes, escaped as a hive writes it.
std::string quotedText(std::u16string_view text);

// Registry order of names: without regard to case, a shorter prefix first.
int compareNames(std::u16string_view a, std::u16string_view b);

} // namespace winreg

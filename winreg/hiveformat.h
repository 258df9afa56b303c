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
    std::u16string path;
    size_t begin = 0;
    size_t end = 0;
    size_t firstLine = 0; // line number of the first line of the span
    size_t headerLine = 0; // line number of its "[...]" header
};

struct HiveLayout {
    size_t preambleEnd = 0; // the header and global options before the first key
    std::vector<SectionSpan> sections;
};

struct FormatError {
    size_t line = 0;
    std::string reason;
};

inline constexpr std::string_view hiveSignature = "WINE REGISTRY Version 2";
// The longest value name the registry takes; Wine drops longer ones from a file it loads.
inline constexpr size_t maxValueNameLength = 16383;

// A key path as the registry reads it: a run of backslashes separates as one,
// and trailing ones end nothing. False for a path that begins with one.
bool normalizeKeyPath(std::u16string &path);

// Checks the structure of the whole file (every line's kind, every key header,
// every continued line) and hands each key section to visit, which may refuse
// it with a reason; preambleEnd is where the first section begins.
using SectionVisitor = std::function<bool(SectionSpan &span, FormatError &error)>;
// Reads the text piece by piece: at most length bytes from offset into buffer;
// the count read, 0 at the end, or -1 when it cannot be read.
using TextReader = std::function<long(size_t offset, char *buffer, size_t length)>;
bool scanHive(const TextReader &read, size_t &preambleEnd, const SectionVisitor &visit, FormatError &error);
bool scanHive(std::string_view text, size_t &preambleEnd, const SectionVisitor &visit, FormatError &error);
// The same for a part of a hive that begins where a key's section begins;
// line numbers count from the part's start.
bool scanHivePart(const TextReader &read, const SectionVisitor &visit, FormatError &error);
// The same, collecting the sections.
bool scanHive(std::string_view text, HiveLayout &layout, FormatError &error);
// Reads one section's header, options and values; the span must come from scanHive.
bool readSection(std::string_view span, size_t firstLine, KeySection &section, FormatError &error);
// The architecture that the "#arch=" line before the first key names ("win32",
// "win64"), or empty when there is none.
std::string hiveArch(std::string_view text);
// A section as Wine writes it, a blank line first, values sorted by name.
std::string formatSection(const KeySection &section, int64_t unixSeconds, uint64_t fileTime);

// Registry order of names: without regard to case, a shorter prefix first.
int compareNames(std::u16string_view a, std::u16string_view b);
// Registry order of key paths: component by component, a parent before its children.
bool pathLess(std::u16string_view a, std::u16string_view b);

} // namespace winreg

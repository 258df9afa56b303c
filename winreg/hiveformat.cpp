#include "hiveformat.h"

#include "numberbytes.h"
#include "unicode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace winreg {

namespace {

constexpr uint32_t regSz = 1, regExpandSz = 2, regBinary = 3, regDword = 4, regMultiSz = 7;

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isOctalDigit(char c) { return c >= '0' && c <= '7'; }
int hexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

// Cuts text into lines (without "\n" or a final "\r"), counting them.
class LineReader {
public:
    LineReader(std::string_view text, size_t firstLine) : m_text(text), m_line(firstLine - 1) {}
    bool next(std::string_view &line)
    {
        if (m_pos >= m_text.size())
            return false;
        size_t end = m_text.find('\n', m_pos);
        if (end == std::string_view::npos)
            end = m_text.size();
        line = m_text.substr(m_pos, end - m_pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_lineStart = m_pos;
        m_pos = end + 1;
        ++m_line;
        return true;
    }
    size_t lineNumber() const { return m_line; }
    size_t lineStart() const { return m_lineStart; }

private:
    std::string_view m_text;
    size_t m_pos = 0;
    size_t m_lineStart = 0;
    size_t m_line;
};

bool isBlank(std::string_view line)
{
    for (char c : line)
        if (c != ' ' && c != '\t')
            return false;
    return true;
}

bool fail(FormatError &error, size_t line, std::string reason)
{
    error.line = line;
    error.reason = std::move(reason);
    return false;
}

// The controls that have a letter of their own after a backslash, both ways.
const struct {
    char16_t code;
    char name;
} controlEscapes[] = {{7, 'a'}, {8, 'b'}, {9, 't'}, {10, 'n'}, {11, 'v'}, {12, 'f'}, {13, 'r'}, {27, 'e'}};

char controlEscape(char name)
{
    for (const auto &control : controlEscapes)
        if (control.name == name)
            return static_cast<char>(control.code);
    return 0;
}

// Reads escaped text from line[pos] up to the unescaped terminator, which it
// consumes. An escaped NUL is accepted only where allowNul says so: in string
// data it is data, but Wine reads a name or a key path holding one as
// something else than it says.
bool readEscaped(std::string_view line, size_t &pos, char terminator, std::u16string &out, std::string &problem,
                 bool allowNul = false)
{
    out.clear();
    out.reserve(line.size() - pos);
    while (pos < line.size()) {
        const auto c = static_cast<unsigned char>(line[pos]);
        if (c == static_cast<unsigned char>(terminator)) {
            ++pos;
            return true;
        }
        // A raw NUL byte ends the line for Wine's reader, whatever follows it.
        if (c == 0)
            return problem = "a NUL byte inside quoted text", false;
        if (c < 0x80 && c != '\\') {
            out.push_back(c);
            ++pos;
            continue;
        }
        if (c >= 0x80) {
            char32_t codePoint;
            const size_t length = decodeUtf8(line, pos, codePoint);
            if (length == 0)
                return problem = "text is not valid UTF-8", false;
            appendUtf16(out, codePoint);
            pos += length;
            continue;
        }
        ++pos; // a backslash
        if (pos >= line.size())
            break;
        bool nul = false;
        auto push = [&out, &nul](char16_t unit) {
            nul = unit == 0;
            out.push_back(unit);
        };
        const char e = line[pos++];
        if (e == '\\' || e == '"' || e == '[' || e == ']') {
            push(static_cast<char16_t>(e));
        } else if (char control = controlEscape(e)) {
            push(static_cast<char16_t>(control));
        } else if (isOctalDigit(e)) {
            unsigned value = e - '0';
            for (int digits = 1; digits < 3 && pos < line.size() && isOctalDigit(line[pos]); ++digits)
                value = value * 8 + (line[pos++] - '0');
            push(static_cast<char16_t>(value));
        } else if (e == 'x' && pos < line.size() && isHexDigit(line[pos])) {
            unsigned value = 0;
            for (int digits = 0; digits < 4 && pos < line.size() && isHexDigit(line[pos]); ++digits)
                value = value * 16 + hexValue(line[pos++]);
            push(static_cast<char16_t>(value));
        } else {
            return problem = std::string("unknown escape \\") + e, false;
        }
        if (nul && !allowNul)
            return problem = "a NUL inside quoted text, which Wine does not read as text", false;
    }
    return problem = std::string("missing closing ") + terminator, false;
}

bool restIsBlank(std::string_view line, size_t pos) { return isBlank(line.substr(pos)); }

} // namespace

bool normalizeKeyPath(std::u16string &path)
{
    if (!path.empty() && path.front() == u'\\')
        return false;
    size_t kept = 0;
    for (size_t i = 0; i < path.size(); ++i)
        if (path[i] != u'\\' || (i + 1 < path.size() && path[i + 1] != u'\\'))
            path[kept++] = path[i];
    path.resize(kept);
    return true;
}

namespace {

// Reads a header's key path from line[1] as the registry reads it, up to and
// with its "]"; pos is where the path ends.
bool readKeyPath(std::string_view line, size_t &pos, std::u16string &path, std::string &problem)
{
    pos = 1;
    if (!readEscaped(line, pos, ']', path, problem))
        return false;
    // An empty path is the root key, where Wine keeps values set on HKEY_CURRENT_USER itself.
    return normalizeKeyPath(path) || (problem = "key path begins with a backslash", false);
}

// The folded key path of a header in the form in which Wine writes nearly
// every key: ASCII without escapes but the backslash between two components.
// False for any other header, which readKeyPath reads.
bool foldPlainKeyPath(std::string_view line, size_t &pos, std::u16string &folded)
{
    folded.resize(line.size());
    size_t length = 0;
    for (pos = 1; pos < line.size(); ++pos) {
        const auto c = static_cast<unsigned char>(line[pos]);
        if (c == ']') {
            folded.resize(length);
            ++pos;
            return length > 0 && folded.back() != u'\\';
        }
        if (c == 0 || c >= 0x80)
            return false;
        if (c == '\\' && (pos + 1 == line.size() || line[++pos] != '\\' || length == 0 || folded[length - 1] == u'\\'))
            return false;
        folded[length++] = c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    }
    return false;
}

// What follows a header's "]": a number of seconds, and blanks.
bool readHeaderEnd(std::string_view line, size_t pos, std::string &problem)
{
    while (pos < line.size() && line[pos] == ' ')
        ++pos;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9')
        ++pos;
    if (!restIsBlank(line, pos))
        return problem = "unexpected text after the key path", false;
    return true;
}

bool readHeader(std::string_view line, std::u16string &path, std::string &problem)
{
    size_t pos = 1;
    return readKeyPath(line, pos, path, problem) && readHeaderEnd(line, pos, problem);
}

// A header's key path, folded as Wine compares key paths.
bool readFoldedHeader(std::string_view line, std::u16string &folded, std::string &problem)
{
    size_t pos = 1;
    if (!foldPlainKeyPath(line, pos, folded)) {
        if (!readKeyPath(line, pos, folded, problem))
            return false;
        for (char16_t &c : folded)
            c = foldCase(c);
    }
    return readHeaderEnd(line, pos, problem);
}

// Reads "(1c)" style type numbers after "str" or "hex".
bool readTypeNumber(std::string_view text, size_t &pos, uint32_t &type)
{
    if (pos >= text.size() || text[pos] != '(')
        return false;
    size_t end = text.find(')', pos);
    if (end == std::string_view::npos || end == pos + 1 || end - pos - 1 > 8)
        return false;
    uint32_t value = 0;
    for (size_t i = pos + 1; i < end; ++i) {
        if (!isHexDigit(text[i]))
            return false;
        value = value * 16 + hexValue(text[i]);
    }
    type = value;
    pos = end + 1;
    return true;
}

bool readHexBytes(std::string_view text, std::string &out, std::string &problem)
{
    out.clear();
    size_t pos = 0;
    auto skipBlanks = [&]() {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
    };
    skipBlanks();
    if (pos == text.size())
        return true;
    for (;;) {
        skipBlanks();
        size_t start = pos;
        unsigned value = 0;
        while (pos < text.size() && pos - start < 2 && isHexDigit(text[pos]))
            value = value * 16 + hexValue(text[pos++]);
        if (pos == start)
            return problem = "bad hex data", false;
        out.push_back(static_cast<char>(value));
        skipBlanks();
        if (pos == text.size())
            return true;
        if (text[pos] != ',')
            return problem = "bad hex data", false;
        ++pos;
        skipBlanks();
        if (pos == text.size())
            return true; // a trailing comma, as at the end of a continued line
    }
}

// Parses the data after "=", which may run on over further lines (hex lists);
// text is a scratch buffer.
bool readData(std::string_view data, RegValue &value, std::u16string &text, std::string &problem)
{
    size_t pos = 0;
    auto readString = [&](uint32_t type) {
        if (pos >= data.size() || data[pos] != '"')
            return problem = "expected a quoted string", false;
        ++pos;
        if (!readEscaped(data, pos, '"', text, problem, true))
            return false;
        if (!restIsBlank(data, pos))
            return problem = "unexpected text after the string", false;
        value.type = type;
        value.data = utf16leBytes(text) + std::string(2, '\0'); // with its terminator
        return true;
    };
    if (data.substr(0, 1) == "\"")
        return readString(regSz);
    if (data.substr(0, 4) == "str:") {
        pos = 4;
        return readString(regSz);
    }
    if (data.substr(0, 3) == "str") {
        pos = 3;
        uint32_t type;
        if (!readTypeNumber(data, pos, type) || pos >= data.size() || data[pos] != ':')
            return problem = "bad str type", false;
        // Wine knows only "str(2):" and "str(7):" as they stand: "str(02):" is no type it reads.
        if ((type != regExpandSz && type != regMultiSz) || pos != 6)
            return problem = "str(" + std::string(data.substr(4, pos - 5)) + ") is not a text type that Wine reads", false;
        ++pos;
        return readString(type);
    }
    if (data.substr(0, 6) == "dword:") {
        std::string_view digits = data.substr(6);
        while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t'))
            digits.remove_suffix(1);
        if (digits.empty() || digits.size() > 8 || !std::all_of(digits.begin(), digits.end(), isHexDigit))
            return problem = "bad dword", false;
        uint32_t number = 0;
        for (char c : digits)
            number = number * 16 + hexValue(c);
        value.type = regDword;
        const auto bytes = bytesOfNumber(number);
        value.data.assign(bytes.begin(), bytes.end());
        return true;
    }
    if (data.substr(0, 3) == "hex") {
        pos = 3;
        uint32_t type = regBinary;
        if (pos < data.size() && data[pos] == '(' && !readTypeNumber(data, pos, type))
            return problem = "bad hex type", false;
        if (pos >= data.size() || data[pos] != ':')
            return problem = "bad hex value", false;
        value.type = type;
        return readHexBytes(data.substr(pos + 1), value.data, problem);
    }
    return problem = "unknown value type", false;
}

bool readValueLine(std::string_view line, RegValue &value, size_t &dataStart, std::string &problem)
{
    size_t pos = 0;
    if (line[0] == '@') {
        value.name.clear();
        pos = 1;
    } else {
        pos = 1;
        if (!readEscaped(line, pos, '"', value.name, problem))
            return false;
    }
    if (pos >= line.size() || line[pos] != '=')
        return problem = "expected '=' after the value name", false;
    dataStart = pos + 1;
    return true;
}

bool isHexData(std::string_view data) { return data.substr(0, 3) == "hex"; }

void appendEscaped(std::string &out, std::u16string_view text, char special)
{
    char buffer[16];
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const char next = i + 1 < text.size() && text[i + 1] < 0x80 ? static_cast<char>(text[i + 1]) : '\0';
        if (c == u'\\' || c == static_cast<char16_t>(special) || (special == ']' && c == u'[')) {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            const char *found = nullptr;
            for (const auto &control : controlEscapes)
                if (control.code == c)
                    found = &control.name;
            if (found) {
                out.push_back('\\');
                out.push_back(*found);
            } else {
                std::snprintf(buffer, sizeof buffer, isOctalDigit(next) ? "\\%03o" : "\\%o", unsigned(c));
                out += buffer;
            }
        } else if (c > 0x7F) {
            std::snprintf(buffer, sizeof buffer, isHexDigit(next) ? "\\x%04x" : "\\x%x", unsigned(c));
            out += buffer;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
}

bool isTerminatedUtf16(const std::string &data)
{
    return data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0 && data[data.size() - 2] == 0;
}

void appendValue(std::string &out, const RegValue &value)
{
    const size_t lineStart = out.size();
    if (value.name.empty()) {
        out += "@=";
    } else {
        out.push_back('"');
        appendEscaped(out, value.name, '"');
        out += "\"=";
    }
    appendValueData(out, value, lineStart);
    out.push_back('\n');
}

} // namespace

void appendValueData(std::string &out, const RegValue &value, size_t lineStart)
{
    const bool stringType = value.type == regSz || value.type == regExpandSz || value.type == regMultiSz;
    char buffer[32];
    if (stringType && isTerminatedUtf16(value.data)) {
        if (value.type != regSz) {
            std::snprintf(buffer, sizeof buffer, "str(%x):", unsigned(value.type));
            out += buffer;
        }
        std::u16string text = utf16FromBytes(value.data);
        text.pop_back();
        out.push_back('"');
        appendEscaped(out, text, '"');
        out.push_back('"');
    } else if (value.type == regDword && value.data.size() == 4) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(value.data.data());
        std::snprintf(buffer, sizeof buffer, "dword:%08x", unsigned(numberFromBytes(bytes)));
        out += buffer;
    } else {
        if (value.type == regBinary)
            out += "hex:";
        else {
            std::snprintf(buffer, sizeof buffer, "hex(%x):", unsigned(value.type));
            out += buffer;
        }
        // Wine breaks a hex list once a line has grown past 76 characters.
        size_t column = out.size() - std::min(lineStart, out.size());
        for (size_t i = 0; i < value.data.size(); ++i) {
            std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(value.data[i]));
            out += buffer;
            column += 2;
            if (i + 1 < value.data.size()) {
                out.push_back(',');
                if (++column > 76 && lineStart != std::string::npos) {
                    out += "\\\n  ";
                    column = 2;
                }
            }
        }
    }
}

std::string quotedText(std::u16string_view text)
{
    std::string out = "\"";
    appendEscaped(out, text, '"');
    return out + "\"";
}

int compareNames(std::u16string_view a, std::u16string_view b)
{
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        // Small letters: "[", "^" and "_" come before the letters, as in Wine's files.
        const char16_t x = foldCase(a[i]), y = foldCase(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

namespace {

// Wine reads the data of the last line of a name that a key holds twice, and
// keeps the name as its first line spells it.
void keepLastOfName(std::vector<RegValue> &values, const RegValue &value)
{
    for (auto &existing : values) {
        if (compareNames(existing.name, value.name) == 0) {
            existing.type = value.type;
            existing.data = value.data;
            return;
        }
    }
    values.push_back(value);
}

// Reads the value at line, with the lines that continue its hex data.
bool readValue(LineReader &lines, std::string_view line, RegValue &value, FormatError &error)
{
    const size_t valueLine = lines.lineNumber();
    if (line[0] != '@' && line[0] != '"')
        return fail(error, valueLine, "not a value line");
    size_t dataStart = 0;
    std::string problem;
    if (!readValueLine(line, value, dataStart, problem))
        return fail(error, valueLine, problem);
    std::string_view data = line.substr(dataStart);
    std::string joined;
    if (isHexData(data) && data.back() == '\\') {
        joined.assign(data.substr(0, data.size() - 1));
        for (;;) {
            if (!lines.next(line))
                return fail(error, valueLine, "hex data continues past the end of the file");
            std::string_view more = line.substr(std::min(line.find_first_not_of(" \t"), line.size()));
            const bool continues = !more.empty() && more.back() == '\\';
            joined.append(more.substr(0, more.size() - (continues ? 1 : 0)));
            if (!continues)
                break;
        }
        data = joined;
    }
    std::u16string text;
    if (!readData(data, value, text, problem))
        return fail(error, valueLine, problem);
    return true;
}

} // namespace

bool readSection(std::string_view span, size_t firstLine, KeySection &section, FormatError &error)
{
    section.options.clear();
    section.values.clear();
    LineReader lines(span, firstLine);
    std::string_view line;
    std::string problem;
    while (lines.next(line) && isBlank(line)) {
    }
    if (line.empty() || line[0] != '[' || !readHeader(line, section.path, problem))
        return fail(error, lines.lineNumber(), problem.empty() ? "expected a key header" : problem);
    RegValue value;
    while (lines.next(line)) {
        if (isBlank(line) || line[0] == ';')
            continue;
        if (line[0] == '#') {
            if (line.substr(0, 6) != "#time=")
                section.options.emplace_back(line);
            continue;
        }
        if (!readValue(lines, line, value, error))
            return false;
        if (value.name.size() <= maxValueNameLength)
            keepLastOfName(section.values, value);
    }
    return true;
}

namespace {

// A line that goes on with hex data: hex digits, commas and blanks, and at the
// end a backslash when it goes on again. Anything else would read differently
// as the value and as the start of something new.
bool isHexContinuation(std::string_view line)
{
    if (!line.empty() && line.back() == '\\')
        line.remove_suffix(1);
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return isHexDigit(c) || c == ',' || c == ' ' || c == '\t'; });
}

// Whether a value line that ends with a backslash goes on to the next line.
// Wine joins lines only for hex data; any other value that ends so is refused,
// since it cannot be read as what it says.
// value is a scratch buffer, kept by the caller from line to line.
bool continuesHexData(std::string_view line, RegValue &value, std::string &problem)
{
    size_t dataStart = 0;
    if (!readValueLine(line, value, dataStart, problem))
        return false;
    const std::string_view data = line.substr(dataStart);
    if (isHexData(data))
        return true;
    std::u16string scratch;
    if (readData(data, value, scratch, problem))
        problem = "a value that is not hex data ends with a backslash";
    return false;
}

size_t longestComponent(std::u16string_view path)
{
    size_t longest = 0;
    for (size_t start = 0, end; start <= path.size(); start = end + 1) {
        end = std::min(path.find(u'\\', start), path.size());
        longest = std::max(longest, end - start);
    }
    return longest;
}

// A key header's folded path, refused where Wine would drop the key.
bool readSectionHeader(std::string_view line, std::u16string &folded, std::string &problem)
{
    if (!readFoldedHeader(line, folded, problem))
        return false;
    if (longestComponent(folded) <= maxKeyNameLength)
        return true;
    problem = "a key name of more than 256 characters, which Wine drops with its values";
    return false;
}

// Whether line is hex data with a backslash before its end: Wine joins the next
// line to it at the backslash, whatever follows it.
bool hasInnerHexBackslash(std::string_view line, RegValue &value)
{
    const size_t hex = line.find("=hex");
    const size_t backslash = hex == std::string_view::npos ? hex : line.find('\\', hex);
    if (backslash == std::string_view::npos || backslash + 1 == line.size())
        return false;
    size_t dataStart = 0;
    std::string problem;
    if (!readValueLine(line, value, dataStart, problem) || !isHexData(line.substr(dataStart)))
        return false;
    const size_t inData = line.find('\\', dataStart);
    return inData != std::string_view::npos && inData + 1 != line.size();
}

// A value line's structure: whether its hex data goes on on the next line, and
// whether Wine would read the lines otherwise than their kinds say.
bool readValueStructure(std::string_view line, RegValue &scratch, bool &continued, std::string &problem)
{
    continued = line.back() == '\\';
    if (continued && !continuesHexData(line, scratch, problem))
        return false;
    if (!hasInnerHexBackslash(line, scratch))
        return true;
    problem = "a backslash inside hex data, which Wine takes to join the next line to it";
    return false;
}

} // namespace

bool scanHive(std::string_view text, size_t &preambleEnd, const SectionVisitor &visit, FormatError &error)
{
    // Wine's reader takes a NUL byte for the end of the line and joins what
    // follows to it, up to and with the next line: the file's structure would
    // then be another for Wine than for us.
    const size_t firstNul = text.find('\0');
    LineReader lines(text, 1);
    std::string_view line;
    if (!lines.next(line) || firstNul <= line.size() || line != hiveSignature)
        return fail(error, 1, firstNul <= line.size() ? "a NUL byte" : "the first line is not \"WINE REGISTRY Version 2\"");
    SectionSpan current;
    bool inSection = false;
    std::string problem;
    RegValue scratch;
    size_t blankStart = std::string_view::npos, blankLine = 0; // where the current run of blank lines began
    bool continued = false; // the line before was hex data that goes on
    size_t valueLine = 0;   // the line where that value began
    preambleEnd = text.size();
    // Only the structure is read here: each line's kind, the key headers and the
    // lines that continue hex data. Values are read when their key is used.
    while (lines.next(line)) {
        if (firstNul <= lines.lineStart() + line.size())
            return fail(error, lines.lineNumber(), "a NUL byte");
        if (continued) {
            if (!isHexContinuation(line))
                return fail(error, valueLine, "bad hex data");
            continued = !line.empty() && line.back() == '\\';
        } else if (isBlank(line)) {
            if (blankStart == std::string_view::npos)
                blankStart = lines.lineStart(), blankLine = lines.lineNumber();
            continue;
        } else if (line[0] == '[') {
            // A section begins with the blank lines before its header.
            const bool afterBlanks = blankStart != std::string_view::npos;
            const size_t begin = afterBlanks ? blankStart : lines.lineStart();
            if (inSection && !(current.end = begin, visit(current, error)))
                return false;
            preambleEnd = std::min(preambleEnd, begin);
            current.begin = begin;
            current.firstLine = afterBlanks ? blankLine : lines.lineNumber();
            current.headerLine = lines.lineNumber();
            if (!readSectionHeader(line, current.folded, problem))
                return fail(error, current.headerLine, problem);
            inSection = true;
        } else if (line[0] != ';' && line[0] != '#' && !inSection) {
            return fail(error, lines.lineNumber(), "unexpected text before the first key");
        } else if (line[0] == '"' || line[0] == '@') {
            valueLine = lines.lineNumber();
            if (!readValueStructure(line, scratch, continued, problem))
                return fail(error, valueLine, problem);
        } else if (line[0] != ';' && line[0] != '#') {
            return fail(error, lines.lineNumber(), "not a value line");
        }
        blankStart = std::string_view::npos;
    }
    if (continued)
        return fail(error, valueLine, "hex data continues past the end of the file");
    return !inSection || (current.end = text.size(), visit(current, error));
}

std::vector<std::string> hiveArches(std::string_view text)
{
    LineReader lines(text, 1);
    std::string_view line;
    constexpr std::string_view option = "#arch=";
    std::vector<std::string> arches;
    while (lines.next(line) && (line.empty() || line[0] != '[')) {
        if (line.substr(0, option.size()) == option)
            arches.emplace_back(line.substr(option.size()));
    }
    return arches;
}

std::string formatSection(const KeySection &section, int64_t unixSeconds, uint64_t fileTime)
{
    std::string out = "\n[";
    appendEscaped(out, section.path, ']');
    // Components are joined by one escaped backslash, as Wine writes paths.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "] %lld\n#time=%llx\n", static_cast<long long>(unixSeconds),
                  static_cast<unsigned long long>(fileTime));
    out += buffer;
    for (const auto &option : section.options) {
        out += option;
        // A reader takes one "\r" before the line end for part of it: one that
        // the line itself ends with needs another after it.
        if (option.back() == '\r')
            out += '\r';
        out += '\n';
    }
    std::vector<const RegValue *> sorted;
    for (const auto &value : section.values)
        sorted.push_back(&value);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const RegValue *a, const RegValue *b) { return compareNames(a->name, b->name) < 0; });
    for (const auto *value : sorted)
        appendValue(out, *value);
    return out;
}

} // namespace winreg

#include "unicode.h"

namespace winreg {

namespace {

constexpr char32_t replacementChar = 0xFFFD;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

} // namespace

size_t decodeUtf8(std::string_view text, size_t pos, char32_t &codePoint)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    size_t length;
    char32_t minimum;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if (!isContinuation(byte))
            return 0;
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf16(std::u16string &out, char32_t codePoint)
{
    if (codePoint >= 0x10000) {
        codePoint -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(codePoint));
    }
}

std::u16string utf8ToUtf16(std::string_view text, bool *valid)
{
    std::u16string out;
    out.reserve(text.size());
    bool allValid = true;
    for (size_t pos = 0; pos < text.size();) {
        char32_t codePoint;
        size_t length = decodeUtf8(text, pos, codePoint);
        if (length == 0) {
            allValid = false;
            codePoint = replacementChar;
            length = 1;
            // Skip the continuation bytes of the broken sequence as one error.
            while (pos + length < text.size() && isContinuation(static_cast<unsigned char>(text[pos + length])))
                ++length;
        }
        appendUtf16(out, codePoint);
        pos += length;
    }
    if (valid)
        *valid = allValid;
    return out;
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = replacementChar;
        }
        appendUtf8(out, c);
    }
    return out;
}

char16_t foldCase(char16_t c)
{
    auto shift = [c](int by) { return static_cast<char16_t>(c + by); };
    if (c >= u'a' && c <= u'z')
        return shift(-0x20);
    if (c < 0xE0)
        return c;
    if (c <= 0xFE && c != 0xF7)
        return shift(-0x20);
    if (c == 0xFF)
        return 0x178;
    // Latin Extended-A pairs capital and small letters side by side.
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return (c & 1) ? shift(-1) : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c : shift(-1);
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
        return shift(-0x20);
    if (c >= 0x430 && c <= 0x44F)
        return shift(-0x20);
    if (c >= 0x450 && c <= 0x45F)
        return shift(-0x50);
    return c;
}

std::u16string foldCase(std::u16string_view text)
{
    std::u16string out(text);
    for (auto &c : out)
        c = foldCase(c);
    return out;
}

} // namespace winreg

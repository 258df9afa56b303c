#include "unicode.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

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

std::u16string utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        char32_t codePoint;
        size_t length = decodeUtf8(text, pos, codePoint);
        if (length == 0) {
            codePoint = replacementChar;
            length = 1;
            // Skip the continuation bytes of the broken sequence as one error.
            while (pos + length < text.size() && isContinuation(static_cast<unsigned char>(text[pos + length])))
                ++length;
        }
        appendUtf16(out, codePoint);
        pos += length;
    }
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

std::string utf16leBytes(std::u16string_view text)
{
    std::string bytes(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

std::u16string utf16FromBytes(std::string_view bytes)
{
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return text;
}

namespace {

// The capital letters that Wine's registry takes to be the same as a small
// letter, in runs: every step-th character from first to last, whose small
// letter lies delta further on. Read off Wine 8 over the Basic Multilingual
// Plane (the conformance test checks it against Wine): Unicode's one-to-one
// case pairs of version 14, without the letters whose small and capital forms
// do not map back to each other (U+0130, U+0131, U+017F, U+00B5, U+03C2, the
// title-case digraphs).
struct CaseRun {
    char16_t first;
    char16_t last;
    uint8_t step;
    int32_t delta;
};

constexpr CaseRun caseRuns[] = {
    {0x0041, 0x005a, 1, 32}, {0x00c0, 0x00d6, 1, 32}, {0x00d8, 0x00de, 1, 32}, {0x0100, 0x012e, 2, 1},
    {0x0132, 0x0136, 2, 1}, {0x0139, 0x0147, 2, 1}, {0x014a, 0x0176, 2, 1}, {0x0178, 0x0178, 1, -121},
    {0x0179, 0x017d, 2, 1}, {0x0181, 0x0181, 1, 210}, {0x0182, 0x0184, 2, 1}, {0x0186, 0x0186, 1, 206},
    {0x0187, 0x0187, 1, 1}, {0x0189, 0x018a, 1, 205}, {0x018b, 0x018b, 1, 1}, {0x018e, 0x018e, 1, 79},
    {0x018f, 0x018f, 1, 202}, {0x0190, 0x0190, 1, 203}, {0x0191, 0x0191, 1, 1}, {0x0193, 0x0193, 1, 205},
    {0x0194, 0x0194, 1, 207}, {0x0196, 0x0196, 1, 211}, {0x0197, 0x0197, 1, 209}, {0x0198, 0x0198, 1, 1},
    {0x019c, 0x019c, 1, 211}, {0x019d, 0x019d, 1, 213}, {0x019f, 0x019f, 1, 214}, {0x01a0, 0x01a4, 2, 1},
    {0x01a6, 0x01a6, 1, 218}, {0x01a7, 0x01a7, 1, 1}, {0x01a9, 0x01a9, 1, 218}, {0x01ac, 0x01ac, 1, 1},
    {0x01ae, 0x01ae, 1, 218}, {0x01af, 0x01af, 1, 1}, {0x01b1, 0x01b2, 1, 217}, {0x01b3, 0x01b5, 2, 1},
    {0x01b7, 0x01b7, 1, 219}, {0x01b8, 0x01b8, 1, 1}, {0x01bc, 0x01bc, 1, 1}, {0x01c4, 0x01c4, 1, 2},
    {0x01c7, 0x01c7, 1, 2}, {0x01ca, 0x01ca, 1, 2}, {0x01cd, 0x01db, 2, 1}, {0x01de, 0x01ee, 2, 1},
    {0x01f1, 0x01f1, 1, 2}, {0x01f4, 0x01f4, 1, 1}, {0x01f6, 0x01f6, 1, -97}, {0x01f7, 0x01f7, 1, -56},
    {0x01f8, 0x021e, 2, 1}, {0x0220, 0x0220, 1, -130}, {0x0222, 0x0232, 2, 1}, {0x023a, 0x023a, 1, 10795},
    {0x023b, 0x023b, 1, 1}, {0x023d, 0x023d, 1, -163}, {0x023e, 0x023e, 1, 10792}, {0x0241, 0x0241, 1, 1},
    {0x0243, 0x0243, 1, -195}, {0x0244, 0x0244, 1, 69}, {0x0245, 0x0245, 1, 71}, {0x0246, 0x024e, 2, 1},
    {0x0370, 0x0372, 2, 1}, {0x0376, 0x0376, 1, 1}, {0x037f, 0x037f, 1, 116}, {0x0386, 0x0386, 1, 38},
    {0x0388, 0x038a, 1, 37}, {0x038c, 0x038c, 1, 64}, {0x038e, 0x038f, 1, 63}, {0x0391, 0x03a1, 1, 32},
    {0x03a3, 0x03ab, 1, 32}, {0x03cf, 0x03cf, 1, 8}, {0x03d8, 0x03ee, 2, 1}, {0x03f7, 0x03f7, 1, 1},
    {0x03f9, 0x03f9, 1, -7}, {0x03fa, 0x03fa, 1, 1}, {0x03fd, 0x03ff, 1, -130}, {0x0400, 0x040f, 1, 80},
    {0x0410, 0x042f, 1, 32}, {0x0460, 0x0480, 2, 1}, {0x048a, 0x04be, 2, 1}, {0x04c0, 0x04c0, 1, 15},
    {0x04c1, 0x04cd, 2, 1}, {0x04d0, 0x052e, 2, 1}, {0x0531, 0x0556, 1, 48}, {0x10a0, 0x10c5, 1, 7264},
    {0x10c7, 0x10c7, 1, 7264}, {0x10cd, 0x10cd, 1, 7264}, {0x13a0, 0x13ef, 1, 38864}, {0x13f0, 0x13f5, 1, 8},
    {0x1c90, 0x1cba, 1, -3008}, {0x1cbd, 0x1cbf, 1, -3008}, {0x1e00, 0x1e94, 2, 1}, {0x1ea0, 0x1efe, 2, 1},
    {0x1f08, 0x1f0f, 1, -8}, {0x1f18, 0x1f1d, 1, -8}, {0x1f28, 0x1f2f, 1, -8}, {0x1f38, 0x1f3f, 1, -8},
    {0x1f48, 0x1f4d, 1, -8}, {0x1f59, 0x1f5f, 2, -8}, {0x1f68, 0x1f6f, 1, -8}, {0x1f88, 0x1f8f, 1, -8},
    {0x1f98, 0x1f9f, 1, -8}, {0x1fa8, 0x1faf, 1, -8}, {0x1fb8, 0x1fb9, 1, -8}, {0x1fba, 0x1fbb, 1, -74},
    {0x1fbc, 0x1fbc, 1, -9}, {0x1fc8, 0x1fcb, 1, -86}, {0x1fcc, 0x1fcc, 1, -9}, {0x1fd8, 0x1fd9, 1, -8},
    {0x1fda, 0x1fdb, 1, -100}, {0x1fe8, 0x1fe9, 1, -8}, {0x1fea, 0x1feb, 1, -112}, {0x1fec, 0x1fec, 1, -7},
    {0x1ff8, 0x1ff9, 1, -128}, {0x1ffa, 0x1ffb, 1, -126}, {0x1ffc, 0x1ffc, 1, -9}, {0x2132, 0x2132, 1, 28},
    {0x2160, 0x216f, 1, 16}, {0x2183, 0x2183, 1, 1}, {0x24b6, 0x24cf, 1, 26}, {0x2c00, 0x2c2f, 1, 48},
    {0x2c60, 0x2c60, 1, 1}, {0x2c62, 0x2c62, 1, -10743}, {0x2c63, 0x2c63, 1, -3814}, {0x2c64, 0x2c64, 1, -10727},
    {0x2c67, 0x2c6b, 2, 1}, {0x2c6d, 0x2c6d, 1, -10780}, {0x2c6e, 0x2c6e, 1, -10749}, {0x2c6f, 0x2c6f, 1, -10783},
    {0x2c70, 0x2c70, 1, -10782}, {0x2c72, 0x2c72, 1, 1}, {0x2c75, 0x2c75, 1, 1}, {0x2c7e, 0x2c7f, 1, -10815},
    {0x2c80, 0x2ce2, 2, 1}, {0x2ceb, 0x2ced, 2, 1}, {0x2cf2, 0x2cf2, 1, 1}, {0xa640, 0xa66c, 2, 1},
    {0xa680, 0xa69a, 2, 1}, {0xa722, 0xa72e, 2, 1}, {0xa732, 0xa76e, 2, 1}, {0xa779, 0xa77b, 2, 1},
    {0xa77d, 0xa77d, 1, -35332}, {0xa77e, 0xa786, 2, 1}, {0xa78b, 0xa78b, 1, 1}, {0xa78d, 0xa78d, 1, -42280},
    {0xa790, 0xa792, 2, 1}, {0xa796, 0xa7a8, 2, 1}, {0xa7aa, 0xa7aa, 1, -42308}, {0xa7ab, 0xa7ab, 1, -42319},
    {0xa7ac, 0xa7ac, 1, -42315}, {0xa7ad, 0xa7ad, 1, -42305}, {0xa7ae, 0xa7ae, 1, -42308}, {0xa7b0, 0xa7b0, 1, -42258},
    {0xa7b1, 0xa7b1, 1, -42282}, {0xa7b2, 0xa7b2, 1, -42261}, {0xa7b3, 0xa7b3, 1, 928}, {0xa7b4, 0xa7c2, 2, 1},
    {0xa7c4, 0xa7c4, 1, -48}, {0xa7c5, 0xa7c5, 1, -42307}, {0xa7c6, 0xa7c6, 1, -35384}, {0xa7c7, 0xa7c9, 2, 1},
    {0xa7d0, 0xa7d0, 1, 1}, {0xa7d6, 0xa7d8, 2, 1}, {0xa7f5, 0xa7f5, 1, 1}, {0xff21, 0xff3a, 1, 32},
};

} // namespace

char16_t foldCaseBeyondLatin1(char16_t c)
{
    // The last run that starts at or before c.
    const CaseRun *run = std::upper_bound(std::begin(caseRuns), std::end(caseRuns), c,
                                          [](char16_t value, const CaseRun &r) { return value < r.first; });
    if (run == std::begin(caseRuns))
        return c;
    --run;
    if (c > run->last || (c - run->first) % run->step != 0)
        return c;
    return static_cast<char16_t>(c + run->delta);
}

std::u16string foldCase(std::u16string_view text)
{
    std::u16string out(text);
    for (auto &c : out)
        c = foldCase(c);
    return out;
}

} // namespace winreg

// Conversions between the 8-bit text the program uses (UTF-8 on this platform)
// and the UTF-16 the registry stores, and the case folding of key and value names.
#pragma once

#include <string>
#include <string_view>

namespace winreg {

// Invalid sequences become U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);
void appendUtf8(std::string &out, char32_t codePoint);
// UTF-16 as the registry stores it: two bytes a unit, the low byte first. An odd last byte is dropped.
std::string utf16leBytes(std::u16string_view text);
std::u16string utf16FromBytes(std::string_view bytes);
void appendUtf16(std::u16string &out, char32_t codePoint);
// Decodes the UTF-8 sequence at text[pos]; its length, or 0 when it is not valid.
size_t decodeUtf8(std::string_view text, size_t pos, char32_t &codePoint);

// The small-letter form in which Wine's registry compares and orders names:
// two names are the same key or value exactly when their folded forms are equal.
char16_t foldCaseBeyondLatin1(char16_t c);
inline char16_t foldCase(char16_t c)
{
    if (c < 0xC0) // ASCII and Latin-1's signs: only A to Z have small letters
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
    return foldCaseBeyondLatin1(c);
}
std::u16string foldCase(std::u16string_view text);

} // namespace winreg

// A registry number is stored as four bytes, the lowest first, on every platform.
#pragma once

#include <array>
#include <cstdint>

inline uint32_t numberFromBytes(const unsigned char *bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24;
}

inline std::array<unsigned char, 4> bytesOfNumber(uint32_t number)
{
    return {static_cast<unsigned char>(number), static_cast<unsigned char>(number >> 8),
            static_cast<unsigned char>(number >> 16), static_cast<unsigned char>(number >> 24)};
}

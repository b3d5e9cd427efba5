#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// Eight bytes of text as one word, to look at them all at once (SWAR), where a loop over them
// would mispredict its branches.

// The eight bytes at text as a word whose lowest byte is text[0], on any machine.
[[nodiscard]] inline std::uint64_t wordAt(const char *text) noexcept
{
    std::uint64_t word;
    std::memcpy(&word, text, sizeof word);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

// The top bit of each byte of the word that is c, and no other bit.
[[nodiscard]] inline std::uint64_t bytesEqualTo(std::uint64_t word, char c) noexcept
{
    constexpr std::uint64_t low7 = 0x7F7F'7F7F'7F7F'7F7FULL;
    const std::uint64_t x = word ^ 0x0101'0101'0101'0101ULL * std::uint8_t(c); // a zero byte where c was
    return ~(((x & low7) + low7) | x | low7);
}

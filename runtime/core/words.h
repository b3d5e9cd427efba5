#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(LISTSTATS_PORTABLE)
#include <emmintrin.h>
#endif

// Eight bytes of text as one word, to look at them all at once (SWAR), where a loop over them
// would mispredict its branches; and 64 bytes as a bit mask, with the processor's vector
// instructions where there are any (SSE2), else a word at a time.

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

// The bytes equal to c among the 64 at text: bit i is set exactly where text[i] is c.
[[nodiscard]] inline std::uint64_t bitsOf(const char *text, char c) noexcept
{
    std::uint64_t bits = 0;
#if defined(__SSE2__) && !defined(LISTSTATS_PORTABLE) // every x86-64: 16 bytes compared, their flags gathered, at once
    const __m128i wanted = _mm_set1_epi8(c);
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + 16 * i));
        bits |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)))) << (16 * i);
    }
#else
    for (int i = 0; i < 8; ++i) {
        const std::uint64_t tops = bytesEqualTo(wordAt(text + 8 * i), c);
        bits |= ((tops >> 7) * 0x0102'0408'1020'4080ULL >> 56) << (8 * i); // gathered into a byte
    }
#endif
    return bits;
}

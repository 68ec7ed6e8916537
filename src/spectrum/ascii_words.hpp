#pragma once

// Reading ASCII text eight bytes at a time, for the hot loops of the text readers. A word holds
// eight consecutive bytes, the first of them in its lowest byte, whatever the machine's order.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define BRANDEL_SSE2 1
#endif

namespace brandel::spectrum::ascii_words {

// The few small steps of reading a number are inlined into the loop that reads the table.
#if defined(_MSC_VER)
#define brandel_hot __forceinline
#else
#define brandel_hot [[gnu::always_inline]] inline
#endif

constexpr std::uint64_t ones = 0x0101010101010101u;
constexpr std::uint64_t highs = 0x8080808080808080u;

// Whether any byte of the word is zero (exact: no byte is reported that is not there).
constexpr std::uint64_t zero_byte(std::uint64_t w) {
    return (w - ones) & ~w & highs;
}

inline std::uint64_t load8(const char* p) {
    std::uint64_t w = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&w, p, 8);
    } else {
        for (int i = 0; i < 8; ++i)
            w |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    }
    return w;
}

// Up to eight bytes, the missing ones zero (a zero byte is no digit and no blank).
inline std::uint64_t load_up_to8(const char* p, std::size_t available) {
    if (available >= 8)
        return load8(p);
    unsigned char bytes[8] = {};
    std::memcpy(bytes, p, available);
    return load8(reinterpret_cast<const char*>(bytes));
}

// The index of the lowest set bit of a word that is not 0.
brandel_hot int lowest_bit(std::uint64_t w) {
#if defined(__GNUC__)
    return __builtin_ctzll(w);
#else
    return std::countr_zero(w);
#endif
}

// The number of set bits of a word.
constexpr int bit_count(std::uint64_t w) {
#if defined(__POPCNT__)
    return std::popcount(w);
#else
    // Without the machine's instruction, std::popcount may become a library call.
    w -= (w >> 1) & 0x5555555555555555u;
    w = (w & 0x3333333333333333u) + ((w >> 2) & 0x3333333333333333u);
    w = (w + (w >> 4)) & (ones * 0x0F);
    return static_cast<int>((w * ones) >> 56);
#endif
}

// The values of two numbers of up to four digits, one in each half of a word at its top, the
// bytes below them zero: pairs of digits, then fours, are combined by multiplication.
brandel_hot std::uint64_t four_digit_pair(std::uint64_t w) {
    std::uint64_t v = w & (ones * 0x0F);
    v = ((v * (10 << 8 | 1)) >> 8) & 0x00FF00FF00FF00FFu;
    return ((v * (100 << 16 | 1)) >> 16) & 0x0000FFFF0000FFFFu;
}

// The value of the `count` (1 to 8) digits at the start of a word. The digits are moved to the
// top bytes, so the bytes below them read as leading zeros; the two halves' values are then
// combined into one.
brandel_hot std::uint32_t digits_value(std::uint64_t w, int count) {
    const std::uint64_t halves = four_digit_pair(w << (64 - 8 * count));
    return static_cast<std::uint32_t>((halves * (std::uint64_t{10000} << 32 | 1)) >> 32);
}

// A byte that is not 0 for each byte of the word that is not a digit, 0 for each digit. A digit is
// 0x30 to 0x39: high half 3 and low half at most 9. No byte carries into the next.
constexpr std::uint64_t other_than_digits(std::uint64_t w) {
    const std::uint64_t high_not_3 = (w & (ones * 0xF0)) ^ (ones * 0x30);
    const std::uint64_t low_over_9 = ((w & (ones * 0x0F)) + (ones * 0x06)) & (ones * 0xF0);
    return high_not_3 | low_over_9;
}

// 0x80 in each byte of the word that is not a digit (0x30 to 0x39), exact for every byte.
constexpr std::uint64_t non_digit_bytes(std::uint64_t w) {
    constexpr std::uint64_t low7 = ones * 0x7F;
    const std::uint64_t other = other_than_digits(w);
    return (((other & low7) + low7) | other) & highs;
}

// The high bits of a word's bytes as eight bits, bit i for byte i. The multiplication moves each
// high bit to its own place in the top byte; no two products meet, so nothing carries.
constexpr unsigned byte_bits(std::uint64_t flags) {
    return static_cast<unsigned>(((flags >> 7) * 0x0102040810204080u) >> 56);
}

// The digits at the start of a word: their count, 0 when the first byte is no digit and 8 when
// all are (then no value is given), and for 1 to 7 digits their value.
brandel_hot int leading_digits(std::uint64_t w, std::uint32_t& value) {
    const std::uint64_t not_digit = other_than_digits(w);
    if (not_digit == 0)
        return 8;
    const int count = lowest_bit(not_digit) >> 3;
    if (count == 0)
        return 0;
    value = digits_value(w, count);
    return count;
}

// 0x80 in each byte of the word that equals `c`, exact for every byte.
constexpr std::uint64_t bytes_equal(std::uint64_t w, char c) {
    constexpr std::uint64_t low7 = ones * 0x7F;
    const std::uint64_t x = w ^ (ones * static_cast<unsigned char>(c));
    return ~(((x & low7) + low7) | x) & highs;
}

// 0x80 in each byte of the word that is not a blank, exact for every byte (no borrow runs from
// one byte into the next).
constexpr std::uint64_t not_blank_bytes(std::uint64_t w) {
    return bytes_equal(w, ' ') ^ highs;
}

// A whole number of one to seven digits with only blanks around it in the eight bytes of a word
// ("    3600", "17      "), or eight blanks (0): true with its value. Anything else is left to
// the general reading of numbers.
brandel_hot bool blank_padded_whole(std::uint64_t w, std::uint32_t& value) {
    const std::uint64_t other = not_blank_bytes(w);
    if (other == 0) {
        value = 0;
        return true;
    }
    const int lead = std::countr_zero(other) >> 3;
    const int count = leading_digits(w >> (8 * lead), value);
    if (count == 0 || count == 8)
        return false;
    const int used = lead + count;
    return used == 8 || (other >> (8 * used)) == 0;
}

// The same for any number of bytes: blanks, one to seven digits, blanks.
brandel_hot bool blank_padded_whole(std::string_view bytes, std::uint32_t& value) {
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i + 8 <= n) {
        const std::uint64_t other = not_blank_bytes(load8(p + i));
        if (other != 0) {
            i += static_cast<std::size_t>(std::countr_zero(other)) >> 3;
            break;
        }
        i += 8;
    }
    while (i < n && p[i] == ' ')
        ++i;
    if (i == n) {
        value = 0;
        return true;
    }
    // The rest of the bytes, when fewer than eight, taken from the word that ends with them.
    const std::size_t rest = n - i;
    const std::uint64_t w = rest >= 8 ? load8(p + i)
                            : n >= 8  ? load8(p + n - 8) >> (8 * (8 - rest))
                                      : load_up_to8(p + i, rest);
    const int count = leading_digits(w, value);
    if (count == 0 || count == 8)
        return false;
    for (i += static_cast<std::size_t>(count); i + 8 <= n; i += 8)
        if (not_blank_bytes(load8(p + i)) != 0)
            return false;
    for (; i < n; ++i)
        if (p[i] != ' ')
            return false;
    return true;
}

// The bytes of a table of numbers by class, a bit for each of 64 bytes (bit i for byte i).
// A caller that does not use a class does not pay for it once the classifying is inlined.
struct ByteClasses {
    std::uint64_t digits = 0;
    std::uint64_t commas = 0;
    std::uint64_t blanks = 0;
    std::uint64_t crs = 0;
    std::uint64_t lfs = 0;
    std::uint64_t high = 0;  // bytes of 0x80 and above, which only code page text holds
    bool operator==(const ByteClasses&) const = default;
};

// The classes of the 64 bytes at `p`, eight bytes at a time.
inline ByteClasses classify64_by_words(const char* p) {
    ByteClasses c;
    for (int k = 0; k < 8; ++k) {
        const std::uint64_t w = load8(p + 8 * k);
        const int at = 8 * k;
        c.digits |= std::uint64_t{~byte_bits(non_digit_bytes(w)) & 0xFFu} << at;
        c.commas |= std::uint64_t{byte_bits(bytes_equal(w, ','))} << at;
        c.blanks |= std::uint64_t{byte_bits(bytes_equal(w, ' '))} << at;
        c.crs |= std::uint64_t{byte_bits(bytes_equal(w, '\r'))} << at;
        c.lfs |= std::uint64_t{byte_bits(bytes_equal(w, '\n'))} << at;
        c.high |= std::uint64_t{byte_bits(w & highs)} << at;
    }
    return c;
}

// The same, sixteen bytes at a time where the machine has vector instructions for it.
inline ByteClasses classify64(const char* p) {
#if BRANDEL_SSE2
    ByteClasses c;
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i nine = _mm_set1_epi8(9);
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    // Four blocks of sixteen bytes, written out so that every shift is a constant.
    auto block = [&](int at) {
        auto bits = [at](__m128i flags) {
            return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(flags))} << at;
        };
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        const __m128i d = _mm_sub_epi8(x, zero);  // a digit becomes 0 to 9, unsigned
        c.digits |= bits(_mm_cmpeq_epi8(_mm_min_epu8(d, nine), d));
        c.commas |= bits(_mm_cmpeq_epi8(x, comma));
        c.blanks |= bits(_mm_cmpeq_epi8(x, blank));
        c.crs |= bits(_mm_cmpeq_epi8(x, cr));
        c.lfs |= bits(_mm_cmpeq_epi8(x, lf));
        c.high |= bits(x);
    };
    block(0);
    block(16);
    block(32);
    block(48);
    return c;
#else
    return classify64_by_words(p);
#endif
}

// The end of the line that starts at `from`: the offset of the first CR or LF at or after it, or
// the end of the bytes. `ascii` tells whether every byte before that end is below 0x80. Eight
// bytes are looked at together while none of them is a line end.
brandel_hot std::size_t line_end(std::string_view bytes, std::size_t from, bool& ascii) {
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t i = from;
#if BRANDEL_SSE2
    // Sixteen bytes at a time where the machine has vector instructions for it.
    unsigned high = 0;  // bit k: byte k of the block is 0x80 or above
    while (i + 16 <= n) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const auto ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
            _mm_cmpeq_epi8(x, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(x, _mm_set1_epi8('\n')))));
        high = static_cast<unsigned>(_mm_movemask_epi8(x));
        if (ends != 0) {
            const auto before = static_cast<unsigned>(lowest_bit(ends));
            ascii = (high & ((1u << before) - 1)) == 0;
            return i + before;
        }
        if (high != 0)
            break;  // the rest of the line is looked at below, which keeps what it has seen
        i += 16;
    }
#endif
    std::uint64_t seen = 0;
    while (i + 8 <= n) {
        const std::uint64_t w = load8(p + i);
        // The lowest byte flagged is a line end (a flag above a zero byte may be false).
        const std::uint64_t ends = zero_byte(w ^ (ones * '\r')) | zero_byte(w ^ (ones * '\n'));
        if (ends != 0) {
            const int before = lowest_bit(ends) >> 3;  // bytes before the line end
            ascii = ((seen | (w & ((std::uint64_t{1} << (8 * before)) - 1))) & highs) == 0;
            return i + static_cast<std::size_t>(before);
        }
        seen |= w;
        i += 8;
    }
    while (i < n && p[i] != '\r' && p[i] != '\n')
        seen |= static_cast<unsigned char>(p[i++]);
    ascii = (seen & highs) == 0;
    return i;
}

// Skips blanks and tabs from `pos`; runs of blanks are passed eight bytes at a time (the first
// byte that is not a blank is found from the lowest byte of the word that differs from eight
// blanks).
inline std::size_t skip_blank_run(std::string_view text, std::size_t pos) {
    const std::size_t n = text.size();
    while (pos + 8 <= n) {
        const std::uint64_t other = load8(text.data() + pos) ^ (ones * ' ');
        if (other == 0) {
            pos += 8;
            continue;
        }
        pos += static_cast<std::size_t>(std::countr_zero(other)) >> 3;
        if (text[pos] != '\t')
            return pos;
        ++pos;
    }
    while (pos < n && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    return pos;
}

}  // namespace brandel::spectrum::ascii_words

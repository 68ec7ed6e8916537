#include "spectrum/codepage.hpp"

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace brandel::spectrum {

// Single bytes below 0x80 are ASCII and 0xA1-0xDF half-width katakana; a lead byte 0x81-0x9F or
// 0xE0-0xFC with a trail byte 0x40-0x7E or 0x80-0xFC forms a double-byte character, which the
// platform's converter decodes. Everything else is not valid code page 932.

namespace {

constexpr char32_t replacement = U'\uFFFD';
constexpr char32_t katakana_first = U'\uFF61';

bool is_lead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool is_trail(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}
bool is_katakana(unsigned char b) {
    return b >= 0xA1 && b <= 0xDF;
}

// Decodes one double-byte character through the platform; 0 when it is not a character.
char32_t platform_decode_pair(unsigned char lead, unsigned char trail) {
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
#ifdef _WIN32
    wchar_t out[2];
    int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, in, 2, out, 2);
    return n == 1 ? static_cast<char32_t>(out[0]) : 0;
#else
    static thread_local struct Handle {
        iconv_t cd = iconv_open("UTF-32LE", "CP932");
        ~Handle() {
            if (cd != reinterpret_cast<iconv_t>(-1))
                iconv_close(cd);
        }
    } handle;
    if (handle.cd == reinterpret_cast<iconv_t>(-1))
        return 0;
    iconv(handle.cd, nullptr, nullptr, nullptr, nullptr);
    unsigned char out[8];
    char* src = in;
    std::size_t src_left = 2;
    char* dst = reinterpret_cast<char*>(out);
    std::size_t dst_left = sizeof out;
    if (iconv(handle.cd, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1))
        return 0;
    if (src_left != 0 || sizeof out - dst_left != 4)
        return 0;
    return static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) | (out[3] << 24));
#endif
}

// All double-byte characters, decoded once: index (lead - 0x81) * 256 + trail, 0 = invalid.
const std::vector<char32_t>& pair_table() {
    static std::vector<char32_t> table;
    static std::once_flag once;
    std::call_once(once, [] {
        table.assign(std::size_t{0xFC - 0x81 + 1} * 256, 0);
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!is_lead(static_cast<unsigned char>(lead)))
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (!is_trail(static_cast<unsigned char>(trail)))
                    continue;
                table[(lead - 0x81) * 256 + trail] = platform_decode_pair(
                    static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
            }
        }
    });
    return table;
}

// Encodes one character that is neither ASCII nor half-width katakana; empty when the code page
// has no such character.
std::string platform_encode(char32_t c) {
#ifdef _WIN32
    if (c > 0xFFFF)
        return {};
    wchar_t in = static_cast<wchar_t>(c);
    char out[4];
    BOOL lossy = FALSE;
    int n =
        WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &in, 1, out, sizeof out, nullptr, &lossy);
    if (n <= 0 || lossy)
        return {};
    return std::string(out, static_cast<std::size_t>(n));
#else
    static thread_local struct Handle {
        iconv_t cd = iconv_open("CP932", "UTF-32LE");
        ~Handle() {
            if (cd != reinterpret_cast<iconv_t>(-1))
                iconv_close(cd);
        }
    } handle;
    if (handle.cd == reinterpret_cast<iconv_t>(-1))
        return {};
    iconv(handle.cd, nullptr, nullptr, nullptr, nullptr);
    char in[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF),
                  static_cast<char>((c >> 16) & 0xFF), static_cast<char>((c >> 24) & 0xFF)};
    char out[8];
    char* src = in;
    std::size_t src_left = 4;
    char* dst = out;
    std::size_t dst_left = sizeof out;
    if (iconv(handle.cd, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1))
        return {};
    return std::string(out, sizeof out - dst_left);
#endif
}

// The character of a double-byte sequence; 0 when it is none.
char32_t decode_pair(char lead, char trail) {
    auto l = static_cast<unsigned char>(lead);
    auto t = static_cast<unsigned char>(trail);
    if (!is_lead(l) || !is_trail(t))
        return 0;
    return pair_table()[(l - 0x81) * 256u + t];
}

}  // namespace

void decode_cp932(std::string_view bytes, std::u32string& out) {
    // Source files are mostly ASCII: characters are written straight into a buffer of the
    // largest size needed, which is cut to what was decoded at the end.
    out.resize(bytes.size());
    char32_t* o = out.data();
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            *o++ = b;
        } else if (is_katakana(b)) {
            *o++ = katakana_first + (b - 0xA1);
        } else if (char32_t c = i + 1 < n ? decode_pair(bytes[i], bytes[i + 1]) : 0) {
            *o++ = c;
            ++i;
        } else {
            *o++ = replacement;
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

std::size_t decode_cp932(std::string_view bytes, std::size_t max_chars, std::u32string& out) {
    out.clear();
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n && out.size() < max_chars) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (cp932_char_bytes(bytes, i) == 2) {
            out += decode_pair(bytes[i], bytes[i + 1]);
            i += 2;
            continue;
        }
        out += b < 0x80 ? char32_t{b} : is_katakana(b) ? katakana_first + (b - 0xA1) : replacement;
        ++i;
    }
    return i;
}

std::size_t cp932_char_bytes(std::string_view bytes, std::size_t at) {
    const auto b = static_cast<unsigned char>(bytes[at]);
    if (b < 0x80 || is_katakana(b) || at + 1 >= bytes.size())
        return 1;
    return decode_pair(bytes[at], bytes[at + 1]) != 0 ? 2 : 1;
}

std::u32string decode_cp932(std::string_view bytes) {
    std::u32string out;
    decode_cp932(bytes, out);
    return out;
}

std::string encode_cp932(std::u32string_view text, std::size_t width) {
    std::string out;
    out.reserve(width);
    for (char32_t c : text) {
        char bytes[2] = {'?', 0};
        std::size_t size = 1;
        if (c < 0x80) {
            bytes[0] = static_cast<char>(c);
        } else if (c >= katakana_first && c <= katakana_first + (0xDF - 0xA1)) {
            bytes[0] = static_cast<char>(0xA1 + (c - katakana_first));
        } else {
            // The platform's converter also maps some look-alikes (the yen sign to 0x5C, the wave
            // dash to the full-width tilde); a character is representable only when its bytes
            // decode back to it. Anything else stays "?".
            const std::string encoded = platform_encode(c);
            if (encoded.size() == 2 && decode_pair(encoded[0], encoded[1]) == c) {
                bytes[0] = encoded[0];
                bytes[1] = encoded[1];
                size = 2;
            }
        }
        if (out.size() + size > width)
            break;
        out.append(bytes, size);
    }
    out.resize(width, ' ');
    return out;
}

}  // namespace brandel::spectrum

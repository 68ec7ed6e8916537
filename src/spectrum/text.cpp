#include "spectrum/text.hpp"

namespace brandel::spectrum {

std::u32string from_utf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        char32_t cp = c;
        if (c >= 0x80) {
            if ((c & 0xE0) == 0xC0) {
                extra = 1, cp = c & 0x1F;
            } else if ((c & 0xF0) == 0xE0) {
                extra = 2, cp = c & 0x0F;
            } else if ((c & 0xF8) == 0xF0) {
                extra = 3, cp = c & 0x07;
            } else {
                extra = text.size();  // not a lead byte
            }
        }
        bool good = i + extra < text.size();
        for (std::size_t k = 1; good && k <= extra; ++k) {
            unsigned char t = static_cast<unsigned char>(text[i + k]);
            good = (t & 0xC0) == 0x80;
            cp = (cp << 6) | (t & 0x3F);
        }
        // An over-long form ("/" as C0 AF) is no character: it would let a byte sequence pass
        // for one that it is not.
        constexpr char32_t shortest[] = {0, 0x80, 0x800, 0x10000};
        if (!good || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp < shortest[extra]) {
            out.push_back(U'\uFFFD');
            ++i;
        } else {
            out.push_back(cp);
            i += extra + 1;
        }
    }
    return out;
}

std::string to_utf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t cp : text) {
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = U'\uFFFD';
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u32string widen(std::string_view ascii) {
    std::u32string out;
    out.reserve(ascii.size());
    for (char c : ascii)
        out.push_back(static_cast<unsigned char>(c));
    return out;
}

std::u32string_view columns(std::u32string_view line, std::size_t first, std::size_t count) {
    if (first == 0 || first > line.size())
        return {};
    return line.substr(first - 1, count);
}

namespace {
char32_t fold(char32_t c) {
    return c >= U'a' && c <= U'z' ? c - U'a' + U'A' : c;
}

template <typename Char>
bool contains_folded(std::basic_string_view<Char> line, std::basic_string_view<Char> key) {
    auto folded = [](Char c) {
        if constexpr (sizeof(Char) == 1)
            return fold(static_cast<unsigned char>(c));
        else
            return fold(c);
    };
    if (key.empty())
        return true;
    if (key.size() > line.size())
        return false;
    const char32_t first = folded(key.front());
    for (std::size_t start = 0; start + key.size() <= line.size(); ++start) {
        if (folded(line[start]) != first)
            continue;
        std::size_t i = 1;
        while (i < key.size() && folded(line[start + i]) == folded(key[i]))
            ++i;
        if (i == key.size())
            return true;
    }
    return false;
}
}  // namespace

bool contains_ignore_case(std::u32string_view line, std::u32string_view key) {
    return contains_folded(line, key);
}

bool contains_ignore_case(std::string_view line, std::string_view key) {
    return contains_folded(line, key);
}

std::u32string_view trim_blanks(std::u32string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == U' ')
        ++b;
    while (e > b && text[e - 1] == U' ')
        --e;
    return text.substr(b, e - b);
}

}  // namespace brandel::spectrum

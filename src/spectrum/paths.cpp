#include "spectrum/paths.hpp"

#include <algorithm>

#include "spectrum/errors.hpp"

#ifdef _WIN32
#include <windows.h>
#endif

namespace brandel::spectrum {

bool is_path_separator(char c, PathRules rules) {
    return c == '/' || (c == '\\' && rules == PathRules::windows);
}

void split_path(std::string_view path, std::string& drive, std::string& directory,
                std::string& base_name, std::string& extension, PathRules rules) {
    const std::string_view separators = rules == PathRules::windows ? "/\\" : "/";
    std::size_t first_sep = path.find_first_of(separators);
    // A drive is a ":" before the first separator ("C:\data"), and only on Windows; a ":"
    // anywhere else belongs to a folder or file name.
    std::size_t colon = rules == PathRules::windows ? path.find(':') : std::string_view::npos;
    bool has_drive = colon != std::string_view::npos && colon < first_sep;
    std::size_t rest = has_drive ? colon + 1 : 0;
    std::size_t f = path.find_first_of(separators, rest);
    std::size_t l = path.find_last_of(separators);
    std::size_t name_begin = l == std::string_view::npos ? rest : l + 1;
    std::string_view name = path.substr(name_begin);
    std::size_t dot = name.find('.');
    std::string_view base = name.substr(0, dot);
    if (base.empty())
        raise(ErrorKind::invalid_name,
              "cannot name the output file: \"" + escape_name(name, rules) + "\" has no base name");

    drive = has_drive ? std::string(path.substr(0, colon)) : std::string();
    if (f != std::string_view::npos && l > f)
        directory = std::string(path.substr(f + 1, l - f - 1));
    base_name = std::string(base);
    extension = dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

std::string base_name_of(std::string_view path, PathRules rules) {
    std::string drive, directory, base, extension;
    split_path(path, drive, directory, base, extension, rules);
    return base;
}

std::string file_name_of(std::string_view path, PathRules rules) {
    const std::size_t sep =
        path.find_last_of(rules == PathRules::windows ? std::string_view("/\\") : "/");
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string with_trailing_separator(std::string path, PathRules rules) {
    if (path.empty() || !is_path_separator(path.back(), rules))
        path.push_back(rules == PathRules::windows ? '\\' : '/');
    return path;
}

namespace {

// The length of the UTF-8 sequence at the start of `s` and its code point; 0 when it is not a
// well-formed sequence (overlong forms and surrogates included).
std::size_t utf8_sequence(std::string_view s, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (s.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    return length;
}

// Whether a character is written as an escape: the C0 and C1 controls, the line and paragraph
// separators, and the characters that change the direction in which a terminal lays out what
// follows them (marks, embeddings, overrides and isolates), which could make a name read as
// another.
bool is_escaped_character(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x061C || code == 0x200E ||
           code == 0x200F || code == 0x2028 || code == 0x2029 ||
           (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

std::string escaped(std::string_view text, bool escape_backslash) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\' && escape_backslash) {
            out += "\\\\";
            ++i;
            continue;
        }
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        if (c == '\n' || c == '\r' || c == '\t') {
            out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
            ++i;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = c < 0x80 ? 0 : utf8_sequence(text.substr(i), code);
        if (length == 0) {
            out += "\\x";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0xF]);
            ++i;
        } else if (is_escaped_character(code)) {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out.push_back(hex[(code >> shift) & 0xF]);
            i += length;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

}  // namespace

std::string escape_controls(std::string_view text) {
    return escaped(text, false);
}

std::string escape_name(std::string_view name, PathRules rules) {
    return escaped(name, rules == PathRules::posix);
}

std::filesystem::path fs_path(std::string_view utf8) {
#ifdef _WIN32
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
#else
    return std::filesystem::path(std::string(utf8));
#endif
}

std::string utf8_path(const std::filesystem::path& path) {
#ifdef _WIN32
    std::u8string s = path.u8string();
    return std::string(reinterpret_cast<const char*>(s.data()), s.size());
#else
    return path.string();
#endif
}

std::string file_name_key(std::string_view utf8) {
#ifdef _WIN32
    // Windows compares names through its upper-case table, independent of the user's language:
    // "a.chn", "A.CHN" and "a.Chn" are one file. Invalid UTF-8 keeps its bytes as they are.
    const int size = static_cast<int>(utf8.size());
    const int wide_size =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (wide_size <= 0)
        return std::string(utf8);
    std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), wide_size);
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), wide_size, wide.data(),
                      wide_size, nullptr, nullptr, 0) == 0)
        return std::string(utf8);
    const int out_size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(out_size > 0 ? out_size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_size, out.data(), out_size, nullptr, nullptr);
    return out;
#else
    return std::string(utf8);
#endif
}

bool folder_contains(std::string_view folder, std::string_view path) {
    if (folder.empty() || path.size() < folder.size())
        return false;
    auto comparable = [](std::string_view text) {
        std::string s(text);
        if (native_path_rules == PathRules::windows)
            std::replace(s.begin(), s.end(), '/', '\\');
        return file_name_key(s);
    };
    if (comparable(folder) != comparable(path.substr(0, folder.size())))
        return false;
    return path.size() == folder.size() || is_path_separator(folder.back()) ||
           is_path_separator(path[folder.size()]);
}

}  // namespace brandel::spectrum

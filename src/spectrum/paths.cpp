#include "spectrum/paths.hpp"

#include "spectrum/errors.hpp"

namespace brandel::spectrum {

namespace {
bool is_separator(char c) {
    return c == '/' || c == '\\';
}
}  // namespace

void split_path(std::string_view path, std::string& drive, std::string& directory,
                std::string& base_name, std::string& extension) {
    std::size_t first_sep = path.find_first_of("/\\");
    // A drive is a ":" before the first separator ("C:\data"); a ":" further on belongs to a
    // folder or file name, which Linux allows.
    std::size_t colon = path.find(':');
    bool has_drive = colon != std::string_view::npos && colon < first_sep;
    std::size_t rest = has_drive ? colon + 1 : 0;
    std::size_t f = path.find_first_of("/\\", rest);
    std::size_t l = path.find_last_of("/\\");
    std::size_t name_begin = l == std::string_view::npos ? rest : l + 1;
    std::string_view name = path.substr(name_begin);
    std::size_t dot = name.find('.');
    std::string_view base = name.substr(0, dot);
    if (base.empty())
        raise(ErrorKind::invalid_name,
              "cannot name the output file: \"" + std::string(name) + "\" has no base name");

    drive = has_drive ? std::string(path.substr(0, colon)) : std::string();
    if (f != std::string_view::npos && l > f)
        directory = std::string(path.substr(f + 1, l - f - 1));
    base_name = std::string(base);
    extension = dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

std::string base_name_of(std::string_view path) {
    std::string drive, directory, base, extension;
    split_path(path, drive, directory, base, extension);
    return base;
}

std::string with_trailing_separator(std::string path) {
    if (path.empty() || !is_separator(path.back()))
        path.push_back(path_separator);
    return path;
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

}  // namespace brandel::spectrum

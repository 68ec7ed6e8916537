#include "app/file_list.hpp"

#include <algorithm>
#include <filesystem>

#include "spectrum/atomic_file.hpp"
#include "spectrum/folder_entries.hpp"
#include "spectrum/paths.hpp"

namespace brandel::app {

namespace {

// Letters compare as upper case, the way NTFS orders a folder: "_" sorts after the letters.
char fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool is_continuation_byte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The entries of a folder for which `keep` holds, by name. Reading the folder raises when it
// cannot be opened or read; an entry whose kind cannot be told is neither file nor folder.
template <typename Keep>
std::vector<std::string> folder_names(const std::string& folder, Keep keep) {
    std::vector<std::string> names;
    for (spectrum::FolderEntry& entry : spectrum::read_folder(spectrum::fs_path(folder))) {
        if (is_hidden_name(entry.name))
            continue;
        if (keep(entry, entry.name))
            names.push_back(std::move(entry.name));
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return name_less(a, b); });
    return names;
}

}  // namespace

bool is_hidden_name(std::string_view name) {
#ifdef _WIN32
    (void)name;
    return false;
#else
    return !name.empty() && name.front() == '.';
#endif
}

bool matches_pattern(std::string_view name, std::string_view pattern) {
    if (pattern == "*.*")
        return true;
    // Greedy matching with one back-track point: the last "*" seen and where its run ended.
    std::size_t n = 0, p = 0;
    std::size_t star = std::string_view::npos, star_n = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            star_n = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            ++n;  // one character: a lead byte and its continuation bytes
            while (n < name.size() && is_continuation_byte(name[n]))
                ++n;
        } else if (p < pattern.size() && fold(pattern[p]) == fold(name[n])) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++star_n;
            while (n < name.size() && is_continuation_byte(name[n]))
                n = ++star_n;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool name_less(std::string_view a, std::string_view b) {
    auto folded_less = [](char x, char y) {
        return static_cast<unsigned char>(fold(x)) < static_cast<unsigned char>(fold(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded_less))
        return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded_less))
        return false;
    return a < b;
}

std::vector<std::string> list_files(const std::string& folder, std::string_view pattern) {
    return folder_names(folder,
                        [pattern](const spectrum::FolderEntry& entry, const std::string& name) {
                            return entry.is_file && !spectrum::is_temporary_name(name) &&
                                   matches_pattern(name, pattern);
                        });
}

std::vector<std::string> list_entries(const std::string& folder, std::string_view pattern) {
    return folder_names(folder, [pattern](const spectrum::FolderEntry&, const std::string& name) {
        return !spectrum::is_temporary_name(name) && matches_pattern(name, pattern);
    });
}

std::vector<std::string> list_files(const std::string& folder,
                                    const std::vector<std::string>& patterns) {
    return folder_names(
        folder, [&patterns](const spectrum::FolderEntry& entry, const std::string& name) {
            return entry.is_file && !spectrum::is_temporary_name(name) &&
                   std::any_of(patterns.begin(), patterns.end(),
                               [&name](const std::string& p) { return matches_pattern(name, p); });
        });
}

std::vector<std::string> list_folders(const std::string& folder) {
    return folder_names(folder, [](const spectrum::FolderEntry& entry, const std::string&) {
        return entry.is_folder;
    });
}

}  // namespace brandel::app

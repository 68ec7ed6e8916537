#include "app/wildcards.hpp"

#include <exception>
#include <filesystem>

#include "app/file_list.hpp"

namespace brandel::app {

bool has_wildcard(std::string_view word) {
    return word.find_first_of("*?") != std::string_view::npos;
}

namespace {

// The length of a pattern's folder part: through its last separator, or through the ":" of a
// drive that no separator follows ("C:*.TXT"); 0 when it names no folder.
std::size_t folder_part(std::string_view pattern, spectrum::PathRules rules) {
    for (std::size_t i = pattern.size(); i > 0; --i)
        if (spectrum::is_path_separator(pattern[i - 1], rules))
            return i;
    if (rules == spectrum::PathRules::windows && pattern.size() >= 2 && pattern[1] == ':')
        return 2;
    return 0;
}

std::string listing_failure(const std::exception& e) {
    if (const auto* error = dynamic_cast<const std::filesystem::filesystem_error*>(&e))
        return "its folder cannot be read: " + error->code().message();
    return std::string("its folder cannot be read: ") + e.what();
}

}  // namespace

WildcardExpansion expand_wildcards(const std::vector<std::string>& words,
                                   spectrum::PathRules rules) {
    WildcardExpansion expansion;
    for (const std::string& word : words) {
        if (!has_wildcard(word)) {
            expansion.paths.push_back(word);
            continue;
        }
        const std::size_t split = folder_part(word, rules);
        const std::string folder = word.substr(0, split);
        const std::string name = word.substr(split);
        if (has_wildcard(folder)) {
            expansion.unmatched.push_back(
                {word, "a pattern may stand for file names only, not for folders"});
            continue;
        }
        std::vector<std::string> names;
        try {
            names = list_files(folder.empty() ? std::string(".") : folder, name);
        } catch (const std::exception& e) {
            expansion.unmatched.push_back({word, listing_failure(e)});
            continue;
        }
        if (names.empty()) {
            expansion.unmatched.push_back({word, "no file matches this pattern"});
            continue;
        }
        for (const std::string& match : names)
            expansion.paths.push_back(folder + match);
    }
    return expansion;
}

}  // namespace brandel::app

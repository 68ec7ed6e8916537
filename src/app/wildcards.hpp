#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "spectrum/paths.hpp"

namespace brandel::app {

/// Whether a command-line word names files by a pattern: it holds "*" or "?". On Windows no file
/// name can hold either, and no shell there expands them for the program.
bool has_wildcard(std::string_view word);

/// A pattern that matched no file, and why.
struct UnmatchedPattern {
    std::string pattern;
    std::string reason;
};

/// The files a list of command-line words names, with each pattern replaced by the files it
/// matches.
struct WildcardExpansion {
    std::vector<std::string> paths;           // in the order given; a pattern's files by name
    std::vector<UnmatchedPattern> unmatched;  // the patterns that named no file
};

/// Expands the patterns among `words` as a shell would: the file name part of a pattern (after
/// its last separator, or after a drive "C:") is matched against the regular files of the folder
/// the pattern names (the current folder when it names none), ignoring case as file lists do;
/// "*.*" matches every name. Each match is written with the pattern's folder part as given, and
/// the matches of one pattern follow each other sorted as file lists sort. A word without a
/// pattern is kept as it is. A pattern that matches nothing, whose folder cannot be read, or
/// whose folder part holds a wildcard itself, names no file and is reported.
WildcardExpansion expand_wildcards(const std::vector<std::string>& words,
                                   spectrum::PathRules rules = spectrum::native_path_rules);

}  // namespace brandel::app

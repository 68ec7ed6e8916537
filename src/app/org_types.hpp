#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "readers/reader_kit.hpp"

namespace brandel::app {

/// One kind of source ("ORG") file: its index, its command-line name, the caption of its type
/// option, the file pattern its option sets, and its reader (none for NAIG) with the layout
/// that reader reads, which also tells whether a file fits the type.
struct OrgType {
    std::int16_t index;
    std::string_view name;                // command-line name, e.g. "canberra-txt"
    std::string_view caption;             // UTF-8 caption of the type option
    std::string_view pattern;             // file pattern of the source list
    readers::Reader reader;               // nullptr when the type has no reader
    const readers::ReaderLayout* layout;  // nullptr when the type has no reader
};

/// The nine types, by index 0..8.
std::span<const OrgType> org_types();

/// The type of an index, or nullptr outside 0..8.
const OrgType* find_org_type(int index);

/// The type named on the command line, by name or by its index; nullptr when unknown.
const OrgType* find_org_type(std::string_view name_or_index);

}  // namespace brandel::app

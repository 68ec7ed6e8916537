#pragma once

// The fuzz targets of the source readers: the name of each target and the ORG type it reads.
// fuzz/CMakeLists.txt builds one fuzz_<name> per row.

#include <array>
#include <string_view>

#include "tools/example_sources.hpp"

namespace brandel::fuzz {

struct ReaderTarget {
    std::string_view name;
    tools::Layout layout;
};

inline constexpr std::array<ReaderTarget, 8> reader_targets = {{
    {"canberra_txt", tools::Layout::canberra_txt},
    {"labo_new", tools::Layout::labo_new},
    {"kaihouken_dat", tools::Layout::kaihouken_dat},
    {"kaihouken_csv", tools::Layout::kaihouken_csv},
    {"labo_old", tools::Layout::labo_old},
    {"labo_list", tools::Layout::labo_list},
    {"kaihouken_txt", tools::Layout::kaihouken_txt},
    {"oxford_asc", tools::Layout::oxford_asc},
}};

}  // namespace brandel::fuzz

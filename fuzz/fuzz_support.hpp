#pragma once

// What every fuzz target shares: a scratch folder of its own for the files it writes, and a way
// to stop with a message when a property does not hold (libFuzzer saves the input as a crash).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <unistd.h>

namespace brandel::fuzz {

[[noreturn]] inline void fail(std::string_view what) {
    std::fprintf(stderr, "\nFUZZ PROPERTY BROKEN: %.*s\n", static_cast<int>(what.size()),
                 what.data());
    std::abort();
}

inline void check(bool ok, std::string_view what) {
    if (!ok)
        fail(what);
}

/// A folder under the system's temporary folder for this process, removed when it ends.
inline const std::filesystem::path& scratch_dir() {
    static const std::filesystem::path dir = [] {
        auto p =
            std::filesystem::temp_directory_path() / ("brandel-fuzz-" + std::to_string(::getpid()));
        std::filesystem::remove_all(p);
        std::filesystem::create_directories(p);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratch_dir(), ignored);
        });
        return p;
    }();
    return dir;
}

inline void write_file(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    check(static_cast<bool>(out), "cannot write the input file");
}

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// The names of the files in the scratch folder, sorted, separated by blanks.
inline std::string scratch_listing() {
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator(scratch_dir()))
        names += entry.path().filename().string() + " ";
    return names;
}

}  // namespace brandel::fuzz

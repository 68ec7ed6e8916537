#pragma once

// Folders whose paths are longer than the 260 characters older Windows functions take. They are
// made and removed through the long form of their paths, so that a test does not depend on the
// runtime's own functions reaching that deep.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "spectrum/folder_entries.hpp"
#include "spectrum/paths.hpp"

namespace brandel::test_support {

/// A folder under `base` whose path has at least `length` characters, made of folders of 60.
inline std::filesystem::path deep_folder(const std::filesystem::path& base, std::size_t length) {
    std::filesystem::path folder = base;
    for (char letter = 'a'; folder.native().size() < length; ++letter) {
        folder /= std::string(60, letter);
#ifdef _WIN32
        EXPECT_TRUE(CreateDirectoryW(spectrum::long_path(folder).c_str(), nullptr))
            << GetLastError();
#else
        EXPECT_TRUE(std::filesystem::create_directory(folder));
#endif
    }
    return folder;
}

/// Removes what a folder holds, however deep, and the folder itself.
inline void remove_deep(const std::filesystem::path& folder) {
#ifdef _WIN32
    for (const spectrum::FolderEntry& entry : spectrum::read_folder(folder)) {
        const std::filesystem::path path = folder / spectrum::fs_path(entry.name);
        if (entry.is_folder && !entry.is_link)
            remove_deep(path);
        else
            DeleteFileW(spectrum::long_path(path).c_str());
    }
    RemoveDirectoryW(spectrum::long_path(folder).c_str());
#else
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
#endif
}

}  // namespace brandel::test_support

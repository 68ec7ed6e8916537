#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "spectrum/paths.hpp"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace brandel::test_support {

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    // A folder left by an earlier run whose process had the same id (Wine reuses small ids)
    // is passed over, never emptied.
    TempDir() {
        static std::atomic<int> counter{0};
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        do {
            path_ = base / ("brandel-test-" + std::to_string(process_id()) + "-" +
                            std::to_string(counter++));
        } while (!std::filesystem::create_directory(path_));
    }
    // Files a test made read-only are made writable first: Windows removes no read-only file.
    ~TempDir() {
        std::error_code ignored;
        const auto writable = [&](const std::filesystem::path& p) {
            std::filesystem::permissions(p, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        };
        writable(path_);
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
            if (!it->is_symlink(ignored))  // a link's target may lie outside the folder
                writable(it->path());
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    /// The folder as the driver keeps it: UTF-8, ending in the platform's separator.
    std::string dir() const { return spectrum::utf8_path(path_) + spectrum::path_separator; }

    /// Writes a file of the folder and returns its full path.
    std::string write(const std::string& name, std::string_view bytes) const {
        std::filesystem::path p = path_ / spectrum::fs_path(name);
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return spectrum::utf8_path(p);
    }
    /// Reads a file of the folder whole; empty when it does not exist.
    std::string read(const std::string& name) const {
        std::ifstream in(path_ / spectrum::fs_path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool exists(const std::string& name) const {
        return std::filesystem::exists(path_ / spectrum::fs_path(name));
    }

  private:
    static long process_id() {
#ifdef _WIN32
        return _getpid();
#else
        return static_cast<long>(::getpid());
#endif
    }

    std::filesystem::path path_;
};

}  // namespace brandel::test_support

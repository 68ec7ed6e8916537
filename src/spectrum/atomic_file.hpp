#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace brandel::spectrum {

/// The file operations behind an atomic replacement. Tests derive from it to make a write or
/// the rename fail at a chosen point.
class FileOps {
  public:
    virtual ~FileOps() = default;
    /// Writes up to `size` bytes; returns how many were written, or -1 on failure (errno set).
    virtual long write(int fd, const unsigned char* data, std::size_t size);
    /// Renames `from` over `to`; returns false on failure (errno set).
    virtual bool rename(const std::filesystem::path& from, const std::filesystem::path& to);
};

/// The real file operations.
FileOps& system_file_ops();

/// Replaces `target` with exactly `bytes`: they are written whole under a temporary name in the
/// target's folder, which is then renamed over the target. On any failure the temporary file is
/// removed, the old target keeps its bytes, and a cannot-write error names the target and why.
void replace_file(const std::filesystem::path& target, std::string_view bytes,
                  FileOps& ops = system_file_ops());

/// Whether a file name is one of our temporary files (a stale one is left by a killed process).
bool is_temporary_name(std::string_view file_name);

}  // namespace brandel::spectrum

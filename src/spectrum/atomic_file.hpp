#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brandel::spectrum {

/// What is in a target's place before it is replaced. A symbolic link is described as itself,
/// never as the file it points to: the link is what gets replaced.
struct TargetInfo {
    bool exists = false;            // something (a file, a link, a folder) has the target's name
    bool is_link = false;           // a symbolic link (or, on Windows, another reparse point)
    bool is_file = false;           // a regular file, whose permissions the new file takes over
    bool read_only = false;         // a file that must not be replaced
    unsigned long permissions = 0;  // POSIX mode bits, or Windows attributes, to keep
    long owner = -1;                // POSIX owner and group to keep; -1 where unknown
    long group = -1;
};

/// The file operations behind an atomic replacement, one seam for the platform code. Tests
/// derive from it to make a step fail, or to describe a target as another platform would.
class FileOps {
  public:
    /// `flush` false skips both flushes: only for measuring what they cost, never for files that
    /// matter.
    explicit FileOps(bool flush = true) : flush_(flush) {}
    virtual ~FileOps() = default;

    /// Writes up to `size` bytes; returns how many were written, or -1 on failure (errno set).
    virtual long write(int fd, const unsigned char* data, std::size_t size);
    /// Writes all of `bytes` through `write`, again after an interruption; false on failure
    /// (errno set, EIO where the failure gave none).
    bool write_all(int fd, std::string_view bytes);
    /// Starts writing an open file's data to the disk without waiting for it, so that the flushes
    /// of a group of files overlap. A hint only: it may do nothing.
    virtual void start_flush(int fd);
    /// Puts the written data of an open file on the disk; returns false on failure (errno set).
    virtual bool flush_data(int fd);
    /// Renames `from` over `to`, replacing a link in `to`'s place rather than what it points to;
    /// returns false on failure (errno set).
    virtual bool rename(const std::filesystem::path& from, const std::filesystem::path& to);
    /// Puts a folder's entries (a rename into it) on the disk; returns false on failure (errno
    /// set). Nothing to do where the rename itself is written through.
    virtual bool flush_folder(const std::filesystem::path& folder);
    /// Describes what has the target's name now.
    virtual TargetInfo inspect(const std::filesystem::path& target);
    /// Gives the new file, still open as `fd` under `temporary`, the permissions of the file
    /// `target` that it replaces, described by `old`: where it can, its owner; its access list and
    /// extended attributes (on Windows its attributes and access list, see copy_access); and its
    /// permission bits. Returns false on failure (errno set).
    virtual bool keep_permissions(int fd, const std::filesystem::path& temporary,
                                  const std::filesystem::path& target, const TargetInfo& old);

    bool flushes() const { return flush_; }

  private:
    bool flush_;
};

/// The real file operations.
FileOps& system_file_ops();

/// Closes a file descriptor of the C library; 0, or -1 on failure (errno set).
int close_file(int fd);

/// Replaces `target` with exactly `bytes`. They are written whole under a temporary name in the
/// target's folder, put on the disk, and then renamed over the target, whose folder is put on
/// the disk in turn: after a crash or a power cut the old file or the whole new one is there.
/// A target that is read-only is refused; a replaced file keeps its permissions, access list and
/// extended attributes; a symbolic link
/// in the target's place is replaced, not followed. On any failure the temporary file is removed,
/// the old target keeps its bytes, and a cannot-write error names the target and why.
void replace_file(const std::filesystem::path& target, std::string_view bytes,
                  FileOps& ops = system_file_ops());

/// A group of files replaced together, at the cost of about one flush for all of them: each is
/// written whole under a temporary name at once, and commit() puts them all on the disk, renames
/// each over its target in the order staged, and puts their folders on the disk. Every file
/// keeps the promise of replace_file on its own: its old bytes or its whole new ones, also after
/// a power cut; one file's failure is its own. Temporary files never committed are removed when
/// the group goes.
class ReplaceGroup {
  public:
    explicit ReplaceGroup(FileOps& ops = system_file_ops()) : ops_(ops) {}
    ~ReplaceGroup();
    ReplaceGroup(const ReplaceGroup&) = delete;
    ReplaceGroup& operator=(const ReplaceGroup&) = delete;

    /// Writes `bytes` whole under a temporary name beside `target`. A read-only target, or a file
    /// that cannot be written, raises a cannot-write error and leaves nothing behind.
    void stage(const std::filesystem::path& target, std::string_view bytes) {
        stage(target, bytes, new_unit());
    }
    /// The same for one of the files of a unit (a number new_unit gave): the files of one unit
    /// are replaced together. When one of them cannot be put on the disk, commit replaces none of
    /// them and gives each the reason of the first that failed.
    void stage(const std::filesystem::path& target, std::string_view bytes, std::size_t unit);
    /// Looks at the bytes a staged file holds once they are on the disk, read back through its
    /// descriptor, before they replace anything; returns why they are wrong, empty when right.
    using Check = std::function<std::string(std::string_view on_disk)>;
    /// The same for a file whose bytes commit reads back from the disk and gives to `check`
    /// after the flush and before the rename: a file the check finds wrong fails as one that
    /// could not be put on the disk, with the check's reason, and so do the others of its unit.
    void stage(const std::filesystem::path& target, std::string_view bytes, std::size_t unit,
               Check check);
    /// A unit no file staged so far belongs to.
    std::size_t new_unit() { return next_unit_++; }
    /// Files staged and not yet committed.
    std::size_t size() const { return staged_.size(); }
    /// Takes back the files staged from position `first` on: their temporary files are removed
    /// and their targets stay as they are.
    void discard_from(std::size_t first);
    /// Replaces every staged target. Returns, for each staged file in the order staged, an empty
    /// text when it replaced its target, or else why it did not. The group is empty after it.
    std::vector<std::string> commit();

  private:
    struct Staged {
        std::filesystem::path target;
        std::filesystem::path temporary;
        int fd;
        std::size_t unit;
        std::size_t size;  // bytes written
        Check check;
    };
    FileOps& ops_;
    std::vector<Staged> staged_;
    std::size_t next_unit_ = 0;
};

/// Whether a file name is one of our temporary files (a stale one is left by a killed process).
bool is_temporary_name(std::string_view file_name);

/// Removes the temporary files a killed writer left in `folder`: ours by name, older than
/// `min_age_seconds`, and made by a process that no longer runs on this machine. A file that
/// may belong to a running process is never touched. Returns how many were removed; a folder
/// that cannot be read removes nothing.
int remove_stale_temporaries(const std::filesystem::path& folder, int min_age_seconds = 60);

}  // namespace brandel::spectrum

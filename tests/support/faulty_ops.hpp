#pragma once

// The writer's file operations with faults where a test puts them, and what the writer's tests
// look at: the bytes of a small CHN file, the names a folder holds, the message of a refused
// replace.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "spectrum/atomic_file.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/state.hpp"
#include "temp_dir.hpp"

namespace brandel::test_support {

using spectrum::ErrorKind;
using spectrum::FileOps;
using spectrum::SpectrumError;
using spectrum::State;

// The bytes of a small CHN file: four channels, 560 bytes.
inline std::string small_chn() {
    State s;
    s.chn_header.mca_number = 301;
    s.chn_header.num_channels = 4;
    for (int k = 0; k < 4; ++k)
        s.counts.set(k, 1000 * (k + 1));
    s.chn_trailer.sample_desc.assign(U"new spectrum");
    return spectrum::chn_bytes(s);
}

inline std::vector<std::string> files_in(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The system's file operations with a fault where a test puts it: a write fails once `fail_at`
// bytes are written, writes move at most `chunk` bytes, a write may make no progress or claim
// more than it was given, and the rename may fail with an error number (0: without one).
class FaultyOps : public FileOps {
  public:
    std::size_t fail_at = SIZE_MAX;
    int fail_errno = ENOSPC;
    std::size_t chunk = SIZE_MAX;
    bool no_progress = false;
    bool claims_too_much = false;
    int interruptions = 0;
    bool fail_rename = false;
    int rename_errno = EACCES;
    bool fail_flush = false;
    bool fail_folder_flush = false;
    std::vector<std::filesystem::path> renamed_from;
    std::vector<std::string> calls;  // the steps in the order they ran

    using FileOps::FileOps;

    long write(int fd, const unsigned char* data, std::size_t size) override {
        if (interruptions > 0) {
            --interruptions;
            errno = EINTR;
            return -1;
        }
        if (no_progress)
            return 0;
        if (written_ >= fail_at) {
            errno = fail_errno;
            return -1;
        }
        if (calls.empty() || calls.back() != "write")
            calls.push_back("write");
        long n = FileOps::write(fd, data, std::min({size, chunk, fail_at - written_}));
        if (n > 0)
            written_ += static_cast<std::size_t>(n);
        return claims_too_much ? n + 1 : n;
    }
    bool rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
        renamed_from.push_back(from);
        calls.push_back("rename");
        if (fail_rename) {
            errno = rename_errno;
            return false;
        }
        return FileOps::rename(from, to);
    }
    bool flush_data(int fd) override {
        calls.push_back("flush");
        if (fail_flush) {
            errno = EIO;
            return false;
        }
        return FileOps::flush_data(fd);
    }
    bool flush_folder(const std::filesystem::path& folder) override {
        calls.push_back("flush folder " + folder.filename().string());
        if (fail_folder_flush) {
            errno = EIO;
            return false;
        }
        return FileOps::flush_folder(folder);
    }

  private:
    std::size_t written_ = 0;
};

// Runs replace_file and returns its cannot-write message; fails the test when it succeeds or
// raises anything else.
inline std::string failure_of(const std::filesystem::path& target, const std::string& bytes,
                              FileOps& ops) {
    try {
        spectrum::replace_file(target, bytes, ops);
    } catch (const SpectrumError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::cannot_write) << e.what();
        return e.what();
    }
    ADD_FAILURE() << "replace_file succeeded";
    return {};
}

}  // namespace brandel::test_support

#include "spectrum/atomic_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "spectrum/chn_file.hpp"
#include "spectrum/errors.hpp"
#include "temp_dir.hpp"

namespace brandel::spectrum {
namespace {

using test_support::TempDir;

// The bytes of a small CHN file: four channels, 560 bytes.
std::string small_chn() {
    State s;
    s.chn_header.mca_number = 301;
    s.chn_header.num_channels = 4;
    for (int k = 0; k < 4; ++k)
        s.counts.set(k, 1000 * (k + 1));
    s.chn_trailer.sample_desc.assign(U"new spectrum");
    return chn_bytes(s);
}

std::vector<std::string> files_in(const TempDir& dir) {
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
    std::vector<std::filesystem::path> renamed_from;

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
        long n = FileOps::write(fd, data, std::min({size, chunk, fail_at - written_}));
        if (n > 0)
            written_ += static_cast<std::size_t>(n);
        return claims_too_much ? n + 1 : n;
    }
    bool rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
        renamed_from.push_back(from);
        if (fail_rename) {
            errno = rename_errno;
            return false;
        }
        return FileOps::rename(from, to);
    }

  private:
    std::size_t written_ = 0;
};

// Runs replace_file and returns its cannot-write message; fails the test when it succeeds or
// raises anything else.
std::string failure_of(const std::filesystem::path& target, const std::string& bytes,
                       FileOps& ops) {
    try {
        replace_file(target, bytes, ops);
    } catch (const SpectrumError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::cannot_write) << e.what();
        return e.what();
    }
    ADD_FAILURE() << "replace_file succeeded";
    return {};
}

TEST(ReplaceFile, WriteFailingAtEveryByteKeepsTheOldFileAndLeavesNoTemporary) {
    TempDir dir;
    const std::string old(700, 'o');
    const std::string fresh = small_chn();
    ASSERT_EQ(fresh.size(), 560u);
    const auto target = dir.path() / "S0123.chn";
    for (std::size_t chunk : {std::size_t{1}, std::size_t{64}, SIZE_MAX}) {
        for (bool has_old : {true, false}) {
            dir.write("S0123.chn", old);
            if (!has_old)
                std::filesystem::remove(target);
            for (std::size_t k = 0; k < fresh.size(); ++k) {
                SCOPED_TRACE("chunk " + std::to_string(chunk) + ", old file " +
                             std::to_string(has_old) + ", failing at byte " + std::to_string(k));
                FaultyOps ops;
                ops.fail_at = k;
                ops.chunk = chunk;
                const std::string message = failure_of(target, fresh, ops);
                ASSERT_NE(message.find("S0123.chn"), std::string::npos) << message;
                ASSERT_NE(message.find(std::strerror(ENOSPC)), std::string::npos) << message;
                ASSERT_TRUE(ops.renamed_from.empty());
                if (has_old) {
                    ASSERT_EQ(dir.read("S0123.chn"), old);
                    ASSERT_EQ(files_in(dir), std::vector<std::string>{"S0123.chn"});
                } else {
                    ASSERT_TRUE(files_in(dir).empty());
                }
            }
            FaultyOps ops;
            ops.fail_at = fresh.size();
            ops.chunk = chunk;
            replace_file(target, fresh, ops);
            EXPECT_EQ(dir.read("S0123.chn"), fresh);
            EXPECT_EQ(files_in(dir), std::vector<std::string>{"S0123.chn"});
        }
    }
}

struct RenameFault {
    const char* name;
    int error;            // errno the rename leaves; 0 for none
    const char* message;  // part of the message
};

class ReplaceFileRenameTest : public ::testing::TestWithParam<RenameFault> {};

TEST_P(ReplaceFileRenameTest, FailedRenameKeepsTheOldFileAndLeavesNoTemporary) {
    const RenameFault& fault = GetParam();
    TempDir dir;
    dir.write("S0123.chn", "old bytes");
    FaultyOps ops;
    ops.fail_rename = true;
    ops.rename_errno = fault.error;
    const std::string message = failure_of(dir.path() / "S0123.chn", small_chn(), ops);
    EXPECT_NE(message.find(fault.message), std::string::npos) << message;
    EXPECT_EQ(dir.read("S0123.chn"), "old bytes");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"S0123.chn"});
    // The whole file was written under a temporary name of the destination folder first.
    ASSERT_EQ(ops.renamed_from.size(), 1u);
    EXPECT_EQ(ops.renamed_from[0].parent_path(), dir.path());
    EXPECT_TRUE(is_temporary_name(ops.renamed_from[0].filename().string()));
}

INSTANTIATE_TEST_SUITE_P(Faults, ReplaceFileRenameTest,
                         ::testing::Values(RenameFault{"NoPermission", EACCES,
                                                       std::strerror(EACCES)},
                                           RenameFault{"OtherDevice", EXDEV, std::strerror(EXDEV)},
                                           RenameFault{"NoErrorNumber", 0, std::strerror(EIO)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReplaceFile, WriteThatGoesNowhereFailsInsteadOfLooping) {
    TempDir dir;
    dir.write("a.chn", "old");
    for (bool claims_too_much : {false, true}) {
        FaultyOps ops;
        ops.no_progress = !claims_too_much;
        ops.claims_too_much = claims_too_much;
        failure_of(dir.path() / "a.chn", small_chn(), ops);
        EXPECT_EQ(dir.read("a.chn"), "old");
        EXPECT_EQ(files_in(dir), std::vector<std::string>{"a.chn"});
    }
}

TEST(ReplaceFile, InterruptedWritesAreRetried) {
    TempDir dir;
    FaultyOps ops;
    ops.interruptions = 5;
    ops.chunk = 100;
    replace_file(dir.path() / "a.chn", small_chn(), ops);
    EXPECT_EQ(dir.read("a.chn"), small_chn());
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"a.chn"});
}

TEST(ReplaceFile, TargetThatIsAFolderStaysAndLeavesNoTemporary) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "S0123.chn");
    dir.write("S0123.chn/inside", "kept");
    failure_of(dir.path() / "S0123.chn", small_chn(), system_file_ops());
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "S0123.chn"));
    EXPECT_EQ(dir.read("S0123.chn/inside"), "kept");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"S0123.chn"});
}

TEST(ReplaceFile, FolderThatIsMissingOrAFileCreatesNothing) {
    TempDir dir;
    dir.write("plain", "a file, not a folder");
    for (const char* folder : {"missing", "plain"}) {
        SCOPED_TRACE(folder);
        const std::string message =
            failure_of(dir.path() / folder / "S0123.chn", small_chn(), system_file_ops());
        EXPECT_NE(message.find("S0123.chn"), std::string::npos) << message;
        EXPECT_EQ(files_in(dir), std::vector<std::string>{"plain"});
        EXPECT_EQ(dir.read("plain"), "a file, not a folder");
    }
}

TEST(ReplaceFile, TemporaryNamesAreRecognised) {
    struct Row {
        const char* name;
        bool temporary;
    };
    for (const Row& row : std::initializer_list<Row>{
             {".S0123.chn.4242-0-123.brandel-tmp", true},
             {".x.brandel-tmp", true},
             {".brandel-tmp", false},           // the suffix alone names no file
             {"S0123.chn.brandel-tmp", false},  // ours start with a dot
             {"S0123.chn", false},
             {".S0123.chn", false},
             {".S0123.brandel-tmp.chn", false},
             {"", false},
         })
        EXPECT_EQ(is_temporary_name(row.name), row.temporary) << row.name;
}

}  // namespace
}  // namespace brandel::spectrum

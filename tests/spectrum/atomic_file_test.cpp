#include "spectrum/atomic_file.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "other_user.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/errors.hpp"
#include "temp_dir.hpp"

namespace brandel::spectrum {
namespace {

using test_support::as_other_user;
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

unsigned mode_of(const std::filesystem::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

TEST(ReplaceFile, DataAreFlushedBeforeTheRenameAndTheFolderAfterIt) {
    TempDir dir;
    dir.write("S0123.chn", "old");
    FaultyOps ops;
    replace_file(dir.path() / "S0123.chn", small_chn(), ops);
    EXPECT_EQ(ops.calls,
              (std::vector<std::string>{"write", "flush", "rename",
                                        "flush folder " + dir.path().filename().string()}));
    EXPECT_EQ(dir.read("S0123.chn"), small_chn());

    FaultyOps unflushed(false);
    replace_file(dir.path() / "S0123.chn", "again", unflushed);
    EXPECT_EQ(unflushed.calls, (std::vector<std::string>{"write", "rename"}));
    EXPECT_EQ(dir.read("S0123.chn"), "again");
}

TEST(ReplaceFile, FailedFlushKeepsTheOldFileAndLeavesNoTemporary) {
    TempDir dir;
    dir.write("S0123.chn", "old");
    FaultyOps ops;
    ops.fail_flush = true;
    const std::string message = failure_of(dir.path() / "S0123.chn", small_chn(), ops);
    EXPECT_NE(message.find(std::strerror(EIO)), std::string::npos) << message;
    EXPECT_TRUE(ops.renamed_from.empty());
    EXPECT_EQ(dir.read("S0123.chn"), "old");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"S0123.chn"});
}

TEST(ReplaceFile, FailedFolderFlushIsReportedAlthoughTheFileIsInPlace) {
    TempDir dir;
    FaultyOps ops;
    ops.fail_folder_flush = true;
    const std::string message = failure_of(dir.path() / "S0123.chn", small_chn(), ops);
    EXPECT_NE(message.find("in place"), std::string::npos) << message;
    EXPECT_EQ(dir.read("S0123.chn"), small_chn());
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"S0123.chn"});
}

TEST(ReplaceFile, FileThatNoOneMayWriteIsRefusedEvenForRoot) {
    TempDir dir;
    for (unsigned mode : {0444u, 0400u, 0555u, 0000u}) {
        SCOPED_TRACE(mode);
        dir.write("S0123.chn", "old bytes");
        std::filesystem::permissions(dir.path() / "S0123.chn",
                                     static_cast<std::filesystem::perms>(mode));
        FaultyOps ops;
        EXPECT_EQ(failure_of(dir.path() / "S0123.chn", small_chn(), ops), "S0123.chn is read-only");
        EXPECT_TRUE(ops.calls.empty()) << "nothing is even written";
        EXPECT_EQ(mode_of(dir.path() / "S0123.chn"), mode);
        std::filesystem::permissions(dir.path() / "S0123.chn", std::filesystem::perms::owner_all);
        EXPECT_EQ(dir.read("S0123.chn"), "old bytes");
        EXPECT_EQ(files_in(dir), std::vector<std::string>{"S0123.chn"});
    }
}

// A file system whose read-only mark is an attribute (Windows) describes the target through the
// same seam; the rule is the same.
TEST(ReplaceFile, TargetMarkedReadOnlyThroughTheSeamIsRefused) {
    class AttributeOps : public FaultyOps {
      public:
        TargetInfo inspect(const std::filesystem::path& target) override {
            TargetInfo info = FileOps::inspect(target);
            info.read_only = info.is_file;
            return info;
        }
    };
    TempDir dir;
    dir.write("S0123.chn", "old bytes");
    AttributeOps ops;
    EXPECT_EQ(failure_of(dir.path() / "S0123.chn", small_chn(), ops), "S0123.chn is read-only");
    EXPECT_EQ(dir.read("S0123.chn"), "old bytes");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"S0123.chn"});
    // A new file has nothing to protect.
    replace_file(dir.path() / "new.chn", "fresh", ops);
    EXPECT_EQ(dir.read("new.chn"), "fresh");
}

TEST(ReplaceFile, ReplacedFileKeepsItsPermissionBitsWhateverTheUmask) {
    TempDir dir;
    const mode_t saved = ::umask(022);
    for (unsigned mode : {0600u, 0640u, 0664u, 0666u, 0620u, 0200u}) {
        SCOPED_TRACE(mode);
        dir.write("S0123.chn", "old");
        std::filesystem::permissions(dir.path() / "S0123.chn",
                                     static_cast<std::filesystem::perms>(mode));
        replace_file(dir.path() / "S0123.chn", small_chn());
        EXPECT_EQ(mode_of(dir.path() / "S0123.chn"), mode);
        std::filesystem::permissions(dir.path() / "S0123.chn", std::filesystem::perms::owner_all);
        EXPECT_EQ(dir.read("S0123.chn"), small_chn());
    }
    // A new file takes the umask's permissions, as any new file does.
    replace_file(dir.path() / "new.chn", small_chn());
    EXPECT_EQ(mode_of(dir.path() / "new.chn"), 0644u);
    ::umask(saved);
}

TEST(ReplaceFile, PrivateFileIsNeverReadableByOthersWhileItIsWritten) {
    class Watching : public FaultyOps {
      public:
        unsigned seen = 0;
        long write(int fd, const unsigned char* data, std::size_t size) override {
            struct stat st {};
            ::fstat(fd, &st);
            seen |= st.st_mode & 0777;
            return FaultyOps::write(fd, data, size);
        }
    };
    TempDir dir;
    dir.write("S0123.chn", "old");
    std::filesystem::permissions(dir.path() / "S0123.chn", std::filesystem::perms(0600));
    Watching ops;
    replace_file(dir.path() / "S0123.chn", small_chn(), ops);
    EXPECT_EQ(ops.seen, 0600u);
}

TEST(ReplaceFile, SymbolicLinkInTheTargetsPlaceIsReplacedNotFollowed) {
    TempDir dir;
    dir.write("elsewhere.chn", "the file the link points to");
    const auto link = dir.path() / "S0123.chn";
    for (const char* points_to : {"elsewhere.chn", "missing.chn"}) {
        SCOPED_TRACE(points_to);
        std::filesystem::remove(link);
        std::filesystem::create_symlink(points_to, link);
        replace_file(link, small_chn());
        EXPECT_FALSE(std::filesystem::is_symlink(link));
        EXPECT_EQ(dir.read("S0123.chn"), small_chn());
        EXPECT_EQ(dir.read("elsewhere.chn"), "the file the link points to");
        EXPECT_FALSE(dir.exists("missing.chn"));
    }
    // A link to a file no one may write is not that file: the link is replaced.
    std::filesystem::permissions(dir.path() / "elsewhere.chn", std::filesystem::perms(0444));
    std::filesystem::remove(link);
    std::filesystem::create_symlink("elsewhere.chn", link);
    replace_file(link, "fresh");
    EXPECT_EQ(dir.read("S0123.chn"), "fresh");
    EXPECT_EQ(mode_of(dir.path() / "elsewhere.chn"), 0444u);
    EXPECT_EQ(dir.read("elsewhere.chn"), "the file the link points to");
}

TEST(ReplaceFile, RootKeepsTheOwnerOfAnotherUsersFile) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    TempDir dir;
    const auto target = dir.path() / "S0123.chn";
    dir.write("S0123.chn", "old");
    ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    ::chmod(target.c_str(), 0600);
    replace_file(target, small_chn());
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(dir.read("S0123.chn"), small_chn());
}

TEST(ReplaceFile, AnotherUsersFileThatThisUserMayNotWriteIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "switching to another user needs root";
    TempDir dir;
    // A folder everyone may write in, holding root's files: one only root may write, one
    // everyone may write.
    ::chmod(dir.path().c_str(), 0777);
    dir.write("mine.chn", "root's file");
    ::chmod((dir.path() / "mine.chn").c_str(), 0644);
    dir.write("shared.chn", "everyone's file");
    ::chmod((dir.path() / "shared.chn").c_str(), 0666);
    const int code = as_other_user([&] {
        try {
            replace_file(dir.path() / "mine.chn", small_chn());
            return 1;
        } catch (const SpectrumError& e) {
            if (std::string(e.what()) != "mine.chn is read-only")
                return 2;
        }
        try {
            replace_file(dir.path() / "shared.chn", small_chn());
        } catch (const SpectrumError&) {
            return 3;
        }
        return 0;
    });
    ASSERT_NE(code, 99) << "could not switch user";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(dir.read("mine.chn"), "root's file");
    EXPECT_EQ(dir.read("shared.chn"), small_chn());
    EXPECT_EQ(mode_of(dir.path() / "shared.chn"), 0666u);
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"mine.chn", "shared.chn"}));
}

TEST(ReplaceFile, FolderThatMayNotBeWrittenIsNamedAsTheCause) {
    // Root writes into any folder, so the folder is root's and another user writes.
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "c19");
    dir.write("c19/S0123.chn", "old");
    const auto folder = dir.path() / "c19";
    const auto expected = "cannot write into " + folder.string() + "/: Permission denied";
    const bool root = ::geteuid() == 0;
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(folder.c_str(), root ? 0755 : 0555);
    ::chmod((folder / "S0123.chn").c_str(), 0666);
    auto attempt = [&] {
        for (const char* name : {"S0123.chn", "new.chn"}) {
            try {
                replace_file(folder / name, small_chn());
                return 1;
            } catch (const SpectrumError& e) {
                if (e.what() != expected)
                    return 2;
            }
        }
        return 0;
    };
    const int code = root ? as_other_user(attempt) : attempt();
    ::chmod(folder.c_str(), 0755);
    ASSERT_NE(code, 99) << "could not switch user";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(dir.read("c19/S0123.chn"), "old");
}

TEST(ReplaceGroup, FilesAreFlushedTogetherThenRenamedInOrderEachFailingAlone) {
    TempDir dir;
    dir.write("a.chn", "old a");
    dir.write("b.chn", "old b");
    dir.write("ro.chn", "read-only");
    std::filesystem::permissions(dir.path() / "ro.chn", std::filesystem::perms(0444));
    class FailingB : public FaultyOps {
      public:
        bool rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
            fail_rename = to.filename() == "b.chn";
            return FaultyOps::rename(from, to);
        }
    };
    FailingB ops;
    {
        ReplaceGroup group(ops);
        group.stage(dir.path() / "a.chn", "new a");
        EXPECT_THROW(group.stage(dir.path() / "ro.chn", "never"), SpectrumError);
        group.stage(dir.path() / "b.chn", "new b");
        group.stage(dir.path() / "c.chn", "new c");
        EXPECT_EQ(group.size(), 3u);
        EXPECT_EQ(dir.read("a.chn"), "old a") << "nothing is replaced before the commit";
        const std::vector<std::string> errors = group.commit();
        ASSERT_EQ(errors.size(), 3u);
        EXPECT_EQ(errors[0], "");
        EXPECT_NE(errors[1].find("cannot write"), std::string::npos) << errors[1];
        EXPECT_NE(errors[1].find("b.chn"), std::string::npos) << errors[1];
        EXPECT_EQ(errors[2], "");
        EXPECT_EQ(group.size(), 0u);
    }
    const std::string folder = "flush folder " + dir.path().filename().string();
    EXPECT_EQ(ops.calls, (std::vector<std::string>{"write", "flush", "flush", "flush", "rename",
                                                   "rename", "rename", folder}));
    EXPECT_EQ(dir.read("a.chn"), "new a");
    EXPECT_EQ(dir.read("b.chn"), "old b");
    EXPECT_EQ(dir.read("c.chn"), "new c");
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"a.chn", "b.chn", "c.chn", "ro.chn"}));
}

TEST(ReplaceGroup, FilesOfOneUnitAreReplacedTogetherOrNotAtAll) {
    TempDir dir;
    for (const char* name : {"a.chn", "a.spe", "b.chn", "b.spe"})
        dir.write(name, std::string("old ") + name);
    // The second flush fails: a.spe does not reach the disk, so a.chn may not be replaced.
    class SecondFlushFails : public FaultyOps {
      public:
        bool flush_data(int fd) override {
            if (++flushes == 2) {
                errno = EIO;
                return false;
            }
            return FaultyOps::flush_data(fd);
        }
        int flushes = 0;
    };
    SecondFlushFails ops;
    ReplaceGroup group(ops);
    const std::size_t a = group.new_unit();
    const std::size_t b = group.new_unit();
    group.stage(dir.path() / "a.chn", "new a.chn", a);
    group.stage(dir.path() / "a.spe", "new a.spe", a);
    group.stage(dir.path() / "b.chn", "new b.chn", b);
    group.stage(dir.path() / "b.spe", "new b.spe", b);
    const std::vector<std::string> errors = group.commit();
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_NE(errors[1].find("a.spe"), std::string::npos) << errors[1];
    EXPECT_EQ(errors[0], errors[1]) << "a.chn fails with the reason of a.spe";
    EXPECT_EQ(errors[2], "");
    EXPECT_EQ(errors[3], "");
    EXPECT_EQ(dir.read("a.chn"), "old a.chn");
    EXPECT_EQ(dir.read("a.spe"), "old a.spe");
    EXPECT_EQ(dir.read("b.chn"), "new b.chn");
    EXPECT_EQ(dir.read("b.spe"), "new b.spe");
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"a.chn", "a.spe", "b.chn", "b.spe"}));
}

TEST(ReplaceGroup, DiscardedFilesLeaveTheirTargetsAndNoTemporary) {
    TempDir dir;
    dir.write("b.chn", "old b");
    ReplaceGroup group;
    group.stage(dir.path() / "a.chn", "new a");
    group.stage(dir.path() / "b.chn", "new b");
    group.stage(dir.path() / "c.chn", "new c");
    group.discard_from(1);
    EXPECT_EQ(group.size(), 1u);
    EXPECT_EQ(group.commit(), std::vector<std::string>{""});
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"a.chn", "b.chn"}));
    EXPECT_EQ(dir.read("b.chn"), "old b");
}

TEST(ReplaceGroup, FilesNeverCommittedLeaveNothingBehind) {
    TempDir dir;
    dir.write("a.chn", "old a");
    {
        ReplaceGroup group;
        group.stage(dir.path() / "a.chn", "new a");
        group.stage(dir.path() / "b.chn", "new b");
    }
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"a.chn"});
    EXPECT_EQ(dir.read("a.chn"), "old a");
}

// The id of a process that has ended.
pid_t ended_process() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

void age(const std::filesystem::path& p, int seconds) {
    std::filesystem::last_write_time(
        p, std::filesystem::file_time_type::clock::now() - std::chrono::seconds(seconds));
}

TEST(StaleTemporaries, OnlyOldFilesOfEndedProcessesAreRemoved) {
    TempDir dir;
    const std::string dead = std::to_string(ended_process());
    const std::string live = std::to_string(::getppid());
    const std::string self = std::to_string(::getpid());
    struct Row {
        std::string name;
        int age_seconds;
        bool removed;
    };
    const std::vector<Row> rows = {
        {".S0123.chn." + dead + "-0-123.brandel-tmp", 120, true},
        {".a.b.c.chn." + dead + "-7-99999.brandel-tmp", 61, true},
        {".S0124.chn." + dead + "-1-123.brandel-tmp", 10, false},  // may still be written
        {".S0125.chn." + live + "-0-123.brandel-tmp", 3600, false},
        {".S0126.chn." + self + "-0-123.brandel-tmp", 3600, false},
        {".S0127.chn.x-0-123.brandel-tmp", 3600, false},  // no process named
        {".S0128.chn." + dead + "-0-123.tmp", 3600, false},
        {"S0129.chn", 3600, false},
    };
    for (const Row& row : rows) {
        dir.write(row.name, "partial");
        age(dir.path() / row.name, row.age_seconds);
    }
    std::filesystem::create_directory(dir.path() / (".d.chn." + dead + "-0-1.brandel-tmp"));
    age(dir.path() / (".d.chn." + dead + "-0-1.brandel-tmp"), 3600);

    EXPECT_EQ(remove_stale_temporaries(dir.path()), 2);
    for (const Row& row : rows)
        EXPECT_EQ(dir.exists(row.name), !row.removed) << row.name;
    EXPECT_TRUE(dir.exists(".d.chn." + dead + "-0-1.brandel-tmp"));
    EXPECT_EQ(remove_stale_temporaries(dir.path() / "missing"), 0);
}

TEST(StaleTemporaries, FileOfAWriterKilledBeforeItsRenameIsRemovedOnceOld) {
    // A writer that dies just before its rename leaves its whole temporary file behind.
    class DyingOps : public FileOps {
      public:
        bool rename(const std::filesystem::path&, const std::filesystem::path&) override {
            ::_exit(0);
        }
    };
    TempDir dir;
    dir.write("S0123.chn", "old");
    const pid_t child = ::fork();
    if (child == 0) {
        DyingOps ops;
        replace_file(dir.path() / "S0123.chn", small_chn(), ops);
        ::_exit(1);
    }
    ::waitpid(child, nullptr, 0);
    auto names = files_in(dir);
    ASSERT_EQ(names.size(), 2u);
    const std::string left = names[0];
    ASSERT_TRUE(is_temporary_name(left)) << left;
    EXPECT_EQ(remove_stale_temporaries(dir.path()), 0) << "too young to be taken for stale";
    age(dir.path() / left, 61);
    EXPECT_EQ(remove_stale_temporaries(dir.path()), 1);
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"S0123.chn"});
    EXPECT_EQ(dir.read("S0123.chn"), "old");
}

}  // namespace
}  // namespace brandel::spectrum

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

#include "faulty_ops.hpp"
#include "other_user.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/errors.hpp"
#include "temp_dir.hpp"

namespace brandel::spectrum {
namespace {

using test_support::as_other_user;
using test_support::failure_of;
using test_support::FaultyOps;
using test_support::files_in;
using test_support::small_chn;
using test_support::TempDir;

unsigned mode_of(const std::filesystem::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
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

void age(const std::filesystem::path& p, int seconds) {
    std::filesystem::last_write_time(
        p, std::filesystem::file_time_type::clock::now() - std::chrono::seconds(seconds));
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

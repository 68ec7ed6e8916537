// The writer's promises under faults, through its seam of file operations, on every platform:
// a write, a flush or a rename that fails keeps the old file and leaves no temporary file; a
// group of files fails file by file, or unit by unit; a target that is a folder or read-only is
// refused; and the temporary files of a writer that ended are cleaned up.

#include "spectrum/atomic_file.hpp"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "faulty_ops.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/regular_file.hpp"
#include "temp_dir.hpp"

namespace brandel::spectrum {
namespace {

using test_support::failure_of;
using test_support::FaultyOps;
using test_support::files_in;
using test_support::small_chn;
using test_support::TempDir;

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

// A process other than this one, running (suspended, on Windows) while the object lives, or one
// that has ended already. An ended process is waited for, and on Windows its handle kept, so
// that no new process takes its id while the test runs.
class OtherProcess {
  public:
    explicit OtherProcess(bool running) {
#ifdef _WIN32
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_list_tests";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                                   CREATE_SUSPENDED, nullptr, nullptr, &startup, &process_));
        if (!running) {
            TerminateProcess(process_.hProcess, 0);
            WaitForSingleObject(process_.hProcess, INFINITE);
        }
#else
        id_ = ::fork();
        if (id_ == 0) {
            if (running)
                ::pause();
            ::_exit(0);
        }
        if (!running) {
            ::waitpid(id_, nullptr, 0);
            waited_ = true;
        }
#endif
    }
    ~OtherProcess() {
#ifdef _WIN32
        TerminateProcess(process_.hProcess, 0);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
#else
        if (!waited_) {
            ::kill(id_, SIGKILL);
            ::waitpid(id_, nullptr, 0);
        }
#endif
    }
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;

    long id() const {
#ifdef _WIN32
        return static_cast<long>(process_.dwProcessId);
#else
        return static_cast<long>(id_);
#endif
    }

  private:
#ifdef _WIN32
    PROCESS_INFORMATION process_{};
#else
    pid_t id_ = -1;
    bool waited_ = false;
#endif
};

long own_id() {
#ifdef _WIN32
    return static_cast<long>(GetCurrentProcessId());
#else
    return static_cast<long>(::getpid());
#endif
}

// Makes a file look written `seconds` ago. Where the system cannot date a folder back, the folder
// stays young, which the test allows for.
void age(const std::filesystem::path& p, int seconds) {
    std::error_code ignored;
    std::filesystem::last_write_time(
        p, std::filesystem::file_time_type::clock::now() - std::chrono::seconds(seconds), ignored);
}

TEST(StaleTemporaries, OnlyOldFilesOfEndedProcessesAreRemoved) {
    TempDir dir;
    const OtherProcess dead_process(false);
    const OtherProcess live_process(true);
    const std::string dead = std::to_string(dead_process.id());
    const std::string live = std::to_string(live_process.id());
    const std::string self = std::to_string(own_id());
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

// A file that is missing, or whose folder is, is told apart from one that cannot be read.
TEST(ReadRegularFile, MissingFileOrFolderIsTold) {
    TempDir dir;
    for (bool folder_there : {true, false}) {
        const std::string path =
            utf8_path((dir.path() / (folder_there ? "" : "gone") / "s.TXT").lexically_normal());
        bool folder_missing = !folder_there;
        try {
            read_regular_file(path, 1000, &folder_missing);
            ADD_FAILURE() << "read a missing file";
        } catch (const SpectrumError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::file_not_found);
            EXPECT_STREQ(e.what(), "File does not exist.");
        }
        EXPECT_EQ(folder_missing, !folder_there) << path;
    }
}

TEST(ReadRegularFile, SizeLimitHoldsBeforeReading) {
    TempDir dir;
    const std::string path = dir.write("big.TXT", "");
    std::filesystem::resize_file(fs_path(path), 1001);
    try {
        read_regular_file(path, 1000);
        ADD_FAILURE() << "a file above the limit was read";
    } catch (const SpectrumError& e) {
        EXPECT_STREQ(e.what(), "the file is larger than 1000 bytes");
    }
    std::filesystem::resize_file(fs_path(path), 1000);
    EXPECT_EQ(read_regular_file(path, 1000), std::string(1000, '\0'));
    EXPECT_EQ(read_regular_file(dir.write("empty.TXT", ""), 0), "");
}

TEST(ReadRegularFile, AFolderIsNoFileToRead) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "S0123.TXT");
    EXPECT_THROW(read_regular_file(dir.dir() + "S0123.TXT", 1000), SpectrumError);
}

}  // namespace
}  // namespace brandel::spectrum

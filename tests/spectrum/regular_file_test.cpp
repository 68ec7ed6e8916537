// Reading a source or CHN file whole: only regular files are opened, nothing can make the read
// wait, and the size limit holds before anything is read.

#include "spectrum/regular_file.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "spectrum/errors.hpp"
#include "temp_dir.hpp"

namespace brandel::spectrum {
namespace {

namespace fs = std::filesystem;
using test_support::TempDir;

// The error read_regular_file raises for a path, in a child process that is stopped when it
// waits for more than a few seconds; "blocked" then.
std::string error_in_child(const std::string& path, std::size_t limit = 1 << 20) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe_fds[0]);
        ::alarm(5);
        std::string message = "read";
        try {
            read_regular_file(path, limit);
        } catch (const SpectrumError& e) {
            message = e.what();
        }
        const ssize_t ignored = ::write(pipe_fds[1], message.data(), message.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(pipe_fds[1]);
    std::string message;
    char buffer[256];
    ssize_t n = 0;
    while ((n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0)
        message.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe_fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? "blocked" : message;
}

TEST(ReadRegularFile, FilesThatAreNotRegularAreRefusedWithoutWaiting) {
    TempDir dir;
    const fs::path fifo = dir.path() / "fifo.TXT";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    fs::create_directory(dir.path() / "folder.TXT");
    const fs::path socket_path = dir.path() / "socket.TXT";
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket_path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink("fifo.TXT", dir.path() / "link-to-fifo.TXT");
    for (const std::string& path :
         {fifo.string(), (dir.path() / "folder.TXT").string(), socket_path.string(),
          (dir.path() / "link-to-fifo.TXT").string(), std::string("/dev/zero"),
          std::string("/dev/null"), std::string("/dev/urandom")}) {
        if (!fs::exists(path))
            continue;
        EXPECT_EQ(error_in_child(path), "not a regular file") << path;
    }
    ::close(sock);
}

TEST(ReadRegularFile, FifoThatAWriterHoldsOpenIsRefusedWithoutWaiting) {
    TempDir dir;
    const fs::path fifo = dir.path() / "held.TXT";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // A reader and a writer elsewhere keep it open: opening it would not wait, reading would.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_GE(writer, 0);
    EXPECT_EQ(error_in_child(fifo.string()), "not a regular file");
    ::close(writer);
    ::close(reader);
}

TEST(ReadRegularFile, PseudoFilesThatSayTheyHoldNothingAreReadOrFailWithoutWaiting) {
    // The kernel's log says it is a regular file of size 0 and waits in read for the next
    // message; it fails at once instead.
    const int probe = ::open("/proc/kmsg", O_RDONLY | O_NONBLOCK);
    struct stat st {};
    if (probe < 0 || ::fstat(probe, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (probe >= 0)
            ::close(probe);
        GTEST_SKIP() << "/proc/kmsg is not a readable regular file here";
    }
    ::close(probe);
    EXPECT_EQ(error_in_child("/proc/kmsg"), "cannot read the file: it would wait for more data");
}

TEST(ReadRegularFile, PseudoFileOfSizeZeroIsReadWhole) {
    if (!fs::exists("/proc/self/status"))
        GTEST_SKIP() << "no /proc here";
    struct stat st {};
    ASSERT_EQ(::stat("/proc/self/status", &st), 0);
    EXPECT_EQ(st.st_size, 0);
    const std::string text = read_regular_file("/proc/self/status", 1 << 20);
    EXPECT_EQ(text.substr(0, 5), "Name:");
    EXPECT_EQ(text.back(), '\n');
    EXPECT_THROW(read_regular_file("/proc/self/status", 16), SpectrumError);
}

// The limit itself, and missing files, are tested with the writer's tests on every platform.
TEST(ReadRegularFile, SparseFileFarAboveTheLimitIsRefusedAtOnce) {
    TempDir dir;
    const std::string path = dir.write("big.TXT", "");
    // A sparse file far larger than the limit is refused at once, not read.
    fs::resize_file(path, std::uintmax_t{8} << 30);
    EXPECT_EQ(error_in_child(path, std::size_t{256} << 20), "the file is larger than 256 MB");
    fs::resize_file(path, 1001);
    EXPECT_EQ(error_in_child(path, 1000), "the file is larger than 1000 bytes");
}

TEST(ReadRegularFile, ReadsRegularFilesWholeAndThroughLinks) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 100000; ++i)
        bytes.push_back(static_cast<char>(i * 7));
    const std::string path = dir.write("s.TXT", bytes);
    EXPECT_EQ(read_regular_file(path, bytes.size()), bytes);
    fs::create_symlink("s.TXT", dir.path() / "link.TXT");
    EXPECT_EQ(read_regular_file((dir.path() / "link.TXT").string(), 1 << 20), bytes);
    EXPECT_EQ(read_regular_file(dir.write("empty.TXT", ""), 0), "");
}

TEST(ReadRegularFile, DanglingLinkIsAMissingFileAndSaysSo) {
    TempDir dir;
    // A dangling link is a missing file, and says that it is a link.
    fs::create_symlink("nowhere", dir.path() / "dangling.TXT");
    try {
        read_regular_file((dir.path() / "dangling.TXT").string(), 1000);
        ADD_FAILURE() << "read a dangling link";
    } catch (const SpectrumError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::file_not_found);
        EXPECT_STREQ(e.what(), "a link to a file that does not exist");
    }
}

}  // namespace
}  // namespace brandel::spectrum

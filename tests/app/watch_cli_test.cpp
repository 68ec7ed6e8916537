// brandel-convert --watch: its options, its one line per file, and its stop on a signal.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "app/convert_cli.hpp"
#include "app/watch_journal.hpp"
#include "temp_dir.hpp"
#include "watch_support.hpp"

namespace brandel::app {
namespace {

using test_support::TempDir;
using watch_test::canberra_source;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = run_convert_cli(args, out, err, false);
    return {status, out.str(), err.str()};
}

TEST(WatchCli, UsageErrorsExitWithTwo) {
    TempDir src, dst;
    const std::string file = src.write("a.TXT", "x");
    const std::vector<std::vector<std::string>> cases = {
        {"--watch", src.dir(), "--out", dst.dir()},  // no --type
        {"--watch", src.dir(), "--type", "auto", "--out", dst.dir(), file},
        {"--watch", src.dir(), "--type", "naig", "--out", dst.dir()},
        {"--watch", src.dir(), "--type", "auto", "--out", dst.dir() + "missing"},
        {"--watch", src.dir() + "missing", "--type", "auto", "--out", dst.dir(), "--once"},
        {"--watch", src.dir(), "--type", "auto", "--settle", "soon", "--once"},
        {"--watch", src.dir(), "--type", "auto", "--settle", "-1", "--once"},
        {"--watch", src.dir(), "--type", "auto", "--settle", "inf", "--once"},
        {"--watch", src.dir(), "--type", "auto", "--format", "xml", "--once"},
        {"--watch", src.dir(), "--info"},
        {"--type", "auto", "--once", file},  // --once goes with --watch
        {"--type", "auto", "--settle", "1", file},
        {"--watch"},
    };
    for (const auto& args : cases) {
        const CliRun r = run(args);
        EXPECT_EQ(r.status, 2) << args.back() << "\n" << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(WatchCli, OnceConvertsWhatIsDueWithOneLinePerFile) {
    TempDir src, dst;
    src.write("S0123.TXT", canberra_source(1));
    src.write("S0124.TXT", "not a spectrum");
    const std::vector<std::string> args = {"--watch",  src.dir(), "--type",   "auto",
                                           "--out",    dst.dir(), "--format", "chn,csv",
                                           "--settle", "0.1",     "--once",   "--verify"};
    CliRun r = run(args);
    EXPECT_EQ(r.status, 1) << r.err;
    const std::regex lines(
        "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ converted S0123\\.TXT -> S0123\\.chn, "
        "S0123\\.csv\n"
        "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ failed S0124\\.TXT: [^\n]+\n");
    EXPECT_TRUE(std::regex_match(r.out, lines)) << r.out;
    EXPECT_TRUE(dst.exists("S0123.csv"));

    // Nothing is due the second time: nothing printed, nothing failed in this run.
    r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(WatchCli, ASecondWatcherIntoOneFolderIsRefused) {
    TempDir src, dst;
    JournalFile held;
    std::string text;
    ASSERT_EQ(held.open(dst.dir(), text), "");
    const CliRun r = run({"--watch", src.dir(), "--type", "auto", "--out", dst.dir(), "--once"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("another watcher is converting into"), std::string::npos) << r.err;
}

#ifndef _WIN32
TEST(WatchCli, SigtermStopsTheWatchAndLeavesTheJournalWhole) {
    TempDir src, dst, logs;
    src.write("S1.TXT", canberra_source(1));
    const std::string log = logs.dir() + "out.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        ::execl(BRANDEL_CONVERT, BRANDEL_CONVERT, "--watch", src.dir().c_str(), "--type", "auto",
                "--out", dst.dir().c_str(), "--settle", "0.1", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (logs.read("out.txt").find("converted S1.TXT") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    src.write("S2.TXT", canberra_source(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by its signal";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    int damaged = 0;
    const auto entries = parse_journal(dst.read(std::string(journal_file_name)), &damaged);
    EXPECT_EQ(damaged, 0);
    EXPECT_GE(entries.size(), 1u);
    EXPECT_NE(logs.read("out.txt").find("converted S1.TXT -> S1.chn\n"), std::string::npos);
}
#endif

}  // namespace
}  // namespace brandel::app

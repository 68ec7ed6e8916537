// The watched folder against what only POSIX makes easy: a FIFO in the folder, and a watcher
// killed with SIGKILL at random moments and started again.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <thread>

#include "app/watcher.hpp"
#include "formats/output_formats.hpp"
#include "spectrum/atomic_file.hpp"
#include "temp_dir.hpp"
#include "watch_support.hpp"

namespace brandel::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test_support::TempDir;
using watch_test::canberra_source;
using watch_test::count_of;
using watch_test::expected_chn;
using watch_test::options_for;
using watch_test::run_once;
using watch_test::RunningWatcher;
using Kind = WatchEvent::Kind;

TEST(WatchedFolderPosix, AFifoAppearingFailsOnceAndBlocksNothing) {
    TempDir src, dst;
    std::vector<WatchEvent> events;
    {
        RunningWatcher running(options_for(src, dst, 100ms));
        ASSERT_EQ(running.start_error(), "");
        ASSERT_EQ(::mkfifo((src.path() / "pipe.TXT").c_str(), 0600), 0);
        ASSERT_TRUE(running.wait_for([](const auto& e) { return count_of(e, Kind::failed) == 1; }));
        src.write("S1.TXT", canberra_source(1));
        ASSERT_TRUE(
            running.wait_for([](const auto& e) { return count_of(e, Kind::converted) == 1; }));
        std::this_thread::sleep_for(300ms);
        running.stop();
        events = running.events();
    }
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].source, "pipe.TXT");
    EXPECT_NE(events[0].reason.find("not a regular file"), std::string::npos) << events[0].reason;
    EXPECT_TRUE(run_once(options_for(src, dst, 100ms)).empty()) << "told once across restarts";
}

TEST(WatchedFolderPosix, ADestinationThatGoesIsWaitedForAndANewJournalStopsTheWatch) {
    TempDir src, root;
    const fs::path dst = root.path() / "chn";
    fs::create_directory(dst);
    WatchOptions options = options_for(src, src, 100ms);
    options.destination_folder = dst.string();
    std::vector<WatchEvent> events;
    std::string result;
    {
        RunningWatcher running(options);
        ASSERT_EQ(running.start_error(), "");
        fs::remove_all(dst);
        src.write("S1.TXT", canberra_source(1));
        ASSERT_TRUE(
            running.wait_for([](const auto& e) { return count_of(e, Kind::folder_gone) == 1; }));
        std::this_thread::sleep_for(300ms);
        // The folder made again holds no journal of this watch: the watch stops rather than
        // convert without one.
        fs::create_directory(dst);
        ASSERT_TRUE(
            running.wait_for([](const auto& e) { return count_of(e, Kind::folder_back) == 1; }));
        running.stop();
        events = running.events();
        result = running.result();
    }
    EXPECT_EQ(count_of(events, Kind::folder_gone), 1);
    EXPECT_EQ(count_of(events, Kind::converted), 0);
    EXPECT_NE(result.find("was removed or replaced"), std::string::npos) << result;
    EXPECT_FALSE(fs::exists(dst / "S1.chn"));
    events = run_once(options);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, Kind::converted);
}

// Runs a watcher in a child process until it is killed.
pid_t start_watch_child(const WatchOptions& options) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        spectrum::State state;
        Watcher watcher(state, options, nullptr);
        const std::string error = watcher.run();
        ::_exit(error.empty() ? 0 : 3);
    }
    return pid;
}

TEST(WatchedFolderPosix, AKilledWatcherLosesNoFileAndConvertsNoneTwiceWithOtherBytes) {
    TempDir src, dst, scratch;
    constexpr int files = 60;
    std::map<std::string, std::string> expected;  // output name -> CHN bytes
    WatchOptions options = options_for(src, dst, 50ms);
    ASSERT_EQ(formats::parse_format_list("chn,spe", options.batch.formats), "");
    std::mt19937 random(21);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // New files, and new versions of some old ones, arrive while the watcher runs.
        const pid_t pid = start_watch_child(options);
        ASSERT_GT(pid, 0);
        for (int i = 0; i < files / 6; ++i) {
            const int n = round * (files / 6) + i;
            const std::string name = "s" + std::to_string(n % 40) + ".TXT";
            const std::string bytes = canberra_source(static_cast<std::uint64_t>(n), 300 + n);
            src.write(name, bytes);
            expected[spectrum::base_name_of(name) + ".chn"] = expected_chn(scratch, name, bytes);
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 200));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    }
    // A restarted watcher finishes the work; every final version has its output.
    const std::vector<WatchEvent> events = run_once(options);
    EXPECT_EQ(count_of(events, Kind::failed), 0);
    for (const auto& [name, bytes] : expected)
        EXPECT_EQ(dst.read(name), bytes) << name;
    // The journal is whole, a line cut by a kill gone, and no version of a source was journaled
    // with two different digests.
    int damaged = 0;
    const std::vector<JournalEntry> entries =
        parse_journal(dst.read(std::string(journal_file_name)), &damaged);
    EXPECT_EQ(damaged, 0);
    std::map<std::string, std::string> digest_of;  // version -> digest
    for (const JournalEntry& e : entries) {
        EXPECT_TRUE(e.converted) << e.source << ": " << e.reason;
        const std::string version =
            e.source + " " + std::to_string(e.size) + " " + std::to_string(e.modified);
        const auto [at, fresh] = digest_of.emplace(version, e.sha256);
        EXPECT_EQ(at->second, e.sha256) << version;
    }
    EXPECT_TRUE(run_once(options).empty());
    // Nothing but the journal, the outputs and a killed writer's temporary files is there.
    for (const auto& entry : fs::directory_iterator(dst.path())) {
        const std::string name = entry.path().filename().string();
        const bool known = name == journal_file_name || spectrum::is_temporary_name(name) ||
                           expected.contains(spectrum::base_name_of(name) + ".chn");
        EXPECT_TRUE(known) << name;
    }
}

}  // namespace
}  // namespace brandel::app

// A batch killed at a random moment leaves only complete CHN files: each one reads back and is
// byte for byte the conversion of its source. What a killed batch can leave besides them, a
// temporary file, is ignored by the destination list, does not disturb a later batch, and is
// removed by a batch into the folder once its process is gone and it is old enough.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/driver.hpp"
#include "app/file_list.hpp"
#include "app/org_types.hpp"
#include "spectrum/atomic_file.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/state.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

namespace brandel::app {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using spectrum::State;
using test_support::TempDir;
using tools::Layout;

constexpr int batch_files = 300;
constexpr int rounds = 24;

struct Batch {
    Layout layout;
    std::vector<std::string> paths;
    std::vector<std::string> chn_names;
    std::vector<std::string> expected;  // the CHN bytes of each source
};

// Source files of two layouts, text and binary, alternating, and the CHN bytes each must give.
Batch make_batch(const TempDir& src, Layout layout, int first) {
    Batch b{layout, {}, {}, {}};
    const app::OrgType* type = find_org_type(static_cast<int>(layout));
    for (int i = first; i < first + batch_files / 2; ++i) {
        tools::SourceParams p;
        p.channels = 16 + (i * 37) % 500;
        p.seed = static_cast<std::uint64_t>(i);
        const std::string name = "f" + std::to_string(i);
        b.paths.push_back(src.write(name + ".src", tools::make_source(layout, p)));
        b.chn_names.push_back(name + ".chn");
        State s;
        s.org_path = b.paths.back();
        if (!type->reader(s).complete())
            ADD_FAILURE() << "a generated file does not convert: " << b.paths.back();
        b.expected.push_back(spectrum::chn_bytes(s));
    }
    return b;
}

// Runs both batches in a child process; returns its pid.
pid_t start_child(const std::vector<Batch>& batches, const std::string& chn_dir) {
    pid_t pid = ::fork();
    if (pid == 0) {
        State state;
        state.chn_dir = chn_dir;
        int failures = 0;
        for (const Batch& b : batches) {
            state.org_type = static_cast<std::int16_t>(b.layout);
            failures += static_cast<int>(convert_paths(state, b.paths, nullptr).failures.size());
        }
        ::_exit(failures == 0 ? 0 : 1);
    }
    return pid;
}

// Checks the destination folder after a batch ended or was killed: every file is a complete CHN
// file of its source or one of our temporaries, and the list of "*.chn" shows no temporary.
// Returns the number of temporaries.
int check_folder(const TempDir& dst, const std::vector<Batch>& batches) {
    int temporaries = 0;
    for (const auto& entry : fs::directory_iterator(dst.path())) {
        const std::string name = entry.path().filename().string();
        if (spectrum::is_temporary_name(name)) {
            ++temporaries;
            EXPECT_FALSE(matches_pattern(name, "*.chn")) << name;
            continue;
        }
        bool known = false;
        for (const Batch& b : batches)
            for (std::size_t i = 0; i < b.chn_names.size(); ++i) {
                if (b.chn_names[i] != name)
                    continue;
                known = true;
                EXPECT_EQ(dst.read(name), b.expected[i]) << name << " is not complete";
                State back;
                back.org_path = entry.path().string();
                EXPECT_NO_THROW(spectrum::read_chn(back)) << name;
            }
        EXPECT_TRUE(known) << "unexpected file " << name;
    }
    for (const std::string& name : list_files(dst.dir(), "*.chn"))
        EXPECT_FALSE(spectrum::is_temporary_name(name)) << name;
    return temporaries;
}

TEST(KilledBatch, LeavesOnlyCompleteChnFilesAndALaterBatchSucceeds) {
    TempDir src, dst;
    const std::vector<Batch> batches = {make_batch(src, Layout::canberra_txt, 0),
                                        make_batch(src, Layout::labo_new, batch_files / 2)};

    // A whole batch, not killed, tells how long one takes.
    auto start = Clock::now();
    pid_t pid = start_child(batches, dst.dir());
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the batch failed";
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    check_folder(dst, batches);

    // Each round kills a batch somewhere in its run; every other round starts from an empty
    // folder, so that both new files and replacements are interrupted.
    std::mt19937 random(20031507);
    std::uniform_int_distribution<long> delay(0, whole.count());
    int temporaries = 0;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        if (round % 2 == 1)
            for (const auto& entry : fs::directory_iterator(dst.path()))
                if (!spectrum::is_temporary_name(entry.path().filename().string()))
                    fs::remove(entry.path());
        pid = start_child(batches, dst.dir());
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(pid, SIGKILL);
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        temporaries = check_folder(dst, batches);
    }
    RecordProperty("temporaries_left_by_the_last_kill", temporaries);

    // A later batch over the same folder converts every file, whatever was left.
    State state;
    state.chn_dir = dst.dir();
    for (const Batch& b : batches) {
        state.org_type = static_cast<std::int16_t>(b.layout);
        const BatchReport report = convert_paths(state, b.paths, nullptr);
        EXPECT_EQ(report.converted, static_cast<int>(b.paths.size()));
        EXPECT_TRUE(report.failures.empty());
    }
    check_folder(dst, batches);
    EXPECT_EQ(list_files(dst.dir(), "*.chn").size(), static_cast<std::size_t>(batch_files));

    // Once the temporaries of the killed batches are a few minutes old, the next batch into the
    // folder removes them.
    for (const auto& entry : fs::directory_iterator(dst.path()))
        if (spectrum::is_temporary_name(entry.path().filename().string()))
            fs::last_write_time(entry.path(),
                                fs::file_time_type::clock::now() - std::chrono::minutes(5));
    state.org_type = static_cast<std::int16_t>(batches[0].layout);
    EXPECT_EQ(convert_paths(state, {batches[0].paths[0]}, nullptr).converted, 1);
    EXPECT_EQ(check_folder(dst, batches), 0);
}

}  // namespace
}  // namespace brandel::app

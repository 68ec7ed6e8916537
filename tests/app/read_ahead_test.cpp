// A batch reads its next files on a second thread while it converts the current one. Whatever
// the files, it must give what reading each file at its turn gives: the same CHN files byte for
// byte, the same failures with the same reasons, the same progress, the same stop on Cancel and
// the same record after the batch.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "app/org_types.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/state.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace brandel::app {
namespace {

namespace fs = std::filesystem;
using spectrum::State;
using test_support::TempDir;
using tools::Layout;

// A mixed selection in one source folder: good files of several layouts, damaged ones, one
// missing, a folder and (on POSIX) a FIFO where files are expected, two sources of one output
// name, and a source that is itself a CHN file of the destination's kind.
std::vector<std::string> mixed_sources(const TempDir& dir) {
    std::vector<std::string> paths;
    auto add = [&](const std::string& name, const std::string& bytes) {
        paths.push_back(dir.write(name, bytes));
    };
    for (int i = 0; i < 12; ++i) {
        tools::SourceParams p;
        p.channels = 256 << (i % 4);
        p.seed = static_cast<std::uint64_t>(i + 1);
        p.sample = U"試料 No." + spectrum::widen(std::to_string(i));
        p.line_end = i % 3 == 0 ? tools::LineEnd::lf : tools::LineEnd::crlf;
        const Layout layout = i % 2 ? Layout::canberra_txt : Layout::oxford_asc;
        std::string bytes = tools::make_source(layout, p);
        if (i % 4 == 3)
            bytes.resize(bytes.size() / 2);  // ends early
        if (i % 5 == 4)
            bytes.insert(bytes.size() / 3, "\x82\xA0 x,");  // a stray kanji in the table
        add("s" + std::to_string(i) + (layout == Layout::canberra_txt ? ".TXT" : ".asc"), bytes);
    }
    paths.insert(paths.begin() + 3, dir.dir() + "missing.TXT");
    fs::create_directories(dir.path() / "folder.TXT");
    paths.insert(paths.begin() + 5, dir.dir() + "folder.TXT");
#ifndef _WIN32
    ::mkfifo((dir.path() / "pipe.TXT").c_str(), 0600);
    paths.insert(paths.begin() + 7, dir.dir() + "pipe.TXT");
#endif
    paths.push_back(paths[1]);  // the same source again: same output name
    add("s1.dat", tools::make_source(Layout::kaihouken_dat, {}));  // and another source of it
    add("old.chn", std::string(600, '\0'));
    paths.push_back(dir.dir() + "nowhere/s1.TXT");  // a folder that does not exist
    return paths;
}

struct BatchRun {
    BatchReport report;
    std::vector<std::string> progress;
    std::vector<std::pair<std::string, std::string>> outputs;  // name, bytes
    State state;
};

BatchRun run_batch(std::int16_t org_type, const std::vector<std::string>& paths, const TempDir& out,
                   ReadAhead read_ahead, int cancel_at = -1) {
    BatchRun run;
    run.state.org_type = org_type;
    run.state.chn_dir = out.dir();
    run.report = convert_paths(
        run.state, paths,
        [&](int done, int total, const std::string& name) {
            run.progress.push_back(std::to_string(done) + "/" + std::to_string(total) + " " + name);
            return done != cancel_at;
        },
        read_ahead);
    for (const auto& entry : fs::directory_iterator(out.path()))
        run.outputs.emplace_back(entry.path().filename().string(),
                                 out.read(entry.path().filename().string()));
    std::sort(run.outputs.begin(), run.outputs.end());
    return run;
}

void expect_same(const BatchRun& one_thread, const BatchRun& ahead) {
    EXPECT_EQ(one_thread.report.selected, ahead.report.selected);
    EXPECT_EQ(one_thread.report.converted, ahead.report.converted);
    EXPECT_EQ(one_thread.report.cancelled, ahead.report.cancelled);
    ASSERT_EQ(one_thread.report.failures.size(), ahead.report.failures.size());
    for (std::size_t i = 0; i < ahead.report.failures.size(); ++i) {
        EXPECT_EQ(one_thread.report.failures[i].path, ahead.report.failures[i].path);
        EXPECT_EQ(one_thread.report.failures[i].reason, ahead.report.failures[i].reason);
    }
    EXPECT_EQ(one_thread.progress, ahead.progress);
    EXPECT_TRUE(one_thread.outputs == ahead.outputs) << "the CHN files differ";
    // The record after the batch is the last file's, read the same way.
    EXPECT_TRUE(one_thread.state.chn_header == ahead.state.chn_header);
    EXPECT_TRUE(one_thread.state.counts == ahead.state.counts);
    EXPECT_TRUE(one_thread.state.chn_trailer == ahead.state.chn_trailer);
    EXPECT_EQ(one_thread.state.org_path, ahead.state.org_path);
    EXPECT_EQ(one_thread.state.record_source, ahead.state.record_source);
    EXPECT_EQ(one_thread.state.record_file, ahead.state.record_file);
}

TEST(ReadAhead, AMixedBatchGivesWhatReadingEachFileAtItsTurnGives) {
    TempDir sources;
    const std::vector<std::string> paths = mixed_sources(sources);
    for (const std::int16_t type : {std::int16_t{0}, std::int16_t{8}, org_type_auto}) {
        SCOPED_TRACE(type);
        TempDir a, b;
        const BatchRun one_thread = run_batch(type, paths, a, ReadAhead::off);
        const BatchRun ahead = run_batch(type, paths, b, ReadAhead::always);
        EXPECT_GT(one_thread.report.converted, 0);
        EXPECT_GT(one_thread.report.failures.size(), 4u);
        expect_same(one_thread, ahead);
    }
}

TEST(ReadAhead, CancelStopsAtTheSameFile) {
    TempDir sources;
    const std::vector<std::string> paths = mixed_sources(sources);
    for (int cancel_at : {0, 1, 6, static_cast<int>(paths.size()) - 1}) {
        SCOPED_TRACE(cancel_at);
        TempDir a, b;
        const BatchRun one_thread = run_batch(0, paths, a, ReadAhead::off, cancel_at);
        const BatchRun ahead = run_batch(0, paths, b, ReadAhead::always, cancel_at);
        EXPECT_TRUE(ahead.report.cancelled);
        expect_same(one_thread, ahead);
    }
}

TEST(ReadAhead, AFileRewrittenOrRemovedBeforeItsTurnIsReadAsItIsThen) {
    for (ReadAhead mode : {ReadAhead::off, ReadAhead::always}) {
        TempDir sources, out;
        std::vector<std::string> paths;
        for (int i = 0; i < 8; ++i) {
            tools::SourceParams p;
            p.channels = 512;
            p.seed = static_cast<std::uint64_t>(i + 1);
            paths.push_back(sources.write("s" + std::to_string(i) + ".TXT",
                                          tools::make_source(Layout::canberra_txt, p)));
        }
        // s5 gets other counts and another size; s3 other counts and a write time moved on,
        // as a file rewritten later would have. A rewrite of the same size within one tick of
        // the file system's clock cannot be seen, so the test does not make one.
        auto other_counts = [](int channels, std::uint64_t seed) {
            tools::SourceParams p;
            p.channels = channels;
            p.seed = seed;
            return tools::make_source(Layout::canberra_txt, p);
        };
        State state;
        state.org_type = 0;
        state.chn_dir = out.dir();
        const BatchReport report = convert_paths(
            state, paths,
            [&](int done, int, const std::string&) {
                if (done == 2) {
                    sources.write("s5.TXT", other_counts(1024, 99));
                    const auto then = std::filesystem::last_write_time(sources.path() / "s3.TXT");
                    sources.write("s3.TXT", other_counts(512, 98));
                    std::filesystem::last_write_time(sources.path() / "s3.TXT",
                                                     then + std::chrono::seconds(3));
                    std::filesystem::remove(sources.path() / "s6.TXT");
                }
                return true;
            },
            mode);
        EXPECT_EQ(report.converted, 7);
        ASSERT_EQ(report.failures.size(), 1u);
        EXPECT_EQ(report.failures[0].reason, "File does not exist.");
        for (int i : {3, 5}) {
            TempDir alone;
            State fresh;
            fresh.org_type = 0;
            fresh.chn_dir = alone.dir();
            convert_paths(fresh, {paths[static_cast<std::size_t>(i)]}, nullptr, ReadAhead::off);
            const std::string name = "s" + std::to_string(i) + ".chn";
            EXPECT_EQ(out.read(name), alone.read(name)) << name;
        }
    }
}

}  // namespace
}  // namespace brandel::app

#pragma once

// What the watched-folder tests share: generated source files, the CHN bytes a batch makes of
// them, and a watcher run on a thread of its own whose events are collected.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/driver.hpp"
#include "app/watch_journal.hpp"
#include "app/watcher.hpp"
#include "spectrum/state.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

namespace brandel::app::watch_test {

/// A CANBERRA text report of `channels` channels drawn from `seed`.
inline std::string canberra_source(std::uint64_t seed, int channels = 512) {
    tools::SourceParams p;
    p.seed = seed;
    p.channels = channels;
    return tools::make_source(tools::Layout::canberra_txt, p);
}

/// The CHN bytes a batch of the automatic type makes of a file of these bytes and this name.
inline std::string expected_chn(const test_support::TempDir& scratch, const std::string& name,
                                const std::string& bytes) {
    const std::string path = scratch.write(name, bytes);
    spectrum::State state;
    state.org_type = org_type_auto;
    state.chn_dir = scratch.dir();
    const BatchReport report = convert_paths(state, {path}, nullptr);
    if (report.converted != 1)
        return "not converted: " + (report.failures.empty() ? "" : report.failures[0].reason);
    return scratch.read(spectrum::base_name_of(name) + ".chn");
}

/// A watch of the automatic type from one folder into another, with a short settle time.
inline WatchOptions options_for(const test_support::TempDir& src, const test_support::TempDir& dst,
                                std::chrono::milliseconds settle) {
    WatchOptions options;
    options.source_folder = src.dir();
    options.destination_folder = dst.dir();
    options.settle = settle;
    options.poll = std::chrono::milliseconds(100);
    return options;
}

/// The events of one run that converts what is due and returns.
inline std::vector<WatchEvent> run_once(const WatchOptions& options) {
    std::vector<WatchEvent> events;
    spectrum::State state;
    Watcher watcher(state, options, [&](const WatchEvent& e) { events.push_back(e); });
    const std::string error = watcher.run(true);
    if (!error.empty())
        events.push_back({WatchEvent::Kind::failed, {}, "(run)", {}, error, {}});
    return events;
}

inline int count_of(const std::vector<WatchEvent>& events, WatchEvent::Kind kind) {
    int n = 0;
    for (const WatchEvent& e : events)
        n += e.kind == kind ? 1 : 0;
    return n;
}

inline std::vector<JournalEntry> journal_entries(const test_support::TempDir& dst) {
    return parse_journal(dst.read(std::string(journal_file_name)));
}

/// A watcher running on a thread of its own until it is stopped.
class RunningWatcher {
  public:
    explicit RunningWatcher(const WatchOptions& options)
        : watcher_(state_, options, [this](const WatchEvent& e) {
              std::lock_guard lock(mutex_);
              events_.push_back(e);
              changed_.notify_all();
          }) {
        start_error_ = watcher_.start();
        if (start_error_.empty())
            thread_ = std::thread([this] { result_ = watcher_.run(); });
    }
    ~RunningWatcher() { stop(); }
    RunningWatcher(const RunningWatcher&) = delete;
    RunningWatcher& operator=(const RunningWatcher&) = delete;

    void stop() {
        if (thread_.joinable()) {
            watcher_.request_stop();
            thread_.join();
        }
    }
    /// Waits until the events so far satisfy `done`; false after `timeout`.
    bool wait_for(const std::function<bool(const std::vector<WatchEvent>&)>& done,
                  std::chrono::seconds timeout = std::chrono::seconds(30)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return done(events_); });
    }
    std::vector<WatchEvent> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    const std::string& start_error() const { return start_error_; }
    /// What run() returned; read it after stop().
    const std::string& result() const { return result_; }
    /// The watcher; its totals are read after stop().
    const Watcher& watcher() const { return watcher_; }

  private:
    spectrum::State state_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<WatchEvent> events_;
    Watcher watcher_;
    std::string start_error_;
    std::string result_;
    std::thread thread_;
};

}  // namespace brandel::app::watch_test

#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "app/watch_journal.hpp"
#include "app/watched_folder.hpp"
#include "spectrum/regular_file.hpp"
#include "spectrum/state.hpp"

// A watched folder: every file of a source folder that matches the type's pattern (every file,
// for the automatic type) is converted once it is complete, once per version of it, into the
// destination folder, through the same driver as a batch. A file is complete when its size and
// times have not changed for the settle time. Its version (size, modification time and SHA-256)
// goes into the destination's journal, so a restarted watcher converts only what is new or
// changed. Runs on whatever thread calls run(); request_stop() may come from any thread or a
// signal handler and takes effect after the file in progress.

namespace brandel::app {

struct WatchOptions {
    std::string source_folder;       // UTF-8
    std::string destination_folder;  // UTF-8; holds the journal
    std::int16_t org_type = org_type_auto;
    BatchOptions batch;  // formats, verification and manifest, as for a batch
    std::chrono::milliseconds settle{2000};
    /// How often the folder is listed again when no notice wakes the watcher.
    std::chrono::milliseconds poll{1000};
};

/// Something a watcher tells as it happens.
struct WatchEvent {
    enum class Kind {
        converted,      // source -> outputs
        failed,         // source: reason (once per version of the file)
        still_written,  // source kept changing; a run that ends when done leaves it for the next
        folder_gone,    // folder cannot be listed (an unplugged drive); waited for, told once
        folder_back,    // folder can be listed again
    };
    Kind kind = Kind::converted;
    std::string time;                  // UTC, ISO 8601
    std::string source;                // the file's name in the watched folder
    std::vector<std::string> outputs;  // file names written
    std::string reason;
    std::string folder;  // of a folder event
};

/// What a watcher did since it started.
struct WatchTotals {
    int converted = 0;
    int failed = 0;
    std::string last_source;                        // the last file converted or failed
    std::string last_time;                          // UTC, ISO 8601
    std::chrono::system_clock::time_point last_at;  // the same, for showing in local time
};

class Watcher {
  public:
    using Listener = std::function<void(const WatchEvent&)>;

    /// `listener` is called on the thread that runs the watcher, for each event.
    Watcher(spectrum::State& state, WatchOptions options, Listener listener);
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    /// Opens and locks the journal and reads it. Returns why the watcher cannot start (another
    /// watcher converts into the same folder, the journal cannot be written), empty when it can.
    std::string start();
    /// Converts due files until request_stop(); with `once`, converts what is due now (waiting
    /// for the files it sees to settle) and returns. Starts first when start() was not called.
    /// Returns why it had to stop (the journal or the manifest could not be written, or with
    /// `once` the folder is not there), empty when it was asked to or was done.
    std::string run(bool once = false);
    /// Ends run() after the file in progress. Safe from any thread and from a signal handler.
    void request_stop();

    /// What was converted and failed so far; read it on the thread that runs the watcher.
    const WatchTotals& totals() const { return totals_; }

  private:
    // A directory entry as the watcher compares it between listings.
    struct Version {
        bool regular = false;  // anything else fails once, whatever changes in it
        spectrum::FileVersion file;
        bool operator==(const Version&) const = default;
    };
    struct Seen {
        Version version;
        std::chrono::steady_clock::time_point since;
    };

    std::vector<std::pair<std::string, Version>> scan(bool once);
    bool destination_ready();
    bool is_candidate(const std::string& name) const;
    std::string convert_one(const std::string& name, const Version& version);
    std::string refused_output(const std::string& name, const std::vector<std::string>& outputs);
    void load_journal(const std::string& text);
    void remember(const JournalEntry& entry);
    void emit(const WatchEvent& event);

    spectrum::State& state_;
    WatchOptions options_;
    Listener listener_;
    std::string source_dir_;  // with a trailing separator
    std::string destination_dir_;
    std::string type_name_;  // as the journal records it
    bool same_folder_ = false;
    std::string manifest_key_;  // the manifest's name key, when it lies in the watched folder
    JournalFile journal_;
    FolderNotices notices_;
    std::atomic<bool> stop_{false};
    bool gone_ = false;              // the watched folder cannot be listed
    bool destination_gone_ = false;  // the destination folder is not there

    std::set<std::string> journaled_;            // versions settled, by journal_key
    std::map<std::string, std::string> owners_;  // output name key -> source name
    std::map<std::string, Version> handled_;     // files settled in this run, by name
    std::map<std::string, Seen> waiting_;        // files seen, not yet settled
    std::set<std::string> left_;                 // with `once`: files that kept changing
    WatchTotals totals_;
};

}  // namespace brandel::app

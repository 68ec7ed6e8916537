#include "app/watcher.hpp"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "app/file_list.hpp"
#include "app/manifest.hpp"
#include "app/org_types.hpp"
#include "formats/output_formats.hpp"
#include "spectrum/atomic_file.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/folder_entries.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/sha256.hpp"

namespace brandel::app {

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Notices that come close together are taken as one listing.
constexpr std::chrono::milliseconds shortest_wait{20};

// What names one version of a source in the journal.
std::string journal_key(const std::string& source, std::uint64_t size, std::int64_t modified,
                        const std::string& sha256) {
    return spectrum::file_name_key(source) + '\t' + std::to_string(size) + '\t' +
           std::to_string(modified) + '\t' + sha256;
}

// What names a folder wherever its path is taken from.
std::string folder_key(const std::string& folder) {
    std::error_code ec;
    fs::path absolute = fs::absolute(spectrum::fs_path(folder), ec);
    if (ec)
        return spectrum::file_name_key(folder);
    absolute = absolute.lexically_normal();
    if (!absolute.has_filename())
        absolute = absolute.parent_path();
    return spectrum::file_name_key(spectrum::utf8_path(absolute));
}

}  // namespace

Watcher::Watcher(spectrum::State& state, WatchOptions options, Listener listener)
    : state_(state),
      options_(std::move(options)),
      listener_(std::move(listener)),
      source_dir_(spectrum::with_trailing_separator(options_.source_folder)),
      destination_dir_(spectrum::with_trailing_separator(options_.destination_folder)),
      notices_(options_.source_folder) {
    same_folder_ = folder_key(source_dir_) == folder_key(destination_dir_);
    if (!options_.batch.manifest.empty()) {
        const fs::path manifest = spectrum::fs_path(options_.batch.manifest);
        if (folder_key(spectrum::utf8_path(
                manifest.parent_path().empty() ? fs::path(".") : manifest.parent_path())) ==
            folder_key(source_dir_))
            manifest_key_ = spectrum::file_name_key(spectrum::utf8_path(manifest.filename()));
    }
    const OrgType* type = find_org_type(options_.org_type);
    type_name_ = type != nullptr ? std::string(type->name) : "auto";
    // Each file is settled on its own, its journal line on the disk before the next one.
    options_.batch.read_ahead = ReadAhead::off;
}

Watcher::~Watcher() = default;

void Watcher::request_stop() {
    stop_.store(true);
    notices_.wake();
}

void Watcher::tell(const WatchEvent& event) {
    if (listener_)
        listener_(event);
}

void Watcher::remember(const JournalEntry& e) {
    // A conversion holds for the version whatever the type; a failure for its type only.
    std::string key = journal_key(e.source, e.size, e.modified, e.sha256);
    journaled_.insert(e.converted ? key : key + '\t' + e.type);
    if (e.converted)
        for (const std::string& output : e.outputs)
            owners_[spectrum::file_name_key(output)] = e.source;
}

void Watcher::load_journal(const std::string& text) {
    for (const JournalEntry& entry : parse_journal(text))
        remember(entry);
}

std::string Watcher::start() {
    if (journal_.is_open())
        return {};
    std::string text;
    if (std::string error = journal_.open(destination_dir_, text); !error.empty())
        return error;
    load_journal(text);
    state_.org_type = options_.org_type;
    state_.run_mode = mode_fileconv;
    state_.chn_dir = destination_dir_;
    state_.org_dir = source_dir_;
    return {};
}

bool Watcher::is_candidate(const std::string& name) const {
    if (is_hidden_name(name) || spectrum::is_temporary_name(name))
        return false;
    const std::string key = spectrum::file_name_key(name);
    if (key == spectrum::file_name_key(journal_file_name) || key == manifest_key_)
        return false;
    // Where the outputs go into the watched folder, what this watcher wrote is not a source.
    if (same_folder_ && owners_.contains(key))
        return false;
    if (options_.org_type == org_type_auto)
        return true;
    const OrgType* type = find_org_type(options_.org_type);
    return type != nullptr && matches_pattern(name, type->pattern);
}

// Lists the folder and returns the files that are due: seen unchanged for the settle time and
// not settled in this run with the same version, in name order.
std::vector<std::pair<std::string, Watcher::Version>> Watcher::scan(bool once) {
    // The folder is read whole through the platform's listing (on Windows through the long form
    // of its path); a folder that cannot be read, or not to its end, counts as gone for now.
    std::error_code ec;
    std::vector<spectrum::FolderEntry> entries;
    try {
        entries = spectrum::read_folder(spectrum::fs_path(source_dir_));
    } catch (const fs::filesystem_error& e) {
        ec = e.code();
    }
    if (ec) {
        if (!gone_) {
            gone_ = true;
            notices_.disarm();
            tell({WatchEvent::Kind::folder_gone,
                  utc_time_now(),
                  {},
                  {},
                  ec.message(),
                  options_.source_folder});
        }
        return {};
    }
    if (gone_) {
        gone_ = false;
        notices_.rearm();
        tell({WatchEvent::Kind::folder_back, utc_time_now(), {}, {}, {}, options_.source_folder});
    }
    const Clock::time_point now = Clock::now();
    std::set<std::string> present;
    std::vector<std::pair<std::string, Version>> due;
    for (spectrum::FolderEntry& entry : entries) {
        std::string name = std::move(entry.name);
        if (!is_candidate(name) || left_.contains(name))
            continue;
        Version version;
        version.regular = entry.is_file;
        if (version.regular) {
            const auto file = spectrum::file_version(source_dir_ + name);
            if (!file)
                continue;  // gone since it was listed
            version.file = *file;
        }
        present.insert(name);
        if (const auto done = handled_.find(name);
            done != handled_.end() && done->second == version)
            continue;
        auto seen = waiting_.find(name);
        if (seen == waiting_.end()) {
            waiting_.emplace(name, Seen{version, now});
        } else if (!(seen->second.version == version)) {
            if (once) {
                // A run that ends when it is done does not wait for a file that keeps changing.
                waiting_.erase(seen);
                left_.insert(name);
                tell({WatchEvent::Kind::still_written, utc_time_now(), name, {}, {}, {}});
            } else {
                seen->second = Seen{version, now};
            }
        } else if (now - seen->second.since >= options_.settle) {
            due.emplace_back(std::move(name), version);
        }
    }
    std::erase_if(handled_, [&](const auto& item) { return !present.contains(item.first); });
    std::erase_if(waiting_, [&](const auto& item) { return !present.contains(item.first); });
    std::sort(due.begin(), due.end(),
              [](const auto& a, const auto& b) { return name_less(a.first, b.first); });
    return due;
}

// Whether the outputs can go to the destination folder now. A folder that went is told once,
// and so is its coming back; the files due wait for it.
bool Watcher::destination_ready() {
    std::error_code ec;
    const bool there = fs::is_directory(spectrum::fs_path(destination_dir_), ec);
    if (there == !destination_gone_)
        return there;
    destination_gone_ = !there;
    tell({there ? WatchEvent::Kind::folder_back : WatchEvent::Kind::folder_gone,
          utc_time_now(),
          {},
          {},
          there ? std::string() : "it is not there",
          options_.destination_folder});
    return there;
}

// Why a source may not write these outputs: another source still in the watched folder wrote
// a file of one of their names before. Empty when it may.
std::string Watcher::refused_output(const std::string& name,
                                    const std::vector<std::string>& outputs) {
    for (const std::string& output : outputs) {
        const auto owner = owners_.find(spectrum::file_name_key(output));
        if (owner == owners_.end() ||
            spectrum::file_name_key(owner->second) == spectrum::file_name_key(name))
            continue;
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(spectrum::fs_path(source_dir_ + owner->second), ec)))
            continue;  // its first source is gone: the name is free again
        return spectrum::escape_name(output) + " was already written from " +
               spectrum::escape_name(owner->second);
    }
    return {};
}

// Converts one due file and records its version in the journal. Returns why the watcher must
// stop, empty when it may go on.
std::string Watcher::convert_one(const std::string& name, const Version& version) {
    const std::string path = source_dir_ + name;
    JournalEntry entry;
    entry.source = name;
    entry.sha256 = std::string(no_digest);
    if (version.regular) {
        entry.size = version.file.size;
        entry.modified = version.file.modified;
        const readers::LoadedSource loaded = readers::load_source_file(path);
        if (loaded.loaded)
            entry.sha256 = spectrum::sha256_hex(loaded.bytes);
        if (spectrum::file_version(path) != version.file) {
            waiting_.erase(name);  // it changed while it was read: it is looked at anew
            return {};
        }
    }
    waiting_.erase(name);
    handled_[name] = version;
    entry.type = type_name_;
    const std::string key = journal_key(name, entry.size, entry.modified, entry.sha256);
    if (journaled_.contains(key) || journaled_.contains(key + '\t' + entry.type))
        return {};

    state_.org_path = path;
    std::vector<std::string> outputs;
    try {
        for (const formats::OutputFormat* format : options_.batch.formats)
            outputs.push_back(spectrum::file_name_of(formats::output_path(state_, *format)));
    } catch (const spectrum::SpectrumError&) {
        outputs.clear();  // no output name: the conversion itself reports it
    }
    entry.reason = refused_output(name, outputs);
    std::string stop_reason;
    if (entry.reason.empty()) {
        const BatchReport report = convert_paths(state_, {path}, nullptr, options_.batch);
        if (report.converted == 0 && report.failures.empty())
            return report.manifest_error;  // nothing was converted: the manifest cannot be opened
        stop_reason = report.manifest_error;
        entry.converted = report.converted == 1;
        if (!entry.converted)
            entry.reason = report.failures.front().reason;
        if (version.regular && spectrum::file_version(path) != version.file) {
            // Changed while it was converted: the file that settles next replaces the outputs.
            handled_.erase(name);
            return stop_reason;
        }
    }
    entry.time = utc_time_now();
    if (entry.converted)
        entry.outputs = outputs;
    if (std::string error = journal_.append(journal_line(entry)); !error.empty())
        return error;
    remember(entry);
    ++(entry.converted ? totals_.converted : totals_.failed);
    totals_.last_source = name;
    totals_.last_time = entry.time;
    totals_.last_at = std::chrono::system_clock::now();
    tell({entry.converted ? WatchEvent::Kind::converted : WatchEvent::Kind::failed,
          entry.time,
          name,
          entry.outputs,
          entry.reason,
          {}});
    return stop_reason;
}

std::string Watcher::run(bool once) {
    if (std::string error = start(); !error.empty())
        return error;
    while (!stop_.load()) {
        const auto due = scan(once);
        if (!due.empty() && destination_ready()) {
            if (!journal_.in_place())
                return "the journal " + journal_.path() +
                       " was removed or replaced; the watch stops so that no conversion goes "
                       "unrecorded";
            for (const auto& [name, version] : due) {
                if (stop_.load())
                    return {};
                if (std::string error = convert_one(name, version); !error.empty())
                    return error;
            }
        }
        if (once && gone_)
            return "the watched folder " + options_.source_folder + " cannot be read";
        if (once && destination_gone_)
            return "the destination folder " + options_.destination_folder + " is not there";
        if (once && waiting_.empty())
            return {};
        // Sleep until the first waiting file may have settled, a notice or the next poll.
        const Clock::time_point now = Clock::now();
        auto timeout = options_.poll;
        if (!gone_ && !destination_gone_)
            for (const auto& [name, seen] : waiting_)
                timeout = std::min(timeout, std::chrono::ceil<std::chrono::milliseconds>(
                                                seen.since + options_.settle - now));
        notices_.wait(std::max(timeout, shortest_wait));
    }
    return {};
}

}  // namespace brandel::app

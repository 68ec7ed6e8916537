#include "app/driver.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <thread>

#include "app/manifest.hpp"
#include "app/org_types.hpp"
#include "app/prefetcher.hpp"
#include "app/recognition.hpp"
#include "formats/notes.hpp"
#include "formats/verification.hpp"
#include "listing/actions.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/regular_file.hpp"
#include "spectrum/sha256.hpp"

namespace brandel::app {

using readers::Outcome;
using readers::ReaderResult;
using spectrum::file_name_of;
using spectrum::RecordSource;
using spectrum::State;

namespace {

// The busy pointer shows for as long as a batch runs, whatever ends it.
class BusyPointer {
  public:
    explicit BusyPointer(Host& host) : host_(host) { host_.set_busy(true); }
    ~BusyPointer() { host_.set_busy(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

  private:
    Host& host_;
};

// Actions of CHN_edit mode by org_type; the empty slots do nothing ("Edit Tesmo.CMT", 5, is one).
void make_listing(spectrum::State& state, Host& host) {
    listing::make_listing(state, host);
}
void write_current_chn(spectrum::State& state, Host& host) {
    listing::write_current_chn(state, host);
}
constexpr std::array<ChnEditAction, 9> chn_edit_actions = {
    nullptr, make_listing, nullptr, nullptr, nullptr, nullptr, write_current_chn, nullptr, nullptr};

constexpr std::size_t summary_lines = 30;

// Reads the source under the chosen type. When it does not read, the reason ends with the
// layouts the file fits, found in the bytes already loaded; a good file never pays for that.
ReaderResult read_as_chosen(State& state, const OrgType& type,
                            const readers::LoadedSource& source) {
    ReaderResult result = readers::read_loaded(state, *type.layout, source);
    if (!result.complete() && source.loaded)
        result.reason += "; " + fits_text(fitting_types(source.bytes));
    return result;
}

// Reads the source with the one layout it fits; a file that fits none or several is not read.
// `layout` receives the name of the layout it was read with.
ReaderResult read_fitting_layout(State& state, const readers::LoadedSource& source,
                                 std::string& layout) {
    if (!source.loaded)
        return source.failure;
    const std::vector<const OrgType*> fits = fitting_types(source.bytes);
    if (fits.size() == 1)
        layout = fits.front()->name;
    return read_as_fitting(state, source.bytes, fits);
}

// What names one output file: its path, with the case of letters ignored where the file system
// ignores it.
std::string output_key(const std::string& path) {
    return spectrum::file_name_key(path);
}

// What names a file wherever its path is taken from: its absolute path, as output_key names it.
std::string location_key(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(spectrum::fs_path(path), ec);
    return output_key(ec ? path : spectrum::utf8_path(absolute.lexically_normal()));
}

// Writes the record in each format: staged into the state's write group, which replaces them
// when it is committed, or else replaced here, together. A file that cannot be made or staged
// takes back the source's files staged before it and raises its reason, which names it. With
// `verify`, each file is read back from the disk before it replaces anything and compared with
// the values of the record it was written from.
void write_outputs(State& state, const formats::FormatList& chosen, bool verify,
                   ManifestEntry* entry) {
    spectrum::ReplaceGroup own(spectrum::file_ops_of(state));
    spectrum::ReplaceGroup& group = state.write_group != nullptr ? *state.write_group : own;
    const std::size_t first = group.size();
    const std::size_t unit = group.new_unit();
    std::shared_ptr<const formats::SpectrumValues> values;
    try {
        for (const formats::OutputFormat* format : chosen) {
            const std::string path = formats::output_path(state, *format);
            if (format == &formats::chn_format())
                state.chn_header.file_type = -1;  // the record keeps the word its file holds
            auto bytes = std::make_shared<std::string>();
            try {
                *bytes = format->bytes(state);
                if (verify && values == nullptr)
                    values =
                        std::make_shared<const formats::SpectrumValues>(formats::values_of(state));
            } catch (const spectrum::SpectrumError& e) {
                spectrum::raise(spectrum::ErrorKind::cannot_write,
                                "cannot write " + file_name_of(path) + ": " + e.what());
            }
            if (entry != nullptr) {
                entry->outputs.push_back(path);
                entry->output_sha256.push_back(spectrum::sha256_hex(*bytes));
            }
            if (!verify) {
                group.stage(spectrum::fs_path(path), *bytes, unit);
                continue;
            }
            group.stage(spectrum::fs_path(path), *bytes, unit,
                        [format, name = file_name_of(path), bytes, values](std::string_view disk) {
                            return formats::verification_failure(*format, name, disk, *bytes,
                                                                 *values);
                        });
        }
    } catch (...) {
        group.discard_from(first);
        throw;
    }
    if (&group == &own)
        for (const std::string& error : own.commit())
            if (!error.empty())
                spectrum::raise(spectrum::ErrorKind::cannot_write, error);
}

// CHN files of a batch replaced together: enough that one flush serves many files, few enough
// that a killed batch loses little of its work.
constexpr std::size_t files_per_group = 32;

// Gives the state a write group for as long as it lives.
class WriteGroupOf {
  public:
    WriteGroupOf(State& state, spectrum::ReplaceGroup& group) : state_(state) {
        state_.write_group = &group;
    }
    ~WriteGroupOf() { state_.write_group = nullptr; }
    WriteGroupOf(const WriteGroupOf&) = delete;
    WriteGroupOf& operator=(const WriteGroupOf&) = delete;

  private:
    State& state_;
};

// Whether the chosen type reads source files at all.
bool reads_sources(std::int16_t org_type) {
    const OrgType* type = find_org_type(org_type);
    return org_type == org_type_auto || (type != nullptr && type->layout != nullptr);
}

// A source file read ahead of its turn, with the version it had then.
struct SourceReadAhead {
    spectrum::FileVersion version;
    readers::LoadedSource source;
};
using ReadAheadSource = std::optional<SourceReadAhead>;

// Reads a file ahead of its turn. A file that is missing or changes while it is read is left to
// be read at its turn.
ReadAheadSource read_ahead_of_turn(const std::string& path) {
    const std::optional<spectrum::FileVersion> before = spectrum::file_version(path);
    if (!before)
        return std::nullopt;
    readers::LoadedSource source = readers::load_source_file(path);
    if (spectrum::file_version(path) != before)
        return std::nullopt;
    return SourceReadAhead{*before, std::move(source)};
}

// What the manifest records of a source as it was loaded: its size and SHA-256, from the bytes
// in memory.
void record_source(const readers::LoadedSource& source, ManifestEntry* entry) {
    if (entry == nullptr || !source.loaded)
        return;
    entry->source_read = true;
    entry->source_size = source.bytes.size();
    entry->source_sha256 = spectrum::sha256_hex(source.bytes);
}

// Converts the file named by org_path, from its bytes when they were read ahead and the file
// is still as it was then; otherwise it is read now, as a batch without reading ahead reads it.
// `entry`, when given, receives what the manifest records of the source and its outputs.
ReaderResult convert_source(State& state, ReadAheadSource ahead, const BatchOptions& options,
                            ManifestEntry* entry = nullptr) {
    const OrgType* type = find_org_type(state.org_type);
    auto source = [&] {
        readers::LoadedSource loaded =
            ahead && spectrum::file_version(state.org_path) == ahead->version
                ? std::move(ahead->source)
                : readers::load_source_file(state.org_path);
        record_source(loaded, entry);
        return loaded;
    };
    ReaderResult result;
    std::string layout;
    if (state.org_type == org_type_auto) {
        result = read_fitting_layout(state, source(), layout);
    } else if (type == nullptr || type->layout == nullptr) {
        result.outcome = Outcome::read_error;
        result.reason = type == nullptr ? "no file type is chosen"
                                        : std::string(type->caption) + " files have no reader";
    } else {
        layout = type->name;
        result = read_as_chosen(state, *type, source());
    }
    if (entry != nullptr)
        entry->layout = layout;
    if (entry != nullptr && result.complete())
        entry->notes = formats::notes_text(formats::conversion_notes(state));
    if (result.complete()) {
        try {
            write_outputs(state, options.formats, options.verify, entry);
        } catch (const std::exception& e) {
            result.outcome = Outcome::read_error;
            result.reason = e.what();
        }
    }
    state.record_source =
        result.complete() ? RecordSource::converted : RecordSource::conversion_failed;
    state.record_file = state.org_path;
    return result;
}

}  // namespace

const formats::FormatList& chn_only() {
    static const formats::FormatList chn = {&formats::chn_format()};
    return chn;
}

ReaderResult convert_current(State& state, const formats::FormatList& chosen) {
    BatchOptions options;
    options.formats = chosen;
    return convert_source(state, std::nullopt, options);
}

BatchReport convert_paths(State& state, const std::vector<std::string>& paths,
                          const std::function<bool(int, int, const std::string&)>& progress,
                          ReadAhead read_ahead, const formats::FormatList& chosen) {
    BatchOptions options;
    options.formats = chosen;
    options.read_ahead = read_ahead;
    return convert_paths(state, paths, progress, options);
}

BatchReport convert_paths(State& state, const std::vector<std::string>& paths,
                          const std::function<bool(int, int, const std::string&)>& progress,
                          const BatchOptions& options) {
    const formats::FormatList& chosen = options.formats;
    const ReadAhead read_ahead = options.read_ahead;
    BatchReport report;
    report.selected = static_cast<int>(paths.size());
    // No source is converted without its line in the manifest asked for.
    ManifestFile manifest;
    if (!options.manifest.empty()) {
        report.manifest_error = manifest.open(options.manifest);
        if (!report.manifest_error.empty())
            return report;
    }
    std::vector<ManifestEntry> entries;  // the group's sources, as `pending`
    // Temporary files that a killed converter left in the destination go before new ones come.
    if (!paths.empty())
        spectrum::remove_stale_temporaries(spectrum::fs_path(state.chn_dir));
    // The files this batch has written, each with the source it came from: a later source of
    // the same output name does not overwrite it. No output replaces a source of the batch.
    std::map<std::string, std::string> written;
    std::set<std::string> sources;
    for (const std::string& path : paths)
        sources.insert(location_key(path));
    // The CHN files are written a group at a time and put on the disk together, which costs
    // about one flush per group instead of one per file. Each file of a group is still reported
    // in its place in the batch, once its group is settled.
    spectrum::ReplaceGroup group(spectrum::file_ops_of(state));
    WriteGroupOf grouped(state, group);
    std::vector<FileFailure> pending;  // the group's files in order; an empty reason: staged
    std::vector<std::size_t> staged;   // where each staged file is in `pending`
    std::vector<std::string> outputs;  // the current source's output paths
    auto settle = [&] {
        // A source fails with the first of its files that could not replace its target.
        const std::vector<std::string> errors = group.commit();
        for (std::size_t k = 0; k < errors.size(); ++k)
            if (pending[staged[k]].reason.empty())
                pending[staged[k]].reason = errors[k];
        std::string lines;
        for (std::size_t k = 0; k < entries.size(); ++k) {
            ManifestEntry& e = entries[k];
            e.converted = pending[k].reason.empty();
            e.reason = pending[k].reason;
            if (!e.converted) {
                e.outputs.clear();
                e.output_sha256.clear();
            }
            lines += manifest_line(e);
        }
        if (!lines.empty() && report.manifest_error.empty())
            report.manifest_error = manifest.append(lines);
        for (FileFailure& f : pending) {
            if (f.reason.empty())
                ++report.converted;
            else
                report.failures.push_back(std::move(f));
        }
        pending.clear();
        staged.clear();
        entries.clear();
    };
    // The next files are read on a second thread while the current one is converted and
    // written; each file is still converted at its turn, from the bytes read for it if it has
    // not changed since. Reading is all that moves: nothing read ahead is looked at before its
    // turn, and a file that changed or went is read at its turn.
    const bool loads = reads_sources(state.org_type);
    const bool threaded =
        loads && (read_ahead == ReadAhead::always ||
                  (read_ahead == ReadAhead::automatic && std::thread::hardware_concurrency() >= 2));
    Prefetcher<ReadAheadSource> ahead(
        paths.size(), [&paths](std::size_t i) { return read_ahead_of_turn(paths[i]); },
        [](const ReadAheadSource& s) { return s ? s->source.bytes.size() : 0; }, threaded);
    for (int i = 0; i < report.selected; ++i) {
        const std::string& path = paths[static_cast<std::size_t>(i)];
        if (progress && !progress(i, report.selected, file_name_of(path))) {
            report.cancelled = true;
            break;
        }
        state.org_path = path;
        outputs.clear();
        ManifestEntry* entry = nullptr;
        if (manifest.is_open()) {
            entry = &entries.emplace_back();
            entry->time = utc_time_now();
            entry->source = path;
        }
        try {
            for (const formats::OutputFormat* format : chosen)
                outputs.push_back(formats::output_path(state, *format));
        } catch (const spectrum::SpectrumError&) {
            outputs.clear();  // no output name: the conversion itself reports it
        }
        std::string refused;
        for (const std::string& output : outputs) {
            const auto earlier = written.find(output_key(output));
            if (earlier != written.end())
                refused = spectrum::escape_name(file_name_of(output)) +
                          " was already written from " + spectrum::escape_name(earlier->second) +
                          " in this batch";
            else if (sources.contains(location_key(output)))
                refused = spectrum::escape_name(file_name_of(output)) +
                          " is a source file of this batch: choose another destination folder";
            if (!refused.empty())
                break;
        }
        if (!refused.empty()) {
            ahead.skip();
            pending.push_back({path, refused});
            continue;
        }
        const std::size_t before = group.size();
        ReaderResult result =
            convert_source(state, threaded ? ahead.take() : std::nullopt, options, entry);
        for (std::size_t k = before; k < group.size(); ++k)
            staged.push_back(pending.size());
        pending.push_back({path, result.complete() ? std::string() : result.reason});
        if (!result.complete() && pending.back().reason.empty())
            pending.back().reason = "the file did not convert";
        if (result.complete())
            for (const std::string& output : outputs)
                written.emplace(output_key(output), file_name_of(path));
        if (group.size() >= files_per_group)
            settle();
    }
    settle();
    return report;
}

std::string summary_text(const BatchReport& report) {
    if (report.failures.empty())
        return report.manifest_error;
    std::string text = "Converted " + std::to_string(report.converted) + " of " +
                       std::to_string(report.selected) + " selected files.";
    if (report.cancelled)
        text += " The batch was cancelled.";
    text += "\n";
    std::size_t shown = 0;
    for (const FileFailure& f : report.failures) {
        if (shown++ == summary_lines) {
            text += "\n... and " + std::to_string(report.failures.size() - summary_lines) +
                    " more files that did not convert.";
            break;
        }
        // One failure, one line, whatever its name holds.
        text += "\n" + spectrum::escape_name(file_name_of(f.path)) + ": " +
                spectrum::escape_controls(f.reason);
    }
    if (!report.manifest_error.empty())
        text += "\n\n" + report.manifest_error;
    return text;
}

BatchReport convert_org_files(State& state, Host& host) {
    if (state.org_type < 0) {
        host.message_box("Select ORG file type !");
        return {};
    }
    state.chn_dir = spectrum::with_trailing_separator(host.destination_path());
    state.org_dir = spectrum::with_trailing_separator(host.source_path());
    BatchReport report;
    {
        BusyPointer busy(host);
        std::vector<std::string> paths;
        const int n = host.source_entry_count();
        for (int i = 0; i < n; ++i)
            if (host.source_selected(i))
                paths.push_back(state.org_dir + host.source_entry(i));
        BatchOptions options;
        options.formats = host.output_formats();
        options.verify = host.verify_outputs();
        options.manifest = host.manifest_path();
        report = convert_paths(
            state, paths,
            [&host](int done, int total, const std::string& name) {
                return host.progress(done, total, name);
            },
            options);
        host.progress_done();
    }
    if (const std::string summary = summary_text(report); !summary.empty())
        host.message_box(summary);
    return report;
}

ChnEditAction chn_edit_action(std::int16_t org_type) {
    if (org_type < 0 || org_type >= static_cast<int>(chn_edit_actions.size()))
        return nullptr;
    return chn_edit_actions[static_cast<std::size_t>(org_type)];
}

void run_chn_edit_action(State& state, Host& host) {
    if (ChnEditAction action = chn_edit_action(state.org_type))
        action(state, host);
}

void Command1_Click(State& state, Host& host) {
    if (state.run_mode == mode_fileconv)
        convert_org_files(state, host);
    else if (state.run_mode == mode_chn_edit)
        run_chn_edit_action(state, host);
    host.refresh_destination_list();
}

}  // namespace brandel::app

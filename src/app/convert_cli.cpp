#include "app/convert_cli.hpp"

#include <filesystem>
#include <ostream>

#include "app/driver.hpp"
#include "app/file_list.hpp"
#include "app/manifest_check.hpp"
#include "app/org_types.hpp"
#include "app/recognition.hpp"
#include "app/watch_cli.hpp"
#include "app/wildcards.hpp"
#include "brandel/version.hpp"
#include "formats/notes.hpp"
#include "formats/output_formats.hpp"
#include "listing/actions.hpp"
#include "listing/listing.hpp"
#include "listing/listing_text.hpp"
#include "listing/memory_grid.hpp"
#include "spectrum/folder_entries.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/state.hpp"
#include "spectrum/text.hpp"

namespace brandel::app {

namespace {

constexpr const char* usage_text =
    "usage: brandel-convert --type TYPE [--out DIR] [--format FMT] [--verify]\n"
    "                       [--manifest FILE] FILE...\n"
    "       brandel-convert --watch DIR --type TYPE [--out DIR] [--format FMT] [--verify]\n"
    "                       [--manifest FILE] [--settle S] [--once]\n"
    "       brandel-convert --check MANIFEST\n"
    "       brandel-convert --info [--type TYPE] FILE...\n"
    "       brandel-convert --list DIR [--csv]\n"
    "       brandel-convert --help\n"
    "       brandel-convert --version\n"
    "\n"
    "--type TYPE    the ORG file type: a name or its index\n"
    "               canberra-txt (0), labo-new (1), kaihouken-dat (3), kaihouken-csv (4),\n"
    "               labo-old (5), labo-list (6), kaihouken-txt (7), oxford-asc (8).\n"
    "               auto: each file is read with the one layout it fits; a file that fits\n"
    "               none, or more than one, is not converted.\n"
    "--out DIR      destination folder (default: the current folder); must exist.\n"
    "--format FMT   what each file becomes: chn (default), spe (IAEA SPE), n42 (ANSI\n"
    "               N42.42-2012 XML) or csv, or several joined by commas (chn,spe,n42).\n"
    "               A file that cannot be written in one of them is not converted, and\n"
    "               none of its files is replaced.\n"
    "FILE...        converted in the order given, each into DIR/<base name>.<format>.\n"
    "               On Windows, where no shell does it, the converter itself expands\n"
    "               * and ? in the file name part of FILE (letter case ignored).\n"
    "--verify       every output is read back from the disk before it replaces a file and\n"
    "               compared with the spectrum it was written from; a difference fails the\n"
    "               file (\"verification failed: ...\") and its old files stay.\n"
    "--manifest FILE\n"
    "               appends one CSV line per file to FILE (a header line first when FILE is\n"
    "               new): UTC time, source path, size and SHA-256, layout, output paths and\n"
    "               their SHA-256, program version, \"converted\" or \"failed\", the reason\n"
    "               and the notes of what the outputs could not keep.\n"
    "--watch DIR    converts each file of DIR that matches the type's pattern (every file\n"
    "               with auto) once it is complete, then each file that arrives or changes,\n"
    "               until SIGINT or SIGTERM, which stop after the file in progress. Each\n"
    "               version of a file is converted once, across restarts: the journal\n"
    "               .brandel-watch.tsv in the destination folder keeps them. One line per\n"
    "               file on standard output: \"TIME converted NAME -> OUTPUT\" or \"TIME\n"
    "               failed NAME: reason\".\n"
    "--settle S     with --watch: a file is complete when its size and modification time\n"
    "               have not changed for S seconds (default 2).\n"
    "--once         with --watch: converts what is due and exits (for cron or the Windows\n"
    "               Task Scheduler); exit status as for a batch.\n"
    "--check MANIFEST\n"
    "               converts nothing: says for each line of MANIFEST whether its source and\n"
    "               output files are still those it lists (\"ok\", \"changed\", \"missing\").\n"
    "               Exit 0 only when every file matches.\n"
    "--info         converts nothing: prints one TAB-separated line per file, its name, the\n"
    "               layouts it fits, then as read with --type (default auto): channels,\n"
    "               start date, start time, live and real time (s), energy zero, slope,\n"
    "               quad, the sample description and the notes of what a converted file\n"
    "               could not keep (\"; \" between them), or \"error\" and the reason.\n"
    "--list DIR     prints the comment listing of the CHN files of DIR (TAB separated).\n"
    "--csv          with --list: the same rows as CSV.\n";

// Files of a batch above which a terminal shows a progress line.
constexpr int progress_threshold = 5;

struct Options {
    std::string type;
    bool has_type = false;
    std::string out_dir = ".";
    bool has_out = false;
    std::string format = "chn";
    bool has_format = false;
    bool verify = false;
    std::string manifest;
    bool has_manifest = false;
    std::string check;
    bool has_check = false;
    bool info = false;
    std::string list_dir;
    bool has_list = false;
    bool csv = false;
    std::string watch_dir;
    bool has_watch = false;
    std::string settle;
    bool has_settle = false;
    bool once = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

// The message quotes the arguments as given, so it is escaped as a name is: an argument holding a
// line break or a terminal's control sequence stays one visible word.
int usage_error(std::ostream& err, const std::string& message) {
    err << "brandel-convert: " << spectrum::escape_name(message) << "\n\n" << usage_text;
    return 2;
}

// Parses the arguments; returns an error message, empty when they are well formed.
std::string parse(const std::vector<std::string>& args, Options& o) {
    bool options_end = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options_end || a.empty() || a[0] != '-' || a == "-") {
            o.files.push_back(a);
            continue;
        }
        auto value = [&](std::string& target) -> bool {
            std::size_t eq = a.find('=');
            if (eq != std::string::npos) {
                target = a.substr(eq + 1);
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            target = args[++i];
            return true;
        };
        std::string name = a.substr(0, a.find('='));
        if (a == "--") {
            options_end = true;
        } else if (name == "--type") {
            if (!value(o.type))
                return "--type needs a TYPE";
            o.has_type = true;
        } else if (name == "--out") {
            if (!value(o.out_dir))
                return "--out needs a DIR";
            o.has_out = true;
        } else if (name == "--format") {
            if (!value(o.format))
                return "--format needs a FMT";
            o.has_format = true;
        } else if (a == "--verify") {
            o.verify = true;
        } else if (name == "--manifest") {
            if (!value(o.manifest))
                return "--manifest needs a FILE";
            o.has_manifest = true;
        } else if (name == "--check") {
            if (!value(o.check))
                return "--check needs a MANIFEST";
            o.has_check = true;
        } else if (name == "--watch") {
            if (!value(o.watch_dir))
                return "--watch needs a DIR";
            o.has_watch = true;
        } else if (name == "--settle") {
            if (!value(o.settle))
                return "--settle needs seconds";
            o.has_settle = true;
        } else if (a == "--once") {
            o.once = true;
        } else if (a == "--info") {
            o.info = true;
        } else if (name == "--list") {
            if (!value(o.list_dir))
                return "--list needs a DIR";
            o.has_list = true;
        } else if (a == "--csv") {
            o.csv = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else {
            return "unknown option " + a;
        }
    }
    return {};
}

bool is_directory(const std::string& dir) {
    return spectrum::is_folder(dir);
}

// The org_type that --type names ("auto" included); an error message when it names none.
std::string chosen_type(const std::string& name, std::int16_t& org_type) {
    if (name == "auto") {
        org_type = org_type_auto;
        return {};
    }
    const OrgType* type = find_org_type(name);
    if (type == nullptr)
        return "unknown type " + name;
    if (type->layout == nullptr)
        return "type " + std::string(type->name) + " has no reader";
    org_type = type->index;
    return {};
}

// The files the FILE arguments name. On Windows no shell expands "*" and "?" for a program, so
// the converter expands them itself; a pattern that names no file is one failed file.
std::vector<std::string> named_files(const Options& o, std::vector<FileFailure>& unmatched) {
    if (spectrum::native_path_rules != spectrum::PathRules::windows)
        return o.files;
    WildcardExpansion expansion = expand_wildcards(o.files);
    for (UnmatchedPattern& p : expansion.unmatched)
        unmatched.push_back({std::move(p.pattern), std::move(p.reason)});
    return std::move(expansion.paths);
}

int watch(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.info || o.has_check || o.has_list || o.csv || !o.files.empty())
        return usage_error(err, "--watch takes a folder and no files");
    if (!o.has_type)
        return usage_error(err, "no --type given");
    WatchRequest request;
    if (std::string error = chosen_type(o.type, request.org_type); !error.empty())
        return usage_error(err, error);
    if (!is_directory(o.out_dir))
        return usage_error(err, "no such folder " + o.out_dir);
    if (std::string error = formats::parse_format_list(o.format, request.formats); !error.empty())
        return usage_error(err, error);
    double seconds = 0;
    if (o.has_settle && !parse_settle_seconds(o.settle, seconds))
        return usage_error(err, "--settle takes seconds from 0 to 86400, not " + o.settle);
    if (o.once && !is_directory(o.watch_dir))
        return usage_error(err, "no such folder " + o.watch_dir);
    request.source_folder = o.watch_dir;
    request.destination_folder = o.out_dir;
    request.verify = o.verify;
    request.manifest = o.manifest;
    request.settle = o.settle;
    request.once = o.once;
    return run_watch_cli(request, out, err);
}

int convert(const Options& o, std::ostream& err, bool err_is_terminal) {
    std::int16_t org_type = 0;
    if (std::string error = chosen_type(o.type, org_type); !error.empty())
        return usage_error(err, error);
    if (o.files.empty())
        return usage_error(err, "no files to convert");
    if (!is_directory(o.out_dir))
        return usage_error(err, "no such folder " + o.out_dir);
    formats::FormatList chosen;
    if (std::string error = formats::parse_format_list(o.format, chosen); !error.empty())
        return usage_error(err, error);

    spectrum::State state;
    state.org_type = org_type;
    state.run_mode = mode_fileconv;
    state.chn_dir = spectrum::with_trailing_separator(o.out_dir);
    std::vector<FileFailure> unmatched;
    const std::vector<std::string> files = named_files(o, unmatched);
    const int total = static_cast<int>(files.size());
    const bool show_progress = err_is_terminal && total > progress_threshold;
    BatchOptions options;
    options.formats = chosen;
    options.verify = o.verify;
    options.manifest = o.manifest;
    BatchReport report = convert_paths(
        state, files,
        [&](int done, int all, const std::string& name) {
            if (show_progress)
                err << "\rconverting " << done + 1 << " of " << all << ": "
                    << spectrum::escape_name(name) << "\x1b[K" << std::flush;
            return true;
        },
        options);
    if (show_progress)
        err << "\r\x1b[K" << std::flush;
    report.selected += static_cast<int>(unmatched.size());
    report.failures.insert(report.failures.begin(), unmatched.begin(), unmatched.end());
    for (const FileFailure& f : report.failures)
        err << spectrum::escape_name(f.path) << ": " << spectrum::escape_controls(f.reason) << "\n";
    if (!report.failures.empty())
        err << "converted " << report.converted << " of " << report.selected << " files\n";
    if (!report.manifest_error.empty())
        err << "brandel-convert: " << spectrum::escape_controls(report.manifest_error) << "\n";
    return report.failures.empty() && report.manifest_error.empty() ? 0 : 1;
}

// Seconds of a tick count (20 ms), exactly, with two decimals: 180012 gives 3600.24.
std::string seconds_text(std::int32_t ticks) {
    const long long hundredths = 2LL * ticks;
    const long long whole = (hundredths < 0 ? -hundredths : hundredths);
    std::string text = std::to_string(whole / 100) + ".";
    text += static_cast<char>('0' + whole % 100 / 10);
    text += static_cast<char>('0' + whole % 10);
    return hundredths < 0 ? "-" + text : text;
}

// A record text as one field of a TAB-separated line: control characters become blanks and
// trailing blanks go.
std::string info_text(std::u32string_view text) {
    std::u32string t(text);
    for (char32_t& c : t)
        if (c < 0x20 || c == 0x7F)
            c = U' ';
    const std::size_t end = t.find_last_not_of(U' ');
    t.resize(end == std::u32string::npos ? 0 : end + 1);
    return spectrum::to_utf8(t);
}

// One line of --info: the file, the layouts it fits, then the reading under the chosen type.
bool print_info(const std::string& path, std::int16_t org_type, spectrum::State& state,
                std::ostream& out) {
    const Recognition r = recognise_file(path);
    std::string fits;
    for (const OrgType* t : r.fits)
        fits += (fits.empty() ? "" : ",") + std::string(t->name);
    readers::ReaderResult result = r.source.failure;
    if (r.source.loaded) {
        if (org_type == org_type_auto) {
            result = read_as_fitting(state, r.source.bytes, r.fits);
        } else {
            result = read_as(state, *find_org_type(org_type), r.source.bytes);
            if (!result.complete())
                result.reason += "; " + fits_text(r.fits);
        }
    }
    out << spectrum::escape_name(path) << '\t' << (fits.empty() ? "none" : fits) << '\t';
    if (!result.complete()) {
        out << "error\t" << spectrum::escape_controls(result.reason) << '\n';
        return false;
    }
    const spectrum::ChnHeader& h = state.chn_header;
    const spectrum::ChnTrailer& t = state.chn_trailer;
    out << h.num_channels << '\t' << spectrum::to_utf8(h.start_date.view()) << '\t'
        << spectrum::to_utf8(h.start_time.view()) << '\t' << seconds_text(h.live_time) << '\t'
        << seconds_text(h.real_time) << '\t' << spectrum::float_text(t.energy_zero) << '\t'
        << spectrum::float_text(t.energy_slope) << '\t' << spectrum::float_text(t.energy_quad)
        << '\t' << info_text(t.sample_desc.view()) << '\t'
        << spectrum::escape_controls(formats::notes_text(formats::conversion_notes(state))) << '\n';
    return true;
}

int info(const Options& o, std::ostream& out, std::ostream& err) {
    std::int16_t org_type = org_type_auto;
    if (o.has_type)
        if (std::string error = chosen_type(o.type, org_type); !error.empty())
            return usage_error(err, error);
    if (o.files.empty())
        return usage_error(err, "no files to look at");
    if (o.has_out || o.has_format || o.verify || o.has_manifest)
        return usage_error(err,
                           "--info writes no files, so it takes no --out, --format, "
                           "--verify or --manifest");
    spectrum::State state;
    std::vector<FileFailure> unmatched;
    const std::vector<std::string> files = named_files(o, unmatched);
    for (const FileFailure& f : unmatched)
        out << spectrum::escape_name(f.path) << "\tnone\terror\t" << f.reason << '\n';
    bool all_read = unmatched.empty();
    for (const std::string& path : files)
        all_read = print_info(path, org_type, state, out) && all_read;
    return all_read ? 0 : 1;
}

// The destination pane of a listing without a window: the CHN files of one folder, in the order
// the window's file list shows them.
class ListHost final : public Host {
  public:
    ListHost(std::string folder, std::vector<std::string> names)
        : folder_(std::move(folder)), names_(std::move(names)) {}

    std::string destination_path() const override { return folder_; }
    std::string source_path() const override { return {}; }
    int source_entry_count() const override { return 0; }
    std::string source_entry(int) const override { return {}; }
    bool source_selected(int) const override { return false; }
    int destination_entry_count() const override { return static_cast<int>(names_.size()); }
    std::string destination_entry(int index) const override {
        return names_[static_cast<std::size_t>(index)];
    }
    void set_busy(bool) override {}
    void message_box(const std::string&) override {}
    void refresh_destination_list() override {}
    listing::MemoryGrid& listing_grid() override { return grid_; }

  private:
    std::string folder_;
    std::vector<std::string> names_;
    listing::MemoryGrid grid_;
};

int list(const Options& o, std::ostream& out, std::ostream& err) {
    if (!is_directory(o.list_dir))
        return usage_error(err, "no such folder " + o.list_dir);
    std::vector<std::string> names;
    try {
        names = list_entries(o.list_dir, "*.chn");
    } catch (const std::exception& e) {
        err << spectrum::escape_name(o.list_dir) << ": " << spectrum::escape_controls(e.what())
            << "\n";
        return 1;
    }
    ListHost host(o.list_dir, std::move(names));
    spectrum::State state;
    const listing::ListingReport report = listing::build_listing(state, host);
    out << listing::listing_text(host.listing_grid(),
                                 o.csv ? listing::TableText::csv : listing::TableText::tab);
    for (const FileFailure& f : report.skipped)
        err << spectrum::escape_name(f.path.substr(state.chn_dir.size())) << ": "
            << spectrum::escape_controls(f.reason) << "\n";
    return report.skipped.empty() ? 0 : 1;
}

}  // namespace

int run_convert_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    bool err_is_terminal) {
    Options o;
    if (std::string error = parse(args, o); !error.empty())
        return usage_error(err, error);
    if (o.help) {
        out << usage_text;
        return 0;
    }
    if (o.version) {
        out << "brandel-convert " << version_text << "\n";
        return 0;
    }
    if (o.has_watch)
        return watch(o, out, err);
    if (o.has_settle || o.once)
        return usage_error(err, "--settle and --once go with --watch");
    if (o.has_list) {
        if (o.has_type || o.info || o.has_format || o.verify || o.has_manifest || o.has_check ||
            !o.files.empty())
            return usage_error(err, "--list takes a folder and no files");
        return list(o, out, err);
    }
    if (o.has_check) {
        if (o.has_type || o.info || o.has_format || o.verify || o.has_manifest || o.has_out ||
            !o.files.empty())
            return usage_error(err, "--check takes a manifest and nothing else");
        return check_manifest(o.check, out, err);
    }
    if (o.csv)
        return usage_error(err, "--csv goes with --list");
    if (o.info)
        return info(o, out, err);
    if (!o.has_type)
        return usage_error(err, "no --type given");
    return convert(o, err, err_is_terminal);
}

}  // namespace brandel::app

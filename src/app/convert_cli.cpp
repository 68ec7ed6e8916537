#include "app/convert_cli.hpp"

#include <filesystem>
#include <ostream>

#include "app/driver.hpp"
#include "app/org_types.hpp"
#include "brandel/version.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/state.hpp"

namespace brandel::app {

namespace {

constexpr const char* usage_text =
    "usage: brandel-convert --type TYPE [--out DIR] FILE...\n"
    "       brandel-convert --list DIR [--csv]\n"
    "       brandel-convert --help\n"
    "       brandel-convert --version\n"
    "\n"
    "--type TYPE    the ORG file type: a name or its index\n"
    "               canberra-txt (0), labo-new (1), kaihouken-dat (3), kaihouken-csv (4),\n"
    "               labo-old (5), labo-list (6), kaihouken-txt (7), oxford-asc (8).\n"
    "--out DIR      destination folder (default: the current folder); must exist.\n"
    "FILE...        converted in the order given, each into DIR/<base name>.chn.\n"
    "--list DIR     prints the comment listing of the CHN files of DIR (TAB separated).\n"
    "--csv          with --list: the same rows as CSV.\n";

// Files of a batch above which a terminal shows a progress line.
constexpr int progress_threshold = 5;

struct Options {
    std::string type;
    bool has_type = false;
    std::string out_dir = ".";
    std::string list_dir;
    bool has_list = false;
    bool csv = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

int usage_error(std::ostream& err, const std::string& message) {
    err << "brandel-convert: " << message << "\n\n" << usage_text;
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
            if (i + 1 >= args.size()) return false;
            target = args[++i];
            return true;
        };
        std::string name = a.substr(0, a.find('='));
        if (a == "--") {
            options_end = true;
        } else if (name == "--type") {
            if (!value(o.type)) return "--type needs a TYPE";
            o.has_type = true;
        } else if (name == "--out") {
            if (!value(o.out_dir)) return "--out needs a DIR";
        } else if (name == "--list") {
            if (!value(o.list_dir)) return "--list needs a DIR";
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
    std::error_code ec;
    return std::filesystem::is_directory(spectrum::fs_path(dir), ec);
}

int convert(const Options& o, std::ostream& err, bool err_is_terminal) {
    const OrgType* type = find_org_type(o.type);
    if (type == nullptr) return usage_error(err, "unknown type " + o.type);
    if (type->reader == nullptr)
        return usage_error(err, "type " + std::string(type->name) + " has no reader");
    if (o.files.empty()) return usage_error(err, "no files to convert");
    if (!is_directory(o.out_dir)) return usage_error(err, "no such folder " + o.out_dir);

    spectrum::State state;
    state.org_type = type->index;
    state.run_mode = mode_fileconv;
    state.chn_dir = spectrum::with_trailing_separator(o.out_dir);
    const int total = static_cast<int>(o.files.size());
    const bool show_progress = err_is_terminal && total > progress_threshold;
    BatchReport report =
        convert_paths(state, o.files, [&](int done, int all, const std::string& name) {
            if (show_progress)
                err << "\rconverting " << done + 1 << " of " << all << ": " << name << "\x1b[K"
                    << std::flush;
            return true;
        });
    if (show_progress) err << "\r\x1b[K" << std::flush;
    for (const FileFailure& f : report.failures) err << f.path << ": " << f.reason << "\n";
    if (!report.failures.empty())
        err << "converted " << report.converted << " of " << report.selected << " files\n";
    return report.failures.empty() ? 0 : 1;
}

}  // namespace

int run_convert_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    bool err_is_terminal) {
    Options o;
    if (std::string error = parse(args, o); !error.empty()) return usage_error(err, error);
    if (o.help) {
        out << usage_text;
        return 0;
    }
    if (o.version) {
        out << "brandel-convert " << version_text << "\n";
        return 0;
    }
    if (o.has_list) {
        if (o.has_type || !o.files.empty())
            return usage_error(err, "--list takes a folder and no files");
        return usage_error(err, "--list is not available in this version yet");
    }
    if (o.csv) return usage_error(err, "--csv goes with --list");
    if (!o.has_type) return usage_error(err, "no --type given");
    return convert(o, err, err_is_terminal);
}

}  // namespace brandel::app

#include "app/manifest_check.hpp"

#include <ostream>
#include <vector>

#include "app/manifest.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/regular_file.hpp"
#include "spectrum/sha256.hpp"

namespace brandel::app {

namespace {

// Larger than any source or output file a conversion reads or writes.
constexpr std::size_t max_checked_bytes = std::size_t{1} << 30;
constexpr std::size_t max_manifest_bytes = std::size_t{1} << 30;

enum class FileState { ok, changed, missing };

FileState state_of(const std::string& path, const std::string& digest) {
    try {
        return spectrum::sha256_hex(spectrum::read_regular_file(path, max_checked_bytes)) == digest
                   ? FileState::ok
                   : FileState::changed;
    } catch (const spectrum::SpectrumError& e) {
        return e.kind() == spectrum::ErrorKind::file_not_found ? FileState::missing
                                                               : FileState::changed;
    }
}

std::vector<std::string> split(const std::string& cell) {
    std::vector<std::string> items;
    if (cell.empty())
        return items;
    for (std::size_t start = 0;;) {
        const std::size_t semicolon = cell.find(';', start);
        items.push_back(cell.substr(start, semicolon - start));
        if (semicolon == std::string::npos)
            return items;
        start = semicolon + 1;
    }
}

// The cells of the manifest's columns that name files and their digests.
constexpr std::size_t source_cell = 1;
constexpr std::size_t source_digest_cell = 3;
constexpr std::size_t outputs_cell = 5;
constexpr std::size_t output_digests_cell = 6;
constexpr std::size_t cells_per_line = 11;

}  // namespace

int check_manifest(const std::string& path, std::ostream& out, std::ostream& err) {
    std::string text;
    try {
        text = spectrum::read_regular_file(path, max_manifest_bytes);
    } catch (const std::exception& e) {
        err << "brandel-convert: " << spectrum::escape_controls(path + ": " + e.what()) << "\n";
        return 2;
    }
    std::size_t at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    std::vector<std::string> cells;
    if (!next_csv_record(text, at, cells) || cells.size() != cells_per_line || cells[0] != "time") {
        err << "brandel-convert: " << spectrum::escape_controls(path)
            << ": not a manifest (its first line is not " << manifest_header << ")\n";
        return 2;
    }
    bool all_match = true;
    for (std::size_t line = 2; at < text.size(); ++line) {
        if (!next_csv_record(text, at, cells) || cells.size() != cells_per_line) {
            out << "changed\t\tline " << line << " is not a manifest line\n";
            all_match = false;
            continue;
        }
        std::vector<std::string> files, digests;
        if (!cells[source_digest_cell].empty()) {
            files.push_back(cells[source_cell]);
            digests.push_back(cells[source_digest_cell]);
        }
        const std::vector<std::string> outputs = split(cells[outputs_cell]);
        const std::vector<std::string> output_digests = split(cells[output_digests_cell]);
        if (outputs.size() != output_digests.size()) {
            out << "changed\t" << spectrum::escape_controls(cells[source_cell]) << "\tline " << line
                << " lists " << outputs.size() << " outputs and " << output_digests.size()
                << " digests\n";
            all_match = false;
            continue;
        }
        files.insert(files.end(), outputs.begin(), outputs.end());
        digests.insert(digests.end(), output_digests.begin(), output_digests.end());
        FileState worst = FileState::ok;
        std::string details;
        for (std::size_t k = 0; k < files.size(); ++k) {
            const FileState s = state_of(files[k], digests[k]);
            if (s == FileState::ok)
                continue;
            if (worst != FileState::missing)
                worst = s;
            details += (details.empty() ? "" : "; ") + files[k] +
                       (s == FileState::missing ? " missing" : " changed");
        }
        all_match = all_match && worst == FileState::ok;
        out << (worst == FileState::ok        ? "ok"
                : worst == FileState::missing ? "missing"
                                              : "changed")
            << '\t' << spectrum::escape_controls(cells[source_cell]);
        if (!details.empty())
            out << '\t' << spectrum::escape_controls(details);
        out << '\n';
    }
    return all_match ? 0 : 1;
}

}  // namespace brandel::app

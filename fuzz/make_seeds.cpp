// Writes the seed corpora of the fuzz targets: brandel-fuzz-seeds OUT makes OUT/<target>/ for
// every target. The reader targets get the files of the examples folder and a few small
// generated files of their layout; the CHN reader gets the CHN files of all of them, also cut
// short and in the other layouts that the seconds bytes select; the formatter gets the
// listing's formats and a few more.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/org_types.hpp"
#include "fuzz/fuzz_targets.hpp"
#include "spectrum/chn_file.hpp"

namespace {

namespace fs = std::filesystem;
using brandel::tools::Layout;
using brandel::tools::LineEnd;
using brandel::tools::SourceParams;

void write(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<SourceParams> small_params() {
    std::vector<SourceParams> all;
    SourceParams p;
    p.channels = 2;
    all.push_back(p);
    p.channels = 17;
    p.seed = 7;
    p.line_end = LineEnd::lf;
    p.sample = U"Cs-137 試料";
    p.start = {1999, 12, 5, 23, 59, 8};
    all.push_back(p);
    p.channels = 64;
    p.seed = 9;
    p.line_end = LineEnd::cr;
    p.live_seconds = 12.34;
    p.real_seconds = 56.78;
    p.energy_zero = -1.5;
    p.energy_slope = 0.25;
    p.energy_quad = 1e-6;
    all.push_back(p);
    return all;
}

// The CHN file of a source, by its reader; empty when it does not convert.
std::string chn_of(Layout layout, const std::string& source, const fs::path& scratch) {
    const fs::path path = scratch / "seed.src";
    write(path, source);
    brandel::spectrum::State state;
    state.org_path = path.string();
    auto result = brandel::app::find_org_type(static_cast<int>(layout))->reader(state);
    fs::remove(path);
    return result.complete() ? brandel::spectrum::chn_bytes(state) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: brandel-fuzz-seeds OUT\n");
        return 2;
    }
    const fs::path out = argv[1];
    fs::create_directories(out / "read_chn");
    fs::create_directories(out / "format_printf");
    int chn_count = 0;
    auto add_chn = [&](const std::string& bytes) {
        write(out / "read_chn" / ("seed" + std::to_string(chn_count++)), bytes);
    };

    for (const auto& target : brandel::fuzz::reader_targets) {
        const fs::path dir = out / std::string(target.name);
        fs::create_directories(dir);
        std::vector<std::string> sources;
        for (const auto& example : brandel::tools::example_files())
            if (example.layout == target.layout)
                sources.push_back(brandel::tools::make_source(example.layout, example.params));
        for (const SourceParams& p : small_params())
            sources.push_back(brandel::tools::make_source(target.layout, p));
        for (std::size_t i = 0; i < sources.size(); ++i) {
            write(dir / ("seed" + std::to_string(i)), sources[i]);
            std::string chn = chn_of(target.layout, sources[i], out);
            if (chn.empty()) {
                std::fprintf(stderr, "a seed of %s does not convert\n", target.name.data());
                return 1;
            }
            if (chn.size() > 4096)
                continue;
            add_chn(chn);
            std::string comment = chn;  // a second stored as a number, a comment after the data
            comment[6] = 20;
            comment[7] = 0;
            add_chn(comment.substr(0, comment.size() - 512 + 64));
            std::string other = chn;  // no seconds digits: no comment
            other[6] = 0;
            add_chn(other);
            add_chn(chn.substr(0, chn.size() - 500));  // a short trailer
        }
    }

    using namespace std::string_literals;
    const std::vector<std::string> formats = {
        " %8ld\0\x02"
        "1234"s,
        " %8ld\0\x02"
        "-56"s,
        " %-9s\0\x00"
        "S0123"s,
        " %8.3f\0\x02"
        "3.14159"s,
        " %12.4e\0\x02"
        "-1234.5"s,
        " %-8ld\0\x02"
        "123"s,
        " %3d|%-4s|\0\x02"
        "7\0\x00"
        "ab"s,
        "abc%5dxyz\\tail\0\x00"
        " 42"s,
        "000.00e+00\0\x02"
        "2.675"s,
        "!@@@@\0\x00"
        "abcdef"s,
        " %5d\0\x01\x00\x00\x00\x00\x00\x00\xf0\x7f"s,
    };
    for (std::size_t i = 0; i < formats.size(); ++i)
        write(out / "format_printf" / ("seed" + std::to_string(i)), formats[i]);
    return 0;
}

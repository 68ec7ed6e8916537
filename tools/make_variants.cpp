// Writes source files of every layout in many variants, good and damaged, one folder per layout:
//   brandel-make-variants OUTDIR [FILES_PER_LAYOUT]
// The good files vary channels, line ends, sample texts (ASCII, kanji, half-width katakana) and
// numbers; each damaged file is a good one with a few bytes replaced, inserted, removed or cut
// off, so that conversions fail for many reasons and numbers meet stray characters. The files are
// deterministic: two builds of the converter can be compared on them byte for byte and reason for
// reason (tools/compare_builds.sh).

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "tools/example_sources.hpp"

namespace {

using brandel::tools::Layout;
using brandel::tools::LineEnd;
using brandel::tools::SplitMix64;

const char* extension(Layout layout) {
    switch (layout) {
        case Layout::canberra_txt:
        case Layout::kaihouken_txt:
            return ".txt";
        case Layout::kaihouken_dat:
            return ".dat";
        case Layout::kaihouken_csv:
            return ".csv";
        case Layout::oxford_asc:
            return ".asc";
        case Layout::labo_list:
            return ".lst";
        default:
            return ".spc";
    }
}

// Bytes that change how a text reads: separators, line ends, number characters, a lead byte
// without its trail, the halves of a kanji, a half-width katakana.
constexpr std::string_view pieces[] = {
    " ",        ",",
    "\r",       "\n",
    "\r\n",     "\t",
    ".",        "E",
    "d",        "-",
    "+",        "\"",
    "9",        "0",
    "\x82",     "\xA0",
    "\x82\xA0", "\x8e\x8e",
    "\xB1",     "1.5E3",
    "12 34",    std::string_view("\0", 1),
    "\x82\x41", "\xFF",
};

std::string damaged(std::string bytes, SplitMix64& random) {
    const int edits = 1 + static_cast<int>(random.below(3));
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
        // Most edits fall into the channel table, which is most of the file; some into the header.
        const std::size_t at = random.below(4) == 0
                                   ? random.below(std::min<std::size_t>(bytes.size(), 600))
                                   : random.below(bytes.size());
        const std::string_view piece = pieces[random.below(std::size(pieces))];
        switch (random.below(4)) {
            case 0:
                bytes.replace(at, piece.size(), piece);
                break;
            case 1:
                bytes.insert(at, piece);
                break;
            case 2:
                bytes.erase(at, 1 + random.below(3));
                break;
            default:
                if (random.below(4) == 0)
                    bytes.resize(at);
                else
                    bytes.insert(at, piece);
                break;
        }
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: brandel-make-variants OUTDIR [FILES_PER_LAYOUT]\n";
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const int per_layout = argc == 3 ? std::max(1, std::atoi(argv[2])) : 60;
    const std::u32string samples[] = {U"", U"Soil 07 GE1", U"試料 No.123 土壌", U"ｱｲｳ ｴｵ 12",
                                      U"  lead and trail  "};
    const LineEnd ends[] = {LineEnd::crlf, LineEnd::cr, LineEnd::lf};
    const int channel_counts[] = {2, 16, 512, 1000, 4096, 16384};

    for (Layout layout : brandel::tools::all_layouts()) {
        const std::filesystem::path dir = root / std::to_string(static_cast<int>(layout));
        std::filesystem::create_directories(dir);
        SplitMix64 random(0x5EED0000u + static_cast<std::uint64_t>(layout));
        for (int i = 0; i < per_layout; ++i) {
            brandel::tools::SourceParams p;
            p.channels = channel_counts[random.below(std::size(channel_counts))];
            p.seed = random.next();
            p.sample = samples[random.below(std::size(samples))];
            p.line_end = ends[random.below(std::size(ends))];
            p.live_seconds = static_cast<double>(random.below(100000)) / 4.0;
            p.real_seconds = p.live_seconds + static_cast<double>(random.below(4000)) / 8.0;
            p.start.year = 1970 + static_cast<int>(random.below(100));
            p.start.month = 1 + static_cast<int>(random.below(12));
            p.start.day = 1 + static_cast<int>(random.below(28));
            p.start.hour = static_cast<int>(random.below(24));
            p.start.minute = static_cast<int>(random.below(60));
            p.start.second = static_cast<int>(random.below(60));
            p.energy_zero = static_cast<double>(random.below(2000)) / 1000.0 - 1.0;
            p.energy_slope = static_cast<double>(random.below(5000)) / 1000.0;
            p.energy_quad = static_cast<double>(random.below(100)) * 1e-7;
            const std::string good = brandel::tools::make_source(layout, p);
            // Every third file is kept whole, the others are damaged.
            const std::string bytes = i % 3 == 0 ? good : damaged(good, random);
            const std::filesystem::path path = dir / ("v" + std::to_string(i) + extension(layout));
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            if (!out) {
                std::cerr << "cannot write " << path.string() << "\n";
                return 1;
            }
        }
    }
    return 0;
}

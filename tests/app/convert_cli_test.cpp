#include "app/convert_cli.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "spectrum/chn_file.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/state.hpp"
#include "spectrum/text.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

namespace brandel::app {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int status = run_convert_cli(args, out, err, false);
    return {status, out.str(), err.str()};
}

TEST(ConvertCli, UsageErrorsExitWithTwo) {
    brandel::test_support::TempDir dir;
    const std::string file = dir.write("a.txt", "x");
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {file},                        // no --type
        {"--type", "canberra-txt"},    // no files
        {"--type", "nonsense", file},  // unknown type
        {"--type", "9", file},         // index out of range
        {"--type", "naig", file},      // no reader
        {"--type", "2", file},         // no reader, by index
        {"--type", "0", "--out", dir.dir() + "missing", file},
        {"--type"},  // option without value
        {"--csv"},   // --csv without --list
        {"--info"},  // nothing to look at
        {"--info", "--type", "naig", file},
        {"--info", "--out", dir.dir(), file},  // --info writes nothing
        {"--info", "--list", dir.dir()},
        {"--type", "0", "--format", "xml", file},  // unknown format
        {"--type", "0", "--format", "chn,", file},
        {"--type", "0", "--format=", file},
        {"--type", "0", "--format"},
        {"--info", "--format", "spe", file},  // --info writes nothing
        {"--list", dir.dir(), "--format", "csv"},
        {"--info", "--verify", file},  // --info writes nothing
        {"--info", "--manifest", dir.dir() + "m.csv", file},
        {"--type", "0", "--manifest"},
        {"--check"},
        {"--check", dir.dir() + "m.csv", file},  // --check converts nothing
        {"--check", dir.dir() + "m.csv", "--type", "0"},
        {"--list", dir.dir(), "--verify"},
    };
    for (const auto& args : cases) {
        CliRun r = run(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(r.err.find("usage: brandel-convert"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(ConvertCli, UsageErrorsShowTheArgumentsEscaped) {
    brandel::test_support::TempDir dir;
    const std::string file = dir.write("a.txt", "x");
    struct Case {
        std::vector<std::string> args;
        std::string first_line;
    };
    const std::vector<Case> cases = {
        {{"--type", "0", "--out", "no\nsuch", file}, "no such folder no\\nsuch"},
        {{"--list", "x\ny"}, "no such folder x\\ny"},
        {{"--type", "0", "--out", "gone\x1b[2J\r", file}, "no such folder gone\\x1b[2J\\r"},
        {{"--type", "bad\u202Etype", file}, "unknown type bad\\u202etype"},
        {{"--bogus\tx"}, "unknown option --bogus\\tx"},
    };
    for (const Case& c : cases) {
        CliRun r = run(c.args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(c.args);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "brandel-convert: " + c.first_line);
    }
    if (spectrum::native_path_rules == spectrum::PathRules::posix) {
        CliRun r = run({"--type", "0", "--out", "no\\nsuch", file});
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "brandel-convert: no such folder no\\\\nsuch");
    }
}

TEST(ConvertCli, HelpAndVersionGoToStandardOutput) {
    CliRun help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--type TYPE"), std::string::npos);
    EXPECT_NE(help.out.find("--format FMT"), std::string::npos);
    CliRun version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "brandel-convert 1.1.25\n");
}

TEST(ConvertCli, FailuresAreListedAndCounted) {
    brandel::test_support::TempDir src, out;
    tools::SourceParams p;
    p.channels = 16;
    const std::string good =
        src.write("good.TXT", tools::make_source(tools::Layout::canberra_txt, p));
    const std::string bad = src.write("bad.txt", "not a report\r\n");
    const std::string gone = src.dir() + "gone.txt";

    CliRun r = run({"--type", "canberra-txt", "--out", out.dir(), good, bad, gone});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty()) << "nothing on standard output when converting";
    EXPECT_EQ(r.err, bad + ": header key \"Channel No\" not found; it fits no layout\n" + gone +
                         ": File does not exist.\nconverted 1 of 3 files\n");
    EXPECT_TRUE(out.exists("good.chn"));
    EXPECT_FALSE(out.exists("bad.chn"));

    CliRun ok = run({"--type=0", "--out=" + out.dir(), good});
    EXPECT_EQ(ok.status, 0);
    EXPECT_TRUE(ok.err.empty());
}

// The files of each layout as the examples folder holds them, written into `dir`.
std::map<tools::Layout, std::string> write_examples(const brandel::test_support::TempDir& dir) {
    std::map<tools::Layout, std::string> paths;
    for (const tools::ExampleFile& f : tools::example_files())
        paths[f.layout] = dir.write(f.name, tools::make_source(f.layout, f.params));
    return paths;
}

TEST(ConvertCli, AVerifiedBatchWithAManifestPassesItsCheck) {
    brandel::test_support::TempDir src, out;
    auto paths = write_examples(src);
    const std::string manifest = out.dir() + "m.csv";
    CliRun r = run({"--type", "canberra-txt", "--out", out.dir(), "--format", "chn,n42", "--verify",
                    "--manifest", manifest, paths[tools::Layout::canberra_txt]});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    r = run({"--check", manifest});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ok\t" + paths[tools::Layout::canberra_txt] + "\n");
    out.write("S0123.n42", "damaged");
    r = run({"--check", manifest});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.starts_with("changed\t")) << r.out;
    // A manifest that cannot be opened converts nothing and says why.
    r = run({"--type", "0", "--out", out.dir(), "--manifest", out.dir() + "none/m.csv",
             paths[tools::Layout::canberra_txt]});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot open the manifest"), std::string::npos) << r.err;
}

TEST(ConvertCli, FormatNamesWhatEachFileBecomes) {
    brandel::test_support::TempDir src, out;
    auto paths = write_examples(src);
    const std::string canberra = paths[tools::Layout::canberra_txt];
    CliRun r = run({"--type", "canberra-txt", "--out", out.dir(), "--format", "n42,SPE", canberra});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(out.exists("S0123.spe"));
    EXPECT_TRUE(out.exists("S0123.n42"));
    EXPECT_FALSE(out.exists("S0123.chn")) << "chn is written only when it is named";

    r = run({"--type=0", "--out=" + out.dir(), "--format=chn,csv", canberra});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(out.exists("S0123.chn"));
    EXPECT_TRUE(out.read("S0123.csv").starts_with("channel,energy_keV,counts\r\n0,,"));

    r = run({"--type", "xyz", "--format", "xml", canberra});
    EXPECT_EQ(r.status, 2);
    r = run({"--type", "0", "--format", "xml", canberra});
    EXPECT_TRUE(r.err.starts_with("brandel-convert: unknown format xml (chn, spe, n42 or csv)\n"))
        << r.err;
}

TEST(ConvertCli, AutoTypeReadsEachFileWithTheOneLayoutItFits) {
    brandel::test_support::TempDir src, out;
    auto paths = write_examples(src);
    const std::string none = src.write("notes.txt", "measured on Tuesday\r\n");
    CliRun r = run({"--type", "auto", "--out", out.dir(), paths[tools::Layout::canberra_txt],
                    paths[tools::Layout::labo_new], paths[tools::Layout::kaihouken_csv],
                    paths[tools::Layout::labo_list], paths[tools::Layout::oxford_asc],
                    paths[tools::Layout::labo_old], none});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, paths[tools::Layout::labo_old] +
                         ": it fits more than one layout: Labo(Old), Labo(LIST)\n" + none +
                         ": it fits no layout\nconverted 5 of 7 files\n");
    for (const char* chn :
         {"S0123.chn", "labo_new.chn", "ge1_0715.chn", "labo_list.chn", "nai_0705.chn"})
        EXPECT_TRUE(out.exists(chn)) << chn;
    EXPECT_FALSE(out.exists("labo_old.chn"));
    EXPECT_FALSE(out.exists("notes.chn"));

    // Each file is read with its own layout: the same bytes as under its own type.
    brandel::test_support::TempDir own;
    ASSERT_EQ(
        run({"--type", "oxford-asc", "--out", own.dir(), paths[tools::Layout::oxford_asc]}).status,
        0);
    EXPECT_EQ(out.read("nai_0705.chn"), own.read("nai_0705.chn"));
}

TEST(ConvertCli, InfoPrintsWhatEachFileFitsAndHowItReads) {
    brandel::test_support::TempDir src;
    auto paths = write_examples(src);
    const std::string none = src.write("notes.txt", "measured on Tuesday\r\n");
    const std::string gone = src.dir() + "gone.asc";
    const std::string oxford = paths[tools::Layout::oxford_asc];
    const std::string labo_old = paths[tools::Layout::labo_old];

    CliRun r = run({"--info", oxford, labo_old, none, gone});
    EXPECT_EQ(r.status, 1) << "not every file reads";
    EXPECT_TRUE(r.err.empty());
    EXPECT_EQ(r.out, oxford +
                         "\toxford-asc\t512\t05Jul031\t083000\t900.52\t912.38\t-1.25\t3.05\t"
                         "1.2e-05\t 海水試料 NaI 測定 St.3\t\n" +
                         labo_old +
                         "\tlabo-old,labo-list\terror\tit fits more than one layout: Labo(Old), "
                         "Labo(LIST)\n" +
                         none + "\tnone\terror\tit fits no layout\n" + gone +
                         "\tnone\terror\tFile does not exist.\n");

    // Under a chosen type: the reading of that type (a LIST reading takes its times from the
    // first two values), or why not and what the file fits.
    r = run({"--info", "--type", "labo-list", labo_old, paths[tools::Layout::canberra_txt]});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.out,
        labo_old +
            "\tlabo-old,labo-list\t515\t16JUL02 \t142337\t2.94\t5.42\t0\t1\t"
            "0\tfrom Labo LIST data\t\n" +
            paths[tools::Layout::canberra_txt] +
            "\tcanberra-txt\terror\tbyte 32: the date 'Time   : ' is not YY-MMM-DD; it reads as "
            "CANBERRA(txt)\n");
    EXPECT_EQ(run({"--info", "--type", "auto", oxford}).status, 0);
}

// Names that Linux allows: colons and backslashes are part of a file name, and a name with a
// newline cannot fake a line of the report.
TEST(ConvertCli, NamesWithColonsBackslashesAndNewlinesStayWhole) {
    if (spectrum::native_path_rules == spectrum::PathRules::windows)
        GTEST_SKIP() << "such names are not allowed on Windows";
    brandel::test_support::TempDir src, out;
    tools::SourceParams p;
    p.channels = 16;
    const std::string report = tools::make_source(tools::Layout::canberra_txt, p);
    const std::string colon = src.write("12:30 run.TXT", report);
    const std::string backslash = src.write("ab\\cd.TXT", report);
    const std::string tail = src.write("tail\\.TXT", report);
    const std::string faked = src.write("x\nconverted 5 of 5 files\n.TXT", "not a report\r\n");

    CliRun r = run({"--type", "canberra-txt", "--out", out.dir(), colon, backslash, tail, faked});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, src.dir() + "x\\nconverted 5 of 5 files\\n.TXT: header key \"Channel No\" " +
                         "not found; it fits no layout\nconverted 3 of 4 files\n");
    for (const char* chn : {"12:30 run.chn", "ab\\cd.chn", "tail\\.chn"})
        EXPECT_TRUE(out.exists(chn)) << chn;
    EXPECT_FALSE(out.exists("30 run.chn"));
    EXPECT_FALSE(out.exists("cd.chn"));

    // The same file reached through "./" gives the same name.
    const std::string here = std::filesystem::current_path().string();
    std::filesystem::current_path(src.path());
    CliRun dotted = run({"--type", "canberra-txt", "--out", out.dir(), "./12:30 run.TXT"});
    std::filesystem::current_path(here);
    EXPECT_EQ(dotted.status, 0) << dotted.err;
}

TEST(ConvertCli, NamesThatLookAlikeWhenPrintedRawPrintApart) {
    if (spectrum::native_path_rules == spectrum::PathRules::windows)
        GTEST_SKIP() << "such names are not allowed on Windows";
    brandel::test_support::TempDir src, out;
    const std::string newline = src.write("a\nb.TXT", "not a report\r\n");
    const std::string backslash_n = src.write("a\\nb.TXT", "not a report\r\n");
    const std::string reversed = src.write("evil\u202Etxt.TXT", "not a report\r\n");

    CliRun r = run({"--type", "canberra-txt", "--out", out.dir(), newline, backslash_n, reversed});
    const std::string reason = ": header key \"Channel No\" not found; it fits no layout\n";
    EXPECT_EQ(r.err, src.dir() + "a\\nb.TXT" + reason + src.dir() + "a\\\\nb.TXT" + reason +
                         src.dir() + "evil\\u202etxt.TXT" + reason + "converted 0 of 3 files\n");

    // A name inside a reason is escaped once, as the name before it is.
    std::filesystem::create_directory(out.path() / "a\\b.chn");
    tools::SourceParams p;
    p.channels = 16;
    const std::string good =
        src.write("a\\b.TXT", tools::make_source(tools::Layout::canberra_txt, p));
    CliRun blocked = run({"--type", "canberra-txt", "--out", out.dir(), good});
    EXPECT_EQ(blocked.err.substr(0, blocked.err.find('\n')),
              src.dir() + "a\\\\b.TXT: cannot write " + out.dir() + "a\\\\b.chn: Is a directory");
}

// One argument of a shell command line: POSIX shells take single quotes; Windows takes double
// quotes, inside which backslashes before the closing quote must be doubled.
std::string shell_quoted(const std::string& arg) {
#ifdef _WIN32
    std::string quoted = "\"" + arg;
    for (std::size_t i = arg.size(); i > 0 && arg[i - 1] == '\\'; --i)
        quoted += '\\';
    return quoted + "\"";
#else
    return "'" + arg + "'";
#endif
}

// The installed converter, run as a user would, on the example files of every layout.
TEST(ConvertCliEndToEnd, ConvertsEveryExampleFile) {
    brandel::test_support::TempDir out;
    for (const tools::ExampleFile& example : tools::example_files()) {
        SCOPED_TRACE(example.name);
        const std::string source = std::string(BRANDEL_SOURCE_DIR) + "/examples/" + example.name;
        const std::string command = std::string(BRANDEL_CONVERT) + " --type " +
                                    std::to_string(static_cast<int>(example.layout)) + " --out " +
                                    shell_quoted(out.dir()) + " " + shell_quoted(source);
        ASSERT_EQ(std::system(command.c_str()), 0) << command;

        spectrum::State state;
        state.org_path = out.dir() + spectrum::base_name_of(example.name) + ".chn";
        std::string bytes = out.read(spectrum::base_name_of(example.name) + ".chn");
        spectrum::read_chn(state);
        const tools::ExpectedConversion want =
            tools::expected_conversion(example.layout, example.params);
        const spectrum::ChnHeader& h = state.chn_header;
        EXPECT_EQ(h.num_channels, want.num_channels);
        EXPECT_EQ(h.mca_number, want.mca_number);
        EXPECT_EQ(h.segment, want.segment);
        EXPECT_EQ(spectrum::to_utf8(h.start_date.view()), spectrum::to_utf8(want.start_date));
        EXPECT_EQ(spectrum::to_utf8(h.start_time.view()), spectrum::to_utf8(want.start_time));
        EXPECT_EQ(h.start_sec_tens, want.start_sec_tens);
        EXPECT_EQ(h.start_sec_units, want.start_sec_units);
        auto i32_at = [&](std::size_t at) {
            return static_cast<std::int32_t>(
                static_cast<unsigned char>(bytes[at]) |
                static_cast<unsigned char>(bytes[at + 1]) << 8 |
                static_cast<unsigned char>(bytes[at + 2]) << 16 |
                static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24);
        };
        EXPECT_EQ(i32_at(8), want.real_ticks);
        EXPECT_EQ(i32_at(12), want.live_ticks);
        EXPECT_EQ(state.chn_trailer.trailer_type, -102);
        EXPECT_EQ(state.chn_trailer.energy_zero, want.energy_zero);
        EXPECT_EQ(state.chn_trailer.energy_slope, want.energy_slope);
        EXPECT_EQ(state.chn_trailer.energy_quad, want.energy_quad);
        EXPECT_EQ(state.chn_trailer.sample_desc_len, 63);
        std::vector<std::int32_t> counts(state.counts.data(), state.counts.data() + h.num_channels);
        EXPECT_EQ(counts, want.counts);
    }
}

}  // namespace
}  // namespace brandel::app

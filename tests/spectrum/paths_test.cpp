#include <gtest/gtest.h>

#include <string>

#include "spectrum/errors.hpp"
#include "spectrum/paths.hpp"

namespace brandel::spectrum {
namespace {

constexpr std::string_view untouched = "<untouched>";

constexpr PathRules windows = PathRules::windows;
constexpr PathRules posix = PathRules::posix;

struct SplitRow {
    PathRules rules;
    std::string_view path, drive, directory, base, extension;
};

void expect_splits(const SplitRow& row) {
    SCOPED_TRACE(std::string(row.rules == windows ? "windows: " : "posix: ") +
                 std::string(row.path));
    std::string drive = "?", directory(untouched), base = "?", extension = "?";
    split_path(row.path, drive, directory, base, extension, row.rules);
    EXPECT_EQ(drive, row.drive);
    EXPECT_EQ(directory, row.directory);
    EXPECT_EQ(base, row.base);
    EXPECT_EQ(extension, row.extension);
}

TEST(SplitPath, WindowsPathsHaveDrivesAndBothSeparators) {
    for (const SplitRow& row : std::initializer_list<SplitRow>{
             {windows, "C:\\data\\ge1\\S0123.TXT", "C", "data\\ge1", "S0123", "TXT"},
             {windows, "C:\\S0123.TXT", "C", untouched, "S0123", "TXT"},
             {windows, "C:\\data\\run.01.txt", "C", "data", "run", "01.txt"},
             {windows, "C:S0123.TXT", "C", untouched, "S0123", "TXT"},
             {windows, "D:\\out\\mixed/sep\\x.y", "D", "out\\mixed/sep", "x", "y"},
             {windows, "\\\\server\\lab\\S1.txt", "", "\\server\\lab", "S1", "txt"},
             {windows, "ab\\cd.TXT", "", untouched, "cd", "TXT"},
             {windows, "/data/README", "", "data", "README", ""},
         })
        expect_splits(row);
}

TEST(SplitPath, PosixPathsHaveOnlySlashesAndNoDrive) {
    for (const SplitRow& row : std::initializer_list<SplitRow>{
             {posix, "12:30 run.TXT", "", untouched, "12:30 run", "TXT"},
             {posix, "./12:30 run.TXT", "", untouched, "12:30 run", "TXT"},
             {posix, "/data/12:30 run.TXT", "", "data", "12:30 run", "TXT"},
             {posix, "ab\\cd.TXT", "", untouched, "ab\\cd", "TXT"},
             {posix, "/data/tail\\.TXT", "", "data", "tail\\", "TXT"},
             {posix, "C:\\data\\S0123.TXT", "", untouched, "C:\\data\\S0123", "TXT"},
             {posix, "/home/lab/spectra.2024/S0123.TXT", "", "home/lab/spectra.2024", "S0123",
              "TXT"},
             {posix, "/data/v1.2/run.01.txt", "", "data/v1.2", "run", "01.txt"},
             {posix, "/data/a:b/S1.txt", "", "data/a:b", "S1", "txt"},
             {posix, "/data/README", "", "data", "README", ""},
             {posix, "README", "", untouched, "README", ""},
             {posix, "/S1.chn", "", untouched, "S1", "chn"},
             {posix, "/data/name.", "", "data", "name", ""},
             {posix, "/data/試料 1.txt", "", "data", "試料 1", "txt"},
             {posix, "/data/line\nbreak.txt", "", "data", "line\nbreak", "txt"},
         })
        expect_splits(row);
    EXPECT_EQ(base_name_of("/data/ge1/S0123.TXT"), "S0123");
}

TEST(SplitPath, FileNamesFollowTheLastSeparatorOfTheRules) {
    EXPECT_EQ(file_name_of("/data/ab\\cd.TXT", posix), "ab\\cd.TXT");
    EXPECT_EQ(file_name_of("/data/ab\\cd.TXT", windows), "cd.TXT");
    EXPECT_EQ(file_name_of("12:30 run.TXT", posix), "12:30 run.TXT");
    EXPECT_EQ(file_name_of("plain", posix), "plain");
    EXPECT_EQ(with_trailing_separator("/data\\", posix), "/data\\/");
    EXPECT_EQ(with_trailing_separator("C:\\out", windows), "C:\\out\\");
    EXPECT_EQ(with_trailing_separator("C:/out/", windows), "C:/out/");
}

TEST(SplitPath, NameWithoutBaseNameIsAnInvalidNameAndSplitsNothing) {
    for (std::string_view path :
         {".hidden", "/data/.hidden", "C:\\data\\.txt", "/data/", "", "/data/.."}) {
        SCOPED_TRACE(path);
        std::string drive = "d", directory = "x", base = "b", extension = "e";
        try {
            split_path(path, drive, directory, base, extension, windows);
            ADD_FAILURE() << "split without a base name";
        } catch (const SpectrumError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::invalid_name);
            EXPECT_NE(std::string(e.what()).find("cannot name the output file"), std::string::npos);
        }
        EXPECT_EQ(drive + directory + base + extension, "dxbe");
    }
}

TEST(EscapeControls, OneNameStaysOnOneLine) {
    struct Row {
        std::string_view text, shown;
    };
    for (const Row& row : std::initializer_list<Row>{
             {"S0123.TXT", "S0123.TXT"},
             {"a\nb.TXT", "a\\nb.TXT"},
             {"a\nconverted 5 of 5 files", "a\\nconverted 5 of 5 files"},
             {"\r\t\x1b[2J\x7f", "\\r\\t\\x1b[2J\\x7f"},
             {std::string_view("nul\0x", 5), "nul\\x00x"},
             {"試料 1 · ü € 𝄞", "試料 1 · ü € 𝄞"},
             {"c1 \xc2\x85 \xc2\x9b", "c1 \\u0085 \\u009b"},
             {"ls \xe2\x80\xa8 ps \xe2\x80\xa9", "ls \\u2028 ps \\u2029"},
             {"bad \xff \xc0\xaf \xed\xa0\x80 \xe3\x81",
              "bad \\xff \\xc0\\xaf \\xed\\xa0\\x80 \\xe3\\x81"},
             {"ab\\cd.TXT", "ab\\cd.TXT"},
         })
        EXPECT_EQ(escape_controls(row.text), row.shown) << row.text;
}

TEST(SplitPath, FoldersGetOneTrailingSeparator) {
    const std::string sep(1, path_separator);
    EXPECT_EQ(with_trailing_separator("data"), "data" + sep);
    EXPECT_EQ(with_trailing_separator("/data/"), "/data/");
    EXPECT_EQ(with_trailing_separator("C:\\out\\", windows), "C:\\out\\");
}

}  // namespace
}  // namespace brandel::spectrum

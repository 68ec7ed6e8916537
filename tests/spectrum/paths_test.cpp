#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "spectrum/errors.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/text.hpp"

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

TEST(EscapeControls, MarksOfTextDirectionAreEscapedAndOtherCharactersKept) {
    // An override or an isolate makes a terminal lay out what follows it in another order:
    // "evil" U+202E "txt.exe" shows as "evilexe.txt".
    for (char32_t mark : {0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2066, 0x2067, 0x2068, 0x2069,
                          0x200E, 0x200F, 0x061C}) {
        const std::string text = "evil" + to_utf8(std::u32string(1, mark)) + "txt.exe";
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(mark));
        EXPECT_EQ(escape_controls(text), "evil" + std::string(escape) + "txt.exe");
        EXPECT_EQ(escape_name(text), escape_controls(text));
    }
    // Their neighbours stay: a joiner inside an emoji, a narrow no-break space, Arabic letters.
    for (char32_t kept : {0x200D, 0x202F, 0x2065, 0x206A, 0x061B, 0x0627}) {
        const std::string text = "a" + to_utf8(std::u32string(1, kept)) + "b";
        EXPECT_EQ(escape_controls(text), text) << static_cast<unsigned>(kept);
    }
}

TEST(EscapeName, BackslashIsEscapedWhereItCanBeInAName) {
    // A newline, and a backslash before an "n": two names, two texts.
    EXPECT_EQ(escape_name("a\nb.TXT", PathRules::posix), "a\\nb.TXT");
    EXPECT_EQ(escape_name("a\\nb.TXT", PathRules::posix), "a\\\\nb.TXT");
    EXPECT_EQ(escape_name("ab\\cd.TXT", PathRules::posix), "ab\\\\cd.TXT");
    EXPECT_EQ(escape_name("/data/\\\\x1b\x1b", PathRules::posix), "/data/\\\\\\\\x1b\\x1b");
    // On Windows a backslash separates folders and names hold no control characters.
    EXPECT_EQ(escape_name("C:\\data\\x.TXT", PathRules::windows), "C:\\data\\x.TXT");
    EXPECT_EQ(escape_name("\\\\server\\share\\n.TXT", PathRules::windows),
              "\\\\server\\share\\n.TXT");
    EXPECT_EQ(escape_name("C:\\a\tb\u202e.TXT", PathRules::windows), "C:\\a\\tb\\u202e.TXT");
    // Text of a message keeps its backslashes: its names and quoted fields are escaped already.
    EXPECT_EQ(escape_controls("start date '\\x00' is not a date"),
              "start date '\\x00' is not a date");
}

TEST(SplitPath, NameWithoutBaseNameIsReportedEscaped) {
    std::string drive, directory, base, extension;
    try {
        split_path("/data/.\n\\x", drive, directory, base, extension, posix);
        ADD_FAILURE() << "split a name without base name";
    } catch (const SpectrumError& e) {
        EXPECT_STREQ(e.what(), "cannot name the output file: \".\\n\\\\x\" has no base name");
    }
}

TEST(SplitPath, FoldersGetOneTrailingSeparator) {
    const std::string sep(1, path_separator);
    EXPECT_EQ(with_trailing_separator("data"), "data" + sep);
    EXPECT_EQ(with_trailing_separator("/data/"), "/data/");
    EXPECT_EQ(with_trailing_separator("C:\\out\\", windows), "C:\\out\\");
}

}  // namespace
}  // namespace brandel::spectrum

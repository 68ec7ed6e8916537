// Patterns on the command line, expanded by the program itself where no shell does it: the file
// name part is matched ignoring case, the folder part is kept as written.

#include "app/wildcards.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "spectrum/atomic_file.hpp"
#include "temp_dir.hpp"

namespace brandel::app {
namespace {

using test_support::TempDir;
using Words = std::vector<std::string>;

TEST(HasWildcard, StarOrQuestionMarkAnywhere) {
    EXPECT_TRUE(has_wildcard("*.TXT"));
    EXPECT_TRUE(has_wildcard("S01?3.TXT"));
    EXPECT_TRUE(has_wildcard("da*ta/S0123.TXT"));
    EXPECT_FALSE(has_wildcard("S0123.TXT"));
    EXPECT_FALSE(has_wildcard("[ab].TXT"));  // brackets are no pattern on Windows
}

TEST(ExpandWildcards, APatternBecomesTheMatchingFilesOfItsFolderSortedAndCaseIgnored) {
    TempDir dir;
    for (const char* name : {"b.TXT", "A.txt", "c.Txt", "d.dat", "run.TXT.bak"})
        dir.write(name, "x");
    std::filesystem::create_directory(dir.path() / "folder.TXT");
    const std::string folder = dir.dir();
    const WildcardExpansion e = expand_wildcards({folder + "*.TXT"});
    EXPECT_EQ(e.paths, (Words{folder + "A.txt", folder + "b.TXT", folder + "c.Txt"}));
    EXPECT_TRUE(e.unmatched.empty());
}

TEST(ExpandWildcards, WordsWithoutPatternsKeepTheirPlaces) {
    TempDir dir;
    dir.write("a1.asc", "x");
    dir.write("a2.asc", "x");
    dir.write("a10.asc", "x");
    const std::string folder = dir.dir();
    const WildcardExpansion e =
        expand_wildcards({"first.TXT", folder + "a?.ASC", "missing.TXT", folder + "*1*"});
    EXPECT_EQ(e.paths, (Words{"first.TXT", folder + "a1.asc", folder + "a2.asc", "missing.TXT",
                              folder + "a1.asc", folder + "a10.asc"}))
        << "a name that is no pattern is passed on even when it does not exist";
}

TEST(ExpandWildcards, StarDotStarMatchesNamesWithoutADotToo) {
    TempDir dir;
    dir.write("README", "x");
    dir.write("S0123.TXT", "x");
    const WildcardExpansion e = expand_wildcards({dir.dir() + "*.*"});
    EXPECT_EQ(e.paths, (Words{dir.dir() + "README", dir.dir() + "S0123.TXT"}));
}

TEST(ExpandWildcards, OurOwnTemporaryFilesAreNeverMatched) {
    TempDir dir;
    dir.write("S0123.chn", "x");
    const std::string temporary = ".S0123.chn.4242-0-1.brandel-tmp";
    ASSERT_TRUE(spectrum::is_temporary_name(temporary));
    dir.write(temporary, "x");
    EXPECT_EQ(expand_wildcards({dir.dir() + "*"}).paths, (Words{dir.dir() + "S0123.chn"}));
}

TEST(ExpandWildcards, APatternThatNamesNoFileIsReportedWithItsReason) {
    TempDir dir;
    dir.write("S0123.TXT", "x");
    const std::string none = dir.dir() + "*.ASC";
    const std::string no_folder = dir.dir() + "nowhere" + spectrum::path_separator + "*.TXT";
    const std::string folder_pattern = dir.dir() + "*" + spectrum::path_separator + "S0123.TXT";
    const WildcardExpansion e =
        expand_wildcards({none, dir.dir() + "*.txt", no_folder, folder_pattern});
    EXPECT_EQ(e.paths, (Words{dir.dir() + "S0123.TXT"}));
    ASSERT_EQ(e.unmatched.size(), 3u);
    EXPECT_EQ(e.unmatched[0].pattern, none);
    EXPECT_EQ(e.unmatched[0].reason, "no file matches this pattern");
    EXPECT_EQ(e.unmatched[1].pattern, no_folder);
    EXPECT_NE(e.unmatched[1].reason.find("its folder cannot be read"), std::string::npos)
        << e.unmatched[1].reason;
    EXPECT_EQ(e.unmatched[2].pattern, folder_pattern);
    EXPECT_NE(e.unmatched[2].reason.find("not for folders"), std::string::npos);
}

TEST(ExpandWildcards, APatternWithoutAFolderLooksInTheCurrentOne) {
    TempDir dir;
    dir.write("S0123.TXT", "x");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const WildcardExpansion e = expand_wildcards({"s*.txt"});
    std::filesystem::current_path(before);
    EXPECT_EQ(e.paths, (Words{"S0123.TXT"}));
}

}  // namespace
}  // namespace brandel::app

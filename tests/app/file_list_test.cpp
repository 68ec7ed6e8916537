#include "app/file_list.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "temp_dir.hpp"

namespace brandel::app {
namespace {

using Names = std::vector<std::string>;

struct PatternRow {
    const char* name;
    const char* pattern;
    bool matches;
};

TEST(MatchesPattern, GlobRulesIgnoringCase) {
    const PatternRow rows[] = {
        {"S0123.TXT", "*.txt", true},
        {"s0123.txt", "*.TXT", true},
        {"a.txt.bak", "*.txt", false},
        {"a.bak.txt", "*.txt", true},
        {"a.txt", "*.dat", false},
        {".txt", "*.txt", true},
        {"txt", "*.txt", false},
        {"README", "*.*", true},  // no dot, still every name
        {"a.b.c", "*.*", true},
        {"a.chn", "*.chn", true},
        {"a.chnx", "*.chn", false},
        {"ab.asc", "??.asc", true},
        {"abc.asc", "??.asc", false},
        {"\xE5\x8E\x9F.dat", "?.dat", true},  // one character of three UTF-8 bytes
        {"\xE5\x8E\x9F\xE7\xA0\x94.dat", "\xE5\x8E\x9F*.DAT", true},
        {"run01.csv", "run*1.csv", true},
        {"run012.csv", "run*1.csv", false},
        {"abc", "a**c", true},
        {"", "*", true},
        {"", "?", false},
    };
    for (const PatternRow& row : rows)
        EXPECT_EQ(matches_pattern(row.name, row.pattern), row.matches)
            << row.name << " against " << row.pattern;
}

TEST(NameLess, IgnoresAsciiCaseWithAFixedTieOrder) {
    Names names = {"b.txt", "C.txt", "a.TXT", "A.txt", "_x", "B.txt"};
    std::sort(names.begin(), names.end(),
              [](const std::string& x, const std::string& y) { return name_less(x, y); });
    EXPECT_EQ(names, (Names{"A.txt", "a.TXT", "B.txt", "b.txt", "C.txt", "_x"}));
}

class FolderListing : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"b.TXT", "a.txt", "C.dat", "readme", ".a.chn.brandel-tmp"})
            dir.write(name, "x");
        std::filesystem::create_directory(dir.path() / "sub.txt");
        std::filesystem::create_directory(dir.path() / "Alpha");
        std::filesystem::create_directory(dir.path() / "beta");
    }
    std::string folder() const { return dir.path().string(); }
    test_support::TempDir dir;
};

TEST_F(FolderListing, FilesMatchSortedRegularOnly) {
    EXPECT_EQ(list_files(folder(), "*.txt"), (Names{"a.txt", "b.TXT"}));
    EXPECT_EQ(list_files(folder(), "*.*"), (Names{"a.txt", "b.TXT", "C.dat", "readme"}));
    EXPECT_EQ(list_files(folder(), "*.chn"), Names{});
}

TEST_F(FolderListing, SeveralPatternsListEachFileOnceInNameOrder) {
    dir.write("d.CSV", "x");
    EXPECT_EQ(list_files(folder(), Names{"*.dat", "*.txt"}), (Names{"a.txt", "b.TXT", "C.dat"}));
    // A name that two patterns match is listed once.
    EXPECT_EQ(list_files(folder(), Names{"*.txt", "a.*", "*.csv"}),
              (Names{"a.txt", "b.TXT", "d.CSV"}));
    EXPECT_EQ(list_files(folder(), Names{}), Names{});
    EXPECT_EQ(list_files(folder(), Names{"*.txt"}), list_files(folder(), "*.txt"));
}

TEST_F(FolderListing, FoldersSorted) {
    EXPECT_EQ(list_folders(folder()), (Names{"Alpha", "beta", "sub.txt"}));
}

#ifndef _WIN32
TEST_F(FolderListing, HiddenNamesLeftOut) {
    dir.write(".profile", "x");
    std::filesystem::create_directory(dir.path() / ".cache");
    EXPECT_EQ(list_files(folder(), "*.*"), (Names{"a.txt", "b.TXT", "C.dat", "readme"}));
    EXPECT_EQ(list_folders(folder()), (Names{"Alpha", "beta", "sub.txt"}));
}
#endif

TEST_F(FolderListing, MissingFolderRaises) {
    std::string gone = (dir.path() / "gone").string();
    EXPECT_THROW(list_files(gone, "*.*"), std::filesystem::filesystem_error);
    EXPECT_THROW(list_folders(gone), std::filesystem::filesystem_error);
}

TEST_F(FolderListing, EntriesOfEveryKindAreListedByName) {
    // Folders and links that lead nowhere are entries too; hidden and temporary files are not.
    std::filesystem::create_directory(dir.path() / "d.TXT");
    Names expected{"a.txt", "b.TXT", "d.TXT", "sub.txt"};
#ifndef _WIN32
    std::filesystem::create_symlink("nowhere", dir.path() / "e.txt");
    dir.write(".hidden.txt", "x");
    expected = {"a.txt", "b.TXT", "d.TXT", "e.txt", "sub.txt"};
#endif
    EXPECT_EQ(list_entries(folder(), "*.txt"), expected);
    EXPECT_EQ(list_files(folder(), "*.txt"), (Names{"a.txt", "b.TXT"}));
}

}  // namespace
}  // namespace brandel::app

// Which output names are one file: on Windows names that differ only in case are, elsewhere
// they are not.

#include <gtest/gtest.h>

#include <string>

#include "spectrum/atomic_file.hpp"
#include "spectrum/paths.hpp"
#include "temp_dir.hpp"

namespace brandel::spectrum {
namespace {

const std::string japanese = "\xE5\x9C\x9F\xE5\xA3\x8C.chn";

TEST(FileNameKey, CaseCountsAsTheFileSystemCountsIt) {
    const bool one_file = native_path_rules == PathRules::windows;
    EXPECT_EQ(file_name_key("S0123.chn") == file_name_key("s0123.CHN"), one_file);
    // Letters outside ASCII have case too: e acute and alpha.
    EXPECT_EQ(file_name_key("\xC3\xA9t\xC3\xA9.chn") == file_name_key("\xC3\x89T\xC3\x89.chn"),
              one_file);
    EXPECT_EQ(file_name_key("\xCE\xB1.chn") == file_name_key("\xCE\x91.chn"), one_file);
    EXPECT_NE(file_name_key("a.chn"), file_name_key("b.chn"));
    EXPECT_EQ(file_name_key(japanese), file_name_key(japanese));
    EXPECT_NE(file_name_key(japanese), file_name_key("\xE6\xB8\xAC.chn"));
    // Bytes that are not UTF-8 still give a key of their own.
    EXPECT_NE(file_name_key("\xFF.chn"), file_name_key("\xFE.chn"));
}

TEST(FileNameKey, EqualKeysAreOneFileOnDisk) {
    test_support::TempDir dir;
    replace_file(fs_path(dir.dir() + "S0123.chn"), "upper");
    replace_file(fs_path(dir.dir() + "s0123.CHN"), "lower");
    const bool one_file = file_name_key("S0123.chn") == file_name_key("s0123.CHN");
    EXPECT_EQ(dir.read("S0123.chn"), one_file ? "lower" : "upper");
}

// The window's drive list finds the drive or mount a folder is on with this.
TEST(FolderContains, WholeFolderNamesOnlyAsTheFileSystemNamesThem) {
    const bool windows = native_path_rules == PathRules::windows;
    EXPECT_TRUE(folder_contains("/data", "/data"));
    EXPECT_TRUE(folder_contains("/data", "/data/ge1/S0123.TXT"));
    EXPECT_TRUE(folder_contains("/", "/data"));
    EXPECT_FALSE(folder_contains("/data", "/database"));
    EXPECT_FALSE(folder_contains("/data/ge1", "/data"));
    EXPECT_FALSE(folder_contains("", "/data"));
    EXPECT_EQ(folder_contains("/Data", "/data/ge1"), windows);
    EXPECT_EQ(folder_contains("/data", "/data\\ge1"), windows);
    EXPECT_EQ(folder_contains("C:\\", "c:/lab/ge1"), windows);
    EXPECT_EQ(folder_contains("D:\\\xC3\x89T\xC3\x89", "d:\\\xC3\xA9t\xC3\xA9\\run"), windows);
    EXPECT_FALSE(folder_contains("C:\\", "D:\\lab"));
}

}  // namespace
}  // namespace brandel::spectrum

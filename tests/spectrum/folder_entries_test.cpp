// Reading a folder: every entry with its kind, a folder that cannot be read raises instead of
// listing nothing or another folder, and a folder deeper than the old 260-character limit of
// Windows is read, written and cleaned up as any other.

#include "spectrum/folder_entries.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/file_list.hpp"
#include "deep_folders.hpp"
#include "spectrum/atomic_file.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/regular_file.hpp"
#include "temp_dir.hpp"

namespace brandel::spectrum {
namespace {

using test_support::deep_folder;
using test_support::TempDir;

std::vector<std::string> names_of(const std::vector<FolderEntry>& entries) {
    std::vector<std::string> names;
    for (const FolderEntry& e : entries)
        names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ReadFolder, EveryEntryComesWithItsKind) {
    TempDir dir;
    dir.write("S0123.chn", "x");
    std::filesystem::create_directory(dir.path() / "sub.chn");
    const std::vector<FolderEntry> entries = read_folder(dir.path());
    ASSERT_EQ(names_of(entries), (std::vector<std::string>{"S0123.chn", "sub.chn"}));
    for (const FolderEntry& e : entries) {
        EXPECT_EQ(e.is_file, e.name == "S0123.chn") << e.name;
        EXPECT_EQ(e.is_folder, e.name == "sub.chn") << e.name;
        EXPECT_FALSE(e.is_link);
    }
    EXPECT_TRUE(is_folder(dir.dir() + "sub.chn"));
    EXPECT_FALSE(is_folder(dir.dir() + "S0123.chn"));
    EXPECT_FALSE(is_folder(dir.dir() + "missing"));
}

TEST(ReadFolder, AFolderThatCannotBeReadRaisesAndNamesIt) {
    TempDir dir;
    dir.write("file.chn", "x");
    for (const std::filesystem::path& bad : {dir.path() / "missing", dir.path() / "file.chn"}) {
        SCOPED_TRACE(utf8_path(bad));
        try {
            read_folder(bad);
            ADD_FAILURE() << "a folder that is not there was read";
        } catch (const std::filesystem::filesystem_error& e) {
            EXPECT_EQ(e.path1(), bad);
        }
    }
}

TEST(ReadFolder, AnEmptyFolderHasNoEntries) {
    TempDir dir;
    EXPECT_TRUE(read_folder(dir.path()).empty());
}

TEST(LongPaths, AFolderOf300CharactersIsListedWrittenAndCleanedUp) {
    TempDir dir;
    const std::filesystem::path folder = deep_folder(dir.path(), 300);
    ASSERT_GE(utf8_path(folder).size(), 300u);
    const std::filesystem::path target = folder / "S0123.chn";
    replace_file(target, "first");
    replace_file(target, "second");
    EXPECT_EQ(read_regular_file(utf8_path(target), 100, nullptr), "second");
    EXPECT_TRUE(is_folder(utf8_path(folder)));
    EXPECT_EQ(names_of(read_folder(folder)), std::vector<std::string>{"S0123.chn"});
    EXPECT_EQ(app::list_files(utf8_path(folder), "*.CHN"), std::vector<std::string>{"S0123.chn"});
    EXPECT_EQ(app::list_folders(utf8_path(folder.parent_path())),
              std::vector<std::string>{utf8_path(folder.filename())});
    // A relative path from a folder nearby reaches it too.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::filesystem::path relative = folder.lexically_relative(dir.path());
    const auto names = app::list_files(utf8_path(relative), "*.chn");
    std::filesystem::current_path(before);
    EXPECT_EQ(names, std::vector<std::string>{"S0123.chn"});
    test_support::remove_deep(dir.path() / std::string(60, 'a'));
}

#ifdef _WIN32
TEST(LongPaths, OnlyPathsTooLongForTheOldLimitTakeTheLongForm) {
    const std::filesystem::path short_path = L"C:\\data\\S0123.chn";
    EXPECT_EQ(long_path(short_path), short_path);
    const std::wstring deep = L"C:\\" + std::wstring(300, L'a') + L"\\S0123.chn";
    EXPECT_EQ(long_path(deep).native(), L"\\\\?\\" + deep);
    EXPECT_EQ(long_path(L"C:/" + std::wstring(300, L'a') + L"/S0123.chn").native(),
              L"\\\\?\\" + deep)
        << "separators made the system's";
    const std::wstring share = L"\\\\server\\share\\" + std::wstring(300, L'b');
    EXPECT_EQ(long_path(share).native(), L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'b'));
    EXPECT_EQ(long_path(L"\\\\?\\" + deep).native(), L"\\\\?\\" + deep);
}
#endif

}  // namespace
}  // namespace brandel::spectrum

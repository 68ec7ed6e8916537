// Files on Windows: names outside the system's ANSI code page go through the wide API, the
// read-only attribute stops a replace, the other attributes and the access list survive it, and
// folders are reached
// through drive letters, either separator, and the "\\?\" and UNC forms.

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>

#include <filesystem>
#include <string>

#include "spectrum/atomic_file.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/regular_file.hpp"
#include "temp_dir.hpp"

namespace brandel::spectrum {
namespace {

using test_support::TempDir;

// "Spectrum of the soil sample" in Japanese, and a name with characters from several scripts.
const std::string japanese_name = "\xE5\x9C\x9F\xE5\xA3\x8C\xE8\xA9\xA6\xE6\x96\x99.chn";
const std::string mixed_name = "\xC3\x9F-\xCE\xB1\xCE\xB2-\xE6\xB8\xAC\xE5\xAE\x9A.chn";

std::string read_back(const std::string& utf8) {
    return read_regular_file(utf8, 1 << 20, nullptr);
}

DWORD attributes_of(const std::string& utf8) {
    return GetFileAttributesW(fs_path(utf8).c_str());
}

TEST(WindowsFiles, NamesOutsideTheAnsiCodePageAreWrittenAndReadBack) {
    TempDir dir;
    for (const std::string& name : {japanese_name, mixed_name}) {
        SCOPED_TRACE(name);
        const std::string path = dir.dir() + name;
        replace_file(fs_path(path), "first");
        replace_file(fs_path(path), "second bytes");
        EXPECT_EQ(read_back(path), "second bytes");
        // The name on disk is the name asked for, character for character, not "?".
        EXPECT_NE(attributes_of(path), INVALID_FILE_ATTRIBUTES);
        bool found = false;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            found = found || utf8_path(entry.path().filename()) == name;
        EXPECT_TRUE(found);
    }
}

TEST(WindowsFiles, ReadOnlyAttributeRefusesTheReplaceAndKeepsTheBytes) {
    TempDir dir;
    const std::string path = dir.dir() + "S0123.chn";
    replace_file(fs_path(path), "old bytes");
    ASSERT_TRUE(SetFileAttributesW(fs_path(path).c_str(), FILE_ATTRIBUTE_READONLY));
    try {
        replace_file(fs_path(path), "new bytes");
        ADD_FAILURE() << "a read-only file was replaced";
    } catch (const SpectrumError& e) {
        EXPECT_NE(std::string(e.what()).find("S0123.chn is read-only"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(read_back(path), "old bytes");
    EXPECT_TRUE(attributes_of(path) & FILE_ATTRIBUTE_READONLY);
    // No temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1);
    SetFileAttributesW(fs_path(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsFiles, ReplacedFileKeepsItsHiddenAndArchiveAttributes) {
    TempDir dir;
    const std::string path = dir.dir() + "S0123.chn";
    replace_file(fs_path(path), "old");
    ASSERT_TRUE(
        SetFileAttributesW(fs_path(path).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    replace_file(fs_path(path), "new");
    EXPECT_EQ(read_back(path), "new");
    const DWORD kept = attributes_of(path);
    EXPECT_TRUE(kept & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(kept & FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_FALSE(kept & FILE_ATTRIBUTE_READONLY);
}

// The well-known group of guests, whose entries no file has unless it is given one.
struct Guests {
    PSID sid = nullptr;
    Guests() {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_GUESTS, 0, 0,
                                 0, 0, 0, 0, &sid);
    }
    ~Guests() { FreeSid(sid); }
    Guests(const Guests&) = delete;
    Guests& operator=(const Guests&) = delete;
};

// Whether the file's access list has an entry of its own (not inherited) that lets guests in.
bool lets_guests_in(const std::string& utf8) {
    Guests guests;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(fs_path(utf8).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool found = false;
    for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(list, i, &entry))
            continue;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        found = found || (header->AceType == ACCESS_ALLOWED_ACE_TYPE &&
                          (header->AceFlags & INHERITED_ACE) == 0 &&
                          EqualSid(&static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart, guests.sid));
    }
    LocalFree(descriptor);
    return found;
}

// Adds an entry that lets guests read the file.
void let_guests_read(const std::string& utf8) {
    Guests guests;
    std::wstring name = fs_path(utf8).wstring();
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(name.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &list, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPLICIT_ACCESS_W access{};
    access.grfAccessPermissions = GENERIC_READ;
    access.grfAccessMode = GRANT_ACCESS;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = static_cast<LPWSTR>(guests.sid);
    PACL extended = nullptr;
    EXPECT_EQ(SetEntriesInAclW(1, &access, list, &extended), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, extended, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    LocalFree(extended);
    LocalFree(descriptor);
}

TEST(WindowsFiles, ReplacedFileKeepsTheOwnEntriesOfItsAccessList) {
    TempDir dir;
    const std::string path = dir.dir() + "S0123.chn";
    replace_file(fs_path(path), "old bytes");
    let_guests_read(path);
    if (!lets_guests_in(path))
        GTEST_SKIP() << "this file system keeps no access lists";
    replace_file(fs_path(path), "new bytes");
    EXPECT_EQ(read_back(path), "new bytes");
    EXPECT_TRUE(lets_guests_in(path));
    // A file of the folder that was not given the entry has none.
    replace_file(fs_path(dir.dir() + "other.chn"), "new bytes");
    EXPECT_FALSE(lets_guests_in(dir.dir() + "other.chn"));
}

TEST(WindowsFiles, FoldersAreReachedThroughEitherSeparatorAndTheLongPathForm) {
    TempDir dir;
    std::string native = dir.dir();  // "C:\users\...\", with a drive letter
    ASSERT_GE(native.size(), 3u);
    ASSERT_EQ(native[1], ':');
    std::string forward = native;
    for (char& c : forward)
        if (c == '\\')
            c = '/';
    const std::string long_form = "\\\\?\\" + native;

    replace_file(fs_path(native + "a.chn"), "through backslashes");
    replace_file(fs_path(forward + "b.chn"), "through slashes");
    replace_file(fs_path(long_form + "c.chn"), "through the long form");
    EXPECT_EQ(read_back(forward + "a.chn"), "through backslashes");
    EXPECT_EQ(read_back(long_form + "b.chn"), "through slashes");
    EXPECT_EQ(read_back(native + "c.chn"), "through the long form");
}

TEST(WindowsFiles, UncPathsReachTheSameFiles) {
    TempDir dir;
    const std::string native = dir.dir();
    replace_file(fs_path(native + "S0123.chn"), "old");
    // The administrative share of the drive names the same folder as a UNC path.
    const std::string unc = "\\\\localhost\\" + std::string(1, native[0]) + "$" + native.substr(2);
    if (GetFileAttributesW(fs_path(unc).c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "this system does not share its drives (" << unc << ")";
    replace_file(fs_path(unc + "S0123.chn"), "new through the share");
    EXPECT_EQ(read_back(native + "S0123.chn"), "new through the share");
}

TEST(WindowsFiles, UncAndDrivePathsSplitIntoFolderAndBaseName) {
    std::string drive, directory, base, extension;
    split_path("\\\\server\\lab\\ge1\\S0123.TXT", drive, directory, base, extension);
    EXPECT_EQ(drive, "");
    EXPECT_EQ(base, "S0123");
    EXPECT_EQ(extension, "TXT");
    split_path("D:\\data\\ge1.0715\\run.01.txt", drive, directory, base, extension);
    EXPECT_EQ(drive, "D");
    EXPECT_EQ(directory, "data\\ge1.0715");
    EXPECT_EQ(base, "run");
    EXPECT_EQ(extension, "01.txt");
    split_path("D:/data/S0123.TXT", drive, directory, base, extension);
    EXPECT_EQ(drive, "D");
    EXPECT_EQ(directory, "data");
    EXPECT_EQ(base, "S0123");
    EXPECT_EQ(with_trailing_separator("C:\\data"), "C:\\data\\");
    EXPECT_EQ(with_trailing_separator("C:/data/"), "C:/data/");
}

}  // namespace
}  // namespace brandel::spectrum

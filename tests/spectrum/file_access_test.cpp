// A replaced CHN file keeps what guards it beside its permission bits: its access list and its
// extended attributes, for root and for another user, on file systems that keep them.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "other_user.hpp"
#include "spectrum/atomic_file.hpp"
#include "spectrum/errors.hpp"
#include "temp_dir.hpp"

namespace brandel::spectrum {
namespace {

namespace fs = std::filesystem;
using test_support::as_other_user;
using test_support::other_user_id;
using test_support::TempDir;

constexpr const char* acl_name = "system.posix_acl_access";
constexpr const char* default_acl_name = "system.posix_acl_default";

// Entries of an access list: the owner, a named user, the owning group, the mask, the others.
enum Tag : std::uint16_t { owner = 0x01, user = 0x02, group = 0x04, mask = 0x10, other = 0x20 };
struct Entry {
    Tag tag;
    std::uint16_t permissions;  // 4 read, 2 write, 1 execute
    std::uint32_t id = 0xFFFFFFFF;
};

// An access list as the kernel keeps it in its attribute: version 2, then each entry as tag,
// permissions and id, little-endian, in the order of their tags.
std::string access_list(std::initializer_list<Entry> entries) {
    std::string bytes;
    auto put = [&](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    put(2, 4);
    for (const Entry& e : entries) {
        put(e.tag, 2);
        put(e.permissions, 2);
        put(e.id, 4);
    }
    return bytes;
}

// The attribute's value; none when the file has no such attribute.
std::optional<std::string> attribute(const fs::path& path, const char* name) {
    char value[4096];
    const ssize_t n = ::lgetxattr(path.c_str(), name, value, sizeof value);
    if (n < 0)
        return std::nullopt;
    return std::string(value, static_cast<std::size_t>(n));
}

bool set_attribute(const fs::path& path, const char* name, const std::string& value) {
    return ::lsetxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

unsigned mode_of(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Whether the folder's file system keeps user attributes and access lists.
bool keeps_access_lists(const TempDir& dir) {
    const fs::path probe = dir.path() / "probe";
    dir.write("probe", "");
    const bool kept =
        set_attribute(probe, "user.probe", "1") &&
        set_attribute(probe, acl_name, access_list({{owner, 6}, {group, 4}, {other, 4}}));
    fs::remove(probe);
    return kept;
}

TEST(ReplaceFile, ReplacedFileKeepsItsAccessListAndExtendedAttributes) {
    TempDir dir;
    if (!keeps_access_lists(dir))
        GTEST_SKIP() << "this file system keeps no user attributes or access lists";
    const fs::path target = dir.path() / "S0123.chn";
    dir.write("S0123.chn", "old");
    ::chmod(target.c_str(), 0640);
    const std::string list =
        access_list({{owner, 6}, {user, 4, other_user_id}, {group, 4}, {mask, 6}, {other, 0}});
    ASSERT_TRUE(set_attribute(target, acl_name, list));
    ASSERT_TRUE(set_attribute(target, "user.origin", "ge1 detector, run 0715"));
    ASSERT_TRUE(set_attribute(target, "user.empty", ""));
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_TRUE(set_attribute(target, "trusted.brandel", "kept by root"));
    }
    const unsigned mode = mode_of(target);  // the mask is the group's bits

    replace_file(target, "new bytes");
    EXPECT_EQ(dir.read("S0123.chn"), "new bytes");
    EXPECT_EQ(attribute(target, acl_name), list);
    EXPECT_EQ(attribute(target, "user.origin"), "ge1 detector, run 0715");
    EXPECT_EQ(attribute(target, "user.empty"), "");
    if (root) {
        EXPECT_EQ(attribute(target, "trusted.brandel"), "kept by root");
    }
    EXPECT_EQ(mode_of(target), mode);
}

TEST(ReplaceFile, FileWithoutAccessListTakesNoneFromTheFolder) {
    TempDir dir;
    if (!keeps_access_lists(dir))
        GTEST_SKIP() << "this file system keeps no user attributes or access lists";
    dir.write("S0123.chn", "old");
    ::chmod((dir.path() / "S0123.chn").c_str(), 0644);
    // A default list lets another user write every new file of the folder.
    ASSERT_TRUE(set_attribute(
        dir.path(), default_acl_name,
        access_list({{owner, 7}, {user, 7, other_user_id}, {group, 7}, {mask, 7}, {other, 5}})));
    replace_file(dir.path() / "S0123.chn", "new bytes");
    EXPECT_EQ(attribute(dir.path() / "S0123.chn", acl_name), std::nullopt);
    EXPECT_EQ(mode_of(dir.path() / "S0123.chn"), 0644u);
    // A file that replaces none is a new file of the folder, as any other.
    replace_file(dir.path() / "new.chn", "new bytes");
    EXPECT_NE(attribute(dir.path() / "new.chn", acl_name), std::nullopt);
}

TEST(ReplaceFile, UserDeniedByTheAccessListStaysDeniedAfterRootReplacesTheFile) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "switching to another user needs root";
    TempDir dir;
    if (!keeps_access_lists(dir))
        GTEST_SKIP() << "this file system keeps no user attributes or access lists";
    ::chmod(dir.path().c_str(), 0755);
    const fs::path target = dir.path() / "S0123.chn";
    dir.write("S0123.chn", "old");
    ::chmod(target.c_str(), 0666);
    // Everyone may write, but for one user who may only read.
    ASSERT_TRUE(set_attribute(
        target, acl_name,
        access_list({{owner, 6}, {user, 4, other_user_id}, {group, 6}, {mask, 6}, {other, 6}})));
    auto may_write = [&] {
        return as_other_user([&] {
            const int fd = ::open(target.c_str(), O_WRONLY);
            if (fd >= 0) {
                ::close(fd);
                return 1;
            }
            return errno == EACCES ? 0 : 2;
        });
    };
    ASSERT_EQ(may_write(), 0) << "the access list does not stop the user";
    replace_file(target, "new bytes");
    EXPECT_EQ(may_write(), 0) << "the user may write the new file";
    EXPECT_EQ(dir.read("S0123.chn"), "new bytes");
}

TEST(ReplaceFile, AnotherUserKeepsTheUserAttributesAndIsNotStoppedBySecurityOnes) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "switching to another user needs root";
    TempDir dir;
    if (!keeps_access_lists(dir))
        GTEST_SKIP() << "this file system keeps no user attributes or access lists";
    ::chmod(dir.path().c_str(), 0777);
    const fs::path target = dir.path() / "S0123.chn";
    dir.write("S0123.chn", "old");
    ASSERT_EQ(::chown(target.c_str(), other_user_id, other_user_id), 0);
    ::chmod(target.c_str(), 0644);
    ASSERT_TRUE(set_attribute(target, "user.origin", "ge1"));
    // Only a privileged process may set an attribute of the security modules.
    if (!set_attribute(target, "security.brandel", "label"))
        GTEST_SKIP() << "this file system keeps no security attributes";

    const int code = as_other_user([&] {
        try {
            replace_file(target, "new bytes");
        } catch (const SpectrumError&) {
            return 1;
        }
        return 0;
    });
    ASSERT_NE(code, 99) << "could not switch user";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(dir.read("S0123.chn"), "new bytes");
    EXPECT_EQ(attribute(target, "user.origin"), "ge1");
    EXPECT_EQ(attribute(target, "security.brandel"), std::nullopt);

    // Root keeps it.
    ASSERT_TRUE(set_attribute(target, "security.brandel", "label"));
    replace_file(target, "newer bytes");
    EXPECT_EQ(attribute(target, "security.brandel"), "label");
    EXPECT_EQ(attribute(target, "user.origin"), "ge1");
}

}  // namespace
}  // namespace brandel::spectrum

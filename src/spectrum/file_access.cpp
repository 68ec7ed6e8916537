#include "spectrum/file_access.hpp"

#include <cerrno>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <aclapi.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif
#endif

#include "spectrum/folder_entries.hpp"

namespace brandel::spectrum {

#ifdef _WIN32

namespace {

int errno_of(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_PRIVILEGE_NOT_HELD ? EACCES : EIO;
}

// Whether an access list holds an entry of its own, not only entries inherited from the folder
// (which the new file, made in the same folder, has already).
bool has_own_entries(PACL list) {
    for (DWORD i = 0; i < list->AceCount; ++i) {
        void* entry = nullptr;
        if (GetAce(list, i, &entry) &&
            (static_cast<const ACE_HEADER*>(entry)->AceFlags & INHERITED_ACE) == 0)
            return true;
    }
    return false;
}

}  // namespace

bool copy_access(int fd, const std::filesystem::path& temporary,
                 const std::filesystem::path& target) {
    // A file system without access lists (FAT, exFAT) has nothing to keep.
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD features = 0;
    if (file != INVALID_HANDLE_VALUE &&
        GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &features, nullptr, 0) &&
        (features & FILE_PERSISTENT_ACLS) == 0)
        return true;

    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error =
        GetNamedSecurityInfoW(long_path(target).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &list, nullptr, &descriptor);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return true;
    if (error != ERROR_SUCCESS) {
        errno = errno_of(error);
        return false;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    const bool is_protected = GetSecurityDescriptorControl(descriptor, &control, &revision) &&
                              (control & SE_DACL_PROTECTED) != 0;
    // No list at all lets everyone in; the new file's list from the folder is no more open.
    if (list != nullptr && (is_protected || has_own_entries(list))) {
        // Entries inherited from the folder are taken from it again; the old file's own entries,
        // and a protection from inheritance, are copied.
        const SECURITY_INFORMATION what =
            DACL_SECURITY_INFORMATION | (is_protected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                      : UNPROTECTED_DACL_SECURITY_INFORMATION);
        std::wstring name = long_path(temporary).wstring();
        error = SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, what, nullptr, nullptr, list,
                                      nullptr);
    }
    LocalFree(descriptor);
    if (error != ERROR_SUCCESS) {
        errno = errno_of(error);
        return false;
    }
    return true;
}

#elif defined(__linux__)

namespace {

constexpr const char* access_list = "system.posix_acl_access";

// The file being replaced, as its attributes are read: through its descriptor, or, for a file
// this user may write but not read, through its path without following a link.
struct OldFile {
    int fd = -1;
    std::string path;

    OldFile(const OldFile&) = delete;
    OldFile& operator=(const OldFile&) = delete;
    explicit OldFile(const std::filesystem::path& target) : path(target.string()) {
        fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }
    ~OldFile() {
        if (fd >= 0)
            ::close(fd);
    }
    ssize_t names(char* into, std::size_t size) const {
        return fd >= 0 ? ::flistxattr(fd, into, size) : ::llistxattr(path.c_str(), into, size);
    }
    ssize_t value(const char* name, char* into, std::size_t size) const {
        return fd >= 0 ? ::fgetxattr(fd, name, into, size)
                       : ::lgetxattr(path.c_str(), name, into, size);
    }
};

// Reads whole what `read` gives (the list of names, one value), measuring it first and again
// when it grew in between. False on failure, errno set.
template <typename Read>
bool read_whole(const Read& read, std::string& into) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const ssize_t size = read(nullptr, 0);
        if (size < 0)
            return false;
        into.resize(static_cast<std::size_t>(size));
        if (size == 0)
            return true;
        const ssize_t got = read(into.data(), into.size());
        if (got >= 0) {
            into.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
    return false;
}

}  // namespace

bool copy_access(int fd, const std::filesystem::path& temporary,
                 const std::filesystem::path& target) {
    (void)temporary;
    OldFile old(target);
    if (old.fd < 0) {
        // Gone, or a link in its place by now: nothing of it is to be kept.
        if (errno == ENOENT || errno == ELOOP)
            return true;
        if (errno != EACCES && errno != EPERM)
            return false;
    }
    std::string names;
    if (!read_whole([&](char* into, std::size_t size) { return old.names(into, size); }, names))
        return errno == ENOTSUP;  // a file system without extended attributes
    bool had_access_list = false;
    std::string value;
    for (std::size_t at = 0; at < names.size();) {
        const std::string name(names.c_str() + at);
        at += name.size() + 1;
        if (name.empty())
            continue;
        had_access_list = had_access_list || name == access_list;
        const bool read = read_whole(
            [&](char* into, std::size_t size) { return old.value(name.c_str(), into, size); },
            value);
        if (!read && errno == ENODATA)
            continue;  // removed since the names were read
        if (read && ::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) == 0)
            continue;
        if (std::string_view(name).starts_with("security."))
            continue;
        return false;
    }
    // A file made in a folder with a default access list has a list of its own; the file it
    // replaces had none.
    if (!had_access_list && ::fremovexattr(fd, access_list) != 0 && errno != ENODATA &&
        errno != ENOTSUP)
        return false;
    return true;
}

#else

// Other systems keep their extended attributes in other ways; only the permission bits are kept.
bool copy_access(int, const std::filesystem::path&, const std::filesystem::path&) {
    return true;
}

#endif

}  // namespace brandel::spectrum

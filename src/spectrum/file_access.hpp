#pragma once

#include <filesystem>

namespace brandel::spectrum {

/// Gives a new file, open as `fd` under `temporary`, what guards the file `target` that it is to
/// replace beside its permission bits. On Linux these are the old file's extended attributes, its
/// access list ("system.posix_acl_access") among them; an access list the new file took from its
/// folder's default is removed when the old file had none. On Windows it is the access list of the
/// old file's security descriptor, with its protection from the folder's inheritance. Where the
/// file system keeps none of these, or the old file is gone, there is nothing to do.
///
/// A failure to copy one of them fails (false, errno set), so that a file is never replaced by
/// one more open than itself; except for the attributes of the security modules ("security.":
/// labels, capabilities), which only a privileged process may set: without them the new file
/// keeps what the system gave it.
bool copy_access(int fd, const std::filesystem::path& temporary,
                 const std::filesystem::path& target);

}  // namespace brandel::spectrum

#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace brandel::test_support {

/// The user and group that as_other_user switches to: nobody and nogroup.
inline constexpr unsigned other_user_id = 65534;

/// Runs `body` in a child process as another user (root only); its return value is the child's
/// exit code, 99 when the child could not switch user.
inline int as_other_user(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(other_user_id) != 0 || ::setuid(other_user_id) != 0)
            ::_exit(99);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

}  // namespace brandel::test_support

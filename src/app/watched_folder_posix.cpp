#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/inotify.h>
#endif

#include "app/watched_folder.hpp"

namespace brandel::app {

// A pipe that wake() writes a byte into; on Linux an inotify descriptor beside it. Elsewhere
// only the timeout (the watcher polls) and the pipe wake.
struct FolderNotices::Impl {
    std::string folder;
    int wake_read = -1;
    int wake_write = -1;
    int notices = -1;  // inotify descriptor
    int watch = -1;    // the folder's watch on it; -1 when not watched
};

namespace {

// How long notices are gathered after the first of a burst.
constexpr std::chrono::milliseconds coalesce{20};

void drain(int fd) {
    char buffer[4096];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
}

#ifdef __linux__
// Whether the notices read tell that the folder itself is gone or its watch ended.
bool read_notices(int fd) {
    alignas(inotify_event) char buffer[8192];
    bool ended = false;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return ended;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT))
                ended = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}
#endif

}  // namespace

FolderNotices::FolderNotices(const std::string& folder) : impl_(std::make_unique<Impl>()) {
    impl_->folder = folder;
    int fds[2];
    if (::pipe(fds) == 0) {
        for (int fd : fds) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        impl_->wake_read = fds[0];
        impl_->wake_write = fds[1];
    }
#ifdef __linux__
    impl_->notices = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
#endif
    rearm();
}

FolderNotices::~FolderNotices() {
    for (int fd : {impl_->wake_read, impl_->wake_write, impl_->notices})
        if (fd >= 0)
            ::close(fd);
}

bool FolderNotices::armed() const {
    return impl_->watch >= 0;
}

bool FolderNotices::rearm() {
#ifdef __linux__
    if (impl_->notices >= 0 && impl_->watch < 0) {
        // A file closed after writing, or one that arrives by a rename, is what a watcher waits
        // for; creation, removal and attribute changes also wake it, so it lists the folder
        // again. Writes alone do not: the poll sees a file that grows.
        impl_->watch = ::inotify_add_watch(impl_->notices, impl_->folder.c_str(),
                                           IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                               IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF |
                                               IN_MOVE_SELF | IN_ONLYDIR);
    }
#endif
    return armed();
}

void FolderNotices::disarm() {
#ifdef __linux__
    if (impl_->watch >= 0)
        ::inotify_rm_watch(impl_->notices, impl_->watch);
#endif
    impl_->watch = -1;
}

void FolderNotices::wait(std::chrono::milliseconds timeout) {
    pollfd fds[2] = {{impl_->wake_read, POLLIN, 0}, {impl_->notices, POLLIN, 0}};
    const nfds_t count = impl_->notices >= 0 && impl_->watch >= 0 ? 2 : 1;
    const int ms = static_cast<int>(timeout.count() < 0 ? 0 : timeout.count());
    if (::poll(fds, count, ms) <= 0)
        return;
    if (fds[0].revents != 0)
        drain(impl_->wake_read);
#ifdef __linux__
    if (count == 2 && fds[1].revents != 0) {
        bool ended = read_notices(impl_->notices);
        // Notices of one burst (many files dropped at once) are taken together: the watcher
        // lists the folder once for them, not once for each.
        if (!ended && ::poll(fds, 1, static_cast<int>(coalesce.count())) > 0)
            drain(impl_->wake_read);
        ended = read_notices(impl_->notices) || ended;
        if (ended)
            disarm();
    }
#endif
}

void FolderNotices::wake() {
    if (impl_->wake_write >= 0) {
        const char byte = 1;
        const ssize_t ignored = ::write(impl_->wake_write, &byte, 1);
        (void)ignored;
    }
}

}  // namespace brandel::app

#include <windows.h>

#include "app/watched_folder.hpp"
#include "spectrum/paths.hpp"

namespace brandel::app {

// A change notification of the folder (names, sizes and write times of its entries) and an event
// that wake() sets.
struct FolderNotices::Impl {
    std::string folder;
    HANDLE wake_event = nullptr;
    HANDLE change = INVALID_HANDLE_VALUE;
};

FolderNotices::FolderNotices(const std::string& folder) : impl_(std::make_unique<Impl>()) {
    impl_->folder = folder;
    impl_->wake_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    rearm();
}

FolderNotices::~FolderNotices() {
    if (impl_->change != INVALID_HANDLE_VALUE)
        FindCloseChangeNotification(impl_->change);
    if (impl_->wake_event != nullptr)
        CloseHandle(impl_->wake_event);
}

bool FolderNotices::armed() const {
    return impl_->change != INVALID_HANDLE_VALUE;
}

bool FolderNotices::rearm() {
    if (impl_->change == INVALID_HANDLE_VALUE)
        impl_->change = FindFirstChangeNotificationW(
            spectrum::fs_path(impl_->folder).c_str(), FALSE,
            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE |
                FILE_NOTIFY_CHANGE_LAST_WRITE);
    return armed();
}

void FolderNotices::disarm() {
    if (impl_->change != INVALID_HANDLE_VALUE)
        FindCloseChangeNotification(impl_->change);
    impl_->change = INVALID_HANDLE_VALUE;
}

void FolderNotices::wait(std::chrono::milliseconds timeout) {
    HANDLE handles[2] = {impl_->wake_event, impl_->change};
    const DWORD count = armed() ? 2 : 1;
    const DWORD ms = timeout.count() < 0 ? 0 : static_cast<DWORD>(timeout.count());
    const DWORD woke = WaitForMultipleObjects(count, handles, FALSE, ms);
    if (count == 2 && woke == WAIT_OBJECT_0 + 1 && !FindNextChangeNotification(impl_->change)) {
        // The folder went: its notification ends, and the watcher polls until it comes back.
        disarm();
    }
}

void FolderNotices::wake() {
    if (impl_->wake_event != nullptr)
        SetEvent(impl_->wake_event);
}

}  // namespace brandel::app

#pragma once

#include <chrono>
#include <memory>
#include <string>

// What wakes a watcher: the platform's notices that something in a folder changed, a timeout,
// or a stop request. A notice only wakes; the watcher lists the folder again after each wake-up,
// so a notice that is lost or merged with another costs nothing.

namespace brandel::app {

class FolderNotices {
  public:
    /// Starts taking notices of `folder` (UTF-8). A folder that cannot be watched now (it is
    /// missing) is watched once rearm() succeeds; until then only the timeout wakes.
    explicit FolderNotices(const std::string& folder);
    ~FolderNotices();
    FolderNotices(const FolderNotices&) = delete;
    FolderNotices& operator=(const FolderNotices&) = delete;

    /// Waits until the folder changes, `timeout` passes or wake() is called, whichever is first.
    void wait(std::chrono::milliseconds timeout);
    /// Ends the current or the next wait at once. Safe from a signal handler and from any thread.
    void wake();
    /// Whether notices arrive: false before the folder could be watched, or after it went.
    bool armed() const;
    /// Tries to watch the folder again (after it came back); returns armed().
    bool rearm();
    /// Stops watching the folder, so that nothing of this process holds it while it is away
    /// (Windows keeps a folder that is watched from being removed for good).
    void disarm();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace brandel::app

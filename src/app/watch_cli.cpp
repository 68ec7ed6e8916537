#include "app/watch_cli.hpp"

#include <atomic>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <ostream>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

#include "app/watcher.hpp"
#include "spectrum/paths.hpp"

namespace brandel::app {

namespace {

constexpr double longest_settle_seconds = 24 * 3600;

// The watcher that a signal stops. A signal handler can reach nothing else.
std::atomic<Watcher*> signalled_watcher{nullptr};

#ifdef _WIN32
BOOL WINAPI on_console_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (Watcher* watcher = signalled_watcher.load())
        watcher->request_stop();
    return TRUE;
}
#else
extern "C" void on_stop_signal(int) {
    if (Watcher* watcher = signalled_watcher.load())
        watcher->request_stop();
}
#endif

// Stops the watcher on SIGINT and SIGTERM for as long as it lives; the handlers before it come
// back after it.
class StopOnSignals {
  public:
    explicit StopOnSignals(Watcher& watcher) {
        signalled_watcher.store(&watcher);
#ifdef _WIN32
        SetConsoleCtrlHandler(on_console_event, TRUE);
#else
        struct sigaction action {};
        action.sa_handler = on_stop_signal;
        // A file being written when the signal comes is finished, not failed by an interrupted
        // call; the watcher's wait ends at the signal all the same.
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &old_int_);
        sigaction(SIGTERM, &action, &old_term_);
#endif
    }
    ~StopOnSignals() {
#ifdef _WIN32
        SetConsoleCtrlHandler(on_console_event, FALSE);
#else
        sigaction(SIGINT, &old_int_, nullptr);
        sigaction(SIGTERM, &old_term_, nullptr);
#endif
        signalled_watcher.store(nullptr);
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

  private:
#ifndef _WIN32
    struct sigaction old_int_ {};
    struct sigaction old_term_ {};
#endif
};

// One line of standard output for a file, as a log keeps it.
void print_event(const WatchEvent& e, std::ostream& out, std::ostream& err) {
    using Kind = WatchEvent::Kind;
    switch (e.kind) {
        case Kind::converted: {
            out << e.time << " converted " << spectrum::escape_name(e.source) << " -> ";
            for (std::size_t i = 0; i < e.outputs.size(); ++i)
                out << (i == 0 ? "" : ", ") << spectrum::escape_name(e.outputs[i]);
            out << std::endl;
            break;
        }
        case Kind::failed:
            out << e.time << " failed " << spectrum::escape_name(e.source) << ": "
                << spectrum::escape_controls(e.reason) << std::endl;
            break;
        case Kind::still_written:
            err << spectrum::escape_name(e.source) << ": still being written; left for the next run"
                << std::endl;
            break;
        case Kind::folder_gone:
            err << e.time << " the folder " << spectrum::escape_name(e.folder)
                << " cannot be read (" << spectrum::escape_controls(e.reason)
                << "); waiting for it to come back" << std::endl;
            break;
        case Kind::folder_back:
            err << e.time << " the folder " << spectrum::escape_name(e.folder) << " is back"
                << std::endl;
            break;
    }
}

bool is_directory(const std::string& dir) {
    std::error_code ec;
    return std::filesystem::is_directory(spectrum::fs_path(dir), ec);
}

}  // namespace

bool parse_settle_seconds(const std::string& text, double& seconds) {
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, seconds);
    return ec == std::errc() && at == end && std::isfinite(seconds) && seconds >= 0 &&
           seconds <= longest_settle_seconds;
}

int run_watch_cli(const WatchRequest& request, std::ostream& out, std::ostream& err) {
    WatchOptions options;
    options.source_folder = request.source_folder;
    options.destination_folder = request.destination_folder;
    options.org_type = request.org_type;
    options.batch.formats = request.formats;
    options.batch.verify = request.verify;
    options.batch.manifest = request.manifest;
    if (!request.settle.empty()) {
        double seconds = 0;
        if (!parse_settle_seconds(request.settle, seconds)) {
            err << "brandel-convert: --settle takes seconds from 0 to 86400, not "
                << spectrum::escape_name(request.settle) << "\n";
            return 2;
        }
        options.settle = std::chrono::milliseconds(std::llround(seconds * 1000));
    }
    if (request.once && !is_directory(request.source_folder)) {
        err << "brandel-convert: no such folder " << spectrum::escape_name(request.source_folder)
            << "\n";
        return 2;
    }
    int failed = 0;
    spectrum::State state;
    Watcher watcher(state, options, [&](const WatchEvent& e) {
        failed += e.kind == WatchEvent::Kind::failed ? 1 : 0;
        print_event(e, out, err);
    });
    if (std::string error = watcher.start(); !error.empty()) {
        err << "brandel-convert: " << spectrum::escape_controls(error) << "\n";
        return 1;
    }
    std::string error;
    {
        StopOnSignals stop(watcher);
        error = watcher.run(request.once);
    }
    if (!error.empty()) {
        err << "brandel-convert: " << spectrum::escape_controls(error) << "\n";
        return 1;
    }
    return request.once && failed > 0 ? 1 : 0;
}

}  // namespace brandel::app

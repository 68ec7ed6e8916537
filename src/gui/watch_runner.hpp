#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <thread>

#include "app/watcher.hpp"
#include "spectrum/state.hpp"

namespace brandel::gui {

/// Runs a watched folder on a thread of its own, so the window never waits for a conversion.
/// What the watcher tells arrives on the window's thread as `event`; a watcher that stops by
/// itself (its journal or manifest cannot be written) ends with `ended`.
class WatchRunner : public QObject {
    Q_OBJECT
  public:
    explicit WatchRunner(QObject* parent = nullptr);
    /// Stops a watcher that still runs, after the file in progress.
    ~WatchRunner() override;

    /// Starts watching as `options` say; returns why the watcher cannot start (another watcher
    /// converts into the same folder, its journal cannot be written), empty when it runs.
    std::string start(app::WatchOptions options);
    /// Stops the watcher after the file in progress and waits for it; every event it told
    /// before is delivered first. Returns what it did in all.
    app::WatchTotals stop();
    bool running() const { return watcher_ != nullptr; }

  signals:
    void event(const brandel::app::WatchEvent& event);
    /// The watcher stopped by itself, for `reason`.
    void ended(const QString& reason, const brandel::app::WatchTotals& totals);

  private:
    app::WatchTotals finish();

    // The watcher's own record: it converts on its thread while the window uses its own.
    std::unique_ptr<spectrum::State> state_;
    std::unique_ptr<app::Watcher> watcher_;
    std::thread thread_;
    int generation_ = 0;  // what a watcher posts after it was stopped is not for the next one
};

}  // namespace brandel::gui

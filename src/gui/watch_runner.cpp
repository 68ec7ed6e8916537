#include "gui/watch_runner.hpp"

#include <QCoreApplication>
#include <QEvent>

#include <utility>

namespace brandel::gui {

WatchRunner::WatchRunner(QObject* parent) : QObject(parent) {}

WatchRunner::~WatchRunner() {
    stop();
}

std::string WatchRunner::start(app::WatchOptions options) {
    stop();
    const int generation = ++generation_;
    state_ = std::make_unique<spectrum::State>();
    // Called on the watcher's thread: the event goes to the window's thread as a copy.
    auto listener = [this, generation](const app::WatchEvent& e) {
        QMetaObject::invokeMethod(
            this,
            [this, e, generation] {
                if (generation == generation_)
                    emit event(e);
            },
            Qt::QueuedConnection);
    };
    watcher_ = std::make_unique<app::Watcher>(*state_, std::move(options), listener);
    if (std::string error = watcher_->start(); !error.empty()) {
        watcher_.reset();
        return error;
    }
    thread_ = std::thread([this, generation, watcher = watcher_.get()] {
        const std::string reason = watcher->run();
        QMetaObject::invokeMethod(
            this,
            [this, generation, reason] {
                if (generation != generation_ || !watcher_)
                    return;  // stopped meanwhile
                const app::WatchTotals totals = finish();
                emit ended(QString::fromStdString(reason), totals);
            },
            Qt::QueuedConnection);
    });
    return {};
}

app::WatchTotals WatchRunner::stop() {
    if (!watcher_)
        return {};
    watcher_->request_stop();
    return finish();
}

app::WatchTotals WatchRunner::finish() {
    thread_.join();
    std::unique_ptr<app::Watcher> watcher = std::move(watcher_);
    // What the watcher told before it stopped is still to be shown; that it ended is not.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    ++generation_;
    app::WatchTotals totals = watcher->totals();  // its thread is over
    watcher.reset();
    state_.reset();
    return totals;
}

}  // namespace brandel::gui

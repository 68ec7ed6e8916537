#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace brandel::app {

/// Produces the items 0, 1, ..., count - 1 of a batch ahead of their use on a second thread,
/// and hands them over in order. At most `max_items` items, or as many as `max_bytes` of them
/// hold (always at least one), wait at a time, so memory stays flat however long the batch.
/// The producer runs on the second thread and must not raise; it touches nothing that the
/// caller's thread uses meanwhile. Without a second thread (`threaded` false) each item is
/// produced when it is taken: the results are the same, only the timing differs.
template <typename Item>
class Prefetcher {
  public:
    using Produce = std::function<Item(std::size_t index)>;
    using Size = std::function<std::size_t(const Item&)>;

    Prefetcher(std::size_t count, Produce produce, Size size, bool threaded,
               std::size_t max_items = 4, std::size_t max_bytes = std::size_t{32} << 20)
        : count_(count),
          produce_(std::move(produce)),
          size_(std::move(size)),
          max_items_(max_items < 1 ? 1 : max_items),
          max_bytes_(max_bytes) {
        if (threaded && count > 1) {
            try {
                thread_ = std::thread([this] { run(); });
            } catch (const std::system_error&) {
                // No second thread to be had: each item is produced when it is taken.
            }
        }
    }

    ~Prefetcher() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    Prefetcher(const Prefetcher&) = delete;
    Prefetcher& operator=(const Prefetcher&) = delete;

    /// The next item in order (the first call gives item 0); waits until it is produced.
    Item take() {
        const std::size_t index = taken_++;
        if (!thread_.joinable())
            return produce_(index);
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty(); });
        Item item = std::move(ready_.front());
        ready_.pop_front();
        held_bytes_ -= sizes_.front();
        sizes_.pop_front();
        lock.unlock();
        changed_.notify_all();
        return item;
    }

    /// Passes over the next item without using it.
    void skip() {
        if (!thread_.joinable()) {
            ++taken_;
            return;
        }
        take();
    }

  private:
    void run() {
        for (std::size_t i = 0; i < count_; ++i) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] {
                    return stop_ || ready_.empty() ||
                           (ready_.size() < max_items_ && held_bytes_ < max_bytes_);
                });
                if (stop_)
                    return;
            }
            Item item = produce_(i);
            const std::size_t size = size_(item);
            {
                std::lock_guard lock(mutex_);
                ready_.push_back(std::move(item));
                sizes_.push_back(size);
                held_bytes_ += size;
            }
            changed_.notify_all();
        }
    }

    const std::size_t count_;
    Produce produce_;
    Size size_;
    const std::size_t max_items_;
    const std::size_t max_bytes_;
    std::size_t taken_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> ready_;
    std::deque<std::size_t> sizes_;
    std::size_t held_bytes_ = 0;
    bool stop_ = false;
    std::thread thread_;  // started in the constructor, once everything above is in place
};

}  // namespace brandel::app

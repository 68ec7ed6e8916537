#include "app/prefetcher.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace brandel::app {
namespace {

struct Item {
    std::size_t index;
    std::string bytes;
};

TEST(Prefetcher, HandsOverEveryItemInOrderWithOrWithoutASecondThread) {
    for (bool threaded : {false, true}) {
        SCOPED_TRACE(threaded ? "threaded" : "inline");
        std::atomic<int> produced{0};
        Prefetcher<Item> ahead(
            100,
            [&](std::size_t i) {
                ++produced;
                return Item{i, std::string(i % 7, 'x')};
            },
            [](const Item& item) { return item.bytes.size(); }, threaded, 3);
        for (std::size_t i = 0; i < 100; ++i) {
            const Item item = ahead.take();
            ASSERT_EQ(item.index, i);
            EXPECT_EQ(item.bytes.size(), i % 7);
        }
        EXPECT_EQ(produced, 100);
    }
}

TEST(Prefetcher, NeverHoldsMoreThanItsBoundAhead) {
    std::atomic<std::size_t> produced{0};
    std::atomic<std::size_t> taken{0};
    std::atomic<std::size_t> most_ahead{0};
    {
        Prefetcher<Item> ahead(
            60,
            [&](std::size_t i) {
                const std::size_t ahead_now = ++produced - taken;
                if (ahead_now > most_ahead)
                    most_ahead = ahead_now;
                return Item{i, std::string(10, 'x')};
            },
            [](const Item& item) { return item.bytes.size(); }, true, 4, 1000);
        for (int i = 0; i < 60; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            ahead.take();
            ++taken;
        }
    }
    // Four waiting and one being produced while the caller holds the one it took.
    EXPECT_LE(most_ahead, 6u);
}

TEST(Prefetcher, ByteBoundHoldsLargeItemsOneAtATime) {
    std::atomic<std::size_t> produced{0};
    std::atomic<std::size_t> taken{0};
    std::atomic<std::size_t> most_ahead{0};
    Prefetcher<Item> ahead(
        20,
        [&](std::size_t i) {
            const std::size_t ahead_now = ++produced - taken;
            if (ahead_now > most_ahead)
                most_ahead = ahead_now;
            return Item{i, std::string(5000, 'x')};
        },
        [](const Item& item) { return item.bytes.size(); }, true, 8, 4000);
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        ahead.take();
        ++taken;
    }
    EXPECT_LE(most_ahead, 2u);
}

TEST(Prefetcher, StoppingEarlyEndsTheSecondThreadWithoutTakingTheRest) {
    std::atomic<int> produced{0};
    {
        Prefetcher<Item> ahead(
            1000,
            [&](std::size_t i) {
                ++produced;
                return Item{i, {}};
            },
            [](const Item&) { return std::size_t{0}; }, true, 2);
        EXPECT_EQ(ahead.take().index, 0u);
        EXPECT_EQ(ahead.take().index, 1u);
    }  // the batch was cancelled here
    EXPECT_LT(produced, 10);
}

}  // namespace
}  // namespace brandel::app

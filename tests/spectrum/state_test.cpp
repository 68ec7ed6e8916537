// The record's counts are cleared only as far as they were written; a cleared record must read
// as a fresh one, whatever was set before and however it was set.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "spectrum/errors.hpp"
#include "spectrum/state.hpp"

namespace brandel::spectrum {
namespace {

TEST(Counts, ClearedCountsAreAFreshRecord) {
    Counts fresh;
    Counts counts;
    counts.set(16999, 7);
    const std::vector<std::uint32_t> table{1, 2, 3, 4, 5, 6};
    counts.set_many(10, table.data() + 1, 3, 2);  // 2, 4, 6
    EXPECT_EQ(counts.at(11), 4);
    EXPECT_EQ(counts.at(12), 6);
    counts.clear();
    EXPECT_EQ(counts, fresh);
    counts.set(3, -1);
    counts.clear();
    EXPECT_EQ(counts, fresh);
}

TEST(Counts, ManyCountsPastTheEndFailAtTheFirstThatDoesNotFit) {
    Counts counts;
    const std::vector<std::uint32_t> table(4, 9);
    try {
        counts.set_many(Counts::capacity - 2, table.data(), 4, 1);
        FAIL() << "no error";
    } catch (const SpectrumError& e) {
        EXPECT_STREQ(e.what(), "17002 channels, at most 17001 fit");
    }
    EXPECT_EQ(counts.at(Counts::capacity - 1), 9);
}

}  // namespace
}  // namespace brandel::spectrum

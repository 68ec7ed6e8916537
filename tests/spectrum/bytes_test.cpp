// A run of 32-bit values read at once must read as the values one at a time: the same values,
// zeros past the end or the same error at the same value.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "spectrum/bytes.hpp"
#include "spectrum/errors.hpp"

namespace brandel::spectrum {
namespace {

// Reads `count` values from `offset` with `read`; returns what was stored before any error, and
// the error.
template <typename Read>
std::pair<std::vector<std::int32_t>, std::string> values(std::size_t count, Read read) {
    std::vector<std::int32_t> out(count, -7);
    std::string error;
    try {
        read(out);
    } catch (const SpectrumError& e) {
        error = e.what();
    }
    return {out, error};
}

TEST(LittleEndianReader, ARunOfValuesReadsAsOneValueAtATime) {
    std::string bytes;
    for (int i = 0; i < 41; ++i)
        bytes += static_cast<char>(i * 37 + 0x80);
    for (auto past : {LittleEndianReader::Past::error, LittleEndianReader::Past::zero}) {
        const LittleEndianReader file(bytes, "the file", past);
        for (std::size_t offset = 0; offset < 48; offset += 3) {
            for (std::size_t count : {0, 1, 5, 10, 12}) {
                SCOPED_TRACE(std::to_string(offset) + " " + std::to_string(count));
                const auto one_by_one = values(count, [&](std::vector<std::int32_t>& out) {
                    for (std::size_t i = 0; i < count; ++i)
                        out[i] = file.i32(offset + 4 * i);
                });
                const auto run =
                    values(count, [&](std::vector<std::int32_t>& out) { file.i32s(offset, out); });
                EXPECT_EQ(run, one_by_one);
            }
        }
    }
    EXPECT_EQ(LittleEndianReader(std::string_view("\x01\x02\x03\x84", 4), "x").i32(0),
              static_cast<std::int32_t>(0x84030201u));
}

}  // namespace
}  // namespace brandel::spectrum

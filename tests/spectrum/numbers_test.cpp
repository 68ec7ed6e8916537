#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "spectrum/errors.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/text.hpp"

namespace brandel::spectrum {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(NumberLeading, ReadsTheLeadingNumberOfAText) {
    struct Row {
        std::string text;
        double value;
    };
    const Row rows[] = {
        {"3600.5 sec", 3600.5},
        {"12 34", 1234},
        {"\t1\t2\n3 ", 123},  // tabs and line feeds are dropped like blanks
        {" - 4 . 2 5 e 1", -42.5},
        {"1\r2", 1},  // a carriage return is not dropped
        {"-1.5D2", -150},
        {"-1.5d2", -150},
        {"2.5E-1", 0.25},
        {"1e+3", 1000},
        {".5", 0.5},
        {"-.5", -0.5},
        {"5.", 5},
        {"007", 7},
        {"+5", 5},
        {"1.2.3", 1.2},
        {"1,5", 1},
        {"1e", 1},  // an exponent without digits is not part of the number
        {"1e+", 1},
        {"1ex", 1},
        {"5\xB0", 5},  // a byte of a code page character ends the number
        {"", 0},
        {"abc", 0},
        {"--5", 0},
        {"-", 0},
        {".", 0},
        {"E5", 0},
        {"1e400", inf},
        {"-1e400", -inf},
        {"1" + std::string(400, '0'), inf},
        {"1" + std::string(400, '0') + "e-5", inf},
        {"1e-400", 0},
        {"0." + std::string(400, '0') + "1", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 20));
        EXPECT_EQ(leading_number(std::string_view(row.text)), row.value);
        EXPECT_EQ(leading_number(std::u32string_view(widen(row.text))), row.value);
    }
}

TEST(NumberLeading, DecodedTextStopsAtTheFirstNonDigit) {
    EXPECT_EQ(leading_number(std::u32string_view(U"12日")), 12);
    EXPECT_EQ(leading_number(std::u32string_view(U"\uFF11\uFF12")), 0);  // full-width digits
}

TEST(NumberRounding, HalvesGoToEven) {
    struct Row {
        double value;
        int rounded;
    };
    const Row rows[] = {{2.5, 2},       {3.5, 4},   {0.5, 0},     {1.5, 2},
                        {-2.5, -2},     {-3.5, -4}, {-0.5, 0},    {2.4999, 2},
                        {2.5000001, 3}, {-7.2, -7}, {254.5, 254}, {100.5, 100}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(round_to_int16(row.value), row.rounded);
        EXPECT_EQ(round_to_int32(row.value), row.rounded);
        if (row.rounded >= 0) {
            EXPECT_EQ(round_to_uint8(row.value), row.rounded);
        }
    }
}

TEST(NumberRounding, SecondsBecomeTicksOfTwentyMilliseconds) {
    struct Row {
        double seconds;
        std::int32_t ticks;
    };
    const Row rows[] = {{120.5, 6025}, {3600.5, 180025}, {0.25, 12},
                        {0.75, 38},    {-0.25, -12},     {42949672, 2147483600}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.seconds);
        EXPECT_EQ(seconds_to_ticks(row.seconds), row.ticks);
    }
}

template <typename F>
void expect_overflow(F convert, double value) {
    SCOPED_TRACE(value);
    try {
        convert(value);
        ADD_FAILURE() << "no overflow error";
    } catch (const SpectrumError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::overflow);
        EXPECT_NE(std::string(e.what()).find("Channel No"), std::string::npos) << e.what();
    }
}

TEST(NumberRounding, ValuesOutsideTheFieldOverflow) {
    auto i16 = [](double v) { return round_to_int16(v, "Channel No"); };
    auto i32 = [](double v) { return round_to_int32(v, "Channel No"); };
    auto u8 = [](double v) { return round_to_uint8(v, "Channel No"); };
    auto ticks = [](double v) { return seconds_to_ticks(v, "Channel No"); };
    auto f32 = [](double v) { return to_float32(v, "Channel No"); };

    EXPECT_EQ(i16(32767.4), 32767);
    EXPECT_EQ(i16(-32768.5), -32768);  // the even neighbour is inside
    EXPECT_EQ(i32(2147483646.5), 2147483646);
    EXPECT_EQ(i32(-2147483648.5), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(u8(255.4), 255);
    EXPECT_EQ(u8(-0.5), 0);
    EXPECT_EQ(f32(3.0e38), 3.0e38f);

    for (double v : {32767.5, 32768.0, -32768.6, -32769.0, inf, -inf, nan})
        expect_overflow(i16, v);
    for (double v : {2147483647.5, 2147483648.0, -2147483649.0, inf, nan})
        expect_overflow(i32, v);
    for (double v : {255.5, 256.0, -0.6, -1.0, inf, nan})
        expect_overflow(u8, v);
    for (double v : {42949673.0, -42949673.0, inf})
        expect_overflow(ticks, v);
    for (double v : {1e39, -1e39, inf})
        expect_overflow(f32, v);
}

TEST(NumberText, WholeNumbersHaveNoPoint) {
    EXPECT_EQ(number_text(40000), "40000");
    EXPECT_EQ(number_text(-5), "-5");
    EXPECT_EQ(number_text(0.5), "0.5");
    EXPECT_EQ(number_text(32767.5), "32767.5");
    EXPECT_EQ(number_text(inf), "Infinity");
}

}  // namespace
}  // namespace brandel::spectrum

#include <gtest/gtest.h>

#include <string>

#include "spectrum/months.hpp"

namespace brandel::spectrum {
namespace {

TEST(Months, NumberGivesTheUpperCaseName) {
    struct Row {
        std::int16_t number;
        std::string_view name;
    };
    const Row rows[] = {{1, "JAN"}, {9, "SEP"}, {12, "DEC"}, {0, ""},
                        {13, ""},   {-1, ""},   {32767, ""}, {-32768, ""}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.number);
        EXPECT_EQ(num2month(row.number), row.name);
    }
}

TEST(Months, NameGivesTheNumberInAnyCaseButWhole) {
    struct Row {
        std::string name;
        std::int16_t number;
    };
    const Row rows[] = {{"jan", 1},  {"Jan", 1},     {"JAN", 1},  {"sep", 9},
                        {"dEc", 12}, {"JANUARY", 0}, {" JAN", 0}, {"JAN ", 0},
                        {"JA", 0},   {"", 0},        {"J@N", 0},  {std::string("JAN\0", 4), 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(month2num(row.name), row.number);
    }
    for (std::int16_t m = 1; m <= 12; ++m)
        EXPECT_EQ(month2num(num2month(m)), m);
}

}  // namespace
}  // namespace brandel::spectrum

#include "listing/format_printf.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

#include "spectrum/errors.hpp"

namespace brandel::listing {
namespace {

using spectrum::ErrorKind;
using spectrum::SpectrumError;

std::u32string u32(std::string_view ascii) {
    return std::u32string(ascii.begin(), ascii.end());
}
std::string ascii(const std::u32string& text) {
    return std::string(text.begin(), text.end());
}

std::string printf_of(std::string_view fmt, const std::vector<PrintfValue>& values) {
    std::u32string out = U"stale";
    format_printf(u32(fmt), values, out);
    return ascii(out);
}

PrintfValue text(std::string_view t) {
    return u32(t);
}

struct PrintfRow {
    const char* fmt;
    std::vector<PrintfValue> values;
    const char* expected;
};

void PrintTo(const PrintfValue& value, std::ostream* os) {
    if (const auto* t = std::get_if<std::u32string>(&value))
        *os << "text " << ascii(*t);
    else
        *os << std::get<double>(value);
}

void PrintTo(const PrintfRow& row, std::ostream* os) {
    *os << "format '" << row.fmt << "'";
    for (const PrintfValue& value : row.values) {
        *os << ", ";
        PrintTo(value, os);
    }
}

class FormatPrintfTest : public ::testing::TestWithParam<PrintfRow> {};

TEST_P(FormatPrintfTest, GivesPrintfLikeText) {
    const PrintfRow& row = GetParam();
    EXPECT_EQ(printf_of(row.fmt, row.values), row.expected) << "format \"" << row.fmt << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FormatPrintfTest,
    ::testing::Values(
        // The listing's two formats.
        PrintfRow{" %8ld", {1234.0}, "    1234"}, PrintfRow{" %8ld", {-56.0}, "     -56"},
        PrintfRow{" %8ld", {0.0}, "        "}, PrintfRow{" %8ld", {120.0}, "     120"},
        PrintfRow{" %-9s", {text("S0123")}, "S0123   "},
        PrintfRow{" %-9s", {text("S0123456789")}, "S0123456789"},  // longer: kept whole
        // Numbers as wide as the field or wider are shown whole.
        PrintfRow{" %8ld", {12345678.0}, "12345678"},
        PrintfRow{" %8ld", {123456789.0}, "123456789"},
        PrintfRow{" %8ld", {-12345678.0}, "-12345678"},  // no room for the sign: as formatted
        PrintfRow{" %3d", {-12345.0}, "-12345"}, PrintfRow{" %8ld", {2.5}, "       3"},
        PrintfRow{" %8ld", {-2.5}, "      -3"},
        // Fixed point.
        PrintfRow{" %8.3f", {3.14159}, "   3.142"}, PrintfRow{" %8.3f", {0.5}, "   0.500"},
        PrintfRow{" %8.3f", {-0.5}, "  -0.500"}, PrintfRow{" %8.3f", {-0.0001}, "   0.000"},
        PrintfRow{" %.3f", {2.5}, "   2.500"}, PrintfRow{" %f", {3.14159}, "      3."},
        PrintfRow{" %4.3f", {0.5}, ".500"},    // the "0" would fall before the text
        PrintfRow{" %4.3f", {-0.5}, "-.500"},  // and so would the sign
        PrintfRow{" %2.5f", {3.14159}, " 3"},  // precision beyond the width: no point
        // Scientific.
        PrintfRow{" %12.4e", {1234.5}, " 1.2345e+003"},
        PrintfRow{" %12.4e", {-1234.5}, "-1.2345e+003"},
        PrintfRow{" %12.4e", {0.0}, " 0.0000e+000"},
        PrintfRow{" %8.4e", {0.00012345}, "  1.2345e-004"},  // widened by 5 to fit
        PrintfRow{" %e", {3.14159}, "3e+000"},
        // Text.
        PrintfRow{" %5s", {text("ab")}, "   ab"}, PrintfRow{" %s", {text("any text")}, "any text"},
        PrintfRow{" %5S", {text("ab")}, "   ab"}, PrintfRow{" %5s", {42.0}, "   42"},
        // A text in a numeric conversion: formatted as its number when it is one.
        PrintfRow{" %5d", {text(" 42")}, "   42"}, PrintfRow{" %5d", {text("n/a")}, "n/a"},
        // A negative width keeps the zeros (and the sign in front).
        PrintfRow{" %-8ld", {123.0}, "00000123"}, PrintfRow{" %-8ld", {-123.0}, "-00000123"},
        // A width of zero gives the plain number.
        PrintfRow{" %d", {-5.0}, "-5"}, PrintfRow{" %d", {0.5}, "0.5"},
        // The first character is never copied; literal text ends before the first "\".
        PrintfRow{"%d", {}, "d"}, PrintfRow{"", {}, ""}, PrintfRow{"xy", {}, "y"},
        PrintfRow{"abc%5dxyz\\tail", {42.0}, "bc   42xyz"},
        PrintfRow{"\\ab", {}, "ab"},  // a "\" in first place does not end the text
        PrintfRow{" %3d|%-4s|", {7.0, text("ab")}, "  7|ab |"},
        PrintfRow{" %3d%", {7.0, 8.0}, "  78"}));

std::optional<ErrorKind> error_of(std::string_view fmt, const std::vector<PrintfValue>& values) {
    try {
        printf_of(fmt, values);
    } catch (const SpectrumError& e) {
        return e.kind();
    }
    return std::nullopt;
}

TEST(FormatPrintf, ConversionWithoutValueIsOutOfRange) {
    EXPECT_EQ(error_of(" %8ld", {}), ErrorKind::out_of_range);
    EXPECT_EQ(error_of(" %5d %5s", {1.0}), ErrorKind::out_of_range);
    EXPECT_EQ(error_of(" %5d and no more", {1.0}), std::nullopt);
}

TEST(FormatPrintf, WidthOrPrecisionBeyondSixteenBitsOverflows) {
    for (const char* fmt : {" %32768d", " %-32769s", " %1.32768f", " %32767.32763e", " %1e9d"})
        EXPECT_EQ(error_of(fmt, {1.0}), ErrorKind::overflow) << fmt;
    // The widest fields still work: a left-justified one is one character narrower.
    EXPECT_EQ(printf_of(" %-32768s", {text("a")}).size(), 32767u);
    EXPECT_EQ(printf_of(" %32767d", {1.0}).size(), 32767u);
}

struct PictureRow {
    PrintfValue value;
    const char* pattern;
    const char* expected;
};

void PrintTo(const PictureRow& row, std::ostream* os) {
    PrintTo(row.value, os);
    *os << " by '" << row.pattern << "'";
}

class PictureFormatTest : public ::testing::TestWithParam<PictureRow> {};

TEST_P(PictureFormatTest, FormatsByPattern) {
    const PictureRow& row = GetParam();
    EXPECT_EQ(ascii(picture_format(row.value, u32(row.pattern))), row.expected)
        << "pattern \"" << row.pattern << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PictureFormatTest,
    ::testing::Values(
        // Rounding is half away from zero on the decimal digits.
        PictureRow{2.5, "0", "3"}, PictureRow{-2.5, "0", "-3"}, PictureRow{0.125, "0.00", "0.13"},
        PictureRow{2.675, "0.00", "2.68"}, PictureRow{9.995, "0.00", "10.00"},
        PictureRow{0.4, "0", "0"}, PictureRow{-0.4, "000", "000"},
        PictureRow{123456789.0, "00000000", "123456789"}, PictureRow{12.5, ".000", "12.500"},
        PictureRow{0.5, ".000", ".500"}, PictureRow{-1234.0, "00000000", "-00001234"},
        PictureRow{3.0, "0000000.", "0000003."}, PictureRow{1e-300, "0.00", "0.00"},
        PictureRow{-1234.5, " 0.0000e+000", "- 1.2345e+003"},
        PictureRow{0.00012345, "0.00e+00", "1.23e-04"}, PictureRow{9.999, "0.00e+00", "1.00e+01"},
        PictureRow{1234.5, "00e+000", "12e+002"}, PictureRow{1234.5, "0.0e-00", "1.2e03"},
        PictureRow{0.0012, "0.0E-00", "1.2E-03"}, PictureRow{1e123, "0e+0", "1e+123"},
        PictureRow{PrintfValue(text("1.5")), "0.00", "1.50"},
        // Text placeholders.
        PictureRow{PrintfValue(text("S0123")), "@@@@@@@@", "   S0123"},
        PictureRow{PrintfValue(text("abc")), "!@@@@", "abc "},
        PictureRow{PrintfValue(text("abcdef")), "@@@", "abcdef"},
        PictureRow{PrintfValue(text("abcdef")), "!@@@", "abcdef"},
        PictureRow{PrintfValue(text("ab")), "@ @", "a b"}, PictureRow{1234.0, "@@@@@@", "  1234"},
        PictureRow{PrintfValue(text("abc")), "!", "abc"},
        // Plain text form.
        PictureRow{0.5, "", "0.5"}, PictureRow{1e20, "", "1E+20"}, PictureRow{-7.0, "", "-7"},
        PictureRow{PrintfValue(text("as is ")), "", "as is "}));

}  // namespace
}  // namespace brandel::listing

// The text of a source file is read as bytes, and only lines that are not ASCII are decoded.
// These tests hold the byte reading to what reading the decoded characters gives, on texts made
// of the pieces that trouble it: double-byte characters whose trail byte is a letter, lead bytes
// without a trail, half-width katakana, every kind of line end, separators and number characters.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "spectrum/ascii_words.hpp"
#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/text.hpp"
#include "spectrum/text_source.hpp"

namespace brandel::spectrum {
namespace {

constexpr std::string_view pieces[] = {
    " ",
    "  ",
    "\t",
    ",",
    "\r",
    "\n",
    "\r\n",
    "\"",
    "0",
    "7",
    "123",
    "4096",
    "-",
    "+",
    ".",
    "E",
    "e",
    "D",
    "x",
    "A =",
    "1.5E3",
    "2d-1",
    "999999999999999",
    "12 34",
    "\x82",
    "\xA0",
    "\x82\xA0",
    "\x83\x41",
    "\x8e\x8e",
    "\xB1",
    "\xFF",
    "\x81",
    "\x40",
    "\x81\r",
    "\x81,",
    "\x81\"",
    "\x85\x45",
    "\x83\x44",
    "\x82\x4f",
};

class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::size_t below(std::size_t n) {
        state_ = state_ * 6364136223846793005u + 1442695040888963407u;
        return static_cast<std::size_t>((state_ >> 33) % n);
    }

  private:
    std::uint64_t state_;
};

std::string random_text(Random& random, std::size_t pieces_count) {
    std::string text;
    for (std::size_t i = 0; i < pieces_count; ++i)
        text += pieces[random.below(std::size(pieces))];
    return text;
}

// Lines of decoded text, cut the plain way: at CR, CR LF or LF.
std::vector<std::u32string> decoded_lines(std::string_view bytes) {
    const std::u32string text = decode_cp932(bytes);
    std::vector<std::u32string> lines;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != U'\r' && text[i] != U'\n')
            continue;
        lines.push_back(text.substr(begin, i - begin));
        if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n')
            ++i;
        begin = i + 1;
    }
    if (begin < text.size())
        lines.push_back(text.substr(begin));
    return lines;
}

TEST(TextSourceBytes, LinesAreTheLinesOfTheDecodedText) {
    Random random(1);
    for (int round = 0; round < 3000; ++round) {
        const std::string bytes = random_text(random, random.below(40));
        SCOPED_TRACE(testing::PrintToString(bytes));
        const std::vector<std::u32string> expected = decoded_lines(bytes);
        const TextSource source = TextSource::from_bytes(bytes);
        // Asking for a line far ahead first, then from the top, must cut the same lines.
        EXPECT_EQ(source.has_line(expected.size()), false);
        ASSERT_EQ(source.line_count(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(source.line(i), expected[i]) << "line " << i;
            const std::string_view b = source.line_bytes(i);
            const bool ascii = std::all_of(
                b.begin(), b.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
            EXPECT_EQ(source.line_is_ascii(i), ascii);
            EXPECT_EQ(decode_cp932(b), expected[i]);
            for (int k = 0; k < 4; ++k) {
                const std::size_t first = random.below(12), last = random.below(30);
                const double by_bytes = source.number_at(i, first, last);
                const double by_characters = leading_number(column_range(expected[i], first, last));
                EXPECT_EQ(std::bit_cast<std::uint64_t>(by_bytes),
                          std::bit_cast<std::uint64_t>(by_characters))
                    << "columns " << first << " to " << last;
            }
            EXPECT_EQ(source.line_start(i),
                      decode_cp932(bytes.substr(0, source.line_offset(i))).size());
        }
        EXPECT_EQ(source.line_start(expected.size()), source.text().size());
    }
}

TEST(TextSourceBytes, LongLinesAreCutAtTheirEndsWhereverTheyFall) {
    // Line ends and a non-ASCII byte at every place within and across eight-byte words.
    for (std::size_t length = 0; length < 40; ++length) {
        for (const char* end : {"\r", "\n", "\r\n"}) {
            std::string line(length, '5');
            const std::string bytes = line + end + line + "\xB1" + line;
            const TextSource source = TextSource::from_bytes(bytes);
            ASSERT_EQ(source.line_count(), 2u);
            EXPECT_EQ(source.line_bytes(0), line);
            EXPECT_TRUE(source.line_is_ascii(0));
            EXPECT_FALSE(source.line_is_ascii(1));
            EXPECT_EQ(source.line(1).size(), 2 * length + 1);
            EXPECT_EQ(source.line(1)[length], U'\uFF71');
        }
    }
}

// Reads the same text through bytes and through characters with the same calls; every number
// (to the bit), text field, line number, end and error must agree.
void expect_same_fields(const std::string& bytes, std::size_t offset, std::size_t first_line,
                        Random& random) {
    const std::u32string text = decode_cp932(bytes);
    const std::size_t wide_offset = decode_cp932(bytes.substr(0, offset)).size();
    FieldReader narrow(std::string_view(bytes), offset, first_line);
    FieldReader wide(std::u32string_view(text), wide_offset, first_line);
    for (int k = 0; k < 200; ++k) {
        ASSERT_EQ(narrow.at_end(), wide.at_end());
        ASSERT_EQ(narrow.line_number(), wide.line_number());
        const bool as_number = random.below(4) != 0;
        if (as_number && random.below(3) == 0) {
            // Plain numbers taken several at a time read as one at a time; of records of more
            // than one field, only the taken field's value counts.
            std::uint32_t plain[200];
            const std::size_t most = random.below(2) == 0 ? 6 : std::size(plain);
            const std::size_t width = 1 + random.below(3);
            const std::size_t taken = random.below(width);
            const std::size_t got =
                narrow.next_plain_numbers(plain, 1 + random.below(most), width, taken);
            for (std::size_t i = 0; i < got; ++i) {
                const double value = wide.next_number();
                if (i % width == taken) {
                    ASSERT_EQ(static_cast<double>(plain[i]), value) << "at call " << k;
                }
            }
            continue;
        }
        std::string narrow_error, wide_error;
        double n1 = 0, n2 = 0;
        std::u32string f1, f2;
        try {
            if (as_number)
                n1 = narrow.next_number();
            else
                f1 = narrow.next_field();
        } catch (const SpectrumError& e) {
            narrow_error = e.what();
        }
        try {
            if (as_number)
                n2 = wide.next_number();
            else
                f2 = wide.next_field();
        } catch (const SpectrumError& e) {
            wide_error = e.what();
        }
        ASSERT_EQ(narrow_error, wide_error);
        if (!narrow_error.empty())
            return;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(n1), std::bit_cast<std::uint64_t>(n2))
            << n1 << " and " << n2 << " at call " << k;
        ASSERT_EQ(f1, f2) << "at call " << k;
    }
}

TEST(FieldReaderBytes, ReadsWhatTheDecodedTextReads) {
    Random random(2);
    for (int round = 0; round < 4000; ++round) {
        const std::string bytes = random_text(random, random.below(60));
        SCOPED_TRACE(testing::PrintToString(bytes));
        const TextSource source = TextSource::from_bytes(bytes);
        const std::size_t skip = random.below(3);
        expect_same_fields(bytes, source.line_offset(skip), skip + 1, random);
    }
}

TEST(FieldReaderBytes, ReadsATableOfWholeNumbersAndTheirNeighbours) {
    // The table forms the fast path reads, with the forms beside it that it must leave alone.
    const std::string table =
        "        0         327\r\n"
        "        1  -0\r\n"
        "2,+17,\r\n"
        "3 999999999999999 1234567890123456 4\n"
        "5 12.5 6e2 7D1 8x 9-\r"
        "10\t\"11\" -\r\n"
        "\"12\r\n13\"";
    Random random(3);
    for (int round = 0; round < 50; ++round)
        expect_same_fields(table, 0, 1, random);

    FieldReader in(std::string_view(table), 0, 1);
    const double expected[] = {
        0,    327, 1,  -0.0, 2, 17, 0,  3, 999999999999999, 1234567890123456, 4, 5,
        12.5, 600, 70, 8,    9, 10, 11, 12};
    for (double value : expected) {
        const double got = in.next_number();
        EXPECT_EQ(got, value);
        EXPECT_EQ(std::signbit(got), std::signbit(value)) << value;
    }
    EXPECT_TRUE(in.at_end());
}

TEST(FieldReaderBytes, LongTablesOfPlainNumbersReadAsTheDecodedTextReads) {
    // Tables of the layouts' shapes, with now and then a field or separator that is not plain.
    constexpr std::string_view separators[] = {",",  ",", ",",   "\r\n", "\r",
                                               "\n", " ", "  ,", ",,",   "\t"};
    Random random(6);
    for (int round = 0; round < 3000; ++round) {
        // Some tables are plain but for a rare field or separator, so that long runs of plain
        // fields are read together.
        const bool mostly_plain = random.below(2) == 0;
        const std::size_t plain_separators = mostly_plain ? 6 : std::size(separators);
        std::string bytes;
        for (std::size_t n = 20 + random.below(mostly_plain ? 300 : 60); n > 0; --n) {
            if (random.below(mostly_plain ? 200 : 20) == 0) {
                bytes += random_text(random, 1);
                continue;
            }
            for (std::size_t d = 1 + random.below(random.below(4) == 0 ? 10 : 4); d > 0; --d)
                bytes += static_cast<char>('0' + random.below(10));
            bytes += separators[random.below(plain_separators)];
        }
        SCOPED_TRACE(testing::PrintToString(bytes));
        expect_same_fields(bytes, 0, 1, random);
    }
}

TEST(TextSourceKeys, AreFoundInCharactersNotInTrailBytes) {
    // 0x83 0x41 is the katakana "a", whose trail byte is the letter A.
    const std::string bytes = "head\r\n\x83\x41 = 1\r\nsample\r\n  a = 2\r\n";
    const TextSource source = TextSource::from_bytes(bytes);
    EXPECT_EQ(source.find_line("A ="), 3u);
    EXPECT_EQ(source.find_line("SAMPLE"), 2u);
    EXPECT_EQ(source.find_line("\x83"), TextSource::npos);
    EXPECT_EQ(source.find_line("missing"), TextSource::npos);
    EXPECT_EQ(source.line(1), U"ア = 1");
}

// A key search over the bytes finds the line that a search of every decoded line finds first,
// whatever stands before the key: trail bytes that are letters, lead bytes without a trail,
// every kind of line end.
TEST(TextSourceKeys, AreFoundWhereASearchOfTheDecodedLinesFindsThem) {
    constexpr std::string_view keys[] = {"A =", "a", "E", "x", "12", "E3", "d-1", "\x40", " ,"};
    Random random(11);
    for (int round = 0; round < 4000; ++round) {
        const std::string bytes = random_text(random, random.below(60));
        SCOPED_TRACE(testing::PrintToString(bytes));
        const std::vector<std::u32string> lines = decoded_lines(bytes);
        for (std::string_view key : keys) {
            std::size_t expected = TextSource::npos;
            for (std::size_t i = 0; i < lines.size() && expected == TextSource::npos; ++i)
                if (contains_ignore_case(std::u32string_view(lines[i]), widen(key)))
                    expected = i;
            // A fresh source, and one whose lines were walked before the search.
            const TextSource fresh = TextSource::from_bytes(bytes);
            EXPECT_EQ(fresh.find_line(key), expected) << key;
            const TextSource walked = TextSource::from_bytes(bytes);
            walked.line_count();
            const std::size_t found = walked.find_line(key);
            EXPECT_EQ(found, expected) << key;
            if (found != TextSource::npos) {
                EXPECT_EQ(walked.line(found), lines[found]);
            }
        }
    }
}

// Lines are not all kept: asked for in any order, far ahead, back at the top or next to a line a
// key search found, each is the line the text holds there.
TEST(TextSourceBytes, LinesAskedForInAnyOrderAreTheLinesOfTheText) {
    std::string bytes;
    std::vector<std::string> expected;
    Random random(12);
    for (int i = 0; i < 700; ++i) {
        expected.push_back(i == 400 ? "Key line"
                                    : std::to_string(i) + std::string(random.below(5), 'x'));
        bytes += expected.back() + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r");
    }
    const TextSource source = TextSource::from_bytes(bytes);
    EXPECT_EQ(source.find_line("KEY LINE"), 400u);
    EXPECT_EQ(source.line_bytes(401), expected[401]) << "next to the key's line";
    EXPECT_FALSE(source.has_line(700));
    for (int round = 0; round < 3000; ++round) {
        const std::size_t i = random.below(expected.size());
        ASSERT_EQ(source.line_bytes(i), expected[i]) << "line " << i;
        ASSERT_EQ(source.line_offset(i), bytes.find(expected[i] + (i % 3 == 0   ? "\r\n"
                                                                   : i % 3 == 1 ? "\n"
                                                                                : "\r"),
                                                    i == 0 ? 0 : source.line_offset(i - 1)));
    }
    EXPECT_EQ(source.line_count(), 700u);
    EXPECT_EQ(source.line_offset(700), bytes.size());
}

// A line of any length: its characters are given as far as a layout reads them, and a number in
// its columns reads as in the whole decoded line.
TEST(TextSourceBytes, VeryLongLinesGiveTheirFirstCharacters) {
    std::string kanji;
    for (int i = 0; i < 5000; ++i)
        kanji += "\x8e\x8e";  // 試
    const TextSource source = TextSource::from_bytes(kanji + " 42\r\n" + std::string(9000, '7'));
    EXPECT_EQ(source.line(0), std::u32string(TextSource::max_line_chars, U'試'));
    EXPECT_EQ(source.line(1), std::u32string(TextSource::max_line_chars, U'7'));
    EXPECT_EQ(source.number_at(0, 5001, 5004), 42.0);
    EXPECT_FALSE(source.line_is_ascii(0));
    EXPECT_EQ(source.line_bytes(0).size(), kanji.size() + 3);
}

TEST(TextSourceBytes, AKeptViewReadsTheCallersBytesAndMovesKeepThem) {
    const std::string bytes = "a\r\nb";
    TextSource over = TextSource::over_bytes(bytes);
    EXPECT_EQ(over.bytes().data(), bytes.data());
    TextSource copied = TextSource::from_bytes("short\r\ntext");
    EXPECT_EQ(copied.line(0), U"short");
    TextSource moved = std::move(copied);
    EXPECT_EQ(moved.line_bytes(1), "text");
    EXPECT_EQ(moved.line(0), U"short");
    EXPECT_FALSE(moved.has_line(2));
    EXPECT_THROW(moved.line(2), SpectrumError);
}

TEST(LeadingNumberBytes, ReadsWhatTheDecodedTextReads) {
    Random random(4);
    for (int round = 0; round < 20000; ++round) {
        const std::string bytes = random_text(random, random.below(6));
        const double by_bytes = leading_number(std::string_view(bytes));
        const double by_characters = leading_number(std::u32string_view(decode_cp932(bytes)));
        ASSERT_EQ(std::bit_cast<std::uint64_t>(by_bytes),
                  std::bit_cast<std::uint64_t>(by_characters))
            << testing::PrintToString(bytes);
    }
}

TEST(LeadingNumberBytes, WholeNumbersEndAtBlanksOnlyWhenNothingContinuesThem) {
    EXPECT_EQ(leading_number(std::string_view("    3600")), 3600);
    EXPECT_EQ(leading_number(std::string_view("1234567")), 1234567);
    EXPECT_EQ(leading_number(std::string_view("12345678")), 12345678);
    EXPECT_EQ(leading_number(std::string_view("9 8 7 6 5 4 3 2 1")), 987654321);
    EXPECT_EQ(leading_number(std::string_view("  42\n")), 42);
    EXPECT_EQ(leading_number(std::string_view("\n42")), 42);
    EXPECT_EQ(leading_number(std::string_view("42\t1")), 421);
    EXPECT_EQ(leading_number(std::string_view("   123   ")), 123);
    EXPECT_EQ(leading_number(std::string_view("123 x")), 123);
    EXPECT_EQ(leading_number(std::string_view("12 34")), 1234);
    EXPECT_EQ(leading_number(std::string_view("123 .5")), 123.5);
    EXPECT_EQ(leading_number(std::string_view("12 E2")), 1200);
    EXPECT_EQ(leading_number(std::string_view("-7\t\n")), -7);
    EXPECT_EQ(leading_number(std::string_view("\x82\xA0"
                                              "5")),
              0);
    EXPECT_EQ(leading_number(std::string_view("5\x82\x45"
                                              "5")),
              5);
}

TEST(LeadingNumberBytes, BlankPaddedFieldsReadAsTheGeneralRuleReadsThem) {
    // The word reading of a column field accepts only what it reads as the general rule does.
    using namespace ascii_words;
    Random random(5);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string bytes = random_text(random, random.below(8));
        bytes.resize(8 + random.below(12), ' ');
        SCOPED_TRACE(testing::PrintToString(bytes));
        const double rule = leading_number(std::string_view(bytes));
        std::uint32_t value = 0;
        if (blank_padded_whole(std::string_view(bytes), value)) {
            ++accepted;
            ASSERT_EQ(value, rule);
        }
        if (blank_padded_whole(load8(bytes.data()), value)) {
            ASSERT_EQ(value, leading_number(std::string_view(bytes).substr(0, 8)));
        }
    }
    EXPECT_GT(accepted, 1000);
    std::uint32_t value = 99;
    for (std::string_view field : {"    3600", "17      ", "        ", "1234567 ", " 1 "}) {
        EXPECT_TRUE(blank_padded_whole(field, value)) << field;
        EXPECT_EQ(value, leading_number(field));
    }
    for (std::string_view field : {"12345678", "  12 34 ", "  -5    ", "  1.5   ", "\t7      "})
        EXPECT_FALSE(blank_padded_whole(load8(field.data()), value)) << field;
}

TEST(TextSourceCommas, TheFirstLineWithoutACommaIsTheOneTheLinesShow) {
    // Long random texts of commas, blanks, line ends and other bytes, the commas now and then
    // sparse, so that lines of every length cross the 64-byte blocks.
    constexpr std::string_view bytes_of[] = {",",    " ", "\t", "\r",      "\n",
                                             "\r\n", "7", "x",  "\x82\x2C"};
    Random random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const std::size_t sparse = 1 + random.below(6);
        for (std::size_t n = random.below(300); n > 0; --n) {
            const std::size_t k = random.below(std::size(bytes_of));
            if (k != 0 || random.below(sparse) == 0)
                bytes += bytes_of[k];
        }
        SCOPED_TRACE(testing::PrintToString(bytes));
        const TextSource source = TextSource::from_bytes(bytes);
        const std::size_t first = random.below(3);
        std::size_t expected = TextSource::npos;
        for (std::size_t i = first; expected == TextSource::npos && source.has_line(i); ++i) {
            const std::string_view line = source.line_bytes(i);
            if (line.find(',') == std::string_view::npos &&
                line.find_first_not_of(" \t") != std::string_view::npos)
                expected = source.line_offset(i);
        }
        ASSERT_EQ(first_line_without_comma(bytes, source.line_offset(first)), expected);
    }
}

TEST(AsciiWords, BytesAreClassedAsTheyAreOneByOne) {
    using namespace ascii_words;
    Random random(8);
    for (int round = 0; round < 2000; ++round) {
        char bytes[64];
        for (char& b : bytes)
            b = static_cast<char>(random.below(3) == 0 ? random.below(256)
                                                       : "0129,\r\n /:"[random.below(11)]);
        ByteClasses expected;
        for (int i = 0; i < 64; ++i) {
            const std::uint64_t bit = std::uint64_t{1} << i;
            expected.digits |= bytes[i] >= '0' && bytes[i] <= '9' ? bit : 0;
            expected.commas |= bytes[i] == ',' ? bit : 0;
            expected.crs |= bytes[i] == '\r' ? bit : 0;
            expected.lfs |= bytes[i] == '\n' ? bit : 0;
            expected.blanks |= bytes[i] == ' ' ? bit : 0;
            expected.high |= static_cast<unsigned char>(bytes[i]) >= 0x80 ? bit : 0;
        }
        ASSERT_TRUE(classify64(bytes) == expected);
        ASSERT_TRUE(classify64_by_words(bytes) == expected);
    }
}

}  // namespace
}  // namespace brandel::spectrum

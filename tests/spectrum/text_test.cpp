#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/text.hpp"
#include "spectrum/text_source.hpp"

namespace brandel::spectrum {
namespace {

// Shift-JIS bytes of 試料 ("sample") and of あ.
constexpr std::string_view shiryo_bytes = "\x8e\x8e\x97\xbf";
constexpr std::u32string_view shiryo = U"試料";

TEST(TextField, HoldsNulUntilAssignedThenPadsAndCuts) {
    TextField<6> field;
    EXPECT_EQ(field.view(), std::u32string_view(U"\0\0\0\0\0\0", 6));
    field.assign(U"14");
    EXPECT_EQ(field.view(), U"14    ");
    field.assign(U"1423375");
    EXPECT_EQ(field.view(), U"142337");
    field.assign(U"");
    EXPECT_EQ(field.view(), U"      ");
    field.clear();
    EXPECT_EQ(field.at(0), U'\0');
}

TEST(CodePageDecode, DecodesShiftJisAndMarksEveryBadByte) {
    struct Row {
        std::string_view name;
        std::string bytes;
        std::u32string text;
    };
    const Row rows[] = {
        {"ascii", "Co-60 check", U"Co-60 check"},
        {"kanji", std::string(shiryo_bytes) + "A", U"試料A"},
        {"hiragana", "\x82\xa0", U"あ"},
        {"half-width katakana", "\xb1\xdf", U"\uFF71\uFF9F"},
        {"NUL stays", std::string("a\0b", 3), std::u32string(U"a\0b", 3)},
        {"lead byte at the end", "A\x82", U"A\uFFFD"},
        {"lead byte before a blank", "\x82 x", U"\uFFFD x"},
        {"bytes that start nothing", "\x80\xa0\xfd\xfe\xff", U"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"unassigned pair keeps its ASCII second byte", "\x85\x40", U"\uFFFD@"},
        {"resynchronises after a bad byte", "\xff\x82\xa0", U"\uFFFDあ"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(decode_cp932(row.bytes), row.text);
    }
}

TEST(CodePageEncode, FillsTheWidthWithWholeCharactersAndBlanks) {
    struct Row {
        std::string_view name;
        std::u32string text;
        std::size_t width;
        std::string bytes;
    };
    const std::string kanji31 = [] {
        std::string s;
        for (int i = 0; i < 31; ++i)
            s += "\x8e\x8e";
        return s;
    }();
    const Row rows[] = {
        {"padded", U"Co-60", 8, "Co-60   "},
        {"cut", U"12JAN2024", 8, "12JAN202"},
        {"kanji fits exactly", std::u32string(shiryo), 4, std::string(shiryo_bytes)},
        {"no half kanji at the end", std::u32string(shiryo), 3, "\x8e\x8e "},
        {"no half kanji after ASCII", U"A試料", 4, "A\x8e\x8e "},
        {"63 bytes hold 31 kanji and a blank", std::u32string(40, U'試'), 63, kanji31 + " "},
        {"half-width katakana take one byte", U"\uFF71\uFF9F", 3, "\xb1\xdf "},
        {"NUL becomes a zero byte", std::u32string(3, U'\0'), 3, std::string(3, '\0')},
        {"unrepresentable characters", U"é\U0001F600\uFFFDx", 5, "???x "},
        {"look-alikes are not representable", U"\u00A5\u203E\u301C\u2016\u2212", 5, "?????"},
        {"empty", U"", 2, "  "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(encode_cp932(row.text, row.width), row.bytes);
    }
}

TEST(CodePageEncode, RoundTripsWhatItDecodes) {
    const std::string bytes = "Ge \x8c\x9f\x8f\x6f\x8a\xed \xb1 No.5 \x87\x40\xfa\x40";
    const std::u32string text = decode_cp932(bytes);
    EXPECT_EQ(text.find(U'\uFFFD'), std::u32string::npos);
    EXPECT_EQ(encode_cp932(text, bytes.size()), bytes);
}

TEST(TextUtf8, RejectsMalformedAndOverlongForms) {
    struct Row {
        std::string_view name;
        std::string bytes;
        std::u32string text;
    };
    const Row rows[] = {
        {"ascii and kanji", "a\xe8\xa9\xa6", U"a試"},
        {"four bytes", "\xf0\x9f\x98\x80", U"\U0001F600"},
        {"over-long slash", "\xc0\xaf", U"\uFFFD\uFFFD"},
        {"over-long NUL", "\xe0\x80\x80", U"\uFFFD\uFFFD\uFFFD"},
        {"surrogate", "\xed\xa0\x80", U"\uFFFD\uFFFD\uFFFD"},
        {"cut short", "x\xe8\xa9", U"x\uFFFD\uFFFD"},
        {"stray continuation", "\x80z", U"\uFFFDz"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(from_utf8(row.bytes), row.text);
    }
    EXPECT_EQ(to_utf8(U"a試\U0001F600"), "a\xe8\xa9\xa6\xf0\x9f\x98\x80");
}

TEST(TextColumns, CountCharactersFromOneAndStopAtTheLineEnd) {
    const std::u32string line = U"試料 Live Time: 3600";
    EXPECT_EQ(columns(line, 1, 2), U"試料");
    EXPECT_EQ(columns(line, 15, 10), U"3600");
    EXPECT_EQ(columns(line, 30, 3), U"");
    EXPECT_EQ(columns(line, 0, 3), U"");
    EXPECT_EQ(column_range(line, 4, 7), U"Live");
    EXPECT_TRUE(contains_ignore_case(line, U"LIVE time"));
    EXPECT_FALSE(contains_ignore_case(line, U"real"));
    EXPECT_FALSE(contains_ignore_case(U"LIVE_TIME", U"live time"));
    EXPECT_EQ(trim_blanks(U"  a b\t "), U"a b\t");
}

TEST(TextLines, EndAtCrCrLfOrLf) {
    struct Row {
        std::string_view name;
        std::string text;
        std::vector<std::u32string> lines;
    };
    const Row rows[] = {
        {"mixed", "a\rb\r\nc\nd", {U"a", U"b", U"c", U"d"}},
        {"empty file", "", {}},
        {"terminated last line", "a\r\n", {U"a"}},
        {"empty lines", "\r\n\r\n", {U"", U""}},
        {"LF LF", "a\n\nb", {U"a", U"", U"b"}},
        {"CR CR", "a\r\rb", {U"a", U"", U"b"}},
        {"LF CR is two ends", "a\n\rb", {U"a", U"", U"b"}},
        {"no terminator", "last", {U"last"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TextSource source = TextSource::from_bytes(row.text);
        ASSERT_EQ(source.line_count(), row.lines.size());
        for (std::size_t i = 0; i < row.lines.size(); ++i)
            EXPECT_EQ(source.line(i), row.lines[i]);
    }
}

TEST(TextLines, DecodeCodePageBytesAndKnowWhereEachLineStarts) {
    TextSource source = TextSource::from_bytes(std::string(shiryo_bytes) + "\r\nx\ny");
    ASSERT_EQ(source.line_count(), 3u);
    EXPECT_EQ(source.line(0), shiryo);
    EXPECT_EQ(source.line_start(1), 4u);
    EXPECT_EQ(source.line_start(2), 6u);
    EXPECT_EQ(source.line_start(3), source.text().size());
}

TEST(TextFields, ReadNumbersSeparatedByCommasLineEndsAndBlanks) {
    const std::u32string text = U"  1, 2\r\n3\n 4\r5 6,1.5abc,,\"7\",-2";
    FieldReader in(text, 0, 1);
    struct Expect {
        double value;
        std::size_t line;
    };
    const Expect expected[] = {{1, 1}, {2, 1},   {3, 2}, {4, 3}, {5, 4},
                               {6, 4}, {1.5, 4}, {0, 4}, {7, 4}, {-2, 4}};
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.value);
        EXPECT_EQ(in.line_number(), e.line);
        EXPECT_EQ(in.next_number(), e.value);
    }
    EXPECT_TRUE(in.at_end());
    try {
        in.next_number();
        ADD_FAILURE() << "read past the end";
    } catch (const SpectrumError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::end_of_file);
        EXPECT_NE(std::string(e.what()).find("line 4"), std::string::npos) << e.what();
    }
}

TEST(TextFields, ReadTextFieldsAndQuotedFields) {
    TextSource source =
        TextSource::from_bytes("skip\r\n  abc def,\"a,b\" ,\"x\"junk,\"two\r\nlines\",last");
    FieldReader in(source.bytes(), source.line_offset(1), 2);
    EXPECT_EQ(in.next_field(), U"abc def");
    EXPECT_EQ(in.next_field(), U"a,b");
    EXPECT_EQ(in.next_field(), U"x");
    EXPECT_EQ(in.next_field(), U"two\r\nlines");
    EXPECT_EQ(in.line_number(), 3u);  // the CR LF inside the quotes is one line end
    EXPECT_EQ(in.next_field(), U"last");
    EXPECT_THROW(in.next_field(), SpectrumError);
}

}  // namespace
}  // namespace brandel::spectrum

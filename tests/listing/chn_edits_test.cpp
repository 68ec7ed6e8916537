#include "listing/chn_edits.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "listing/listing.hpp"
#include "listing/memory_grid.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/text.hpp"
#include "temp_dir.hpp"

namespace brandel::listing {
namespace {

using spectrum::RecordSource;
using spectrum::State;
using spectrum::widen;
using test_support::TempDir;

// A spectrum of four channels as this program's converter writes it: blank-padded description
// with the length byte 63, the seconds digits in bytes 6-7 and 28-29.
std::string converted_chn() {
    State s;
    spectrum::ChnHeader& h = s.chn_header;
    h.mca_number = 301;
    h.segment = 1;
    h.start_sec_tens = '3';
    h.start_sec_units = '7';
    h.real_time = 6025;
    h.live_time = 6000;
    h.start_date.assign(U"05Jul031");
    h.start_time.assign(U"142337");
    h.num_channels = 4;
    for (int k = 0; k < 4; ++k)
        s.counts.set(k, 1000 * (k + 1) + 7);
    s.chn_trailer.trailer_type = -102;
    s.chn_trailer.energy_slope = 0.5f;
    s.chn_trailer.sample_desc_len = 63;
    s.chn_trailer.sample_desc.assign(U"Co-60 check");
    return spectrum::chn_bytes(s);
}

constexpr std::size_t trailer_at = 32 + 16;  // of converted_chn()

// The file as another program writes it: a binary channel offset in bytes 28-29, a description
// padded with NUL bytes whose length byte gives its length, and header bytes that are no valid
// code page 932.
std::string foreign_chn() {
    std::string b = converted_chn();
    b[28] = '\x34';
    b[29] = '\x12';
    b[2] = '\x81';  // a lone lead byte in the MCA number
    const std::string desc = "Soil 7";
    b[trailer_at + 320] = static_cast<char>(desc.size());
    b.replace(trailer_at + 321, 63, desc + std::string(63 - desc.size(), '\0'));
    return b;
}

// Offsets [first, first + count).
std::set<std::size_t> span(std::size_t first, std::size_t count) {
    std::set<std::size_t> out;
    for (std::size_t i = first; i < first + count; ++i)
        out.insert(i);
    return out;
}

std::set<std::size_t> operator+(std::set<std::size_t> a, const std::set<std::size_t>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

// Every byte outside `may_change` is the same in both, and both have the same size.
void expect_only_changed(const std::string& before, const std::string& after,
                         const std::set<std::size_t>& may_change) {
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (!may_change.contains(i)) {
            ASSERT_EQ(before[i], after[i]) << "byte " << i << " changed";
        }
    }
}

State read_back(const TempDir& dir, const std::string& name, const std::string& bytes) {
    State s;
    s.org_path = dir.write(name, bytes);
    spectrum::read_chn(s);
    return s;
}

std::string comment_of(const State& s) {
    return spectrum::to_utf8(spectrum::trim_blanks(s.text_buf.view()));
}

std::string cannot_apply(std::string bytes, const std::vector<FieldEdit>& edits) {
    const std::string before = bytes;
    try {
        apply_edits(bytes, edits);
    } catch (const spectrum::SpectrumError& e) {
        EXPECT_EQ(e.kind(), spectrum::ErrorKind::cannot_write);
        EXPECT_TRUE(bytes == before) << "bytes changed by a refused edit";
        return e.what();
    }
    ADD_FAILURE() << "the edit was applied";
    return {};
}

FieldEdit date(std::u32string text) {
    return {EditedField::date, U"", std::move(text)};
}
FieldEdit time(std::u32string text) {
    return {EditedField::time, U"", std::move(text)};
}
FieldEdit comment(std::u32string text) {
    return {EditedField::comment, U"", std::move(text)};
}

TEST(ListingCells, DatesAsTheListingShowsThem) {
    for (const char32_t* good : {U"05Jul031", U"31Dec99 ", U" 5jul031", U"29Feb001", U"29FEB96 ",
                                 U"01Jan000", U"30Apr171"}) {
        EXPECT_TRUE(is_listing_date(good)) << spectrum::to_utf8(good);
    }
    for (const char32_t* bad :
         {U"05Jul03", U"05Jul0312", U"00Jul031", U"32Jul031", U"31Apr171", U"29Feb011", U"29Feb00 ",
          U"05Jly031", U"5 Jul031", U"05Jul3 1", U"05Jul032", U"0xJul031", U"", U"０５Jul031"}) {
        EXPECT_FALSE(is_listing_date(bad)) << spectrum::to_utf8(bad);
    }
}

TEST(ListingCells, TimesAreSixDigits) {
    for (const char32_t* good : {U"000000", U"235959", U"142337"})
        EXPECT_TRUE(is_listing_time(good)) << spectrum::to_utf8(good);
    for (const char32_t* bad :
         {U"240000", U"126000", U"120060", U"14233", U"1423370", U"14:23:", U" 91500", U""})
        EXPECT_FALSE(is_listing_time(bad)) << spectrum::to_utf8(bad);
}

TEST(ApplyEdits, ConvertedFileChangesOnlyTheEditedFields) {
    TempDir dir;
    const std::string before = converted_chn();
    std::string after = before;
    apply_edits(after, {date(U"13Aug241"), time(U"091502"), comment(U"Soil, shelf 2")});

    // The seconds go into bytes 6-7 and, as they hold digits here, into 28-29.
    expect_only_changed(before, after, span(6, 2) + span(16, 14) + span(trailer_at + 321, 63));
    EXPECT_EQ(after.substr(6, 2), "02");
    EXPECT_EQ(after.substr(24, 6), "091502");
    EXPECT_EQ(static_cast<unsigned char>(after[trailer_at + 320]), 63);  // stays the whole field
    EXPECT_EQ(after.substr(trailer_at + 321, 63), "Soil, shelf 2" + std::string(50, ' '));

    const State s = read_back(dir, "a.chn", after);
    EXPECT_EQ(s.chn_header.start_date.view(), U"13Aug241");
    EXPECT_EQ(s.chn_header.start_time.view(), U"091502");
    EXPECT_EQ(comment_of(s), "Soil, shelf 2");
    EXPECT_EQ(s.chn_header.live_time, 120);
    EXPECT_EQ(s.counts.at(3), 4007);
}

TEST(ApplyEdits, ForeignFileKeepsItsChannelOffsetPaddingAndOddBytes) {
    TempDir dir;
    const std::string before = foreign_chn();
    std::string after = before;
    apply_edits(after, {time(U"235958"), comment(U"Soil 7, dried")});

    expect_only_changed(before, after, span(6, 2) + span(24, 4) + span(trailer_at + 320, 64));
    EXPECT_EQ(after.substr(28, 2), "\x34\x12");  // the channel offset stays
    EXPECT_EQ(static_cast<unsigned char>(after[trailer_at + 320]), 13);
    EXPECT_EQ(after.substr(trailer_at + 321, 63), "Soil 7, dried" + std::string(50, '\0'));

    const State s = read_back(dir, "b.chn", after);
    EXPECT_EQ(s.chn_header.start_time.view(), U"235958");
    EXPECT_EQ(comment_of(s), "Soil 7, dried");

    // An emptied comment: no text, length 0, padding kept.
    after = before;
    apply_edits(after, {comment(U"   ")});
    EXPECT_EQ(after[trailer_at + 320], 0);
    EXPECT_EQ(after.substr(trailer_at + 321, 63), std::string(63, '\0'));
}

// A spectrum in the layout of the CHN files other programs write: MCA number 1, segment 1, a
// channel offset of 0 in bytes 28-29, and a description whose length byte gives its length in
// bytes; this one fills all 63 bytes.
std::string full_comment_chn() {
    std::string b = converted_chn();
    b[2] = 1;
    b[4] = 1;
    b.replace(28, 2, std::string(2, '\0'));
    b[trailer_at + 320] = 63;
    b.replace(trailer_at + 321, 63,
              "Soil core 7, 0-5 cm, dried 48 h at 105 C, sieved 2 mm; shelf 12");
    return b;
}

std::size_t length_byte(const std::string& bytes, std::size_t trailer) {
    return static_cast<unsigned char>(bytes[trailer + 320]);
}

TEST(CommentLength, AFullCommentOfOtherProgramsGetsTheNewCommentsLength) {
    TempDir dir;
    const std::string before = full_comment_chn();
    ASSERT_EQ(before.substr(trailer_at + 321, 63).find_last_not_of(' '), 62u);

    std::string after = before;
    apply_edits(after, {comment(U"Cs-137")});
    expect_only_changed(before, after, span(trailer_at + 320, 64));
    EXPECT_EQ(length_byte(after, trailer_at), 6u);
    // Padded as those programs pad, with NUL bytes.
    EXPECT_EQ(after.substr(trailer_at + 321, 63), "Cs-137" + std::string(57, '\0'));
    EXPECT_EQ(comment_of(read_back(dir, "a.chn", after)), "Cs-137");

    // The length counts bytes of code page 932; a new full comment is 63 again.
    after = before;
    apply_edits(after, {comment(U"土壌 7")});
    EXPECT_EQ(length_byte(after, trailer_at), 6u);
    after = before;
    apply_edits(after, {comment(std::u32string(63, U'z'))});
    EXPECT_EQ(length_byte(after, trailer_at), 63u);

    // Saved again, the short comment's true length goes on being followed.
    after = before;
    apply_edits(after, {comment(U"Cs-137")});
    apply_edits(after, {comment(U"Cs-137 and Co-60")});
    EXPECT_EQ(length_byte(after, trailer_at), 16u);
}

TEST(CommentLength, TheConvertersWholeFieldLengthStays) {
    TempDir dir;
    // As the converter writes it: 63 over a blank-padded 40-character comment.
    State s;
    spectrum::ChnHeader& h = s.chn_header;
    h.mca_number = 311;
    h.segment = 2;
    h.start_sec_tens = '0';
    h.start_sec_units = '5';
    h.start_date.assign(U"01Apr251");
    h.start_time.assign(U"083005");
    h.num_channels = 2;
    s.chn_trailer.sample_desc_len = 63;
    s.chn_trailer.sample_desc.assign(std::u32string(40, U'c'));
    const std::string before = spectrum::chn_bytes(s);
    const std::size_t trailer = 32 + 8;
    ASSERT_EQ(length_byte(before, trailer), 63u);
    ASSERT_EQ(before.substr(trailer + 321 + 40, 23), std::string(23, ' '));

    std::string after = before;
    apply_edits(after, {comment(U"x")});
    expect_only_changed(before, after, span(trailer + 321, 63));
    EXPECT_EQ(length_byte(after, trailer), 63u);
    EXPECT_EQ(after.substr(trailer + 321, 63), "x" + std::string(62, ' '));
    EXPECT_EQ(comment_of(read_back(dir, "b.chn", after)), "x");

    // Emptied, the field is all blanks and still the whole field.
    after = before;
    apply_edits(after, {comment(U"")});
    EXPECT_EQ(length_byte(after, trailer), 63u);
    EXPECT_EQ(after.substr(trailer + 321, 63), std::string(63, ' '));
}

TEST(ApplyEdits, CommentIsEncodedInCodePage932AndRefusedWhenItDoesNotFit) {
    TempDir dir;
    const std::string before = converted_chn();
    // 31 kanji (62 bytes) and one letter fill the 63 bytes exactly.
    const std::u32string fits = std::u32string(31, U'試') + U"A";
    std::string after = before;
    apply_edits(after, {comment(fits)});
    EXPECT_EQ(after.substr(trailer_at + 321, 4), "\x8E\x8E\x8E\x8E");
    EXPECT_EQ(read_back(dir, "c.chn", after).text_buf.str().substr(0, 32), fits);

    // One more letter is refused whole, never cut, with how many bytes fit.
    const std::string message = cannot_apply(before, {comment(fits + U"B")});
    EXPECT_NE(message.find("64 bytes"), std::string::npos) << message;
    EXPECT_NE(message.find("63 fit"), std::string::npos) << message;

    // A character the code page lacks is stored as "?", as the converter stores it.
    after = before;
    apply_edits(after, {comment(U"Cs-137 \u2603")});
    EXPECT_EQ(after.substr(trailer_at + 321, 8), "Cs-137 ?");
}

TEST(ApplyEdits, RefusesValuesThatAreNoDateOrTimeAndChangesNothing) {
    const std::string bytes = converted_chn();
    EXPECT_NE(cannot_apply(bytes, {comment(U"fine"), date(U"31Feb241")}).find("not a date"),
              std::string::npos);
    EXPECT_NE(cannot_apply(bytes, {time(U"1460")}).find("not a time"), std::string::npos);
}

TEST(ApplyEdits, CommentVariantKeepsItsLayout) {
    TempDir dir;
    // The second stored as a number in byte 6, then the 64-byte comment block after the data.
    std::string numbered = converted_chn().substr(0, trailer_at);
    numbered[6] = 37;
    numbered[7] = 0;
    numbered.replace(28, 2, std::string(2, '\0'));
    numbered += "old comment" + std::string(53, ' ');

    std::string after = numbered;
    apply_edits(after, {time(U"101509"), comment(U"new comment")});
    expect_only_changed(numbered, after, span(6, 1) + span(24, 4) + span(trailer_at, 64));
    EXPECT_EQ(after[6], 9);
    State s = read_back(dir, "d.chn", after);
    EXPECT_EQ(s.record_source, RecordSource::chn_comment);
    EXPECT_EQ(s.chn_header.start_time.view(), U"101509");
    EXPECT_EQ(comment_of(s), "new comment");

    // A second of 0 cannot be a number there: the time field then holds all six characters.
    after = numbered;
    apply_edits(after, {time(U"101500")});
    expect_only_changed(numbered, after, span(6, 1) + span(24, 6));
    s = read_back(dir, "e.chn", after);
    EXPECT_EQ(s.record_source, RecordSource::chn_comment);
    EXPECT_EQ(s.chn_header.start_time.view(), U"101500");

    // Both seconds bytes zero: the whole time field is the time; the block may hold 64 bytes.
    std::string plain = numbered;
    plain[6] = 0;
    after = plain;
    apply_edits(after, {time(U"080706"), comment(std::u32string(64, U'x'))});
    expect_only_changed(plain, after, span(24, 6) + span(trailer_at, 64));
    EXPECT_EQ(read_back(dir, "f.chn", after).chn_header.start_time.view(), U"080706");
}

TEST(ApplyEdits, RefusesACommentWhereTheFileHasNoPlaceForIt) {
    std::string other = converted_chn();
    other[6] = 0;  // tens zero, units not: a layout without a comment
    EXPECT_NE(cannot_apply(other, {comment(U"x")}).find("no place for a comment"),
              std::string::npos);

    const std::string short_trailer = converted_chn().substr(0, trailer_at + 300);
    EXPECT_NE(cannot_apply(short_trailer, {comment(U"x")}).find("no complete trailer"),
              std::string::npos);
    // Its date can still be set.
    std::string after = short_trailer;
    apply_edits(after, {date(U"01Jan251")});
    expect_only_changed(short_trailer, after, span(16, 8));

    EXPECT_NE(cannot_apply(std::string(20, '\0'), {date(U"01Jan251")}).find("header"),
              std::string::npos);
}

// A folder of CHN files listed into a grid as Make lists them.
struct ListedFolder {
    TempDir dir;
    MemoryGrid grid;
    ListingState listing;

    void list(const std::vector<std::string>& names) {
        State state;
        for (std::size_t i = 0; i < names.size(); ++i) {
            state.org_path = dir.dir() + names[i];
            spectrum::read_chn(state);
            add_listing_row(grid, listing, state, static_cast<int>(i),
                            widen(names[i].substr(0, names[i].find('.'))), i + 1 == names.size());
        }
    }
    void edit(int row, int col, std::u32string_view text) {
        grid.set_row(row);
        grid.set_col(col);
        grid.set_text(text);
    }
};

TEST(SaveEdits, WritesTheEditedFilesAndReportsEachFile) {
    ListedFolder f;
    f.dir.write("a.chn", converted_chn());
    f.dir.write("b.chn", foreign_chn());
    f.dir.write("c.chn", converted_chn());
    f.list({"a.chn", "b.chn", "c.chn"});
    ASSERT_EQ(f.listing.files.size(), 3u);

    f.edit(1, comment_column, U"  Co-60 check, 2nd count   ");
    f.edit(2, date_column, U"06Jul031");
    f.edit(2, time_column, U"000001");
    f.edit(3, comment_column, U"Co-60 check   ");  // only blanks added: no edit
    const std::vector<FileEdits> edits = collect_edits(f.grid, f.listing);
    ASSERT_EQ(edits.size(), 2u);
    EXPECT_EQ(edits[0].row, 1);
    ASSERT_EQ(edits[0].fields.size(), 1u);
    EXPECT_EQ(edits[0].fields[0].old_text, U"Co-60 check");
    EXPECT_EQ(edits[0].fields[0].new_text, U"Co-60 check, 2nd count");
    EXPECT_EQ(edits[1].fields.size(), 2u);
    EXPECT_TRUE(edits[1].problem.empty()) << edits[1].problem;

    const std::string text = confirmation_text(edits);
    EXPECT_NE(text.find("into 2 CHN files"), std::string::npos) << text;
    EXPECT_NE(text.find("a.chn\n    comment: \"Co-60 check\" \u2192 \"Co-60 check, 2nd count\""),
              std::string::npos)
        << text;
    EXPECT_NE(
        text.find("b.chn\n    Date: 05Jul031 \u2192 06Jul031\n    Time: 142337 \u2192 000001"),
        std::string::npos)
        << text;

    const std::string c_before = f.dir.read("c.chn");
    const std::vector<SaveResult> results = save_edits(edits);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].saved && results[1].saved);
    EXPECT_EQ(save_report_text(results), "Saved the edits into 2 CHN files:\na.chn\nb.chn");
    EXPECT_TRUE(f.dir.read("c.chn") == c_before);

    f.list({"a.chn", "b.chn", "c.chn"});
    EXPECT_EQ(spectrum::trim_blanks(f.grid.cell(1, comment_column)), U"Co-60 check, 2nd count");
    EXPECT_EQ(f.grid.cell(2, date_column), U"06Jul031");
    EXPECT_EQ(f.grid.cell(2, time_column), U"000001");
    EXPECT_TRUE(collect_edits(f.grid, f.listing).empty());
    expect_only_changed(foreign_chn(), f.dir.read("b.chn"), span(6, 2) + span(16, 12));
}

TEST(SaveEdits, AFileChangedSinceTheListingIsNotWritten) {
    ListedFolder f;
    f.dir.write("a.chn", converted_chn());
    f.dir.write("b.chn", converted_chn());
    f.dir.write("c.chn", converted_chn());
    f.list({"a.chn", "b.chn", "c.chn"});
    for (int r = 1; r <= 3; ++r)
        f.edit(r, date_column, U"01Jan251");

    // a.chn: one count changed behind the listing's back, same size, same write time.
    const auto a_path = f.dir.path() / "a.chn";
    const auto a_time = std::filesystem::last_write_time(a_path);
    std::string a = converted_chn();
    a[40] = static_cast<char>(a[40] + 1);
    f.dir.write("a.chn", a);
    std::filesystem::last_write_time(a_path, a_time);
    // b.chn: rewritten with the same bytes, later.
    const auto b_path = f.dir.path() / "b.chn";
    std::filesystem::last_write_time(
        b_path, std::filesystem::last_write_time(b_path) + std::chrono::seconds(5));
    // c.chn: grown by a byte.
    f.dir.write("c.chn", converted_chn() + "x");

    const std::vector<SaveResult> results = save_edits(collect_edits(f.grid, f.listing));
    ASSERT_EQ(results.size(), 3u);
    for (const SaveResult& r : results) {
        EXPECT_FALSE(r.saved) << r.path;
        EXPECT_NE(r.reason.find("changed on disk"), std::string::npos) << r.reason;
    }
    EXPECT_TRUE(f.dir.read("a.chn") == a);
    EXPECT_TRUE(f.dir.read("b.chn") == converted_chn());
    const std::string report = save_report_text(results);
    EXPECT_EQ(report.rfind("Saved the edits into 0 of 3 CHN files.\n\nNot saved:\na.chn: ", 0), 0u)
        << report;
}

TEST(SaveEdits, AReadOnlyFileKeepsItsBytes) {
    ListedFolder f;
    f.dir.write("a.chn", converted_chn());
    f.list({"a.chn"});
    f.edit(1, date_column, U"01Jan251");
    std::filesystem::permissions(f.dir.path() / "a.chn", std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::group_read |
                                                             std::filesystem::perms::others_read);
    const std::vector<SaveResult> results = save_edits(collect_edits(f.grid, f.listing));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0].saved);
    EXPECT_NE(results[0].reason.find("read-only"), std::string::npos) << results[0].reason;
    EXPECT_TRUE(f.dir.read("a.chn") == converted_chn());
}

TEST(SaveEdits, InvalidCellsAreReportedAndTheirFilesNotWritten) {
    ListedFolder f;
    f.dir.write("a.chn", converted_chn());
    f.dir.write("b.chn", converted_chn());
    f.list({"a.chn", "b.chn"});
    f.edit(1, time_column, U"14:23");
    f.edit(1, comment_column, U"would be fine");
    f.edit(2, comment_column, std::u32string(70, U'y'));

    const std::vector<FileEdits> edits = collect_edits(f.grid, f.listing);
    ASSERT_EQ(edits.size(), 2u);
    EXPECT_EQ(cell_problem(f.listing.files[0], time_column, U"14:23"), edits[0].problem);
    EXPECT_NE(edits[1].problem.find("70 bytes"), std::string::npos) << edits[1].problem;
    const std::string text = confirmation_text(edits);
    EXPECT_EQ(text.rfind("None of the edits can be saved:\na.chn: start time '14:23'", 0), 0u)
        << text;

    for (const SaveResult& r : save_edits(edits))
        EXPECT_FALSE(r.saved);
    EXPECT_TRUE(f.dir.read("a.chn") == converted_chn());
    EXPECT_TRUE(f.dir.read("b.chn") == converted_chn());

    // A cell put back to its listed text is no edit and no problem, even when the file holds no
    // valid time.
    ListedFile odd = f.listing.files[0];
    odd.time = U"petr00";
    EXPECT_EQ(cell_problem(odd, time_column, U"petr00"), "");
}

// Real CHN files written by other programs.
TEST(SaveEdits, CorpusFilesChangeOnlyTheirEditedFields) {
    const std::filesystem::path corpus = BRANDEL_CORPUS_DIR "/chn";
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "no corpus of CHN files here";
    std::vector<std::string> names;
    ListedFolder f;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() != ".CHN")
            continue;
        names.push_back(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        f.dir.write(names.back(), std::string(std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()));
    }
    ASSERT_FALSE(names.empty());
    f.list(names);
    for (int r = 1; r <= static_cast<int>(names.size()); ++r) {
        f.edit(r, date_column, U"29Feb241");
        f.edit(r, time_column, U"235901");
        f.edit(r, comment_column, U"土壌 sample " + widen(std::to_string(r)));
    }
    const std::vector<SaveResult> results = save_edits(collect_edits(f.grid, f.listing));
    for (const SaveResult& r : results)
        EXPECT_TRUE(r.saved) << r.path << ": " << r.reason;

    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        std::ifstream in(corpus / names[i], std::ios::binary);
        const std::string before{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
        const std::string after = f.dir.read(names[i]);
        State s;
        s.org_path = (f.dir.path() / names[i]).string();
        spectrum::read_chn(s);
        const std::size_t trailer = 32 + 4 * static_cast<std::size_t>(s.chn_header.num_channels);
        expect_only_changed(before, after, span(6, 2) + span(16, 12) + span(trailer + 320, 64));
        EXPECT_EQ(after.substr(28, 2), std::string(2, '\0'));
        EXPECT_EQ(s.chn_header.start_date.view(), U"29Feb241");
        EXPECT_EQ(s.chn_header.start_time.view(), U"235901");
        const std::u32string text = U"土壌 sample " + widen(std::to_string(i + 1));
        EXPECT_EQ(spectrum::trim_blanks(s.text_buf.view()), text);
        // The length byte counts bytes: two kanji take four.
        EXPECT_EQ(static_cast<unsigned char>(after[trailer + 320]), text.size() + 2);
    }
}

// A real CHN file of another program, its description made to fill all 63 bytes as that
// program writes a full one, edited through the listing.
TEST(SaveEdits, ACorpusFileWithAFullCommentGetsTheNewLength) {
    const std::filesystem::path source =
        std::filesystem::path(BRANDEL_CORPUS_DIR) / "chn" / "Alcatraz14.CHN";
    if (!std::filesystem::is_regular_file(source))
        GTEST_SKIP() << "no corpus of CHN files here";
    std::ifstream in(source, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t trailer = 32 + 4 * 8192;
    ASSERT_EQ(bytes.size(), trailer + 512);
    ASSERT_EQ(length_byte(bytes, trailer), std::string("Description: Alcatraz14").size());
    bytes[trailer + 320] = 63;
    bytes.replace(
        trailer + 321, 63,
        std::string("Description: Alcatraz14, island soil, ") + std::string(24, '#') + "!");

    ListedFolder f;
    f.dir.write("Alcatraz14.CHN", bytes);
    f.list({"Alcatraz14.CHN"});
    f.edit(1, comment_column, U"Alcatraz 14");
    const std::vector<SaveResult> results = save_edits(collect_edits(f.grid, f.listing));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].saved) << results[0].reason;
    const std::string after = f.dir.read("Alcatraz14.CHN");
    expect_only_changed(bytes, after, span(trailer + 320, 64));
    EXPECT_EQ(length_byte(after, trailer), 11u);
    EXPECT_EQ(after.substr(trailer + 321, 63), "Alcatraz 14" + std::string(52, '\0'));
}

}  // namespace
}  // namespace brandel::listing

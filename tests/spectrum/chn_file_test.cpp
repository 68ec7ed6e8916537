#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "spectrum/chn_file.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/paths.hpp"
#include "temp_dir.hpp"

namespace brandel::spectrum {
namespace {

using namespace std::string_view_literals;
using brandel::test_support::TempDir;

// A four-channel record with every header and trailer field set; file_type holds a stale value.
State small_record() {
    State s;
    s.org_path = "/data/ge1/S0123.TXT";
    ChnHeader& h = s.chn_header;
    h.file_type = 5;
    h.mca_number = 301;
    h.segment = 1;
    h.start_sec_tens = '3';
    h.start_sec_units = '7';
    h.real_time = 6025;
    h.live_time = 6000;
    h.start_date.assign(U"12JAN241");
    h.start_time.assign(U"142337");
    h.num_channels = 4;
    const std::int32_t counts[] = {1, -1, 0x01020304, 2147483647};
    for (int k = 0; k < 4; ++k)
        s.counts.set(k, counts[k]);
    ChnTrailer& t = s.chn_trailer;
    t.trailer_type = -102;
    t.trailer_spare = 7;
    t.energy_zero = 1.5f;
    t.energy_slope = 0.25f;
    t.energy_quad = -0.125f;
    t.fwhm_zero = 2.0f;
    t.fwhm_slope = 0.5f;
    t.fwhm_quad = 0.0625f;
    t.sample_desc_len = 63;
    t.sample_desc.assign(U"Co-60 test");
    return s;
}

std::string padded(std::string_view text, std::size_t width, char pad) {
    std::string s(text);
    s.resize(width, pad);
    return s;
}

// The CHN file of small_record(), byte by byte; every byte not placed here is zero.
std::string golden_file() {
    std::string b(560, '\0');
    auto put = [&b](std::size_t at, std::string_view piece) { b.replace(at, piece.size(), piece); };
    put(0, "\xFF\xFF"sv);           // file_type -1
    put(2, "\x2D\x01"sv);           // mca_number 301
    put(4, "\x01\x00"sv);           // segment 1
    put(6, "37"sv);                 // seconds digits
    put(8, "\x89\x17\x00\x00"sv);   // real time 6025 ticks
    put(12, "\x70\x17\x00\x00"sv);  // live time 6000 ticks
    put(16, "12JAN241"sv);
    put(24, "142337"sv);
    put(30, "\x04\x00"sv);  // 4 channels
    put(32,
        "\x01\x00\x00\x00"
        "\xFF\xFF\xFF\xFF"
        "\x04\x03\x02\x01"
        "\xFF\xFF\xFF\x7F"sv);
    put(48,
        "\x9A\xFF"
        "\x07\x00"sv);  // trailer type -102, spare 7
    put(52,
        "\x00\x00\xC0\x3F"
        "\x00\x00\x80\x3E"
        "\x00\x00\x00\xBE"sv);  // 1.5, 0.25, -0.125
    put(64,
        "\x00\x00\x00\x40"
        "\x00\x00\x00\x3F"
        "\x00\x00\x80\x3D"sv);  // 2, 0.5, 0.0625
    put(48 + 320, "\x3F"sv);    // sample description length 63
    put(48 + 321, padded("Co-60 test", 63, ' '));
    return b;
}

::testing::AssertionResult same_bytes(const std::string& actual, const std::string& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    std::size_t at = static_cast<std::size_t>(a - actual.begin());
    auto result = ::testing::AssertionFailure()
                  << "sizes " << actual.size() << " and " << expected.size()
                  << ", first difference at " << at;
    if (a != actual.end() && e != expected.end())
        result << ": " << int(static_cast<unsigned char>(*a)) << " instead of "
               << int(static_cast<unsigned char>(*e));
    return result;
}

std::vector<std::string> files_in(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

template <typename F>
void expect_error(F f, ErrorKind kind, std::string_view message_part = {}) {
    try {
        f();
        ADD_FAILURE() << "no error raised";
    } catch (const SpectrumError& e) {
        EXPECT_EQ(e.kind(), kind) << e.what();
        EXPECT_NE(std::string(e.what()).find(message_part), std::string::npos) << e.what();
    }
}

// ---------------------------------------------------------------------------------------------
// Writing

TEST(ChnWriter, SmallRecordGivesTheGoldenBytes) {
    TempDir dir;
    State s = small_record();
    s.chn_dir = dir.dir();
    write_chn(s);
    const std::string file = dir.read("S0123.chn");
    EXPECT_TRUE(same_bytes(file, golden_file()));
    ASSERT_EQ(file.size(), 560u);
    EXPECT_EQ(file.substr(0, 2), "\xFF\xFF");
    EXPECT_EQ(file.substr(48, 2), "\x9A\xFF");  // the trailer starts right after 4 channels
    EXPECT_EQ(file.substr(48 + 257, 63), std::string(63, '\0'));  // detector description
    EXPECT_EQ(file.substr(48 + 321, 63), "Co-60 test" + std::string(53, ' '));
    EXPECT_EQ(s.chn_header.file_type, -1);
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"S0123.chn"});
}

TEST(ChnWriter, ReplacesALongerFileWithExactlyTheNewBytes) {
    TempDir dir;
    dir.write("S0123.chn", std::string(5000, 'x'));
    State s = small_record();
    s.chn_dir = dir.dir();
    write_chn(s);
    EXPECT_TRUE(same_bytes(dir.read("S0123.chn"), golden_file()));
}

TEST(ChnWriter, FileSizeFollowsTheChannelCount) {
    struct Row {
        std::int16_t n;
        std::size_t size;
    };
    for (const Row& row :
         {Row{0, 544}, Row{-3, 544}, Row{1, 548}, Row{17001, 32 + 4 * 17001 + 512}}) {
        SCOPED_TRACE(row.n);
        State s = small_record();
        s.chn_header.num_channels = row.n;
        const std::string bytes = chn_bytes(s);
        EXPECT_EQ(bytes.size(), row.size);
        EXPECT_EQ(static_cast<unsigned char>(bytes[30]), static_cast<std::uint16_t>(row.n) & 0xFF);
        EXPECT_EQ(bytes.substr(row.size - 512, 2), "\x9A\xFF");
    }
}

TEST(ChnWriter, MoreChannelsThanFitAreRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    dir.write("S0123.chn", "old");
    State s = small_record();
    s.chn_dir = dir.dir();
    s.chn_header.num_channels = 17002;
    expect_error([&] { write_chn(s); }, ErrorKind::out_of_range, "17002");
    EXPECT_EQ(dir.read("S0123.chn"), "old");
    EXPECT_EQ(files_in(dir).size(), 1u);

    s.counts.set(17000, 5);
    expect_error([&] { s.counts.set(17001, 5); }, ErrorKind::out_of_range,
                 "17002 channels, at most 17001 fit");
    expect_error([&] { s.counts.set(-1, 5); }, ErrorKind::out_of_range);
}

TEST(ChnWriter, JapaneseSampleTextIsCutAtAWholeCharacter) {
    State s = small_record();
    s.chn_trailer.sample_desc.assign(std::u32string(40, U'試'));  // 80 bytes in the code page
    std::string expected;
    for (int i = 0; i < 31; ++i)
        expected += "\x8e\x8e";
    EXPECT_EQ(chn_bytes(s).substr(48 + 321, 63), expected + " ");
}

TEST(ChnWriter, OutputIsNamedAfterTheSourceBaseName) {
    TempDir dir;
    struct Row {
        std::string_view org_path, file;
    };
    const bool windows = native_path_rules == PathRules::windows;
    for (const Row& row :
         {Row{"/data/run.01.txt", "run.chn"}, Row{"/data/v1.2/README", "README.chn"},
          Row{"/data/ge1/S0123.TXT", "S0123.chn"},
          Row{"/data/12:30 run.TXT", windows ? "" : "12:30 run.chn"},
          Row{"/data/ab\\cd.TXT", windows ? "cd.chn" : "ab\\cd.chn"}}) {
        if (row.file.empty())
            continue;
        SCOPED_TRACE(row.org_path);
        State s = small_record();
        s.chn_dir = dir.dir();
        s.org_path = row.org_path;
        EXPECT_EQ(chn_output_path(s), dir.dir() + std::string(row.file));
        write_chn(s);
        EXPECT_TRUE(dir.exists(std::string(row.file)));
    }
    State s = small_record();
    s.chn_dir = dir.dir();
    s.org_path = "/data/.hidden";
    expect_error([&] { write_chn(s); }, ErrorKind::invalid_name);
    EXPECT_FALSE(dir.exists(".chn"));
}

// ---------------------------------------------------------------------------------------------
// Atomic replacement

// Real file operations that fail where a test says: after `fail_at` bytes (disk full), when
// renaming, or with interruptions that must be retried; writes at most `chunk` bytes a call.
class FailingOps : public FileOps {
  public:
    std::size_t fail_at = SIZE_MAX;
    std::size_t chunk = SIZE_MAX;
    int interruptions = 0;
    bool fail_rename = false;
    std::filesystem::path temporary;

    long write(int fd, const unsigned char* data, std::size_t size) override {
        if (interruptions > 0) {
            --interruptions;
            errno = EINTR;
            return -1;
        }
        if (written_ >= fail_at) {
            errno = ENOSPC;
            return -1;
        }
        long n = FileOps::write(fd, data, std::min({size, chunk, fail_at - written_}));
        if (n > 0)
            written_ += static_cast<std::size_t>(n);
        return n;
    }
    bool rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
        temporary = from;
        if (fail_rename) {
            errno = EACCES;
            return false;
        }
        return FileOps::rename(from, to);
    }

  private:
    std::size_t written_ = 0;
};

TEST(ChnAtomicWrite, FailureAtAnyByteKeepsTheOldFileAndNoTemporary) {
    TempDir dir;
    const std::string old = padded("the old spectrum", 900, '#');
    dir.write("S0123.chn", old);
    State s = small_record();
    s.chn_dir = dir.dir();
    for (std::size_t chunk : {SIZE_MAX, std::size_t{7}}) {
        for (std::size_t k = 0; k < 560; ++k) {
            SCOPED_TRACE("chunk " + std::to_string(chunk) + ", failing at byte " +
                         std::to_string(k));
            FailingOps ops;
            ops.fail_at = k;
            ops.chunk = chunk;
            expect_error([&] { write_chn(s, ops); }, ErrorKind::cannot_write, "S0123.chn");
            ASSERT_EQ(dir.read("S0123.chn"), old);
            ASSERT_EQ(files_in(dir), std::vector<std::string>{"S0123.chn"});
        }
        FailingOps ops;
        ops.fail_at = 560;
        ops.chunk = chunk;
        write_chn(s, ops);
        EXPECT_TRUE(same_bytes(dir.read("S0123.chn"), golden_file()));
        dir.write("S0123.chn", old);
    }
}

TEST(ChnAtomicWrite, FailedRenameKeepsTheOldFileAndNoTemporary) {
    TempDir dir;
    dir.write("S0123.chn", "old");
    State s = small_record();
    s.chn_dir = dir.dir();
    FailingOps ops;
    ops.fail_rename = true;
    expect_error([&] { write_chn(s, ops); }, ErrorKind::cannot_write, std::strerror(EACCES));
    EXPECT_EQ(dir.read("S0123.chn"), "old");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"S0123.chn"});
    // The bytes went to a temporary of the destination folder.
    EXPECT_EQ(ops.temporary.parent_path(), dir.path());
    EXPECT_TRUE(is_temporary_name(ops.temporary.filename().string()));
    EXPECT_FALSE(is_temporary_name("S0123.chn"));
}

TEST(ChnAtomicWrite, FailureWithoutAnOldFileLeavesNoFile) {
    TempDir dir;
    State s = small_record();
    s.chn_dir = dir.dir();
    FailingOps ops;
    ops.fail_at = 100;
    expect_error([&] { write_chn(s, ops); }, ErrorKind::cannot_write);
    EXPECT_TRUE(files_in(dir).empty());

    s.chn_dir = dir.dir() + "missing/";
    expect_error([&] { write_chn(s); }, ErrorKind::cannot_write, "missing");
    EXPECT_TRUE(files_in(dir).empty());
}

TEST(ChnAtomicWrite, TargetNameNearTheFileSystemLimitCanBeWritten) {
    TempDir dir;
    std::string base;
    for (int i = 0; i < 82; ++i)
        base += "\xe8\xa9\xa6";  // 246 bytes of UTF-8
    State s = small_record();
    s.chn_dir = dir.dir();
    s.org_path = "/data/" + base + ".txt";
    write_chn(s);
    EXPECT_EQ(files_in(dir), std::vector<std::string>{base + ".chn"});
}

TEST(ChnAtomicWrite, InterruptedWritesAreRetried) {
    TempDir dir;
    State s = small_record();
    s.chn_dir = dir.dir();
    FailingOps ops;
    ops.interruptions = 3;
    ops.chunk = 100;
    write_chn(s, ops);
    EXPECT_TRUE(same_bytes(dir.read("S0123.chn"), golden_file()));
}

// ---------------------------------------------------------------------------------------------
// Reading

// The header and counts of small_record() with other seconds bytes, followed by `tail`.
std::string chn_file(std::uint8_t tens, std::uint8_t units, std::string_view tail) {
    std::string b = golden_file().substr(0, 48);
    b[6] = static_cast<char>(tens);
    b[7] = static_cast<char>(units);
    return b + std::string(tail);
}

std::string standard_trailer() {
    return golden_file().substr(48);
}

// A record left by an earlier file: the reader must overwrite or keep these as its layout says.
State previous_record() {
    State s;
    s.chn_trailer.trailer_type = 1234;
    s.chn_trailer.sample_desc.assign(U"previous");
    s.text_buf.assign(U"previous comment");
    return s;
}

void read_bytes(State& s, const TempDir& dir, const std::string& bytes) {
    s.org_path = dir.write("x.chn", bytes);
    read_chn(s);
}

std::u32string comment(std::u32string_view text) {
    std::u32string s(text);
    s.resize(64, U' ');
    return s;
}

TEST(ChnReader, ReadsBackWhatTheWriterWrote) {
    TempDir dir;
    State written = small_record();
    written.chn_dir = dir.dir();
    write_chn(written);

    State s;
    s.org_path = dir.dir() + "S0123.chn";
    read_chn(s);
    const ChnHeader& h = s.chn_header;
    EXPECT_EQ(h.file_type, -1);
    EXPECT_EQ(h.mca_number, 301);
    EXPECT_EQ(h.segment, 1);
    EXPECT_EQ(h.start_sec_tens, '3');
    EXPECT_EQ(h.start_sec_units, '7');
    EXPECT_EQ(h.live_time, 120);  // 6000 ticks
    EXPECT_EQ(h.real_time, 120);  // 6025 ticks: 120.5 s goes to the even 120
    EXPECT_EQ(h.start_date.view(), U"12JAN241");
    EXPECT_EQ(h.start_time.view(), U"142337");
    EXPECT_EQ(h.num_channels, 4);
    EXPECT_EQ(s.counts, written.counts);
    EXPECT_EQ(s.chn_trailer, written.chn_trailer);
    EXPECT_EQ(s.text_buf.view(), comment(U"Co-60 test"));
    EXPECT_EQ(s.record_source, RecordSource::chn_standard);
}

TEST(ChnReader, TimesBecomeWholeSecondsHalvesToEven) {
    TempDir dir;
    struct Row {
        std::int32_t ticks, seconds;
    };
    const Row rows[] = {{6000, 120},
                        {6025, 120},
                        {6075, 122},
                        {25, 0},
                        {75, 2},
                        {49, 1},
                        {-25, 0},
                        {-75, -2},
                        {2147483647, 42949673},
                        {-2147483647 - 1, -42949673}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.ticks);
        State written = small_record();
        written.chn_header.live_time = row.ticks;
        written.chn_header.real_time = row.ticks;
        State s;
        read_bytes(s, dir, chn_bytes(written));
        EXPECT_EQ(s.chn_header.live_time, row.seconds);
        EXPECT_EQ(s.chn_header.real_time, row.seconds);
    }
}

TEST(ChnReader, HeaderKeepsTheTicksTheFileHolds) {
    TempDir dir;
    State written = small_record();
    written.chn_header.live_time = 90000;  // 1800.00 s
    written.chn_header.real_time = 90765;  // 1815.30 s, which read_chn rounds to 1815
    State s;
    read_bytes(s, dir, chn_bytes(written));
    EXPECT_EQ(s.chn_header.real_time, 1815);
    const ChnTicks ticks = header_ticks(s.disk_header);
    EXPECT_EQ(ticks.live, 90000);
    EXPECT_EQ(ticks.real, 90765);
    // What a short header lacks reads as zero.
    EXPECT_EQ(header_ticks(s.disk_header.substr(0, 12)).live, 0);
    EXPECT_EQ(header_ticks(s.disk_header.substr(0, 12)).real, 90765);
}

TEST(ChnReader, SecondsBytesChooseTheLayoutAndCompleteTheStartTime) {
    std::string desc_with_nuls = standard_trailer();
    desc_with_nuls.replace(321, 63, padded("Co-60 check", 63, '\0'));
    const std::string comment_block = padded("Comment text", 64, ' ');
    const std::u32string nul_seconds(U"1423\0\0", 6);
    struct Row {
        std::string_view name;
        std::uint8_t tens, units;
        std::string tail;
        std::u32string start_time;
        std::u32string text;
        bool standard;
    };
    const Row rows[] = {
        {"standard, seconds digits over NULs", '3', '7', desc_with_nuls, U"142337",
         comment(U"Co-60 check"), true},
        {"comment, one-digit second as a number", 5, 0, comment_block, U"142305",
         comment(U"Comment text"), false},
        {"comment, two-digit second", 45, 0, comment_block, U"142345", comment(U"Comment text"),
         false},
        {"comment, three digits cut to six characters", 123, 0, comment_block, U"142312",
         comment(U"Comment text"), false},
        {"comment, no second", 0, 0, comment_block, nul_seconds, comment(U"Comment text"), false},
        {"comment with the further 128-byte block", 0, 0, comment_block + std::string(128, 'z'),
         nul_seconds, comment(U"Comment text"), false},
        {"other kind has no comment", 0, '7', comment_block, nul_seconds, comment(U""), false},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string bytes = chn_file(row.tens, row.units, row.tail);
        bytes.replace(24, 6, std::string("1423\0\0", 6));
        State s = previous_record();
        const ChnTrailer previous = s.chn_trailer;
        read_bytes(s, dir, bytes);
        EXPECT_EQ(s.chn_header.start_time.view(), row.start_time);
        EXPECT_EQ(s.text_buf.view(), row.text);
        if (row.standard) {
            EXPECT_EQ(s.chn_trailer.trailer_type, -102);
            EXPECT_EQ(s.chn_trailer.energy_quad, -0.125f);
        } else {
            EXPECT_EQ(s.chn_trailer, previous);
        }
    }
}

TEST(ChnReader, CommentIsTrimmedAndCutBeforeItsFirstNul) {
    struct Row {
        std::string_view name;
        std::string bytes;
        std::u32string text;
    };
    using namespace std::string_literals;
    const Row rows[] = {
        {"NUL padding", padded("Co-60 check", 64, '\0'), U"Co-60 check"},
        {"all blanks", std::string(64, ' '), U""},
        {"blanks around", padded("  lead and trail  ", 64, ' '), U"lead and trail"},
        {"NUL inside", padded("abc\0def"s, 64, ' '), U"abc"},
        {"NUL first", padded("\0abc"s, 64, ' '), U""},
        {"blanks before a NUL", padded(" \0 abc"s, 64, ' '), U""},
        {"full width", std::string(64, 'x'), std::u32string(64, U'x')},
        {"code page text", padded("\x8e\x8e\x97\xbf No.3", 64, ' '), U"試料 No.3"},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        State s;
        read_bytes(s, dir, chn_file(0, 0, row.bytes));
        EXPECT_EQ(s.text_buf.view(), comment(row.text));
    }
    // A standard file's sample description of blanks only.
    std::string trailer = standard_trailer();
    trailer.replace(321, 63, std::string(63, ' '));
    State s;
    read_bytes(s, dir, chn_file('3', '7', trailer));
    EXPECT_EQ(s.text_buf.view(), comment(U""));
}

TEST(ChnReader, IncompleteHeaderOrChannelDataIsUnreadable) {
    TempDir dir;
    const std::string file = golden_file();
    for (std::size_t size : {0, 1, 31, 32, 40, 47}) {
        SCOPED_TRACE(size);
        State s;
        expect_error([&] { read_bytes(s, dir, file.substr(0, size)); }, ErrorKind::unreadable,
                     size < 32 ? "header" : "channel data");
        EXPECT_EQ(s.record_source, RecordSource::chn_unreadable);
    }
    State s;
    s.org_path = dir.dir() + "missing.chn";
    expect_error([&] { read_chn(s); }, ErrorKind::file_not_found);
    s.org_path = dir.dir();
    expect_error([&] { read_chn(s); }, ErrorKind::unreadable);

    std::string too_many = file;
    too_many.replace(30, 2, "\x6A\x42"sv);  // 17002 channels
    expect_error([&] { read_bytes(s, dir, too_many); }, ErrorKind::out_of_range, "17002");
}

TEST(ChnReader, MissingOrShortTrailerAndCommentReadAsZeros) {
    TempDir dir;
    State s = previous_record();
    read_bytes(s, dir, chn_file('3', '7', ""));
    EXPECT_EQ(s.chn_trailer, ChnTrailer{});
    EXPECT_EQ(s.text_buf.view(), comment(U""));
    EXPECT_EQ(s.counts.at(3), 2147483647);

    s = previous_record();
    read_bytes(s, dir, chn_file('3', '7', standard_trailer().substr(0, 100)));
    EXPECT_EQ(s.chn_trailer.trailer_type, -102);
    EXPECT_EQ(s.chn_trailer.fwhm_quad, 0.0625f);
    EXPECT_EQ(s.chn_trailer.sample_desc_len, 0);
    EXPECT_EQ(s.chn_trailer.sample_desc.at(0), U'\0');
    EXPECT_EQ(s.text_buf.view(), comment(U""));

    s = previous_record();
    read_bytes(s, dir, chn_file(0, 0, "Short"));
    EXPECT_EQ(s.text_buf.view(), comment(U"Short"));
}

// A standard file as other programs write it: zero bytes where our seconds digits go, bytes that
// are no code page text in the descriptions and reserved areas, and bytes after the trailer.
std::string foreign_file() {
    std::string b = golden_file();
    b.replace(28, 2, "\0\0"sv);
    for (std::size_t i = 0; i < 228; ++i)
        b[48 + 28 + i] = static_cast<char>(i * 7 + 1);
    b.replace(48 + 256, 6, "\x05\x80\xFF\x82\xA0\x82"sv);
    b.replace(48 + 384, 128, std::string(128, '\xFD'));
    return b + "extra bytes after the trailer";
}

TEST(ChnReader, WriteBackKeepsTheBytesOnDisk) {
    TempDir dir;
    const std::string file = foreign_file();
    State s;
    read_bytes(s, dir, file);
    ASSERT_EQ(s.record_source, RecordSource::chn_standard);
    EXPECT_EQ(s.chn_header.live_time, 120);  // the record holds seconds, the file ticks
    EXPECT_EQ(s.chn_trailer.detector_desc.str().substr(0, 3), U"\uFFFD\uFFFDあ");
    dir.write("x.chn", "overwritten");
    write_chn_as_read(s);
    EXPECT_TRUE(same_bytes(dir.read("x.chn"), file));
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"x.chn"});
}

TEST(ChnReader, WriteBackNeedsAFileReadCompletely) {
    TempDir dir;
    State s;
    s.record_file = dir.dir() + "x.chn";
    expect_error([&] { write_chn_as_read(s); }, ErrorKind::cannot_write);
    EXPECT_TRUE(files_in(dir).empty());

    // A good file, then one that fails: the failed one is not written with the good one's bytes.
    read_bytes(s, dir, foreign_file());
    s.org_path = dir.write("y.chn", "short");
    EXPECT_THROW(read_chn(s), SpectrumError);
    expect_error([&] { write_chn_as_read(s); }, ErrorKind::cannot_write);
    EXPECT_EQ(dir.read("y.chn"), "short");
    EXPECT_EQ(dir.read("x.chn"), foreign_file());

    // A comment-layout file has no trailer of its own to write back.
    const std::string comment_layout = chn_file(0, 0, padded("note", 64, ' '));
    read_bytes(s, dir, comment_layout);
    expect_error([&] { write_chn_as_read(s); }, ErrorKind::cannot_write);
    EXPECT_EQ(dir.read("x.chn"), comment_layout);
}

}  // namespace
}  // namespace brandel::spectrum

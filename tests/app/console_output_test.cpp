// Messages reach the console or the file whole: one call for each line or group of lines, and
// never a UTF-8 character cut between two calls.

#include "app/console_output.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace brandel::app {
namespace {

using Calls = std::vector<std::string>;

LineWriter::Sink recording(Calls& calls) {
    return [&calls](std::string_view text) {
        calls.emplace_back(text);
        return true;
    };
}

// "Soil" in Japanese, three bytes a character.
const std::string soil = "\xE5\x9C\x9F\xE5\xA3\x8C";

TEST(LineWriter, AMessageWrittenInPiecesArrivesInOneCall) {
    Calls calls;
    {
        LineWriter buffer(recording(calls));
        std::ostream err(&buffer);
        err << soil << ".TXT"
            << ": "
            << "File does not exist." << '\n';
        err << "converted " << 0 << " of " << 1 << " files\n";
        EXPECT_EQ(calls.size(), 2u);
    }
    EXPECT_EQ(calls, (Calls{soil + ".TXT: File does not exist.\n", "converted 0 of 1 files\n"}));
}

TEST(LineWriter, LinesWrittenTogetherStayTogetherAndAnOpenLineWaits) {
    Calls calls;
    LineWriter buffer(recording(calls));
    std::ostream out(&buffer);
    out << "usage: one\n\ntwo\nthree";
    EXPECT_EQ(calls, (Calls{"usage: one\n\ntwo\n"}));
    out << " four\n";
    EXPECT_EQ(calls, (Calls{"usage: one\n\ntwo\n", "three four\n"}));
}

TEST(LineWriter, AFlushHandsOnAllButACharacterNotYetWhole) {
    Calls calls;
    LineWriter buffer(recording(calls));
    std::ostream err(&buffer);
    // A progress line is flushed without a line end; its last character comes in two writes.
    err << "\rconverting 1 of 9: " << soil.substr(0, 4) << std::flush;
    ASSERT_EQ(calls, (Calls{"\rconverting 1 of 9: " + soil.substr(0, 3)}));
    err << soil.substr(4) << "\x1b[K" << std::flush;
    EXPECT_EQ(calls.back(), soil.substr(3) + "\x1b[K");
    err << std::flush;
    EXPECT_EQ(calls.size(), 2u) << "nothing left to hand on";
}

TEST(LineWriter, WhatIsLeftGoesWhenTheBufferGoes) {
    Calls calls;
    {
        LineWriter buffer(recording(calls));
        std::ostream out(&buffer);
        out << "no line end";
        EXPECT_TRUE(calls.empty());
    }
    EXPECT_EQ(calls, (Calls{"no line end"}));
}

TEST(LineWriter, ASinkThatCannotWriteFailsTheStream) {
    LineWriter buffer([](std::string_view) { return false; });
    std::ostream out(&buffer);
    out << "lost\n";
    EXPECT_TRUE(out.bad());
}

TEST(LineWriter, WholeCharactersKeepBackOnlyAnUnfinishedSequence) {
    const struct {
        std::string text;
        std::size_t whole;
    } rows[] = {
        {"", 0},
        {"abc", 3},
        {"a\xC3", 1},                 // two-byte sequence, lead only
        {"a\xC3\xA9", 3},             // complete
        {"a\xE5\x9C", 1},             // three-byte sequence, one byte short
        {"a\xF0\x9F\x98", 1},         // four-byte sequence, one byte short
        {"a\xF0\x9F\x98\x80", 5},     // complete
        {"a\x80\x80", 3},             // continuation bytes with no lead: not UTF-8, handed on
        {"a\xFF", 2},                 // never a lead byte
        {"\x80\x80\x80\x80\x80", 5},  // nothing but continuation bytes
    };
    for (const auto& row : rows)
        EXPECT_EQ(whole_characters(row.text), row.whole) << testing::PrintToString(row.text);
}

#ifdef _WIN32
// The code page the console had before the converter set UTF-8 is the console's again afterwards.
TEST(ConsoleSession, TheOutputCodePageComesBack) {
    if (GetConsoleOutputCP() == 0 && !AllocConsole()) {
        // The run on a pseudo-terminal has a console, and says so.
        if (std::getenv("BRANDEL_CONSOLE_EXPECTED") != nullptr)
            FAIL() << "no console although one was expected";
        GTEST_SKIP() << "no console to be had";
    }
    const UINT before = GetConsoleOutputCP();
    const UINT other = before == 437 ? 850 : 437;
    ASSERT_TRUE(SetConsoleOutputCP(other));
    {
        const ConsoleSession session;
        EXPECT_EQ(GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8));
    }
    EXPECT_EQ(GetConsoleOutputCP(), other);
    SetConsoleOutputCP(before);
}
#endif

}  // namespace
}  // namespace brandel::app

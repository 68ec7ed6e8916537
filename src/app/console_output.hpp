#pragma once

#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

namespace brandel::app {

/// A stream buffer that hands its text on in whole lines: everything up to the last line end
/// written so far goes to the sink in one call, and a flush hands on what is left, keeping back
/// only a UTF-8 character not yet written whole. A message of several lines written at once
/// arrives as one piece, and no character is ever split between two calls, so a console that
/// shows each call as it comes cannot tear a name apart. What is kept back goes when the buffer
/// is destroyed.
class LineWriter final : public std::streambuf {
  public:
    /// Writes a piece of text whole; returns false when it could not.
    using Sink = std::function<bool(std::string_view text)>;

    explicit LineWriter(Sink sink) : sink_(std::move(sink)) {}
    ~LineWriter() override;
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize size) override;
    int sync() override;

  private:
    bool hand_on(std::size_t size);

    Sink sink_;
    std::string pending_;
};

/// The length of `text` without a UTF-8 sequence cut off at its end: the part that can be handed
/// on now.
std::size_t whole_characters(std::string_view text);

/// A sink for standard output (`error` false) or standard error (`error` true). On Windows a
/// console receives the text as UTF-16 through WriteConsoleW, so it shows every character
/// whatever its code page; a file or pipe receives the UTF-8 bytes with one write. Elsewhere the
/// bytes are written with one write to the descriptor.
LineWriter::Sink standard_sink(bool error);

/// The console as the converter leaves it: while one lives, the console's output code page is
/// UTF-8 and it shows the terminal sequences of the progress line; when it goes, and when the
/// console window is closed or the program is stopped with Ctrl+C, the code page and the modes
/// it had before come back, so the programs started after it in the same window see the console
/// as it was. Nothing happens where there is no console (or on systems other than Windows).
class ConsoleSession {
  public:
    ConsoleSession();
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;
};

}  // namespace brandel::app

#include "app/console_output.hpp"

#include <cerrno>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace brandel::app {

std::size_t whole_characters(std::string_view text) {
    // The last character starts at most three continuation bytes before the end.
    std::size_t back = 0;
    while (back < text.size() && back < 3 &&
           (static_cast<unsigned char>(text[text.size() - 1 - back]) & 0xC0) == 0x80)
        ++back;
    if (back == text.size())
        return text.size();
    const auto lead = static_cast<unsigned char>(text[text.size() - 1 - back]);
    if (lead < 0xC2 || lead > 0xF4)
        return text.size();  // complete, or not UTF-8 at all: nothing to wait for
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    return length > back + 1 ? text.size() - 1 - back : text.size();
}

LineWriter::~LineWriter() {
    hand_on(pending_.size());
}

bool LineWriter::hand_on(std::size_t size) {
    if (size == 0)
        return true;
    const bool written = sink_(std::string_view(pending_).substr(0, size));
    pending_.erase(0, size);
    return written;
}

LineWriter::int_type LineWriter::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize LineWriter::xsputn(const char* text, std::streamsize size) {
    const std::string_view piece(text, static_cast<std::size_t>(size));
    pending_.append(piece);
    if (piece.find('\n') == std::string_view::npos)
        return size;
    return hand_on(pending_.rfind('\n') + 1) ? size : 0;
}

int LineWriter::sync() {
    return hand_on(whole_characters(pending_)) ? 0 : -1;
}

#ifdef _WIN32

namespace {

// The console's state before the converter changed it, put back at the end and when the console
// is closed or the program is stopped, which end it without unwinding.
struct SavedConsole {
    bool saved = false;
    UINT output_code_page = 0;
    DWORD output_mode = 0;
    DWORD error_mode = 0;
    bool output_is_console = false;
    bool error_is_console = false;
};
SavedConsole saved_console;

void restore_console() {
    if (!saved_console.saved)
        return;
    SetConsoleOutputCP(saved_console.output_code_page);
    if (saved_console.output_is_console)
        SetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), saved_console.output_mode);
    if (saved_console.error_is_console)
        SetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), saved_console.error_mode);
}

BOOL WINAPI on_console_event(DWORD) {
    restore_console();
    return FALSE;  // the next handler, or the system's, ends the program as it would have
}

bool write_console(HANDLE handle, std::string_view text) {
    const int size = static_cast<int>(text.size());
    const int wide_size = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (wide_size <= 0)
        return false;
    std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), wide_size);
    const wchar_t* at = wide.data();
    DWORD left = static_cast<DWORD>(wide.size());
    while (left > 0) {
        DWORD written = 0;
        if (!WriteConsoleW(handle, at, left, &written, nullptr) || written == 0)
            return false;
        at += written;
        left -= written;
    }
    return true;
}

bool write_file(HANDLE handle, std::string_view text) {
    while (!text.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written == 0)
            return false;
        text.remove_prefix(written);
    }
    return true;
}

}  // namespace

LineWriter::Sink standard_sink(bool error) {
    return [error](std::string_view text) {
        const HANDLE handle = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
            return false;
        DWORD mode = 0;
        if (GetConsoleMode(handle, &mode) && write_console(handle, text))
            return true;
        return write_file(handle, text);
    };
}

ConsoleSession::ConsoleSession() {
    saved_console.output_code_page = GetConsoleOutputCP();
    if (saved_console.output_code_page == 0)
        return;  // no console
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    saved_console.output_is_console = GetConsoleMode(out, &saved_console.output_mode) != 0;
    saved_console.error_is_console = GetConsoleMode(err, &saved_console.error_mode) != 0;
    saved_console.saved = true;
    SetConsoleCtrlHandler(on_console_event, TRUE);
    // Text that reaches the console as bytes (a message of the runtime) is read as UTF-8, the
    // encoding of everything the converter writes.
    SetConsoleOutputCP(CP_UTF8);
    // The progress line moves the cursor and clears the line with terminal sequences.
    if (saved_console.error_is_console)
        SetConsoleMode(err, saved_console.error_mode | ENABLE_PROCESSED_OUTPUT |
                                ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

ConsoleSession::~ConsoleSession() {
    restore_console();
    SetConsoleCtrlHandler(on_console_event, FALSE);
    saved_console.saved = false;
}

#else

LineWriter::Sink standard_sink(bool error) {
    return [error](std::string_view text) {
        const int fd = error ? STDERR_FILENO : STDOUT_FILENO;
        while (!text.empty()) {
            const ssize_t n = ::write(fd, text.data(), text.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            text.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    };
}

ConsoleSession::ConsoleSession() = default;
ConsoleSession::~ConsoleSession() = default;

#endif

}  // namespace brandel::app

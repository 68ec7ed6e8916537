#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
// Windows programs declare shellapi.h after windows.h.
#include <shellapi.h>
#else
#include <unistd.h>
#endif

#include "app/console_output.hpp"
#include "app/convert_cli.hpp"

namespace {

// The arguments as UTF-8. On Windows the narrow argv holds the system's ANSI code page, which
// cannot name a file called in Japanese on an English Windows; the wide command line can.
std::vector<std::string> utf8_arguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return args;
    for (int i = 1; i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
        if (size > 0)
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
        arg.resize(arg.size() - 1);  // the terminating NUL
        args.push_back(std::move(arg));
    }
    LocalFree(wide);
    return args;
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

bool stderr_is_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    // Messages and listings are UTF-8 with LF line ends, the same bytes on every platform; each
    // line reaches the console or the file in one piece (see LineWriter).
    const brandel::app::ConsoleSession console;
    int status = 0;
    {
        brandel::app::LineWriter out_buffer(brandel::app::standard_sink(false));
        brandel::app::LineWriter err_buffer(brandel::app::standard_sink(true));
        std::ostream out(&out_buffer);
        std::ostream err(&err_buffer);
        status = brandel::app::run_convert_cli(utf8_arguments(argc, argv), out, err,
                                               stderr_is_terminal());
        out.flush();
        err.flush();
    }
    return status;
}

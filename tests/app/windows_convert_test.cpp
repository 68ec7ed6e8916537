// The converter on Windows: sources and folders named in Japanese convert whatever the system's
// ANSI code page is, paths with drive letters and either separator name the same files, and the
// program itself takes its arguments from the wide command line.

#include <gtest/gtest.h>

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/convert_cli.hpp"
#include "spectrum/paths.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

namespace brandel::app {
namespace {

using test_support::TempDir;

// "Soil" and "measurement" in Japanese: a folder and a file name no Western code page holds.
const std::string soil = "\xE5\x9C\x9F\xE5\xA3\x8C";
const std::string measurement = "\xE6\xB8\xAC\xE5\xAE\x9A";
const std::string e_acute = "\xC3\xA9";
const std::string E_acute = "\xC3\x89";

std::string report() {
    tools::SourceParams p;
    p.channels = 16;
    return tools::make_source(tools::Layout::canberra_txt, p);
}

std::wstring wide(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

int run(const std::vector<std::string>& args, std::string* err = nullptr) {
    std::ostringstream out, errors;
    const int status = run_convert_cli(args, out, errors, false);
    if (err != nullptr)
        *err = errors.str();
    return status;
}

TEST(WindowsConvert, JapaneseFileAndFolderNamesConvert) {
    TempDir src, dst;
    std::filesystem::create_directory(src.path() / spectrum::fs_path(soil));
    std::filesystem::create_directory(dst.path() / spectrum::fs_path(measurement));
    const std::string source = src.write(soil + "\\" + measurement + ".TXT", report());
    const std::string out = dst.dir() + measurement;
    std::string err;
    EXPECT_EQ(run({"--type", "canberra-txt", "--out", out, source}, &err), 0) << err;
    EXPECT_TRUE(dst.exists(measurement + "\\" + measurement + ".chn"));
}

TEST(WindowsConvert, DriveLettersAndEitherSeparatorNameTheSameFolder) {
    TempDir src, dst;
    const std::string source = src.write("S0123.TXT", report());
    std::string forward = source;
    for (char& c : forward)
        if (c == '\\')
            c = '/';
    ASSERT_EQ(source[1], ':') << "a temporary folder on a drive";
    std::string out_forward = dst.dir();
    for (char& c : out_forward)
        if (c == '\\')
            c = '/';
    EXPECT_EQ(run({"--type", "0", "--out", out_forward, forward}), 0);
    const std::string first = dst.read("S0123.chn");
    ASSERT_FALSE(first.empty());
    ASSERT_TRUE(std::filesystem::remove(dst.path() / "S0123.chn"));
    EXPECT_EQ(run({"--type", "0", "--out", dst.dir(), source}), 0);
    EXPECT_EQ(dst.read("S0123.chn"), first);
}

TEST(WindowsConvert, ReadOnlyChnFailsAloneAndTheBatchGoesOn) {
    TempDir src, dst;
    const std::string a = src.write("a.TXT", report());
    const std::string b = src.write("b.TXT", report());
    dst.write("a.chn", "kept");
    const std::wstring target = (dst.path() / "a.chn").wstring();
    ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    std::string err;
    EXPECT_EQ(run({"--type", "0", "--out", dst.dir(), a, b}, &err), 1);
    EXPECT_NE(err.find("a.chn is read-only"), std::string::npos) << err;
    EXPECT_NE(err.find("converted 1 of 2 files"), std::string::npos) << err;
    EXPECT_EQ(dst.read("a.chn"), "kept");
    EXPECT_TRUE(dst.exists("b.chn"));
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Windows names one file however its letters are cased, in any script: the second source of a
// batch that would write the first one's CHN file again fails and the first file's bytes stay.
TEST(WindowsConvert, SourcesWhoseNamesDifferOnlyInCaseWriteOneChnOnce) {
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"Run", "RUN"},
        {e_acute + "chantillon", E_acute + "CHANTILLON"},
        {"\xCE\xB1", "\xCE\x91"},  // alpha
    };
    for (const auto& [first, second] : pairs) {
        SCOPED_TRACE(first);
        TempDir one, two, dst, alone;
        tools::SourceParams p;
        p.channels = 16;
        p.seed = 2;
        const std::string a = one.write(first + ".TXT", report());
        const std::string b =
            two.write(second + ".TXT", tools::make_source(tools::Layout::canberra_txt, p));
        std::string err;
        EXPECT_EQ(run({"--type", "0", "--out", dst.dir(), a, b}, &err), 1);
        EXPECT_NE(err.find(second + ".chn was already written from " + first + ".TXT"),
                  std::string::npos)
            << err;
        ASSERT_EQ(run({"--type", "0", "--out", alone.dir(), a}), 0);
        EXPECT_EQ(dst.read(first + ".chn"), alone.read(first + ".chn"));
        int files = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dst.path()))
            ++files;
        EXPECT_EQ(files, 1);
    }
}

// The program as started by Windows: its arguments arrive as UTF-16 and must not pass through
// the ANSI code page on the way in.
TEST(WindowsConvert, TheProgramTakesJapaneseNamesFromTheWideCommandLine) {
    TempDir src, dst;
    const std::string source = src.write(measurement + ".TXT", report());
    std::wstring command = L"\"" + wide(BRANDEL_CONVERT) + L"\" --type 0 --out \"" +
                           dst.path().wstring() + L"\" \"" + wide(source) + L"\"";
    for (wchar_t& c : command)
        if (c == L'/')
            c = L'\\';
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << "error " << GetLastError();
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
    DWORD status = 99;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(status, 0u) << "system ANSI code page " << GetACP();
    EXPECT_TRUE(dst.exists(measurement + ".chn"));
}

}  // namespace
}  // namespace brandel::app

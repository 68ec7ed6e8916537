// brandel-convert.exe as Windows starts it: patterns on its command line, which no Windows shell
// expands, folders deeper than 260 characters, and the console it leaves behind.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "brandel/version.hpp"
#include "deep_folders.hpp"
#include "spectrum/folder_entries.hpp"
#include "spectrum/paths.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

namespace brandel::app {
namespace {

using test_support::deep_folder;
using test_support::TempDir;

std::string report(unsigned seed = 1) {
    tools::SourceParams p;
    p.channels = 16;
    p.seed = seed;
    return tools::make_source(tools::Layout::canberra_txt, p);
}

// The converter's path with the system's separators.
std::wstring program() {
    std::wstring path = spectrum::fs_path(BRANDEL_CONVERT).wstring();
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

struct Outcome {
    DWORD status = 99;
    std::string out;
    std::string err;
};

std::string read_whole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the converter with `arguments` (as a command line) in the folder `where`, its output and
// errors going to files of `scratch`.
Outcome run_program(const std::wstring& arguments, const std::filesystem::path& where,
                    const TempDir& scratch) {
    SECURITY_ATTRIBUTES inherit{static_cast<DWORD>(sizeof(SECURITY_ATTRIBUTES)), nullptr, TRUE};
    const std::filesystem::path out_path = scratch.path() / "out.txt";
    const std::filesystem::path err_path = scratch.path() / "err.txt";
    auto open = [&](const std::filesystem::path& p) {
        return CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE out = open(out_path);
    HANDLE err = open(err_path);
    std::wstring command = L"\"" + program() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    Outcome run;
    const std::wstring folder = where.wstring();
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, 120000);
        GetExitCodeProcess(process.hProcess, &run.status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "cannot start the converter: error " << GetLastError();
    }
    CloseHandle(out);
    CloseHandle(err);
    run.out = read_whole(out_path);
    run.err = read_whole(err_path);
    return run;
}

std::wstring quoted(const std::filesystem::path& p) {
    return L"\"" + p.wstring() + L"\"";
}

TEST(WindowsProgram, PatternsAreExpandedIgnoringCase) {
    TempDir src, dst, scratch;
    src.write("A.TXT", report(1));
    src.write("b.txt", report(2));
    src.write("c.Txt", report(3));
    src.write("notes.dat", "not a spectrum");
    std::filesystem::create_directory(src.path() / "sub");
    src.write("sub\\d.TXT", report(4));
    const Outcome run =
        run_program(L"--type canberra-txt --out " + quoted(dst.path()) + L" *.TXT sub\\?.txt",
                    src.path(), scratch);
    EXPECT_EQ(run.status, 0u) << run.err;
    for (const char* name : {"A.chn", "b.chn", "c.chn", "d.chn"})
        EXPECT_TRUE(dst.exists(name)) << name;
    EXPECT_FALSE(dst.exists("notes.chn"));
}

TEST(WindowsProgram, APatternThatMatchesNothingFailsAndIsNamed) {
    TempDir src, dst, scratch;
    src.write("S0123.TXT", report());
    const Outcome run =
        run_program(L"--type canberra-txt --out " + quoted(dst.path()) + L" *.ASC S0123.TXT",
                    src.path(), scratch);
    EXPECT_EQ(run.status, 1u);
    EXPECT_NE(run.err.find("*.ASC: no file matches this pattern\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("converted 1 of 2 files"), std::string::npos) << run.err;
    EXPECT_TRUE(dst.exists("S0123.chn"));
    const Outcome info = run_program(L"--info *.XYZ", src.path(), scratch);
    EXPECT_EQ(info.status, 1u);
    EXPECT_EQ(info.out, "*.XYZ\tnone\terror\tno file matches this pattern\n");
}

// Files are written through the long form, as the folders are made.
void write_long(const std::filesystem::path& path, const std::string& bytes) {
    HANDLE file = CreateFileW(spectrum::long_path(path).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

bool exists_long(const std::filesystem::path& path) {
    return GetFileAttributesW(spectrum::long_path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(WindowsProgram, AFolderOf300CharactersConvertsAndLists) {
    TempDir base, scratch;
    const std::filesystem::path folder = deep_folder(base.path(), 300);
    ASSERT_GE(folder.native().size(), 300u);
    write_long(folder / "S0123.TXT", report());
    write_long(folder / "S0124.TXT", report(2));

    const Outcome convert =
        run_program(L"--type canberra-txt --out " + quoted(folder) + L" " +
                        quoted(folder / "S0123.TXT") + L" " + quoted(folder / "S0124.TXT"),
                    scratch.path(), scratch);
    EXPECT_EQ(convert.status, 0u) << convert.err;
    EXPECT_TRUE(exists_long(folder / "S0123.chn"));
    EXPECT_TRUE(exists_long(folder / "S0124.chn"));

    // A CHN file in the current folder, which a listing that lost its way would show.
    scratch.write("decoy.chn", std::string(560, '\0'));
    const Outcome list = run_program(L"--list " + quoted(folder), scratch.path(), scratch);
    EXPECT_EQ(list.status, 0u) << list.err;
    EXPECT_EQ(list.out.find("No\tFileName"), 0u) << list.out;
    EXPECT_NE(list.out.find("\n1\tS0123   \tCHN \t"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("\n2\tS0124   \tCHN \t"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find("decoy"), std::string::npos) << list.out;
    // A pattern in that folder is expanded there as well.
    const Outcome pattern = run_program(
        L"--type canberra-txt --out " + quoted(scratch.path()) + L" " + quoted(folder / "*.txt"),
        scratch.path(), scratch);
    EXPECT_EQ(pattern.status, 0u) << pattern.err;
    EXPECT_TRUE(scratch.exists("S0123.chn"));
    EXPECT_TRUE(scratch.exists("S0124.chn"));
    test_support::remove_deep(base.path() / std::string(60, 'a'));
}

TEST(WindowsProgram, AFolderThatCannotBeListedFailsLoudly) {
    TempDir scratch;
    const std::filesystem::path missing =
        scratch.path() / std::string(200, 'm') / std::string(100, 'n');
    const Outcome list = run_program(L"--list " + quoted(missing), scratch.path(), scratch);
    EXPECT_EQ(list.status, 2u);
    EXPECT_NE(list.err.find("no such folder"), std::string::npos) << list.err;
    EXPECT_TRUE(list.out.empty()) << list.out;
}

// A console whose code page the converter changes has it back once the converter is done.
TEST(WindowsProgram, TheConsoleKeepsItsCodePage) {
    if (GetConsoleOutputCP() == 0 && !AllocConsole()) {
        // The run on a pseudo-terminal has a console, and says so.
        if (std::getenv("BRANDEL_CONSOLE_EXPECTED") != nullptr)
            FAIL() << "no console although one was expected";
        GTEST_SKIP() << "no console to be had";
    }
    const UINT before = GetConsoleOutputCP();
    const UINT other = before == 850 ? 437 : 850;
    ASSERT_TRUE(SetConsoleOutputCP(other));
    TempDir scratch;
    const Outcome run = run_program(L"--version", scratch.path(), scratch);
    EXPECT_EQ(run.status, 0u);
    EXPECT_EQ(run.out.find("brandel-convert "), 0u) << run.out;
    EXPECT_EQ(GetConsoleOutputCP(), other);
    SetConsoleOutputCP(before);
}

// Explorer's Properties box shows the program's version and name, and its icon; Windows reads
// from its manifest that it takes long paths.
TEST(WindowsProgram, TheProgramCarriesItsVersionIconAndManifest) {
    const std::wstring exe = program();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version information";
    std::string info(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    auto value = [&](const wchar_t* name) {
        void* text = nullptr;
        UINT length = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(info.data(), key.c_str(), &text, &length) || length == 0)
            return std::wstring();
        return std::wstring(static_cast<const wchar_t*>(text));
    };
    const std::string version = version_text;
    EXPECT_EQ(value(L"ProductVersion"), std::wstring(version.begin(), version.end()));
    EXPECT_EQ(value(L"FileVersion"), std::wstring(version.begin(), version.end()));
    EXPECT_EQ(value(L"ProductName"), L"Brandel & Korvin");
    EXPECT_EQ(value(L"OriginalFilename"), L"brandel-convert.exe");
    void* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &fixed, &length));
    const auto* numbers = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    EXPECT_EQ(HIWORD(numbers->dwProductVersionMS), static_cast<WORD>(version_major));
    EXPECT_EQ(LOWORD(numbers->dwProductVersionMS), static_cast<WORD>(version_minor));
    EXPECT_EQ(HIWORD(numbers->dwProductVersionLS), static_cast<WORD>(version_revision));

    // The resource types by number: RT_GROUP_ICON and RT_MANIFEST name them in the ANSI form.
    const LPCWSTR icon_group = MAKEINTRESOURCEW(14);
    const LPCWSTR manifest_type = MAKEINTRESOURCEW(24);
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), icon_group), nullptr) << "no icon";
    HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), manifest_type);
    ASSERT_NE(manifest, nullptr) << "no manifest";
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
    const std::string text(bytes, SizeofResource(module, manifest));
    EXPECT_NE(text.find("<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/"
                        "WindowsSettings\">true</longPathAware>"),
              std::string::npos);
    FreeLibrary(module);
}

}  // namespace
}  // namespace brandel::app

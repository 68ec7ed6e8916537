#include <gtest/gtest.h>

#include <string>

#include "spectrum/errors.hpp"
#include "spectrum/paths.hpp"

namespace brandel::spectrum {
namespace {

constexpr std::string_view untouched = "<untouched>";

TEST(SplitPath, CutsDriveDirectoryBaseNameAndExtension) {
    struct Row {
        std::string_view path, drive, directory, base, extension;
    };
    const Row rows[] = {
        {"C:\\data\\ge1\\S0123.TXT", "C", "data\\ge1", "S0123", "TXT"},
        {"C:\\S0123.TXT", "C", untouched, "S0123", "TXT"},
        {"C:\\data\\run.01.txt", "C", "data", "run", "01.txt"},
        {"C:S0123.TXT", "C", untouched, "S0123", "TXT"},
        {"/home/lab/spectra.2024/S0123.TXT", "", "home/lab/spectra.2024", "S0123", "TXT"},
        {"/data/v1.2/run.01.txt", "", "data/v1.2", "run", "01.txt"},
        {"/data/a:b/S1.txt", "", "data/a:b", "S1", "txt"},
        {"/data/README", "", "data", "README", ""},
        {"README", "", untouched, "README", ""},
        {"/S1.chn", "", untouched, "S1", "chn"},
        {"/data/name.", "", "data", "name", ""},
        {"D:\\out\\mixed/sep\\x.y", "D", "out\\mixed/sep", "x", "y"},
        {"/data/試料 1.txt", "", "data", "試料 1", "txt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        std::string drive = "?", directory(untouched), base = "?", extension = "?";
        split_path(row.path, drive, directory, base, extension);
        EXPECT_EQ(drive, row.drive);
        EXPECT_EQ(directory, row.directory);
        EXPECT_EQ(base, row.base);
        EXPECT_EQ(extension, row.extension);
    }
    EXPECT_EQ(base_name_of("/data/ge1/S0123.TXT"), "S0123");
}

TEST(SplitPath, NameWithoutBaseNameIsAnInvalidNameAndSplitsNothing) {
    for (std::string_view path :
         {".hidden", "/data/.hidden", "C:\\data\\.txt", "/data/", "", "/data/.."}) {
        SCOPED_TRACE(path);
        std::string drive = "d", directory = "x", base = "b", extension = "e";
        try {
            split_path(path, drive, directory, base, extension);
            ADD_FAILURE() << "split without a base name";
        } catch (const SpectrumError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::invalid_name);
            EXPECT_NE(std::string(e.what()).find("cannot name the output file"), std::string::npos);
        }
        EXPECT_EQ(drive + directory + base + extension, "dxbe");
    }
}

TEST(SplitPath, FoldersGetOneTrailingSeparator) {
    const std::string sep(1, path_separator);
    EXPECT_EQ(with_trailing_separator("data"), "data" + sep);
    EXPECT_EQ(with_trailing_separator("/data/"), "/data/");
    EXPECT_EQ(with_trailing_separator("C:\\out\\"), "C:\\out\\");
}

}  // namespace
}  // namespace brandel::spectrum

#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "temp_dir.hpp"

namespace brandel::test_support {

/// Checks an N42 document against the standard's schema with xmllint. Returns nullopt when the
/// schema (beside the project, see BRANDEL_N42_SCHEMA) or xmllint is not at hand, else what
/// xmllint said about an invalid document, empty for a valid one.
inline std::optional<std::string> n42_schema_errors(std::string_view document) {
#ifdef _WIN32
    (void)document;
    return std::nullopt;
#else
    const std::filesystem::path schema = BRANDEL_N42_SCHEMA;
    static const bool xmllint = std::system("xmllint --version >/dev/null 2>&1") == 0;
    std::error_code ec;
    if (!xmllint || !std::filesystem::is_regular_file(schema, ec))
        return std::nullopt;
    TempDir dir;
    const std::string file = dir.write("document.n42", document);
    const std::string report = dir.dir() + "report.txt";
    const std::string command =
        "xmllint --noout --schema '" + schema.string() + "' '" + file + "' >'" + report + "' 2>&1";
    if (std::system(command.c_str()) == 0)
        return std::string();
    const std::string said = dir.read("report.txt");
    return said.empty() ? std::string("xmllint failed") : said;
#endif
}

}  // namespace brandel::test_support

/// Fails the test when an N42 document does not validate; passes when the schema or xmllint is
/// not at hand (a clone without the standard's schema beside it, a Windows build).
#define EXPECT_VALID_N42(document)                                         \
    do {                                                                   \
        const std::optional<std::string> n42_errors_ =                     \
            ::brandel::test_support::n42_schema_errors(document);          \
        EXPECT_TRUE(!n42_errors_ || n42_errors_->empty()) << *n42_errors_; \
    } while (false)

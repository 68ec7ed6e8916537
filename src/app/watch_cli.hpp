#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "formats/output_formats.hpp"

namespace brandel::app {

/// A watch as the command line asks for it, its type, formats and destination already checked.
struct WatchRequest {
    std::string source_folder;
    std::string destination_folder;
    std::int16_t org_type = 0;
    formats::FormatList formats;
    bool verify = false;
    std::string manifest;
    std::string settle;  // seconds as given; empty for the default
    bool once = false;
};

/// Parses a settle time in seconds ("2", "0.5"); false when it is not one.
bool parse_settle_seconds(const std::string& text, double& seconds);

/// Runs the watch: one line per file converted or failed on `out`, a folder that went or came
/// back on `err`. SIGINT and SIGTERM (on Windows Ctrl+C and the console's closing) stop it after
/// the file in progress. Returns the exit status: 0 when it was stopped or, with `once`, when
/// everything due converted; 1 when a file failed in a run with `once`, or the watch could not
/// go on; 2 for a settle time that is not one or, with `once`, a folder that is not there.
int run_watch_cli(const WatchRequest& request, std::ostream& out, std::ostream& err);

}  // namespace brandel::app

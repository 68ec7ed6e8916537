#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace brandel::app {

/// The command-line converter: `args` without the program name. Writes what it prints to `out`
/// and `err`; `err_is_terminal` enables the progress line. Returns the exit status: 0 all files
/// converted (or listed), 1 one or more failed, 2 usage error.
int run_convert_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    bool err_is_terminal);

}  // namespace brandel::app

#pragma once

#include <iosfwd>
#include <string>

namespace brandel::app {

/// Checks a manifest: for each of its lines, whether the source and the output files it lists
/// still have the SHA-256 it gives. Prints one line per manifest line to `out`, TAB-separated:
/// "ok", "changed" or "missing" (a file listed is gone; this wins over "changed"), the source
/// path, and for a line that is not ok each file that differs with what it is ("S0123.chn
/// changed"). Returns 0 when every file matches, 1 when one does not (or a line is not a
/// manifest line), 2 when the manifest cannot be read or is none.
int check_manifest(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace brandel::app

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/org_types.hpp"
#include "readers/reader_kit.hpp"
#include "spectrum/state.hpp"

// Which layouts a source file fits. A file fits a layout when that layout's reader reads it
// completely, the reading makes sense and the bytes have the layout's shape; a file converts
// only under a type it fits. Recognition runs every reader over bytes loaded once, so it costs
// eight readings of one file in memory and is run only when it is needed: when a file failed
// under its chosen type, for the command line's automatic type, and for the window's preview.

namespace brandel::app {

/// The types whose layout `bytes` fit, in type order.
std::vector<const OrgType*> fitting_types(std::string_view bytes);

/// Reads `bytes` under `type` into the caller's record, as converting does, and writes no file.
/// A type without a reader gives a read_error outcome.
readers::ReaderResult read_as(spectrum::State& state, const OrgType& type, std::string_view bytes);

/// Reads `bytes` with the one layout among `fits` (as fitting_types found them); when none or
/// several fit nothing is read and the reason names them: "it fits no layout", "it fits more
/// than one layout: Labo(Old), Labo(LIST)", or for a Labo(Old) file whose header does not
/// describe it "it looks like a damaged Labo(Old) file: byte 56: a Labo(Old) header announces
/// 512 channels but the file holds 511 values".
readers::ReaderResult read_as_fitting(spectrum::State& state, std::string_view bytes,
                                      const std::vector<const OrgType*>& fits);

/// The end of a failure's reason that names the layouts a file fits: "it reads as
/// CANBERRA(txt)", "it reads as Labo(Old) or Labo(LIST)", or "it fits no layout".
std::string fits_text(const std::vector<const OrgType*>& fits);

/// One source file examined: loaded once (bounded by the readers' size limit) and the layouts
/// it fits. When it cannot be loaded, `source.failure` says why and `fits` is empty.
struct Recognition {
    readers::LoadedSource source;
    std::vector<const OrgType*> fits;
};
Recognition recognise_file(const std::string& path);

}  // namespace brandel::app

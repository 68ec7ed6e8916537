#include "spectrum/state.hpp"

#include "spectrum/errors.hpp"

namespace brandel::spectrum {

void Counts::index_out_of_range(int index) {
    if (index < 0)
        raise(ErrorKind::out_of_range, "channel index " + std::to_string(index) + " is negative");
    raise(ErrorKind::out_of_range, std::to_string(index + 1) + " channels, at most " +
                                       std::to_string(Counts::capacity) + " fit");
}

void State::clear_record() {
    chn_header = ChnHeader{};
    counts.clear();
    chn_trailer = ChnTrailer{};
    text_buf.clear();
    source_values = SourceValues{};
}

void State::reset() {
    clear_record();
    org_path.clear();
    org_dir.clear();
    chn_dir.clear();
    org_type = 0;
    run_mode = 0;
    record_source = RecordSource::none;
    record_file.clear();
    disk_header.clear();
    disk_tail.clear();
    disk_stamp = FileStamp{};
}

}  // namespace brandel::spectrum

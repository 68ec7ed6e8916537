#include "spectrum/state.hpp"

#include "spectrum/errors.hpp"

namespace brandel::spectrum {

namespace {
void check_index(int index) {
    if (index < 0)
        raise(ErrorKind::out_of_range, "channel index " + std::to_string(index) + " is negative");
    if (index >= Counts::capacity)
        raise(ErrorKind::out_of_range, std::to_string(index + 1) + " channels, at most " +
                                           std::to_string(Counts::capacity) + " fit");
}
}  // namespace

void Counts::set(int index, std::int32_t value) {
    check_index(index);
    values_[static_cast<std::size_t>(index)] = value;
}

std::int32_t Counts::at(int index) const {
    check_index(index);
    return values_[static_cast<std::size_t>(index)];
}

void State::clear_record() {
    chn_header = ChnHeader{};
    counts.clear();
    chn_trailer = ChnTrailer{};
    text_buf.clear();
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
}

}  // namespace brandel::spectrum

// Fuzz target of the CHN reader.
//
// The input is written as a CHN file and read on a fresh record. A file that cannot be read
// raises the core's own error and nothing else. A file read in the standard layout is written
// back exactly as it was: the same bytes, with a missing or short trailer filled with zero bytes.
// The other layouts are written back the same way or refused, and then left as they are.

#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/errors.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace fs = std::filesystem;
    using brandel::fuzz::check;
    using brandel::fuzz::fail;
    using brandel::spectrum::chn_header_size;
    using brandel::spectrum::chn_trailer_size;

    const fs::path path = brandel::fuzz::scratch_dir() / "input.chn";
    const std::string input(reinterpret_cast<const char*>(data), size);
    brandel::fuzz::write_file(path, input);

    auto state = std::make_unique<brandel::spectrum::State>();
    state->org_path = path.string();
    // The scratch files need not survive a power cut; skipping the flushes keeps the runs fast.
    static brandel::spectrum::FileOps unflushed(false);
    state->file_ops = &unflushed;
    try {
        brandel::spectrum::read_chn(*state);
    } catch (const brandel::spectrum::SpectrumError& e) {
        check(e.kind() == brandel::spectrum::ErrorKind::unreadable ||
                  e.kind() == brandel::spectrum::ErrorKind::out_of_range,
              std::string("unexpected kind of error: ") + e.what());
        return 0;
    } catch (const std::exception& e) {
        fail(std::string("read_chn threw: ") + e.what());
    }

    const std::int16_t n = state->chn_header.num_channels;
    check(n <= brandel::spectrum::Counts::capacity, "too many channels accepted");
    const std::size_t data_end = chn_header_size + 4 * static_cast<std::size_t>(n > 0 ? n : 0);
    check(size >= data_end, "a file shorter than its channel data was read");
    check(state->text_buf.view().size() == 64, "the comment is not 64 characters");

    std::string expected = input;
    if (expected.size() < data_end + chn_trailer_size)
        expected.resize(data_end + chn_trailer_size, '\0');
    try {
        brandel::spectrum::write_chn_as_read(*state);
    } catch (const brandel::spectrum::SpectrumError& e) {
        // Only the standard layout has a trailer of its own that must go back.
        check(state->record_source != brandel::spectrum::RecordSource::chn_standard &&
                  e.kind() == brandel::spectrum::ErrorKind::cannot_write,
              std::string("a CHN file that was read does not write back: ") + e.what());
        check(brandel::fuzz::read_file(path) == input, "a refused write back changed the file");
        return 0;
    } catch (const std::exception& e) {
        fail(std::string("write_chn_as_read threw: ") + e.what());
    }
    check(brandel::fuzz::read_file(path) == expected, "writing back changed the bytes");
    return 0;
}

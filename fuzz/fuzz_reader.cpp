// Fuzz target of one source reader, chosen by BRANDEL_FUZZ_ORG_TYPE at compile time.
//
// The input is written as a source file and read on a fresh record. Whatever the bytes, the
// reader returns an outcome and throws nothing. A complete reading must give a record that
// write_chn writes and read_chn reads back with the same channels, and converting the same file
// on a record that held the previous input must give the same bytes.

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "app/org_types.hpp"
#include "fuzz/fuzz_support.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/errors.hpp"

namespace {

using brandel::fuzz::check;
using brandel::fuzz::fail;
using brandel::readers::ReaderResult;
using brandel::spectrum::State;

ReaderResult read_source(State& state, const std::string& path) {
    static const brandel::app::OrgType* type = brandel::app::find_org_type(BRANDEL_FUZZ_ORG_TYPE);
    check(type != nullptr && type->reader != nullptr, "no reader of this type");
    // The scratch files need not survive a power cut; skipping the flushes keeps the runs fast.
    static brandel::spectrum::FileOps unflushed(false);
    state.file_ops = &unflushed;
    state.org_type = type->index;
    state.org_path = path;
    try {
        return type->reader(state);
    } catch (const std::exception& e) {
        fail(std::string("the reader threw: ") + e.what());
    } catch (...) {
        fail("the reader threw something that is no exception");
    }
}

std::int32_t seconds_of(std::int32_t ticks) {
    return static_cast<std::int32_t>(std::nearbyint(static_cast<double>(ticks) / 50.0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace fs = std::filesystem;
    const fs::path& dir = brandel::fuzz::scratch_dir();
    const fs::path source = dir / "input.src";
    const fs::path chn = dir / "input.chn";
    std::error_code ignored;
    fs::remove(chn, ignored);
    brandel::fuzz::write_file(source, {reinterpret_cast<const char*>(data), size});

    auto state = std::make_unique<State>();
    state->chn_dir = dir.string() + "/";
    const ReaderResult result = read_source(*state, source.string());

    // The same file read on a record that still holds the previous input.
    static State reused;
    reused.chn_dir = state->chn_dir;
    const ReaderResult again = read_source(reused, source.string());
    check(again.outcome == result.outcome && again.reason == result.reason,
          "a used record changes the outcome");

    if (!result.complete()) {
        check(!result.reason.empty(), "a failed reading gives no reason");
        check(result.status == 0, "status -1 for a file in an existing folder");
        return 0;
    }
    const std::int16_t n = state->chn_header.num_channels;
    check(n >= 0 && n <= brandel::spectrum::Counts::capacity, "channel count out of range");

    std::string expected;
    try {
        expected = brandel::spectrum::chn_bytes(*state);
        check(brandel::spectrum::chn_bytes(reused) == expected, "a used record changes the CHN");
        brandel::spectrum::write_chn(*state);
    } catch (const std::exception& e) {
        fail(std::string("a complete record does not write: ") + e.what());
    }
    check(brandel::fuzz::read_file(chn) == expected, "the CHN file differs from chn_bytes");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
        ++files;
    check(files == 2, "files beside the source and its CHN: " + brandel::fuzz::scratch_listing());

    auto back = std::make_unique<State>();
    back->org_path = chn.string();
    try {
        brandel::spectrum::read_chn(*back);
    } catch (const std::exception& e) {
        fail(std::string("the written CHN file does not read back: ") + e.what());
    }
    const auto& h = state->chn_header;
    const auto& b = back->chn_header;
    check(b.num_channels == n && b.mca_number == h.mca_number && b.segment == h.segment,
          "the header reads back differently");
    check(b.live_time == seconds_of(h.live_time) && b.real_time == seconds_of(h.real_time),
          "the times read back differently");
    for (int k = 0; k < n; ++k)
        check(back->counts.at(k) == state->counts.at(k), "a count reads back differently");
    return 0;
}

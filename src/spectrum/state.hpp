#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "spectrum/text.hpp"

namespace brandel::spectrum {

class FileOps;
class ReplaceGroup;

/// The 32-byte header of a CHN file, in disk order.
struct ChnHeader {
    std::int16_t file_type = 0;        // format word; the writer stores -1
    std::int16_t mca_number = 0;       // marks the source layout (301 CANBERRA, 311 JAERI, ...)
    std::int16_t segment = 0;          // a small constant of each reader
    std::uint8_t start_sec_tens = 0;   // character code of the tens digit of the start second
    std::uint8_t start_sec_units = 0;  // character code of the units digit
    std::int32_t real_time = 0;        // ticks of 20 ms; whole seconds after read_chn
    std::int32_t live_time = 0;        // ticks of 20 ms; whole seconds after read_chn
    TextField<8> start_date;           // DDMMMYYc, c "1" for 2000-2099, blank for 1900-1999
    TextField<6> start_time;           // HHMMSS
    std::int16_t num_channels = 0;     // channels of `counts` that belong to the spectrum

    bool operator==(const ChnHeader&) const = default;
};

/// The channel contents: 17001 signed 32-bit counts, channel k at index k - 1.
class Counts {
  public:
    static constexpr int capacity = 17001;

    Counts() { values_.fill(0); }
    /// Stores a count; an index outside 0..17000 raises an out-of-range error.
    void set(int index, std::int32_t value) {
        if (index < 0 || index >= capacity)
            index_out_of_range(index);
        values_[static_cast<std::size_t>(index)] = value;
        used_ = std::max(used_, index + 1);
    }
    /// Stores `n` counts from index `first` on, taken from every `stride`-th of `values`, as n
    /// calls of set would.
    void set_many(int first, const std::uint32_t* values, int n, std::size_t stride) {
        if (first < 0 || n > capacity - first) {
            for (int i = 0; i < n; ++i)
                set(first + i,
                    static_cast<std::int32_t>(values[static_cast<std::size_t>(i) * stride]));
            return;
        }
        std::int32_t* to = values_.data() + first;
        for (int i = 0; i < n; ++i)
            to[i] = static_cast<std::int32_t>(values[static_cast<std::size_t>(i) * stride]);
        used_ = std::max(used_, first + n);
    }
    /// Room for the counts from index `first` (0 or more) on, at most `n` of them and as many as
    /// fit: the caller stores them in place, and they are taken as set.
    std::span<std::int32_t> room(int first, int n) {
        n = std::min(n, capacity - first);
        if (n <= 0)
            return {};
        used_ = std::max(used_, first + n);
        return {values_.data() + first, static_cast<std::size_t>(n)};
    }
    /// The count at an index; an index outside 0..17000 raises an out-of-range error.
    std::int32_t at(int index) const {
        if (index < 0 || index >= capacity)
            index_out_of_range(index);
        return values_[static_cast<std::size_t>(index)];
    }
    const std::int32_t* data() const { return values_.data(); }
    /// Sets every count to 0. Only the channels up to the last one set are written, so a
    /// record of a few thousand channels is cleared without writing all 17001.
    void clear() {
        std::fill_n(values_.begin(), used_, 0);
        used_ = 0;
    }

    bool operator==(const Counts& other) const { return values_ == other.values_; }

  private:
    [[noreturn]] static void index_out_of_range(int index);
    std::array<std::int32_t, capacity> values_;
    int used_ = 0;  // every channel from this index on is 0
};

/// The 512-byte trailer of a CHN file, in disk order.
struct ChnTrailer {
    std::int16_t trailer_type = 0;  // -102 for a trailer with three energy terms
    std::int16_t trailer_spare = 0;
    float energy_zero = 0.0f;  // energy = zero + slope * channel + quad * channel^2
    float energy_slope = 0.0f;
    float energy_quad = 0.0f;
    float fwhm_zero = 0.0f;
    float fwhm_slope = 0.0f;
    float fwhm_quad = 0.0f;
    TextField<228> trailer_reserved1;
    std::uint8_t detector_desc_len = 0;
    TextField<63> detector_desc;
    std::uint8_t sample_desc_len = 0;
    TextField<63> sample_desc;
    TextField<128> trailer_reserved2;

    bool operator==(const ChnTrailer&) const = default;
};

/// Where the spectrum record's contents came from, so that writing it back can refuse a record
/// that is incomplete or that has no trailer of its own.
enum class RecordSource {
    none,               // nothing converted or read yet
    converted,          // a source file converted completely
    conversion_failed,  // the last source file did not convert
    chn_standard,       // a CHN file of the standard layout, read completely
    chn_comment,        // a CHN file with a 64-character comment in place of the trailer
    chn_other,          // a CHN file whose seconds bytes name no known layout
    chn_unreadable,     // a CHN file that could not be read
};

/// What identifies a file's contents as they were read: its size, its last write time and a digest
/// of its bytes. A file whose stamp differs has changed since it was read.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // last write time, in ticks of the file system's clock
    std::uint64_t digest = 0;   // of all its bytes

    bool operator==(const FileStamp&) const = default;
};

/// What a source held where the record keeps less, set by the readers of layouts that hold it:
/// the sample description before it was cut to its field, the times before their rounding to
/// 20 ms, the energy terms before float32, and whether the layout's counts are unsigned 32-bit
/// words that the record holds as signed. Empty after clear_record: the record's own values
/// are then all there was.
struct SourceValues {
    static constexpr double none = -1.0;  // a time the source did not give
    bool has_description = false;
    std::u32string description;
    double live_seconds = none;
    double real_seconds = none;
    bool has_energy = false;
    std::array<double, 3> energy{};  // zero, slope, quad
    bool unsigned_counts = false;
};

/// The one spectrum record and the state of the file being worked on. Readers, the writer, the
/// CHN reader and the listing all work on one State passed by reference.
struct State {
    ChnHeader chn_header;
    Counts counts;
    ChnTrailer chn_trailer;

    std::string org_path;        // full path (UTF-8) of the file being read now
    std::string org_dir;         // source folder, ending in the platform separator
    std::string chn_dir;         // destination folder, ending in the platform separator
    std::int16_t org_type = 0;   // chosen type 0..8, -1 while none is chosen
    std::int16_t run_mode = 0;   // 100 FILEconv, 200 CHN_edit
    TextField<64> text_buf;      // scratch text; after read_chn the spectrum's comment
    SourceValues source_values;  // what the last source held beyond the record

    // What the record holds, and for a CHN file read back, its header and trailer exactly as
    // they were on disk: writing it back stores these bytes, not the rounded record.
    RecordSource record_source = RecordSource::none;
    std::string record_file;  // the file the record came from (for messages)
    std::string disk_header;  // the 32 header bytes
    std::string disk_tail;    // every byte after the channel data (at least 512, zero-padded)
    FileStamp disk_stamp;     // the CHN file as read_chn read it

    // The file operations CHN files are written with; nullptr for the system's. A benchmark or
    // a test puts its own here; reset() keeps it.
    FileOps* file_ops = nullptr;
    // While a batch runs, the group its CHN files are written into and replaced together;
    // nullptr: each file is replaced as it is written.
    ReplaceGroup* write_group = nullptr;

    /// Returns the spectrum record (header, counts, trailer) and text_buf to their start-up
    /// state: numbers 0, text fields all NUL. Every source conversion starts with it.
    void clear_record();
    /// Returns everything to the start-up state.
    void reset();
};

}  // namespace brandel::spectrum

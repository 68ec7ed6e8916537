#include "spectrum/chn_file.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "spectrum/bytes.hpp"
#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/regular_file.hpp"

namespace brandel::spectrum {

namespace {

// Byte offsets of the header fields, used by both the writer and the reader.
namespace header_at {
constexpr std::size_t file_type = 0;        // int16, -1
constexpr std::size_t mca_number = 2;       // int16
constexpr std::size_t segment = 4;          // int16
constexpr std::size_t start_sec_tens = 6;   // uint8, character code
constexpr std::size_t start_sec_units = 7;  // uint8, character code
constexpr std::size_t real_time = 8;        // int32, ticks of 20 ms
constexpr std::size_t live_time = 12;       // int32, ticks of 20 ms
constexpr std::size_t start_date = 16;      // 8 bytes, DDMMMYYc
constexpr std::size_t start_time = 24;      // 6 bytes, HHMMSS (28-29 carry the seconds digits)
constexpr std::size_t num_channels = 30;    // int16
}  // namespace header_at

// Byte offsets of the trailer fields, relative to the trailer's start.
namespace trailer_at {
constexpr std::size_t trailer_type = 0;         // int16
constexpr std::size_t trailer_spare = 2;        // int16
constexpr std::size_t energy_zero = 4;          // float32
constexpr std::size_t energy_slope = 8;         // float32
constexpr std::size_t energy_quad = 12;         // float32
constexpr std::size_t fwhm_zero = 16;           // float32
constexpr std::size_t fwhm_slope = 20;          // float32
constexpr std::size_t fwhm_quad = 24;           // float32
constexpr std::size_t trailer_reserved1 = 28;   // 228 bytes
constexpr std::size_t detector_desc_len = 256;  // uint8
constexpr std::size_t detector_desc = 257;      // 63 bytes
constexpr std::size_t sample_desc_len = 320;    // uint8
constexpr std::size_t sample_desc = 321;        // 63 bytes
constexpr std::size_t trailer_reserved2 = 384;  // 128 bytes
}  // namespace trailer_at

// Stores little-endian values at fixed offsets of a buffer.
class Put {
  public:
    Put(std::string& out, std::size_t base) : out_(out), base_(base) {}
    void u8(std::size_t at, std::uint8_t v) { out_[base_ + at] = static_cast<char>(v); }
    void i16(std::size_t at, std::int16_t v) { raw(at, static_cast<std::uint16_t>(v), 2); }
    void i32(std::size_t at, std::int32_t v) { raw(at, static_cast<std::uint32_t>(v), 4); }
    void f32(std::size_t at, float v) { raw(at, std::bit_cast<std::uint32_t>(v), 4); }
    template <std::size_t W>
    void text(std::size_t at, const TextField<W>& field) {
        out_.replace(base_ + at, W, encode_cp932(field.view(), W));
    }

  private:
    void raw(std::size_t at, std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i)
            out_[base_ + at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    std::string& out_;
    std::size_t base_;
};

template <std::size_t W>
void get_text(const LittleEndianReader& in, std::size_t at, TextField<W>& field) {
    field.assign(decode_cp932(in.bytes(at, W)));
}

void decode_trailer(std::string_view bytes, ChnTrailer& t) {
    LittleEndianReader in(bytes, "trailer", LittleEndianReader::Past::zero);
    t.trailer_type = in.i16(trailer_at::trailer_type);
    t.trailer_spare = in.i16(trailer_at::trailer_spare);
    t.energy_zero = in.f32(trailer_at::energy_zero);
    t.energy_slope = in.f32(trailer_at::energy_slope);
    t.energy_quad = in.f32(trailer_at::energy_quad);
    t.fwhm_zero = in.f32(trailer_at::fwhm_zero);
    t.fwhm_slope = in.f32(trailer_at::fwhm_slope);
    t.fwhm_quad = in.f32(trailer_at::fwhm_quad);
    get_text(in, trailer_at::trailer_reserved1, t.trailer_reserved1);
    t.detector_desc_len = in.u8(trailer_at::detector_desc_len);
    get_text(in, trailer_at::detector_desc, t.detector_desc);
    t.sample_desc_len = in.u8(trailer_at::sample_desc_len);
    get_text(in, trailer_at::sample_desc, t.sample_desc);
    get_text(in, trailer_at::trailer_reserved2, t.trailer_reserved2);
}

void check_channel_count(std::int16_t n) {
    if (n > Counts::capacity)
        raise(ErrorKind::out_of_range, std::to_string(n) + " channels, at most " +
                                           std::to_string(Counts::capacity) + " fit");
}

// Times are held in ticks of 20 ms on disk and in whole seconds after reading.
std::int32_t ticks_to_seconds(std::int32_t ticks) {
    return static_cast<std::int32_t>(std::nearbyint(static_cast<double>(ticks) / 50.0));
}

// Decodes the header (times in ticks, as on disk) and the counts; returns where the channel data
// end. A file whose header or channel data are incomplete raises an unreadable error.
std::size_t decode_header_and_counts(std::string_view bytes, State& state) {
    if (bytes.size() < chn_header_size)
        raise(ErrorKind::unreadable,
              "the header is incomplete (" + std::to_string(bytes.size()) + " of 32 bytes)");
    ChnHeader& h = state.chn_header;
    LittleEndianReader in(bytes, "the file");
    h.file_type = in.i16(header_at::file_type);
    h.mca_number = in.i16(header_at::mca_number);
    h.segment = in.i16(header_at::segment);
    h.start_sec_tens = in.u8(header_at::start_sec_tens);
    h.start_sec_units = in.u8(header_at::start_sec_units);
    h.real_time = in.i32(header_at::real_time);
    h.live_time = in.i32(header_at::live_time);
    get_text(in, header_at::start_date, h.start_date);
    get_text(in, header_at::start_time, h.start_time);
    h.num_channels = in.i16(header_at::num_channels);

    check_channel_count(h.num_channels);
    const std::size_t n = h.num_channels > 0 ? static_cast<std::size_t>(h.num_channels) : 0;
    const std::size_t data_end = chn_header_size + 4 * n;
    if (bytes.size() < data_end)
        raise(ErrorKind::unreadable, "the channel data are incomplete (" + std::to_string(n) +
                                         " channels need " + std::to_string(data_end) +
                                         " bytes, the file has " + std::to_string(bytes.size()) +
                                         ")");
    for (std::size_t k = 0; k < n; ++k)
        state.counts.set(static_cast<int>(k), in.i32(chn_header_size + 4 * k));

    return data_end;
}

}  // namespace

std::string chn_bytes(const State& state) {
    const ChnHeader& h = state.chn_header;
    const ChnTrailer& t = state.chn_trailer;
    check_channel_count(h.num_channels);
    const std::size_t n = h.num_channels > 0 ? static_cast<std::size_t>(h.num_channels) : 0;
    std::string out(chn_header_size + 4 * n + chn_trailer_size, '\0');

    Put head(out, 0);
    head.i16(header_at::file_type, -1);
    head.i16(header_at::mca_number, h.mca_number);
    head.i16(header_at::segment, h.segment);
    head.u8(header_at::start_sec_tens, h.start_sec_tens);
    head.u8(header_at::start_sec_units, h.start_sec_units);
    head.i32(header_at::real_time, h.real_time);
    head.i32(header_at::live_time, h.live_time);
    head.text(header_at::start_date, h.start_date);
    head.text(header_at::start_time, h.start_time);
    head.i16(header_at::num_channels, h.num_channels);

    // The counts in little-endian order: as they are in memory on a little-endian machine.
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out.data() + chn_header_size, state.counts.data(), 4 * n);
    } else {
        Put data(out, chn_header_size);
        for (std::size_t k = 0; k < n; ++k)
            data.i32(4 * k, state.counts.data()[k]);
    }

    Put tail(out, chn_header_size + 4 * n);
    tail.i16(trailer_at::trailer_type, t.trailer_type);
    tail.i16(trailer_at::trailer_spare, t.trailer_spare);
    tail.f32(trailer_at::energy_zero, t.energy_zero);
    tail.f32(trailer_at::energy_slope, t.energy_slope);
    tail.f32(trailer_at::energy_quad, t.energy_quad);
    tail.f32(trailer_at::fwhm_zero, t.fwhm_zero);
    tail.f32(trailer_at::fwhm_slope, t.fwhm_slope);
    tail.f32(trailer_at::fwhm_quad, t.fwhm_quad);
    tail.text(trailer_at::trailer_reserved1, t.trailer_reserved1);
    tail.u8(trailer_at::detector_desc_len, t.detector_desc_len);
    tail.text(trailer_at::detector_desc, t.detector_desc);
    tail.u8(trailer_at::sample_desc_len, t.sample_desc_len);
    tail.text(trailer_at::sample_desc, t.sample_desc);
    tail.text(trailer_at::trailer_reserved2, t.trailer_reserved2);
    return out;
}

std::string chn_output_path(const State& state) {
    return state.chn_dir + base_name_of(state.org_path) + ".chn";
}

void write_chn(State& state) {
    write_chn(state, file_ops_of(state));
}

void write_chn(State& state, FileOps& ops) {
    std::string path = chn_output_path(state);
    state.chn_header.file_type = -1;
    if (state.write_group != nullptr)
        state.write_group->stage(fs_path(path), chn_bytes(state));
    else
        replace_file(fs_path(path), chn_bytes(state), ops);
}

std::uint64_t content_digest(std::string_view bytes) {
    // FNV-1a over 8-byte words, then over the last few bytes, with the length mixed in at the end.
    constexpr std::uint64_t prime = 0x100000001B3ULL;
    std::uint64_t h = 0xCBF29CE484222325ULL;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        h = (h ^ word) * prime;
        h ^= h >> 29;
    }
    for (; i < bytes.size(); ++i)
        h = (h ^ static_cast<unsigned char>(bytes[i])) * prime;
    h ^= bytes.size();
    h *= prime;
    return h ^ (h >> 32);
}

std::string read_chn_bytes(const std::string& path, FileStamp& stamp) {
    // Enough for the largest spectrum and anything another program keeps after its trailer.
    constexpr std::size_t limit = std::size_t{16} << 20;
    std::error_code ec;
    const auto modified = std::filesystem::last_write_time(fs_path(path), ec);
    std::string bytes = read_regular_file(path, limit);
    stamp.size = bytes.size();
    stamp.modified = ec ? 0 : static_cast<std::int64_t>(modified.time_since_epoch().count());
    stamp.digest = content_digest(bytes);
    return bytes;
}

void read_chn_record(std::string_view bytes, State& state) {
    const std::size_t data_end = decode_header_and_counts(bytes, state);
    if (bytes.size() < data_end + chn_trailer_size)
        raise(ErrorKind::unreadable, "the trailer is incomplete (" +
                                         std::to_string(bytes.size() - data_end) +
                                         " of 512 bytes)");
    decode_trailer(bytes.substr(data_end), state.chn_trailer);
}

ChnTicks header_ticks(std::string_view header) {
    const LittleEndianReader in(header, "the header", LittleEndianReader::Past::zero);
    return {in.i32(header_at::live_time), in.i32(header_at::real_time)};
}

void read_chn(State& state) {
    state.record_source = RecordSource::chn_unreadable;
    state.record_file = state.org_path;
    state.disk_header.clear();
    state.disk_tail.clear();
    state.disk_stamp = FileStamp{};
    const std::string bytes = read_chn_bytes(state.org_path, state.disk_stamp);

    const std::size_t data_end = decode_header_and_counts(bytes, state);
    ChnHeader& h = state.chn_header;
    h.live_time = ticks_to_seconds(h.live_time);
    h.real_time = ticks_to_seconds(h.real_time);

    std::string after(bytes.size() > data_end ? bytes.substr(data_end) : std::string());
    if (after.size() < chn_trailer_size)
        after.resize(chn_trailer_size, '\0');  // a missing or short trailer reads as zero bytes
    state.disk_header = bytes.substr(0, chn_header_size);
    state.disk_tail = after;

    // The seconds bytes tell the layout: two digits in the standard layout; a second stored as a
    // number (or nothing) in the older layout with a 64-character comment after the data.
    const std::uint8_t tens = h.start_sec_tens;
    const std::uint8_t units = h.start_sec_units;
    std::u32string time = h.start_time.str().substr(0, 4);
    if (tens != 0 && units != 0) {
        std::string seconds{static_cast<char>(tens), static_cast<char>(units)};
        h.start_time.assign(time + decode_cp932(std::string(1, seconds[0])) +
                            decode_cp932(std::string(1, seconds[1])));
        decode_trailer(after, state.chn_trailer);
        state.text_buf.assign(state.chn_trailer.sample_desc.str() + U" ");
        state.record_source = RecordSource::chn_standard;
    } else if (units == 0) {
        if (tens != 0) {
            std::string second = std::to_string(tens);
            if (second.size() < 2)
                second.insert(0, "0");
            h.start_time.assign(time + widen(second));
        }
        state.text_buf.assign(decode_cp932(std::string_view(after).substr(0, chn_comment_size)));
        state.record_source = RecordSource::chn_comment;
    } else {
        state.text_buf.assign(U"");  // no comment is stored in this layout
        state.record_source = RecordSource::chn_other;
    }

    // The comment: blanks trimmed, cut before its first NUL, blank-padded again.
    std::u32string_view comment = trim_blanks(state.text_buf.view());
    comment = comment.substr(0, comment.find(U'\0'));
    state.text_buf.assign(std::u32string(comment));
}

void write_chn_as_read(State& state) {
    write_chn_as_read(state, file_ops_of(state));
}

void write_chn_as_read(State& state, FileOps& ops) {
    // Only a standard file read completely has its own header and trailer bytes to write back;
    // any other record would put another file's bytes (or none) around the counts.
    if (state.record_source != RecordSource::chn_standard ||
        state.disk_header.size() != chn_header_size)
        raise(ErrorKind::cannot_write,
              "no CHN file of the standard layout has been read to write back");
    std::string out = state.disk_header;
    const std::int16_t n = state.chn_header.num_channels;
    check_channel_count(n);
    for (int k = 0; k < n; ++k) {
        std::uint32_t v = static_cast<std::uint32_t>(state.counts.at(k));
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    out += state.disk_tail;
    replace_file(fs_path(state.record_file), out, ops);
}

}  // namespace brandel::spectrum

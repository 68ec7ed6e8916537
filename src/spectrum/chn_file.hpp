#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "spectrum/atomic_file.hpp"
#include "spectrum/state.hpp"

namespace brandel::spectrum {

inline constexpr std::size_t chn_header_size = 32;
inline constexpr std::size_t chn_trailer_size = 512;
inline constexpr std::size_t chn_comment_size = 64;

/// The CHN file of the record: 32-byte header (file_type forced to -1), num_channels counts,
/// 512-byte trailer. A count above 17001 raises an out-of-range error.
std::string chn_bytes(const State& state);

/// The output path of write_chn: chn_dir + base name of org_path + ".chn".
std::string chn_output_path(const State& state);

/// Writes the record as chn_dir + base name of org_path + ".chn", replacing any file of that
/// name atomically through the state's file operations. Stores -1 in file_type. Raises
/// cannot-write or invalid-name errors. While the state has a write group, the file is only
/// staged in it: the group's commit replaces it.
void write_chn(State& state);
void write_chn(State& state, FileOps& ops);

/// Loads the CHN file named by org_path into the record: times in whole seconds (halves to
/// even), start_time completed from the seconds bytes, and the comment cleaned into text_buf.
/// A file whose header or channel data are incomplete raises an unreadable error; a missing or
/// short trailer or comment reads as zero bytes. The record is not cleared first.
void read_chn(State& state);

/// Fills the record's header, counts and trailer from the bytes of a CHN file of the standard
/// layout, every field as the bytes hold it: the times in ticks of 20 ms, as chn_bytes wrote
/// them. Incomplete bytes raise an unreadable error.
void read_chn_record(std::string_view bytes, State& state);

/// The live and real time of a CHN header as the file holds them, in ticks of 20 ms (read_chn
/// rounds them to whole seconds). A header shorter than 32 bytes gives zeros for what it lacks.
struct ChnTicks {
    std::int32_t live = 0;
    std::int32_t real = 0;
};
ChnTicks header_ticks(std::string_view header);

/// The bytes of a CHN file, read whole as read_chn reads them, and their stamp. The write time is
/// taken before the bytes are read, so a change made while reading shows as a changed stamp.
/// Raises file-not-found or unreadable errors.
std::string read_chn_bytes(const std::string& path, FileStamp& stamp);

/// A 64-bit digest of bytes; any change of a few bytes changes it.
std::uint64_t content_digest(std::string_view bytes);

/// Writes back the CHN file the record was last read from, with its header and trailer exactly
/// as they were on disk. Raises cannot-write errors, also when the last file read was not a
/// standard CHN file read completely.
void write_chn_as_read(State& state);
void write_chn_as_read(State& state, FileOps& ops);

/// The file operations a state writes with: its own, or the system's.
inline FileOps& file_ops_of(State& state) {
    return state.file_ops != nullptr ? *state.file_ops : system_file_ops();
}

}  // namespace brandel::spectrum

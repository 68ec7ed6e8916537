#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brandel::spectrum {

// Text in source files and in the text fields of CHN files is code page 932 (Shift-JIS with the
// Windows extensions) on every platform.

/// Decodes code page 932 bytes. Never fails: a byte that does not start a valid character
/// decodes to U+FFFD and decoding goes on with the next byte.
std::u32string decode_cp932(std::string_view bytes);
/// The same, into `out` (its earlier contents are replaced; its memory is reused).
void decode_cp932(std::string_view bytes, std::u32string& out);

/// Decodes at most `max_chars` characters from the start of `bytes` into `out`, as the whole
/// decoding would decode them; returns the number of bytes they take.
std::size_t decode_cp932(std::string_view bytes, std::size_t max_chars, std::u32string& out);
/// The number of bytes (1 or 2) of the character that starts at byte `at`, as decoding takes it.
std::size_t cp932_char_bytes(std::string_view bytes, std::size_t at);

/// Encodes text into exactly `width` bytes: cut at the last whole character that fits and padded
/// with blanks (0x20). NUL characters encode as zero bytes; characters the code page cannot
/// represent become "?".
std::string encode_cp932(std::u32string_view text, std::size_t width);

}  // namespace brandel::spectrum

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

/// Encodes text into exactly `width` bytes: cut at the last whole character that fits and padded
/// with blanks (0x20). NUL characters encode as zero bytes; characters the code page cannot
/// represent become "?".
std::string encode_cp932(std::u32string_view text, std::size_t width);

}  // namespace brandel::spectrum

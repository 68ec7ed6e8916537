#include "spectrum/text_source.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "spectrum/ascii_words.hpp"
#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/text.hpp"

namespace brandel::spectrum {

namespace {

using namespace ascii_words;

// The buffers of the last text of this thread, kept for the next one: converting many files then
// reuses one block of memory instead of mapping fresh pages for every file. A buffer larger than
// this is not kept, so one huge file does not hold its memory.
constexpr std::size_t max_spare_bytes = std::size_t{16} << 20;
thread_local std::string spare_bytes;

std::u32string widen_ascii(std::string_view ascii) {
    return std::u32string(ascii.begin(), ascii.end());
}

}  // namespace

void TextSource::set_bytes(std::string_view bytes) {
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max())
        raise(ErrorKind::unreadable, "the text is too large");
    bytes_ = bytes;
    marks_.clear();
    if (bytes_.empty())
        line_count_ = 0;
    else
        marks_.push_back(0);
}

TextSource TextSource::from_bytes(std::string_view bytes) {
    TextSource source;
    source.owned_ = std::move(spare_bytes);
    source.owned_.assign(bytes);
    source.set_bytes(source.owned_);
    return source;
}

TextSource TextSource::over_bytes(std::string_view bytes) {
    TextSource source;
    source.set_bytes(bytes);
    return source;
}

TextSource::~TextSource() {
    if (owned_.capacity() > spare_bytes.capacity() && owned_.capacity() <= max_spare_bytes)
        spare_bytes = std::move(owned_);
}

TextSource::TextSource(TextSource&& other) noexcept {
    *this = std::move(other);
}

TextSource& TextSource::operator=(TextSource&& other) noexcept {
    const bool own = !other.owned_.empty() && other.bytes_.data() == other.owned_.data();
    owned_ = std::move(other.owned_);
    bytes_ = own ? std::string_view(owned_) : other.bytes_;
    marks_ = std::move(other.marks_);
    found_ = std::move(other.found_);
    cursor_index_ = other.cursor_index_;
    cursor_ = other.cursor_;
    line_count_ = other.line_count_;
    decoded_ = std::move(other.decoded_);
    text_ = std::move(other.text_);
    text_decoded_ = other.text_decoded_;
    other.bytes_ = {};
    other.marks_.clear();
    other.found_.clear();
    other.cursor_index_ = npos;
    other.line_count_ = 0;
    other.text_decoded_ = false;
    return *this;
}

TextSource::Line TextSource::line_from(std::size_t begin) const {
    bool ascii = true;
    const std::size_t end = line_end(bytes_, begin, ascii);
    return {static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end - begin), ascii};
}

bool TextSource::locate(std::size_t i) const {
    if (i >= line_count_)
        return false;
    if (i == cursor_index_)
        return true;
    // The nearest line known at or before line i: a mark, the last line found, a key's line.
    std::size_t index = std::min(i / mark_every, marks_.size() - 1) * mark_every;
    Line line = line_from(marks_[index / mark_every]);
    if (cursor_index_ != npos && cursor_index_ < i && cursor_index_ > index) {
        index = cursor_index_;
        line = cursor_;
    }
    if (auto f = found_.upper_bound(i); f != found_.begin() && (--f)->first > index) {
        index = f->first;
        line = f->second;
    }
    const std::size_t n = bytes_.size();
    while (index < i) {
        std::size_t next = std::size_t{line.begin} + line.length;
        if (next < n && bytes_[next] == '\r' && next + 1 < n && bytes_[next + 1] == '\n')
            ++next;
        ++next;
        if (next >= n) {
            line_count_ = index + 1;
            return false;
        }
        line = line_from(next);
        ++index;
        if (index % mark_every == 0 && index / mark_every == marks_.size())
            marks_.push_back(static_cast<std::uint32_t>(next));
    }
    cursor_index_ = i;
    cursor_ = line;
    return true;
}

bool TextSource::has_line(std::size_t i) const {
    return locate(i);
}

std::size_t TextSource::line_count() const {
    locate(npos - 1);
    return line_count_;
}

const TextSource::Line& TextSource::at(std::size_t i) const {
    if (!locate(i))
        raise(ErrorKind::end_of_file, "line " + std::to_string(i + 1) + " is past the end");
    return cursor_;
}

std::string_view TextSource::line_bytes(std::size_t i) const {
    const Line& l = at(i);
    return bytes_.substr(l.begin, l.length);
}

bool TextSource::line_is_ascii(std::size_t i) const {
    return at(i).ascii;
}

std::u32string_view TextSource::line(std::size_t i) const {
    const Line l = at(i);
    auto found = decoded_.find(i);
    if (found == decoded_.end()) {
        const std::string_view b = bytes_.substr(l.begin, l.length);
        std::u32string chars;
        if (l.ascii)
            chars = widen_ascii(b.substr(0, max_line_chars));
        else
            decode_cp932(b, max_line_chars, chars);
        found = decoded_.emplace(i, std::move(chars)).first;
    }
    return found->second;
}

std::size_t TextSource::line_offset(std::size_t i) const {
    return locate(i) ? cursor_.begin : bytes_.size();
}

double TextSource::number_at(std::size_t i, std::size_t first, std::size_t last) const {
    const Line& l = at(i);
    if (first == 0 || last < first)
        return 0.0;
    if (!l.ascii) {
        std::u32string chars;
        decode_cp932(bytes_.substr(l.begin, l.length), last, chars);
        return leading_number(column_range(chars, first, last));
    }
    if (first > l.length)
        return 0.0;
    return leading_number(bytes_.substr(
        l.begin + first - 1, std::min<std::size_t>(last - first + 1, l.length - first + 1)));
}

namespace {

char fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Where `key` (ASCII, not empty) next stands in `bytes` from `from` on, ignoring the case of
// a-z; npos when nowhere. Places where its first two bytes stand, in either case, are looked for
// many bytes at a time, then the rest is compared.
std::size_t find_folded(std::string_view bytes, std::string_view key, std::size_t from) {
    const std::size_t n = bytes.size();
    const std::size_t m = key.size();
    if (m > n)
        return TextSource::npos;
    const std::size_t last = n - m;  // the last place where the key can start
    auto cases = [](char c) {
        const char lower = fold(c);
        return std::pair{
            lower, lower >= 'a' && lower <= 'z' ? static_cast<char>(lower - 'a' + 'A') : lower};
    };
    const auto [a_low, a_up] = cases(key[0]);
    const auto [b_low, b_up] = cases(m > 1 ? key[1] : key[0]);
    const std::size_t second = m > 1 ? 1 : 0;
    std::size_t i = from;
    while (i <= last) {
        // The next place where the first two bytes can stand.
#if BRANDEL_SSE2
        while (i + 16 + second <= n) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
            const __m128i y =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i + second));
            const __m128i first = _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(a_low)),
                                               _mm_cmpeq_epi8(x, _mm_set1_epi8(a_up)));
            const __m128i next = _mm_or_si128(_mm_cmpeq_epi8(y, _mm_set1_epi8(b_low)),
                                              _mm_cmpeq_epi8(y, _mm_set1_epi8(b_up)));
            const auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(first, next)));
            if (hits != 0) {
                i += static_cast<std::size_t>(lowest_bit(hits));
                break;
            }
            i += 16;
        }
#endif
        while (i <= last && !(fold(bytes[i]) == a_low && fold(bytes[i + second]) == b_low))
            ++i;
        if (i > last)
            return TextSource::npos;
        std::size_t k = 2;
        while (k < m && fold(bytes[i + k]) == fold(key[k]))
            ++k;
        if (k >= m)
            return i;
        ++i;
    }
    return TextSource::npos;
}

}  // namespace

std::size_t TextSource::find_line(std::string_view key) const {
    for (char c : key)
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\r' || c == '\n')
            return npos;  // no character of the text is one of these bytes
    if (key.empty())
        return has_line(0) ? 0 : npos;
    const std::size_t n = bytes_.size();
    std::size_t index = 0;  // the line that holds byte `counted`
    std::size_t begin = 0;  // where that line begins
    std::size_t counted = 0;
    std::size_t boundary = 0;  // a place where a character of that line begins
    for (std::size_t at = find_folded(bytes_, key, 0); at != npos;
         at = find_folded(bytes_, key, at + 1)) {
        // The line that holds the match, counting the line ends passed.
        for (; counted < at; ++counted) {
            const char c = bytes_[counted];
            if (c == '\n' || (c == '\r' && (counted + 1 == n || bytes_[counted + 1] != '\n'))) {
                ++index;
                begin = counted + 1;
            }
        }
        // Whether the match starts a character. A byte below 0x40 is never the trail byte of a
        // double-byte character, so the walk through the characters starts after the last one.
        boundary = std::max(boundary, begin);
        for (std::size_t k = at; k > boundary; --k)
            if (static_cast<unsigned char>(bytes_[k - 1]) < 0x40) {
                boundary = k;
                break;
            }
        while (boundary < at)
            boundary += cp932_char_bytes(bytes_, boundary);
        if (boundary != at)
            continue;  // the match starts in the trail byte of a double-byte character
        const Line line = line_from(begin);
        found_.emplace(index, line);
        return index;
    }
    return npos;
}

const std::u32string& TextSource::text() const {
    if (!text_decoded_) {
        decode_cp932(bytes_, text_);
        text_decoded_ = true;
    }
    return text_;
}

std::size_t TextSource::line_start(std::size_t i) const {
    // Characters before line i: the decoded length of its bytes (a line end is one byte and one
    // character, and never part of a double-byte character).
    const std::size_t offset = line_offset(i);
    if (offset >= bytes_.size())
        return text().size();
    return decode_cp932(bytes_.substr(0, offset)).size();
}

}  // namespace brandel::spectrum

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

// Most fields follow their separator directly, so the first byte is looked at alone.
brandel_hot std::size_t skip_blanks(std::string_view text, std::size_t pos) {
    if (pos < text.size() && text[pos] != ' ' && text[pos] != '\t')
        return pos;
    return skip_blank_run(text, pos);
}

std::size_t skip_blanks(std::u32string_view text, std::size_t pos) {
    while (pos < text.size() && (text[pos] == U' ' || text[pos] == U'\t'))
        ++pos;
    return pos;
}

bool is_line_end(char32_t c) {
    return c == U'\r' || c == U'\n';
}
bool ends_field(char32_t c) {
    return c == U',' || is_line_end(c);
}
bool ends_number(char32_t c) {
    return ends_field(c) || c == U' ' || c == U'\t';
}

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

std::size_t first_line_without_comma(std::string_view bytes, std::size_t offset) {
    const std::size_t size = bytes.size();
    // Where the line that ends at `end` begins: after the last line end before it.
    auto begin_of = [&](std::size_t end) {
        while (end > offset && bytes[end - 1] != '\r' && bytes[end - 1] != '\n')
            --end;
        return end;
    };
    auto not_blank = [&](std::size_t begin, std::size_t end) {
        return bytes.substr(begin, end - begin).find_first_not_of(" \t") != std::string_view::npos;
    };
    // Sixty-four bytes at a time. A carry set where a line begins runs through the bytes that are
    // no comma and no line end, and lands on the first that is: the lines whose first such byte
    // ends them hold no comma. A line that reaches past the bytes carries into the next ones. A
    // CR LF split between two blocks ends a line and an empty one, which breaks no rule.
    std::uint64_t carry = 1;
    for (std::size_t i = offset; i < size; i += 64) {
        ByteClasses c;
        if (i + 64 <= size) {
            c = classify64(bytes.data() + i);
        } else {
            char tail[64] = {};  // a zero byte is no comma and no line end
            std::memcpy(tail, bytes.data() + i, size - i);
            c = classify64(tail);
        }
        const std::uint64_t ends = c.crs | c.lfs;
        const std::uint64_t last_bytes = c.lfs | (c.crs & ~(c.lfs >> 1));  // of each line end
        const std::uint64_t others = ~(c.commas | ends);
        const std::uint64_t begins = last_bytes << 1;
        const std::uint64_t sum = others + begins;
        const std::uint64_t landed = sum + carry;
        std::uint64_t without = landed & ~others & ends;
        carry = (sum < others) | (landed < sum) | (last_bytes >> 63);
        for (; without != 0; without &= without - 1) {
            const std::size_t end = i + static_cast<std::size_t>(lowest_bit(without));
            const std::size_t begin = begin_of(end);
            if (not_blank(begin, end))
                return begin;
        }
    }
    if (carry != 0 && size > offset) {
        const std::size_t begin = begin_of(size);
        if (not_blank(begin, size))
            return begin;
    }
    return TextSource::npos;
}

FieldReader::FieldReader(std::string_view bytes, std::size_t offset, std::size_t first_line)
    : bytes_(bytes), is_wide_(false), size_(bytes.size()), pos_(offset), line_(first_line) {}

FieldReader::FieldReader(std::u32string_view text, std::size_t offset, std::size_t first_line)
    : wide_(text), is_wide_(true), size_(text.size()), pos_(offset), line_(first_line) {}

// After a field: blanks, then one comma or one line end (CR, CR LF or LF), if present.
template <typename Char>
brandel_hot void FieldReader::skip_separator(std::basic_string_view<Char> text) {
    pos_ = skip_blanks(text, pos_);
    if (pos_ >= size_)
        return;
    const Char c = text[pos_];
    if (c == ',') {
        ++pos_;
    } else if (c == '\r') {
        ++pos_;
        if (pos_ < size_ && text[pos_] == '\n')
            ++pos_;
        ++line_;
    } else if (c == '\n') {
        ++pos_;
        ++line_;
    }
}

void FieldReader::end_of_file() const {
    raise(ErrorKind::end_of_file,
          "line " + std::to_string(line_) + ": the file ends where a value was expected");
}

template <typename Char>
std::u32string FieldReader::field_of(std::basic_string_view<Char> text) {
    while (pos_ < size_ && (text[pos_] == ' ' || text[pos_] == '\t'))
        ++pos_;
    if (at_end())
        end_of_file();
    std::size_t begin = pos_;
    std::size_t end = pos_;
    if (text[pos_] == '"') {
        begin = ++pos_;
        // A line end inside the quotes: CR, CR LF or LF each count one line.
        while (pos_ < size_ && text[pos_] != '"') {
            if (text[pos_] == '\r' ||
                (text[pos_] == '\n' && (pos_ == begin || text[pos_ - 1] != '\r')))
                ++line_;
            ++pos_;
        }
        end = pos_;
        if (pos_ < size_)
            ++pos_;  // the closing quote
        // What follows the closing quote up to the separator is not part of the field.
        while (pos_ < size_ && !ends_field(static_cast<char32_t>(text[pos_])))
            ++pos_;
    } else {
        while (pos_ < size_ && !ends_field(static_cast<char32_t>(text[pos_])))
            ++pos_;
        end = pos_;
    }
    std::u32string field;
    if constexpr (sizeof(Char) == 1)
        field = decode_cp932(text.substr(begin, end - begin));
    else
        field = std::u32string(text.substr(begin, end - begin));
    skip_separator(text);
    return field;
}

template <typename Char>
double FieldReader::number_of(std::basic_string_view<Char> text) {
    pos_ = skip_blanks(text, pos_);
    if (at_end())
        end_of_file();
    if (text[pos_] == '"')
        return leading_number(field_of(text));
    const std::size_t begin = pos_;
    // The common field, an optional sign and at most 15 digits (exact as a double) ended by a
    // separator or the end of the text, is read as it is scanned.
    std::size_t i = pos_;
    bool negative = false;
    if (text[i] == '-' || text[i] == '+')
        negative = text[i++] == '-';
    const std::size_t first = i;
    std::uint64_t whole = 0;
    while (i < size_ && i - first < 15 && static_cast<char32_t>(text[i]) - U'0' < 10u)
        whole = whole * 10 + static_cast<std::uint64_t>(text[i++] - '0');
    double value;
    if (i > first && (i >= size_ || ends_number(static_cast<char32_t>(text[i])))) {
        pos_ = i;
        value = negative ? -static_cast<double>(whole) : static_cast<double>(whole);
    } else {
        pos_ = i;
        while (pos_ < size_ && !ends_number(static_cast<char32_t>(text[pos_])))
            ++pos_;
        value = leading_number(text.substr(begin, pos_ - begin));
    }
    skip_separator(text);
    return value;
}

std::u32string FieldReader::next_field() {
    return is_wide_ ? field_of(wide_) : field_of(bytes_);
}

std::size_t FieldReader::next_plain_numbers(std::uint32_t* out, std::size_t max, std::size_t width,
                                            std::size_t taken) {
    if (is_wide_)
        return 0;
    // The position and line are kept in locals while the table is read.
    const char* bytes = bytes_.data();
    const std::size_t size = size_;
    std::size_t pos = pos_;
    std::size_t line = line_;
    std::size_t read = 0;
    std::size_t one_by_one = 0;  // fields to read one at a time before chunks are tried again
    while (read < max) {
        // Sixty-four bytes at a time, from a field that starts with a digit after any blanks: the
        // classes of the bytes place every field of the chunk at once, so no field waits for the
        // one before it to be read. Where a chunk holds fewer than two such fields, the next
        // fields are read one at a time.
        while (one_by_one == 0 && read < max) {
            std::size_t at = pos;
            if (at < size && bytes[at] == ' ')
                at = skip_blank_run(bytes_, at);  // the blanks the next field skips
            if (at + 72 > size || static_cast<unsigned char>(bytes[at] - '0') >= 10)
                break;
            const ByteClasses c = classify64(bytes + at);
            // Between two fields stand blanks and at most one separator: a comma or a line end
            // (CR, LF or CR LF). The table is plain up to the first byte of another kind, the
            // first separator that follows another with only blanks between (an empty field),
            // and the first run of eight digits, which the general rule reads. A carry set after
            // each separator runs through the blanks and lands on what follows them.
            const std::uint64_t lf_of_cr_lf = c.lfs & (c.crs << 1);
            const std::uint64_t separators = c.commas | c.crs | (c.lfs & ~lf_of_cr_lf);
            const std::uint64_t gaps = c.blanks | lf_of_cr_lf;
            const std::uint64_t two = c.digits & (c.digits >> 1);
            const std::uint64_t four = two & (two >> 2);  // bit i: bytes i to i + 3 are digits
            const std::uint64_t eight = four & (four >> 4);
            const std::uint64_t odd =
                ~(c.digits | separators | gaps) | ((gaps + (separators << 1)) & separators) | eight;
            const std::uint64_t plain = (odd & (~odd + 1)) - 1;
            // A field is read when the next one starts among the plain bytes, so that everything
            // between them is known.
            std::uint64_t starts = c.digits & ~(c.digits << 1) & plain;
            std::uint64_t ends = ~c.digits & (c.digits << 1);  // the byte after each field
            const std::size_t runs = static_cast<std::size_t>(bit_count(starts));
            const std::size_t fields = runs == 0 ? 0 : std::min(runs - 1, max - read);
            if (fields == 0) {
                one_by_one = 16;
                break;
            }
            // Where the next field starts and ends.
            int first = 0;
            int end = 0;
            auto next_field = [&] {
                first = lowest_bit(starts);
                end = lowest_bit(ends);
                starts &= starts - 1;
                ends &= ends - 1;
            };
            std::size_t k = 0;
            if (width > 1) {
                // Records of several fields: only the taken field of each is worth converting.
                std::size_t field = read % width;
                for (; k < fields; ++k) {
                    next_field();
                    if (field == taken)
                        out[read + k] = digits_value(load8(bytes + at + first), end - first);
                    field = field + 1 == width ? 0 : field + 1;
                }
            } else if ((four & (c.digits >> 4) & plain) == 0) {
                // No field of five digits or more: two fields are read together, each moved to
                // the top of its own half of one word.
                for (; k + 2 <= fields; k += 2) {
                    next_field();
                    const std::uint64_t a = load8(bytes + at + first) << (64 - 8 * (end - first));
                    next_field();
                    const std::uint64_t b = load8(bytes + at + first) << (64 - 8 * (end - first));
                    const std::uint64_t values = four_digit_pair((a >> 32) | b);
                    out[read + k] = static_cast<std::uint32_t>(values);
                    out[read + k + 1] = static_cast<std::uint32_t>(values >> 32);
                }
            }
            for (; k < fields; ++k) {
                next_field();
                out[read + k] = digits_value(load8(bytes + at + first), end - first);
            }
            read += fields;
            // On to the next field; the line ends passed are counted.
            const auto next = static_cast<unsigned>(lowest_bit(starts));
            const std::uint64_t line_ends = c.crs | (c.lfs & ~lf_of_cr_lf);
            line +=
                static_cast<std::size_t>(bit_count(line_ends & ((std::uint64_t{1} << next) - 1)));
            pos = at + next;
            if (fields < 2)
                one_by_one = 16;
        }
        if (read == max)
            break;
        std::size_t p = pos;
        if (p < size && (bytes[p] == ' ' || bytes[p] == '\t'))
            p = skip_blank_run(bytes_, p);
        if (p + 8 > size)
            break;
        const std::uint64_t w = load8(bytes + p);
        std::uint32_t value = 0;
        const int count = leading_digits(w, value);
        if (count == 0 || count == 8)
            break;
        auto after = static_cast<unsigned char>(w >> (8 * count));
        p += static_cast<std::size_t>(count);
        if (after == ' ' || after == '\t') {
            // Blanks, then perhaps the separator.
            p = skip_blank_run(bytes_, p);
            after = p < size ? static_cast<unsigned char>(bytes[p]) : 0;
            if (after != ',' && after != '\r' && after != '\n')
                after = 0;
        } else if (after != ',' && after != '\r' && after != '\n') {
            break;
        }
        if (after == ',') {
            ++p;
        } else if (after != 0) {
            ++p;
            if (after == '\r' && p < size && bytes[p] == '\n')
                ++p;
            ++line;
        }
        out[read++] = value;
        pos = p;
        one_by_one -= one_by_one > 0 ? 1 : 0;
    }
    pos_ = pos;
    line_ = line;
    return read;
}

std::string_view FieldReader::field_bytes(std::size_t begin, std::size_t end) const {
    if (is_wide_)
        return {};
    end = std::min(end, size_);
    auto separates = [](char c) {
        return c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n';
    };
    while (begin < end && (bytes_[begin] == ' ' || bytes_[begin] == '\t'))
        ++begin;
    while (end > begin && separates(bytes_[end - 1]))
        --end;
    return bytes_.substr(begin, end - begin);
}

double FieldReader::next_number_by_rule() {
    return is_wide_ ? number_of(wide_) : number_of(bytes_);
}

}  // namespace brandel::spectrum

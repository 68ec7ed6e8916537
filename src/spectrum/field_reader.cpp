#include "spectrum/text_source.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

#include "spectrum/ascii_words.hpp"
#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/text.hpp"

// The reading of fields and numbers from a text: one after another, as the table layouts hold them.

namespace brandel::spectrum {

namespace {

using namespace ascii_words;

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

}  // namespace

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

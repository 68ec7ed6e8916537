#include "spectrum/text_source.hpp"

#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/numbers.hpp"

namespace brandel::spectrum {

namespace {
// The buffers of the last text of this thread, kept for the next one: converting many files then
// reuses one block of memory instead of mapping and clearing fresh pages for every file.
// A text of more characters than this is not kept, so one huge file does not hold its memory.
constexpr std::size_t max_spare = std::size_t{4} << 20;
thread_local std::u32string spare_text;
}  // namespace

TextSource::TextSource(std::u32string text) : text_(std::move(text)) {
    cut_lines();
}

TextSource TextSource::from_bytes(std::string_view bytes) {
    TextSource source;
    source.text_ = std::move(spare_text);
    decode_cp932(bytes, source.text_);
    source.cut_lines();
    return source;
}

TextSource::~TextSource() {
    if (text_.capacity() > spare_text.capacity() && text_.capacity() <= max_spare)
        spare_text = std::move(text_);
}

void TextSource::cut_lines() {
    lines_.clear();
    std::size_t begin = 0;
    const std::size_t n = text_.size();
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = text_[i];
        if (c != U'\r' && c != U'\n')
            continue;
        lines_.push_back({begin, i - begin});
        if (c == U'\r' && i + 1 < n && text_[i + 1] == U'\n')
            ++i;
        begin = i + 1;
    }
    if (begin < n)
        lines_.push_back({begin, n - begin});
}

std::u32string_view TextSource::line(std::size_t i) const {
    const Span& s = lines_.at(i);
    return std::u32string_view(text_).substr(s.begin, s.length);
}

std::size_t TextSource::line_start(std::size_t i) const {
    return i < lines_.size() ? lines_[i].begin : text_.size();
}

FieldReader::FieldReader(std::u32string_view text, std::size_t offset, std::size_t first_line)
    : text_(text), pos_(offset), line_(first_line) {}

void FieldReader::skip_blanks() {
    while (pos_ < text_.size() && (text_[pos_] == U' ' || text_[pos_] == U'\t'))
        ++pos_;
}

// After a field: blanks, then one comma or one line end (CR, CR LF or LF), if present.
void FieldReader::skip_separator() {
    skip_blanks();
    if (pos_ >= text_.size())
        return;
    char32_t c = text_[pos_];
    if (c == U',') {
        ++pos_;
    } else if (c == U'\r') {
        ++pos_;
        if (pos_ < text_.size() && text_[pos_] == U'\n')
            ++pos_;
        ++line_;
    } else if (c == U'\n') {
        ++pos_;
        ++line_;
    }
}

void FieldReader::end_of_file() const {
    raise(ErrorKind::end_of_file,
          "line " + std::to_string(line_) + ": the file ends where a value was expected");
}

std::u32string FieldReader::next_field() {
    skip_blanks();
    if (at_end())
        end_of_file();
    std::u32string field;
    if (pos_ < text_.size() && text_[pos_] == U'"') {
        ++pos_;
        while (pos_ < text_.size() && text_[pos_] != U'"') {
            // A line end inside the quotes: CR, CR LF or LF each count one line.
            if (text_[pos_] == U'\r' || (text_[pos_] == U'\n' && !field.ends_with(U'\r')))
                ++line_;
            field.push_back(text_[pos_++]);
        }
        if (pos_ < text_.size())
            ++pos_;  // the closing quote
        // What follows the closing quote up to the separator is not part of the field.
        while (pos_ < text_.size() && text_[pos_] != U',' && text_[pos_] != U'\r' &&
               text_[pos_] != U'\n')
            ++pos_;
    } else {
        while (pos_ < text_.size() && text_[pos_] != U',' && text_[pos_] != U'\r' &&
               text_[pos_] != U'\n')
            field.push_back(text_[pos_++]);
    }
    skip_separator();
    return field;
}

double FieldReader::next_number() {
    skip_blanks();
    if (at_end())
        end_of_file();
    if (pos_ < text_.size() && text_[pos_] == U'"')
        return leading_number(next_field());
    std::size_t begin = pos_;
    while (pos_ < text_.size() && text_[pos_] != U',' && text_[pos_] != U'\r' &&
           text_[pos_] != U'\n' && text_[pos_] != U' ' && text_[pos_] != U'\t')
        ++pos_;
    double value = leading_number(text_.substr(begin, pos_ - begin));
    skip_separator();
    return value;
}

}  // namespace brandel::spectrum

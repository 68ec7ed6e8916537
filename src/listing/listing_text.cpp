#include "listing/listing_text.hpp"

#include "spectrum/text.hpp"

namespace brandel::listing {

namespace {

// A cell as one field of a TAB-separated line: control characters become blanks, so that a
// comment holding a line break stays on its row.
std::string tab_field(std::u32string_view cell) {
    std::u32string text(cell);
    for (char32_t& c : text)
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            c = U' ';
    return spectrum::to_utf8(text);
}

// A cell as one CSV field, kept exactly: quoted when it holds a comma, a quote, a line break or
// any other control character.
std::string csv_field(std::u32string_view cell) {
    std::string text = spectrum::to_utf8(cell);
    bool plain = true;
    for (unsigned char c : text)
        if (c == ',' || c == '"' || c < 0x20 || c == 0x7F)
            plain = false;
    if (plain)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string listing_text(const Grid& grid, TableText kind) {
    const bool csv = kind == TableText::csv;
    std::string out;
    for (int r = 0; r < grid.rows(); ++r) {
        for (int c = 0; c < grid.cols(); ++c) {
            if (c > 0)
                out += csv ? ',' : '\t';
            std::u32string cell = grid.cell_text(r, c);
            if (r == 0)
                cell = spectrum::trim_blanks(cell);
            out += csv ? csv_field(cell) : tab_field(cell);
        }
        out += csv ? "\r\n" : "\n";
    }
    return out;
}

}  // namespace brandel::listing

#include "listing/grid.hpp"

namespace brandel::listing {

std::vector<ColumnFormat> parse_format_string(std::u32string_view format) {
    std::vector<ColumnFormat> columns;
    std::size_t start = 0;
    while (true) {
        std::size_t bar = format.find(U'|', start);
        std::u32string_view part = format.substr(
            start, bar == std::u32string_view::npos ? std::u32string_view::npos : bar - start);
        ColumnFormat column;
        if (!part.empty() && (part[0] == U'<' || part[0] == U'>' || part[0] == U'^')) {
            column.alignment = part[0] == U'<'   ? Alignment::left
                               : part[0] == U'>' ? Alignment::right
                                                 : Alignment::center;
            part.remove_prefix(1);
        }
        column.header = std::u32string(part);
        columns.push_back(std::move(column));
        if (bar == std::u32string_view::npos)
            break;
        start = bar + 1;
    }
    return columns;
}

}  // namespace brandel::listing

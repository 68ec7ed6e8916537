// Fuzz target of the printf-style formatter and the picture formatting under it.
//
// The input is a format, then values, each after a NUL byte: a value's first byte picks its kind
// (0 text, 1 the eight following bytes as a double, 2 a number read from the text), the rest is
// its text in code page 932. format_printf may raise only its two documented errors;
// picture_format, run with the format as its pattern on every value, raises nothing.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.hpp"
#include "listing/format_printf.hpp"
#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"

namespace {

using brandel::listing::PrintfValue;

PrintfValue value_of(std::string_view part) {
    const unsigned kind = part.empty() ? 0 : static_cast<unsigned char>(part[0]) % 3;
    if (!part.empty())
        part.remove_prefix(1);
    if (kind == 1) {
        unsigned char raw[sizeof(double)] = {};
        std::memcpy(raw, part.data(), std::min(part.size(), sizeof raw));
        double v;
        std::memcpy(&v, raw, sizeof v);
        return v;
    }
    if (kind == 2)
        return std::strtod(std::string(part).c_str(), nullptr);
    return brandel::spectrum::decode_cp932(part);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using brandel::fuzz::check;
    using brandel::fuzz::fail;
    using brandel::spectrum::ErrorKind;

    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t end = input.find('\0');
    const std::u32string format = brandel::spectrum::decode_cp932(input.substr(0, end));
    std::vector<PrintfValue> values;
    while (end != std::string_view::npos && values.size() < 16) {
        std::size_t start = end + 1;
        end = input.find('\0', start);
        values.push_back(value_of(input.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start)));
    }

    std::u32string out;
    try {
        brandel::listing::format_printf(format, values, out);
    } catch (const brandel::spectrum::SpectrumError& e) {
        check(e.kind() == ErrorKind::out_of_range || e.kind() == ErrorKind::overflow,
              std::string("format_printf raised an undocumented error: ") + e.what());
    } catch (const std::exception& e) {
        fail(std::string("format_printf threw: ") + e.what());
    }
    for (const PrintfValue& value : values) {
        try {
            brandel::listing::picture_format(value, format);
        } catch (const std::exception& e) {
            fail(std::string("picture_format threw: ") + e.what());
        }
    }
    return 0;
}

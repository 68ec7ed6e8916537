#include "app/recognition.hpp"

#include <memory>

#include "readers/labo_list.hpp"

namespace brandel::app {

std::vector<const OrgType*> fitting_types(std::string_view bytes) {
    std::vector<const OrgType*> fits;
    // One scratch record for all the readings; the record is large, so it lives on the heap.
    auto scratch = std::make_unique<spectrum::State>();
    for (const OrgType& type : org_types())
        if (type.layout != nullptr &&
            readers::read_source(*scratch, *type.layout, bytes).complete())
            fits.push_back(&type);
    return fits;
}

readers::ReaderResult read_as(spectrum::State& state, const OrgType& type, std::string_view bytes) {
    if (type.layout == nullptr) {
        readers::ReaderResult result;
        result.outcome = readers::Outcome::read_error;
        result.reason = std::string(type.caption) + " files have no reader";
        return result;
    }
    return readers::read_source(state, *type.layout, bytes);
}

readers::ReaderResult read_as_fitting(spectrum::State& state, std::string_view bytes,
                                      const std::vector<const OrgType*>& fits) {
    if (fits.size() == 1)
        return read_as(state, *fits.front(), bytes);
    readers::ReaderResult result;
    result.outcome = readers::Outcome::read_error;
    if (fits.empty()) {
        // A damaged Labo(Old) file is told as such: its header shows what it was meant to be.
        const std::string damage = readers::labo_old_damage(bytes);
        result.reason = damage.empty() ? "it fits no layout"
                                       : "it looks like a damaged Labo(Old) file: " + damage;
    } else {
        result.reason = "it fits more than one layout: ";
        for (std::size_t i = 0; i < fits.size(); ++i)
            result.reason += (i > 0 ? ", " : "") + std::string(fits[i]->caption);
    }
    return result;
}

std::string fits_text(const std::vector<const OrgType*>& fits) {
    if (fits.empty())
        return "it fits no layout";
    std::string text = "it reads as ";
    for (std::size_t i = 0; i < fits.size(); ++i) {
        if (i > 0)
            text += i + 1 == fits.size() ? " or " : ", ";
        text += fits[i]->caption;
    }
    return text;
}

Recognition recognise_file(const std::string& path) {
    Recognition r;
    r.source = readers::load_source_file(path);
    if (r.source.loaded)
        r.fits = fitting_types(r.source.bytes);
    return r;
}

}  // namespace brandel::app

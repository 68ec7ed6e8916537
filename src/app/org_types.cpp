#include "app/org_types.hpp"

#include <array>
#include <charconv>

#include "readers/canberra_txt.hpp"
#include "readers/kaihouken.hpp"
#include "readers/labo.hpp"
#include "readers/labo_list.hpp"
#include "readers/oxford_asc.hpp"

namespace brandel::app {

namespace {
// The index is the only key: the families are not grouped by index.
constexpr std::array<OrgType, 9> types = {{
    {0, "canberra-txt", "CANBERRA(txt)", "*.txt", readers::read_org_canberra_txt,
     &readers::canberra_txt_layout},
    {1, "labo-new", "Labo(New)", "*.*", readers::read_org_labo_new, &readers::labo_new_layout},
    {2, "naig", "NAIG", "*.*", nullptr, nullptr},
    {3, "kaihouken-dat", "原研開放研(dat)", "*.dat", readers::read_org_kaihouken_dat,
     &readers::kaihouken_dat_layout},
    {4, "kaihouken-csv", "原研開放研(csv)", "*.csv", readers::read_org_kaihouken_csv,
     &readers::kaihouken_csv_layout},
    {5, "labo-old", "Labo(Old)", "*.*", readers::read_org_labo_old, &readers::labo_old_layout},
    {6, "labo-list", "Labo(LIST)", "*.*", readers::read_org_labo_list, &readers::labo_list_layout},
    {7, "kaihouken-txt", "原研開放研(txt)", "*.txt", readers::read_org_kaihouken_txt,
     &readers::kaihouken_txt_layout},
    {8, "oxford-asc", "Oxford  (asc)", "*.asc", readers::read_org_oxford_asc,
     &readers::oxford_asc_layout},
}};
}  // namespace

std::span<const OrgType> org_types() {
    return types;
}

const OrgType* find_org_type(int index) {
    if (index < 0 || index >= static_cast<int>(types.size()))
        return nullptr;
    return &types[static_cast<std::size_t>(index)];
}

const OrgType* find_org_type(std::string_view name_or_index) {
    for (const OrgType& t : types)
        if (t.name == name_or_index)
            return &t;
    int index = -1;
    auto [end, ec] =
        std::from_chars(name_or_index.data(), name_or_index.data() + name_or_index.size(), index);
    if (ec != std::errc() || end != name_or_index.data() + name_or_index.size())
        return nullptr;
    return find_org_type(index);
}

}  // namespace brandel::app

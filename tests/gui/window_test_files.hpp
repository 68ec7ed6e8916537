#pragma once

// What the window tests put into their folders and read back from the file lists and the disk.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "gui/file_list.hpp"

namespace brandel::gui_test {

using Names = std::vector<std::string>;

// A small CANBERRA text report of four channels.
inline const char* const good_report =
    "Sample Name  : test\r\n"
    "Channel No   :    4\r\n"
    "Live Time    : 100.0\r\n"
    "True Time    : 101.0\r\n"
    "Date Time    :2003/07/15 09:41\r\n"
    "\r\n\r\n\r\n"
    "1, 10, 2, 20, 3, 30, 4, 40\r\n";

// The names a file list shows, in its order.
inline Names entries(const gui::FileList* list) {
    Names names;
    for (int i = 0; i < list->entry_count(); ++i)
        names.push_back(list->entry(i));
    return names;
}

// The names of a folder's entries, sorted.
inline Names files_in(const std::filesystem::path& folder) {
    Names names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace brandel::gui_test

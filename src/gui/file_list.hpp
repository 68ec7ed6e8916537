#pragma once

#include <QListWidget>

#include <string>
#include <vector>

namespace brandel::gui {

// Paths are kept as UTF-8 std::string, the way the driver takes them, so that a name passes
// through the window unchanged.

/// A file list: the files of one folder that match a pattern, or any of several patterns,
/// sorted by name.
class FileList : public QListWidget {
    Q_OBJECT
  public:
    explicit FileList(QWidget* parent = nullptr);

    const std::string& path() const { return path_; }
    /// The patterns, separated by ";" when there are several ("*.chn;*.spe").
    const std::string& pattern() const { return pattern_; }
    const std::vector<std::string>& patterns() const { return patterns_; }
    void set_path(const std::string& folder);
    void set_pattern(const std::string& pattern) { set_patterns({pattern}); }
    /// Lists the files that match any of the patterns; none lists nothing.
    void set_patterns(std::vector<std::string> patterns);
    /// Reads the folder again, keeping the selected and the current file where they are still
    /// listed. A folder that cannot be read shows an empty list.
    void refresh();

    int entry_count() const { return static_cast<int>(names_.size()); }
    const std::string& entry(int index) const { return names_[static_cast<std::size_t>(index)]; }
    bool entry_selected(int index) const;

  private:
    std::string path_;
    std::vector<std::string> patterns_{"*.*"};
    std::string pattern_ = "*.*";
    std::vector<std::string> names_;
};

}  // namespace brandel::gui

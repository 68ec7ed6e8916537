#pragma once

#include <QWidget>

#include <array>
#include <string>
#include <vector>

#include "formats/output_formats.hpp"

class QCheckBox;

namespace brandel::gui {

/// The row "Write as:" under the CHN file list: one check box for each output format, "CHN",
/// "SPE", "N42" and "CSV" (object names "format_chn" and so on). At least one stays checked: a
/// click on the last checked box leaves it checked. CHN alone is checked until told otherwise.
class FormatChoice : public QWidget {
    Q_OBJECT
  public:
    explicit FormatChoice(QWidget* parent = nullptr);

    /// The checked formats, in the order a conversion writes them.
    formats::FormatList chosen() const;
    /// Checks these formats and no others; an empty list checks CHN alone. Emits nothing.
    void set_chosen(const formats::FormatList& chosen);
    /// The file patterns of the checked formats: "*.chn", "*.spe", ...
    std::vector<std::string> patterns() const;

    QCheckBox* box(const formats::OutputFormat& format) const;

  signals:
    /// The user checked or unchecked a format.
    void changed();

  private:
    void toggled(QCheckBox* box, bool checked);

    std::array<QCheckBox*, 4> boxes_{};
};

}  // namespace brandel::gui

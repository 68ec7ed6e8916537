#pragma once

#include <QWidget>

#include <string>

class QCheckBox;
class QLabel;

namespace brandel::gui {

class SpectrumPlot;
struct PreviewReading;

/// The preview at the right of the main window: for the file under the cursor, the layouts it
/// fits, what it holds read under the chosen type (or the one layout it fits), or why it does
/// not read, and a plot of its counts. A file that does not fit the chosen type says so in red
/// before anything is converted. Nothing is written.
class PreviewPane : public QWidget {
    Q_OBJECT
  public:
    explicit PreviewPane(QWidget* parent = nullptr);

    /// A source file, with the type chosen for it (0..8) or -1 while none is.
    void show_source(const std::string& path, int chosen_type);
    /// A CHN file.
    void show_chn(const std::string& path);
    void clear();

    /// The warning shown when the file does not fit the chosen type; empty when there is none.
    QString warning() const;
    SpectrumPlot& plot() { return *plot_; }

  private:
    void show_reading(const PreviewReading& reading, int chosen_type, bool chn);

    QLabel* name_;
    QLabel* fits_;
    QLabel* warning_;
    QLabel* sample_;
    QLabel* start_;
    QLabel* live_;
    QLabel* real_;
    QLabel* channels_;
    QLabel* calibration_;
    SpectrumPlot* plot_;
    QCheckBox* log_;
    QCheckBox* energy_;
};

}  // namespace brandel::gui

#pragma once

#include <QThread>
#include <QWidget>

#include <atomic>
#include <string>

class QCheckBox;
class QLabel;

namespace brandel::gui {

class SpectrumPlot;
struct PreviewReading;

/// The preview at the right of the main window: for the file under the cursor, the layouts it
/// fits, what it holds read under the chosen type (or the one layout it fits), or why it does
/// not read, and a plot of its counts; for a file of the CHN file list, what it holds in its
/// format. A file that does not fit the chosen type says so in red
/// before anything is converted. Nothing is written. Files are read on a thread of the pane's
/// own, so a slow disk never holds up the window; only the reading of the latest request is
/// shown.
class PreviewPane : public QWidget {
    Q_OBJECT
  public:
    explicit PreviewPane(QWidget* parent = nullptr);
    ~PreviewPane() override;

    /// A source file, with the type chosen for it (0..8) or -1 while none is.
    void show_source(const std::string& path, int chosen_type);
    /// A file of the CHN file list: a CHN file, or a file in another of the formats a
    /// conversion writes (SPE, N42, CSV).
    void show_output(const std::string& path);
    void clear();

    /// The warning shown when the file does not fit the chosen type; empty when there is none.
    QString warning() const;
    SpectrumPlot& plot() { return *plot_; }
    /// Whether a reading is under way.
    bool reading() const { return pending_; }

  private:
    void request(const std::string& path, int chosen_type, bool chn);
    void clear_fields();
    void show_reading(const PreviewReading& reading, int chosen_type, bool chn);
    void show_values(const PreviewReading& reading);

    QThread thread_;
    QObject* worker_;  // lives in thread_; runs the readings
    std::atomic<int> generation_{0};
    bool pending_ = false;

    QLabel* name_;
    QLabel* fits_;
    QLabel* warning_;
    QLabel* sample_;
    QLabel* start_;
    QLabel* live_;
    QLabel* real_;
    QLabel* channels_;
    QLabel* calibration_;
    QLabel* notes_;
    QLabel* cursor_;
    SpectrumPlot* plot_;
    QCheckBox* log_;
    QCheckBox* energy_;
};

}  // namespace brandel::gui

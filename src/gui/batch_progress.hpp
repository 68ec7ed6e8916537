#pragma once

#include <QElapsedTimer>
#include <QPointer>

#include <string>

class QProgressDialog;
class QWidget;

namespace brandel::gui {

/// The progress of a batch or listing: once it has run longer than a short delay, a modal
/// dialog "Brandel" (object name "progress") shows the files done of the total and the next
/// file's name, with a Cancel button.
class BatchProgress {
  public:
    explicit BatchProgress(QWidget* parent) : parent_(parent) {}

    /// How long a batch runs before the dialog shows, in milliseconds.
    void set_delay(int ms) { delay_ms_ = ms; }
    /// Called before each file; false once Cancel was pressed.
    bool step(int done, int total, const std::string& name);
    /// Called once the batch is over: the dialog goes.
    void done();

  private:
    QWidget* parent_;
    int delay_ms_ = 500;
    QElapsedTimer timer_;
    QPointer<QProgressDialog> dialog_;
};

}  // namespace brandel::gui

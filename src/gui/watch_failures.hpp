#pragma once

#include <QDialog>
#include <QString>

class QListWidget;

namespace brandel::gui {

/// The files a watched folder could not convert, one line each ("10:15 S0123.TXT: reason"),
/// in a window of their own (object name "watch_failures") that the user opens from the status
/// line and that stays open beside the main window.
class WatchFailures : public QDialog {
    Q_OBJECT
  public:
    explicit WatchFailures(QWidget* parent);

    void add(const QString& line);
    void clear();
    int count() const;
    QListWidget* list() const { return list_; }

  private:
    QListWidget* list_;
};

}  // namespace brandel::gui

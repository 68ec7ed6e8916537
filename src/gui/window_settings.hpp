#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <string>

class QSettings;

namespace brandel::gui {

/// What the main window keeps between runs, in the platform's settings store or in an ini
/// file: both folders, each mode's type, the window's place and the preview's visibility.
/// Nothing else is kept.
class WindowSettings {
  public:
    enum class Pane { source, destination };

    /// `file` names an ini file to keep the settings in; empty for the platform's own store.
    explicit WindowSettings(const QString& file = {});
    ~WindowSettings();

    /// Where the settings are kept (a file path or a registry key).
    QString location() const;

    /// The folder kept for a pane; empty when none is.
    QString folder(Pane pane) const;
    /// Keeps a pane's folder, once keep_folders_from_now has been called: until then the
    /// window is still on its way to the kept folders, and none of them may be overwritten.
    void keep_folder(Pane pane, const std::string& folder);
    void keep_folders_from_now() { keeping_folders_ = true; }

    /// The type kept for a mode, -1 when none is.
    int type(int mode) const;
    void keep_type(int mode, int type);

    QByteArray geometry() const;
    QByteArray splitter() const;
    void keep_geometry(const QByteArray& geometry, const QByteArray& splitter);

    bool preview_visible() const;
    void keep_preview_visible(bool visible);

  private:
    std::unique_ptr<QSettings> store_;
    bool keeping_folders_ = false;
};

}  // namespace brandel::gui

#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <string>

class QSettings;

namespace brandel::gui {

/// What the main window keeps between runs, in the platform's settings store or in an ini
/// file: both folders, each mode's type, the window's place, the preview's visibility, and the
/// choices of what a conversion writes (its formats, verification, the manifest). Nothing else
/// is kept.
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

    /// The formats a conversion writes, as names joined by commas ("chn,spe"); empty when none
    /// are kept.
    std::string formats() const;
    void keep_formats(const std::string& names);

    /// Whether each output is read back and compared before it replaces a file.
    bool verify() const;
    void keep_verify(bool verify);

    /// Whether each batch appends to the manifest, and the manifest's path (empty when none
    /// was chosen yet).
    bool write_manifest() const;
    void keep_write_manifest(bool write);
    QString manifest() const;
    void keep_manifest(const QString& path);

  private:
    std::unique_ptr<QSettings> store_;
    bool keeping_folders_ = false;
};

}  // namespace brandel::gui

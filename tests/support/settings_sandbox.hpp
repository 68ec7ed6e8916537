#pragma once

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace brandel::test_support {

/// Keeps the settings a window test writes in a folder of its own, removed at the end, so that no
/// test reads or changes the user's settings.
class SettingsSandbox {
  public:
    SettingsSandbox() {
        QStandardPaths::setTestModeEnabled(true);
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, folder_.path());
        QSettings::setDefaultFormat(QSettings::IniFormat);
    }
    /// Forgets everything kept so far.
    void clear() { QSettings().clear(); }

  private:
    QTemporaryDir folder_;
};

}  // namespace brandel::test_support

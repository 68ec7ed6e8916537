#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <string>
#include <string_view>

namespace brandel::gui {

/// The core speaks UTF-8; Qt shows QString.
inline QString qt_text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

/// A path kept in an item's data as its exact bytes, so a name that is not valid UTF-8 on a
/// POSIX file system comes back unchanged.
inline QByteArray path_data(const std::string& path) {
    return QByteArray::fromStdString(path);
}

inline std::string path_of(const QVariant& data) {
    return data.toByteArray().toStdString();
}

}  // namespace brandel::gui

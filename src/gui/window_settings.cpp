#include "gui/window_settings.hpp"

#include <QSettings>

namespace brandel::gui {

namespace {

QString key_folder(WindowSettings::Pane pane) {
    return pane == WindowSettings::Pane::source ? QStringLiteral("folders/source")
                                                : QStringLiteral("folders/destination");
}
QString key_type(int mode) {
    return QStringLiteral("types/%1").arg(mode);
}
const QString key_geometry = QStringLiteral("window/geometry");
const QString key_splitter = QStringLiteral("window/splitter");
const QString key_preview = QStringLiteral("window/preview");
const QString key_formats = QStringLiteral("output/formats");
const QString key_verify = QStringLiteral("output/verify");
const QString key_write_manifest = QStringLiteral("output/write_manifest");
const QString key_manifest = QStringLiteral("output/manifest");

}  // namespace

WindowSettings::WindowSettings(const QString& file)
    : store_(file.isEmpty() ? std::make_unique<QSettings>(QStringLiteral("Brandel"),
                                                          QStringLiteral("Brandel & Korvin"))
                            : std::make_unique<QSettings>(file, QSettings::IniFormat)) {}

WindowSettings::~WindowSettings() = default;

QString WindowSettings::location() const {
    return store_->fileName();
}

QString WindowSettings::folder(Pane pane) const {
    return store_->value(key_folder(pane)).toString();
}

void WindowSettings::keep_folder(Pane pane, const std::string& folder) {
    if (keeping_folders_)
        store_->setValue(key_folder(pane), QString::fromStdString(folder));
}

int WindowSettings::type(int mode) const {
    return store_->value(key_type(mode), -1).toInt();
}

void WindowSettings::keep_type(int mode, int type) {
    store_->setValue(key_type(mode), type);
}

QByteArray WindowSettings::geometry() const {
    return store_->value(key_geometry).toByteArray();
}

QByteArray WindowSettings::splitter() const {
    return store_->value(key_splitter).toByteArray();
}

void WindowSettings::keep_geometry(const QByteArray& geometry, const QByteArray& splitter) {
    store_->setValue(key_geometry, geometry);
    store_->setValue(key_splitter, splitter);
    store_->sync();
}

bool WindowSettings::preview_visible() const {
    return store_->value(key_preview, true).toBool();
}

void WindowSettings::keep_preview_visible(bool visible) {
    store_->setValue(key_preview, visible);
}

std::string WindowSettings::formats() const {
    return store_->value(key_formats).toString().toStdString();
}

void WindowSettings::keep_formats(const std::string& names) {
    store_->setValue(key_formats, QString::fromStdString(names));
}

bool WindowSettings::verify() const {
    return store_->value(key_verify, false).toBool();
}

void WindowSettings::keep_verify(bool verify) {
    store_->setValue(key_verify, verify);
}

bool WindowSettings::write_manifest() const {
    return store_->value(key_write_manifest, false).toBool();
}

void WindowSettings::keep_write_manifest(bool write) {
    store_->setValue(key_write_manifest, write);
}

QString WindowSettings::manifest() const {
    return store_->value(key_manifest).toString();
}

void WindowSettings::keep_manifest(const QString& path) {
    store_->setValue(key_manifest, path);
}

}  // namespace brandel::gui

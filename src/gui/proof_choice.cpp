#include "gui/proof_choice.hpp"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QToolButton>

namespace brandel::gui {

ProofChoice::ProofChoice(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("proof_choice"));
    verify_ = new QCheckBox(QStringLiteral("Verify each file"), this);
    verify_->setObjectName(QStringLiteral("verify"));
    verify_->setToolTip(
        QStringLiteral("Read every file back before it replaces anything and compare it with "
                       "the spectrum it was written from; a difference fails the file"));
    write_manifest_ = new QCheckBox(QStringLiteral("Write a manifest"), this);
    write_manifest_->setObjectName(QStringLiteral("write_manifest"));
    choose_ = new QToolButton(this);
    choose_->setObjectName(QStringLiteral("choose_manifest"));
    choose_->setText(QStringLiteral("..."));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(verify_);
    layout->addWidget(write_manifest_);
    layout->addWidget(choose_);
    layout->addStretch(1);

    connect(verify_, &QCheckBox::toggled, this, &ProofChoice::changed);
    connect(write_manifest_, &QCheckBox::toggled, this, &ProofChoice::manifest_toggled);
    connect(choose_, &QToolButton::clicked, this, &ProofChoice::choose_manifest);
    show_manifest();
}

bool ProofChoice::verify() const {
    return verify_->isChecked();
}

bool ProofChoice::write_manifest() const {
    return write_manifest_->isChecked() && !manifest_.isEmpty();
}

void ProofChoice::set_choices(bool verify, bool write_manifest, const QString& manifest) {
    const QSignalBlocker block_verify(verify_);
    const QSignalBlocker block_manifest(write_manifest_);
    manifest_ = manifest;
    verify_->setChecked(verify);
    write_manifest_->setChecked(write_manifest && !manifest_.isEmpty());
    show_manifest();
}

void ProofChoice::manifest_toggled(bool checked) {
    if (checked && manifest_.isEmpty()) {
        // The first time: the file is chosen now, or nothing is written.
        const QString chosen = chooser_ ? chooser_(manifest_) : QString();
        if (chosen.isEmpty()) {
            const QSignalBlocker block(write_manifest_);
            write_manifest_->setChecked(false);
            return;
        }
        manifest_ = chosen;
        show_manifest();
    }
    emit changed();
}

void ProofChoice::choose_manifest() {
    const QString chosen = chooser_ ? chooser_(manifest_) : QString();
    if (chosen.isEmpty())
        return;
    manifest_ = chosen;
    // Choosing a manifest is asking for one.
    const QSignalBlocker block(write_manifest_);
    write_manifest_->setChecked(true);
    show_manifest();
    emit changed();
}

void ProofChoice::show_manifest() {
    // Rich text, so that a file name is shown as it is whatever it holds.
    const QString file = QDir::toNativeSeparators(manifest_).toHtmlEscaped();
    write_manifest_->setToolTip(
        manifest_.isEmpty()
            ? QStringLiteral("After each batch, append a line per file to a manifest (CSV): "
                             "the SHA-256 of the file and of what it became")
            : QStringLiteral("<p>After each batch, append a line per file to %1</p>").arg(file));
    choose_->setToolTip(
        manifest_.isEmpty()
            ? QStringLiteral("Choose the manifest file")
            : QStringLiteral("<p>Choose another manifest file than %1</p>").arg(file));
}

}  // namespace brandel::gui

#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class QCheckBox;
class QToolButton;

namespace brandel::gui {

/// The row under "Write as:" that makes a conversion prove itself: "Verify each file" (object
/// name "verify") reads every file back before it replaces anything, and "Write a manifest"
/// ("write_manifest") appends a line per source to a manifest file after each batch. The file
/// is chosen when the box is first checked, and another with the button "..."
/// ("choose_manifest").
class ProofChoice : public QWidget {
    Q_OBJECT
  public:
    /// Asks the user for a manifest file, starting at `current` (empty when none was chosen
    /// yet); returns the file, or an empty text when the user chose none.
    using Chooser = std::function<QString(const QString& current)>;

    explicit ProofChoice(QWidget* parent = nullptr);

    void set_chooser(Chooser chooser) { chooser_ = std::move(chooser); }

    bool verify() const;
    /// Whether a manifest is written: the box is checked and a file is chosen.
    bool write_manifest() const;
    /// The manifest file chosen, whether or not it is written; empty while none is.
    const QString& manifest() const { return manifest_; }

    /// Shows what was kept; emits nothing. A manifest without a file stays unchecked.
    void set_choices(bool verify, bool write_manifest, const QString& manifest);

  signals:
    /// The user changed one of the choices.
    void changed();

  private:
    void manifest_toggled(bool checked);
    void choose_manifest();
    void show_manifest();

    QCheckBox* verify_;
    QCheckBox* write_manifest_;
    QToolButton* choose_;
    QString manifest_;
    Chooser chooser_;
};

}  // namespace brandel::gui

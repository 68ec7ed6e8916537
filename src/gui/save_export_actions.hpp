#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

#include "listing/chn_edits.hpp"
#include "listing/listing.hpp"

class QAction;
class QPushButton;
class QWidget;

namespace brandel::gui {

class TableGrid;

/// The grid window's two file actions, each as a button and as a File menu item: "Save edits to
/// CHN files…" writes the edited cells into their files, "Export…" writes the grid as CSV. Their
/// messages are modal boxes over the window.
class SaveExportActions final : public QObject {
    Q_OBJECT
  public:
    SaveExportActions(TableGrid& grid, QWidget& window);

    QPushButton& save_button() { return *save_button_; }
    QPushButton& export_button() { return *export_button_; }
    QAction& save_action() { return *save_action_; }
    QAction& export_action() { return *export_action_; }

    /// The files behind the grid's rows, and how the owner makes the listing again from the
    /// files (after the edits were saved).
    void set_listing(const listing::ListingState* listing, std::function<void()> remake_listing);
    /// A listing of `folder` was made: nothing is edited yet, and Export needs rows.
    void listing_made(const QString& folder);
    /// A cell was edited: Save is offered.
    void cell_edited();

    /// After a confirmation that lists them, writes the edited cells into their files, makes
    /// the listing again and says what was saved.
    void save_edits();
    /// The grid as CSV into a file the user chooses.
    void export_listing();

    /// Whether a Date, Time or comment cell holds an edit that is not in its file.
    bool has_edits() const;
    /// Whether the window may close. With edits in the grid, the user is asked first: Save
    /// writes them (the window stays open when none of them can be saved), Discard drops them,
    /// Cancel keeps the window open.
    bool may_close();

  signals:
    /// A line for the window's status line.
    void status(const QString& text);

  private:
    void write_edits(const std::vector<listing::FileEdits>& edits);
    bool none_savable(const std::vector<listing::FileEdits>& edits);
    void set_save_enabled(bool enabled);
    void message(const QString& text);

    TableGrid& grid_;
    QWidget& window_;
    QPushButton* save_button_;
    QPushButton* export_button_;
    QAction* save_action_;
    QAction* export_action_;
    const listing::ListingState* listing_ = nullptr;
    std::function<void()> remake_listing_;
    QString folder_;
};

}  // namespace brandel::gui

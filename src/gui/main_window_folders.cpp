#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include "gui/dir_list.hpp"
#include "gui/file_list.hpp"
#include "gui/file_pane.hpp"
#include "gui/main_window.hpp"
#include "gui/watch_runner.hpp"

// The main window's folders: each pane follows its folder on the disk, and files and folders
// dropped on the window open in the pane they were dropped on.

namespace brandel::gui {

// Opens each folder in its pane, or the home folder where it is gone, and says which are gone.
void MainWindow::open_or_home(const std::vector<std::pair<FilePane*, std::string>>& folders) {
    QStringList gone;
    for (const auto& [pane, folder] : folders) {
        const QString shown = QDir::toNativeSeparators(QString::fromStdString(folder));
        if (!pane->open_or_home(folder) && !gone.contains(shown))
            gone << shown;
    }
    if (!gone.isEmpty())
        tell(QStringLiteral("The folder %1 no longer exists; the home folder is shown.")
                 .arg(gone.join(QStringLiteral(" and "))));
}

void MainWindow::follow_disk() {
    // A folder removed by another program: the pane goes where it would go at the start.
    std::vector<std::pair<FilePane*, std::string>> gone;
    for (FilePane* pane : {Frame1, Frame2}) {
        // A watched folder that goes (an unplugged drive) is waited for: the pane stays.
        const bool watched = watching() && (pane->folder() == watching_->source ||
                                            pane->folder() == watching_->destination);
        if (!pane->folder_exists() && !watched)
            gone.emplace_back(pane, pane->folder());
    }
    open_or_home(gone);
    Frame1->files()->refresh();
    Frame2->files()->refresh();
}

void MainWindow::watch_folders() {
    watch_.watch({Frame1->folder(), Frame2->folder()});
}

void MainWindow::refresh_panes() {
    for (FilePane* pane : {Frame1, Frame2}) {
        // Opening the same folder again lists its subfolders and files anew; the file lists
        // keep their selection.
        if (pane->folder_exists())
            pane->dir()->reopen();
    }
    Frame1->files()->refresh();
    Frame2->files()->refresh();
    tell(QStringLiteral("Folders read again."));
}

void MainWindow::show_open_failure(const QString& folder, const QString& reason) {
    message_box(("The folder cannot be opened:\n" + folder + "\n" + reason).toStdString());
}

void MainWindow::open_paths(const QStringList& paths, bool destination) {
    const QString said = (destination ? Frame2 : Frame1)->open_paths(paths, !destination);
    if (!said.isEmpty())
        tell(said);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    if (paths.isEmpty())
        return;
    // The destination pane takes what is dropped on it; everything else goes to the source
    // pane, unless CHN_edit hides it.
    const QPoint at = Frame2->mapFrom(this, event->position().toPoint());
    const bool destination = Frame2->rect().contains(at) || !Frame1->isVisible();
    open_paths(paths, destination);
    event->acceptProposedAction();
}

}  // namespace brandel::gui

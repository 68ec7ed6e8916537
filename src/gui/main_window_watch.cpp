#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

#include "app/org_types.hpp"
#include "gui/file_pane.hpp"
#include "gui/format_choice.hpp"
#include "gui/main_menu.hpp"
#include "gui/main_window.hpp"
#include "gui/proof_choice.hpp"
#include "gui/type_box.hpp"
#include "gui/watch_failures.hpp"
#include "gui/watch_runner.hpp"

// The main window's watched source folder (File > Watch source folder): in FILEconv, with a
// type chosen, what is in the source folder and then each new file of that type is converted
// into the destination folder, with the formats, verification and manifest checked, on a
// thread of its own. The status line counts what it did; failures collect in a list the user
// opens from the status line.

namespace brandel::gui {

namespace {

QString native(const std::string& folder) {
    return QDir::toNativeSeparators(QString::fromStdString(folder));
}

// "2026-12-08T10:15:02Z" as the local clock reads it: "11:15".
QString local_clock(const std::string& utc) {
    const QDateTime at = QDateTime::fromString(QString::fromStdString(utc), Qt::ISODate);
    return at.isValid() ? at.toLocalTime().toString(QStringLiteral("HH:mm")) : QString();
}

}  // namespace

WatchFailures& MainWindow::watch_failures() {
    if (watch_failures_ == nullptr)
        watch_failures_ = new WatchFailures(this);
    return *watch_failures_;
}

void MainWindow::update_watch_action() {
    // A watch converts with the type chosen in FILEconv; the automatic type is the command
    // line's.
    const bool can = state_.run_mode == app::mode_fileconv && state_.org_type >= 0 &&
                     state_.org_type <= 8 && state_.org_type != TypeBox::naig;
    menu_->watch_action()->setEnabled(can || watching());
}

void MainWindow::watch_toggled(bool on) {
    if (on && !watching())
        start_watch();
    else if (!on && watching())
        stop_watch({});
}

void MainWindow::start_watch() {
    QAction* action = menu_->watch_action();
    if (state_.run_mode != app::mode_fileconv || app::find_org_type(state_.org_type) == nullptr) {
        action->setChecked(false);
        tell(QStringLiteral("Choose the ORG file type to watch the source folder."));
        return;
    }
    const app::WatchOptions options = watch_options();
    if (const std::string error = watch_runner_->start(options); !error.empty()) {
        action->setChecked(false);
        message_box("The source folder cannot be watched: " + error);
        return;
    }
    watching_.emplace();
    watching_->source = options.source_folder;
    watching_->destination = options.destination_folder;
    watching_->type = state_.org_type;
    watch_failures().clear();
    failures_button_->hide();
    action->setChecked(true);
    tell(watch_status());
}

app::WatchOptions MainWindow::watch_options() const {
    app::WatchOptions options;
    options.source_folder = Frame1->folder();
    options.destination_folder = Frame2->folder();
    options.org_type = state_.org_type;
    options.batch.formats = output_formats();
    options.batch.verify = verify_outputs();
    options.batch.manifest = manifest_path();
    options.settle = watch_settle_;
    return options;
}

void MainWindow::watch_outputs_changed() {
    if (!watching())
        return;
    // The next files are written as now checked: the watch starts again with the new choices,
    // and its journal keeps it from converting anything twice.
    watch_runner_->stop();
    if (const std::string error = watch_runner_->start(watch_options()); !error.empty()) {
        watch_ended(QString::fromStdString(error), {});
        return;
    }
    tell(watch_status());
}

void MainWindow::stop_watch(const QString& why) {
    if (!watching())
        return;
    watch_runner_->stop();  // what it told before it stopped has come in
    const QString done = watch_counts();
    const QString folder = native(watching_->source);
    watching_.reset();
    menu_->watch_action()->setChecked(false);
    update_watch_action();
    tell(why.isEmpty() ? QStringLiteral("Stopped watching %1: %2").arg(folder, done)
                       : QStringLiteral("Stopped watching %1 (%2): %3").arg(folder, why, done));
}

void MainWindow::watch_follows_choices() {
    if (!watching())
        return;
    if (state_.run_mode != app::mode_fileconv)
        stop_watch(QStringLiteral("CHN_edit was chosen"));
    else if (Frame1->folder() != watching_->source)
        stop_watch(QStringLiteral("the ORG file folder changed"));
    else if (Frame2->folder() != watching_->destination)
        stop_watch(QStringLiteral("the CHN file folder changed"));
    else if (state_.org_type != watching_->type)
        stop_watch(QStringLiteral("the type changed"));
}

void MainWindow::watch_event(const app::WatchEvent& event) {
    if (!watching())
        return;
    using Kind = app::WatchEvent::Kind;
    switch (event.kind) {
        case Kind::converted:
        case Kind::failed: {
            const bool failed = event.kind == Kind::failed;
            ++(failed ? watching_->failed : watching_->converted);
            const QString clock = local_clock(event.time);
            const QString name = QString::fromStdString(event.source);
            watching_->last = clock.isEmpty() ? name : QStringLiteral("%1 at %2").arg(name, clock);
            if (failed) {
                watch_failures().add(QStringLiteral("%1 %2: %3")
                                         .arg(clock, name, QString::fromStdString(event.reason)));
                failures_button_->setText(
                    QStringLiteral("%1 not converted…").arg(watching_->failed));
                failures_button_->show();
            }
            break;
        }
        case Kind::folder_gone:
            watching_->gone = true;
            break;
        case Kind::folder_back:
            watching_->gone = false;
            break;
        case Kind::still_written:
            break;
    }
    tell(watch_status());
}

void MainWindow::watch_ended(const QString& reason, const app::WatchTotals&) {
    if (!watching())
        return;
    const QString folder = native(watching_->source);
    const QString done = watch_counts();
    watching_.reset();
    menu_->watch_action()->setChecked(false);
    update_watch_action();
    tell(QStringLiteral("Stopped watching %1: %2").arg(folder, done));
    message_box(("Watching " + folder + " stopped: " + reason).toStdString());
}

QString MainWindow::watch_counts() const {
    if (!watching())
        return {};
    QString text =
        QStringLiteral("%1 converted, %2 failed").arg(watching_->converted).arg(watching_->failed);
    if (!watching_->last.isEmpty())
        text += QStringLiteral("; last ") + watching_->last;
    return text;
}

QString MainWindow::watch_status() const {
    if (!watching())
        return {};
    QString text = QStringLiteral("Watching %1: %2").arg(native(watching_->source), watch_counts());
    if (watching_->gone)
        text += QStringLiteral("; the folder cannot be read, waiting for it");
    return text;
}

bool MainWindow::may_stop_watch() {
    if (!watching())
        return true;
    const std::string question = "The folder " + native(watching_->source).toStdString() +
                                 " is being watched. Stop watching it?";
    bool yes = false;
    if (question_sink_) {
        yes = question_sink_(question);
    } else {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Brandel"),
                        QString::fromStdString(question), QMessageBox::Yes | QMessageBox::No, this);
        box.setDefaultButton(QMessageBox::No);
        box.setTextFormat(Qt::PlainText);
        yes = box.exec() == QMessageBox::Yes;
    }
    if (yes)
        stop_watch({});
    return yes;
}

}  // namespace brandel::gui

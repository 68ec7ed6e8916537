#include "gui/main_menu.hpp"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include <tuple>

#include <brandel/version.hpp>

#include "app/driver.hpp"

namespace brandel::gui {

MainMenu::MainMenu(QMenuBar* bar) : QObject(bar) {
    QMenu* fcv = bar->addMenu(QStringLiteral("&File"));
    fcv->setObjectName(QStringLiteral("fcv"));
    // The two modes are one choice: the current one is marked with a dot.
    auto* modes = new QActionGroup(this);
    auto add_item = [&](int index, const QString& caption) {
        QAction* action = fcv->addAction(caption);
        action->setObjectName(QStringLiteral("fcv1_%1").arg(index));
        action->setProperty("index", index);
        fcv1_[index] = action;
        connect(action, &QAction::triggered, this, [this, index] { emit item_chosen(index); });
        return action;
    };
    for (auto [mode, caption, tip] :
         {std::tuple{app::mode_fileconv, "FILEconv",
                     "Convert source spectrum files into CHN files"},
          std::tuple{app::mode_chn_edit, "CHN_edit",
                     "List and edit the comments of the CHN files of a folder"}}) {
        QAction* action = add_item(mode, QString::fromLatin1(caption));
        action->setCheckable(true);
        action->setToolTip(QString::fromLatin1(tip));
        action->setStatusTip(QString::fromLatin1(tip));
        modes->addAction(action);
    }
    fcv->setToolTipsVisible(true);
    fcv1_[app::mode_fileconv]->setChecked(true);
    fcv->addSeparator();
    watch_ = fcv->addAction(QStringLiteral("&Watch source folder"));
    watch_->setObjectName(QStringLiteral("watch_source"));
    watch_->setCheckable(true);
    const QString watch_tip = QStringLiteral(
        "Convert what is in the ORG file folder and then each new file of the chosen type, "
        "until unchecked");
    watch_->setToolTip(watch_tip);
    watch_->setStatusTip(watch_tip);
    // Only what the user does: the window unchecks it itself when it stops watching.
    connect(watch_, &QAction::triggered, this, &MainMenu::watch_toggled);
    add_item(800, QString())->setSeparator(true);  // a line alone, no caption beside it
    add_item(900, QStringLiteral("exit"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("view"));
    preview_ = view->addAction(QStringLiteral("&Preview"));
    preview_->setObjectName(QStringLiteral("view_preview"));
    preview_->setCheckable(true);
    preview_->setChecked(true);
    preview_->setShortcut(QKeySequence(Qt::Key_F9));
    connect(preview_, &QAction::toggled, this, &MainMenu::preview_toggled);
    QAction* refresh = view->addAction(QStringLiteral("&Refresh"));
    refresh->setObjectName(QStringLiteral("view_refresh"));
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    connect(refresh, &QAction::triggered, this, &MainMenu::refresh_chosen);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("help"));
    QAction* about = help->addAction(QStringLiteral("&About Brandel"));
    about->setObjectName(QStringLiteral("help_about"));
    connect(about, &QAction::triggered, this, &MainMenu::about_chosen);
    for (QMenu* menu : {fcv, view, help})
        connect(menu, &QMenu::aboutToHide, this, &MainMenu::closed);
}

void MainMenu::check_mode(int mode) {
    if (auto found = fcv1_.find(mode); found != fcv1_.end())
        found->second->setChecked(true);
}

QString readme_location() {
    // Beside the program (as the Windows folder holds it), in the documentation folder of an
    // installed program, or in the sources a program of the build folder was built from.
    const QDir program(QCoreApplication::applicationDirPath());
    for (const char* relative :
         {"README.md", "../share/doc/brandel/README.md", "../README.md", "../../README.md"}) {
        const QFileInfo readme(program.filePath(QString::fromLatin1(relative)));
        if (readme.isFile())
            return QDir::toNativeSeparators(readme.canonicalFilePath());
    }
    return {};
}

void show_about(QWidget* parent, const QString& settings_location) {
    const QString readme = readme_location();
    const QString text =
        QStringLiteral(
            "<p><b>Brandel &amp; Korvin</b> Ver:1.1, Rev:%1 (version %2)</p>"
            "<p>Converts source spectrum files into CHN files and lists the comments "
            "of the CHN files of a folder.</p>"
            "<p>Settings are kept in:<br>%3</p>")
            .arg(version_revision)
            .arg(QString::fromLatin1(version_text))
            .arg(settings_location.toHtmlEscaped()) +
        (readme.isEmpty()
             ? QStringLiteral("<p>The README, which tells how to use the program, comes with "
                              "its sources and its packages.</p>")
             : QStringLiteral("<p>How to use the program is told in the README:<br>%1</p>")
                   .arg(readme.toHtmlEscaped()));
    QMessageBox::about(parent, QStringLiteral("Brandel"), text);
}

}  // namespace brandel::gui

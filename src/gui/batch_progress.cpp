#include "gui/batch_progress.hpp"

#include <QCoreApplication>
#include <QProgressDialog>

#include "gui/qt_text.hpp"

namespace brandel::gui {

bool BatchProgress::step(int done, int total, const std::string& name) {
    if (done == 0 || !timer_.isValid())
        timer_.start();
    if (!dialog_ && timer_.elapsed() >= delay_ms_) {
        auto* dialog = new QProgressDialog(parent_);
        dialog->setObjectName(QStringLiteral("progress"));
        dialog->setWindowTitle(QStringLiteral("Brandel"));
        dialog->setCancelButtonText(QStringLiteral("Cancel"));
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        dialog->setMinimumDuration(0);
        dialog->setMinimumWidth(dialog->fontMetrics().averageCharWidth() * 48);
        dialog->show();
        dialog_ = dialog;
    }
    if (!dialog_)
        return true;
    dialog_->setMaximum(total);
    dialog_->setLabelText(
        QStringLiteral("%1 of %2 files done\n%3").arg(done).arg(total).arg(qt_text(name)));
    dialog_->setValue(done);
    // Repaints the window and lets Cancel be pressed; the modal dialog keeps other input out.
    QCoreApplication::processEvents();
    return dialog_ && !dialog_->wasCanceled();
}

void BatchProgress::done() {
    timer_.invalidate();
    if (dialog_) {
        dialog_->close();
        dialog_->deleteLater();
        dialog_ = nullptr;
    }
}

}  // namespace brandel::gui

#include "gui/watch_failures.hpp"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

namespace brandel::gui {

WatchFailures::WatchFailures(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("watch_failures"));
    setWindowTitle(QStringLiteral("Files the watch did not convert"));
    setModal(false);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("watch_failure_list"));
    list_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(560, 300);
}

void WatchFailures::add(const QString& line) {
    list_->addItem(line);
    list_->scrollToBottom();
}

void WatchFailures::clear() {
    list_->clear();
}

int WatchFailures::count() const {
    return list_->count();
}

}  // namespace brandel::gui

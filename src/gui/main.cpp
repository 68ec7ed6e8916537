#include <QApplication>

#include "gui/main_window.hpp"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brandel"));
    brandel::gui::MainWindow window;
    window.show();
    return QApplication::exec();
}

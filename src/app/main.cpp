#include <QApplication>

#include "app/main_window.hpp"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brandel"));
    brandel::app::MainWindow window;
    window.show();
    return QApplication::exec();
}

// The yardstick of the start-up benchmark: an empty main window with a menu bar, nothing else.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Empty");
    window.menuBar()->addMenu("&File")->addAction("E&xit", &app, &QApplication::quit);
    window.menuBar()->addMenu("&Help");
    window.resize(640, 480);
    window.show();
    return app.exec();
}

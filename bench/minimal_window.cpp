#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

// The yardstick of the launch benchmark: the least a Qt Widgets program
// does to put a window up, reported at the same point as Maturix reports it.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(640, 480);
    window.show();
    QTimer::singleShot(0, &app, [] {
        std::fprintf(stderr, "First window shown\n");
        std::fflush(stderr);
    });
    return app.exec();
}

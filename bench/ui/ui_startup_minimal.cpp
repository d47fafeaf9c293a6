// The peer of the start-up benchmark: a minimal Qt program that shows an empty window of the
// given size and quits after its first paint.   usage: ui_startup_minimal <width> <height>
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

namespace {
class Window : public QWidget {
  protected:
    void paintEvent(QPaintEvent *) override {
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
};
} // namespace

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    QApplication app(argc, argv);
    Window w;
    w.resize(std::atoi(argv[1]), std::atoi(argv[2]));
    w.show();
    return app.exec();
}

// The peer of the application start-up benchmark: a minimal Qt program that shows an empty
// window of the given size and ends the process at its first paint, as the probe does.
//   usage: minimal_probe <width> <height>
#include <QApplication>
#include <QWidget>

#include <cstdlib>

namespace {
class Window : public QWidget {
  protected:
    void paintEvent(QPaintEvent *) override { std::_Exit(0); }
};
} // namespace

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    QApplication app(argc, argv);
    Window window;
    window.resize(std::atoi(argv[1]), std::atoi(argv[2]));
    window.show();
    app.exec();
    return 1;
}

// The peers of the application start-up benchmark: a minimal Qt program that shows a window of
// the given size and ends the process at its first paint, as the probe does. The window is empty,
// or, with "text", holds one line of text, so that the font system is loaded as for any panel
// with words on it.
//   usage: minimal_probe <width> <height> [text]
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstdlib>
#include <cstring>

namespace {
class Window : public QWidget {
  protected:
    void paintEvent(QPaintEvent *) override { std::_Exit(0); }
};
} // namespace

int main(int argc, char **argv) {
    if (argc != 3 && !(argc == 4 && std::strcmp(argv[3], "text") == 0)) return 2;
    QApplication app(argc, argv);
    Window window;
    window.resize(std::atoi(argv[1]), std::atoi(argv[2]));
    if (argc == 4) (new QLabel(QStringLiteral("Battery tested"), &window))->move(10, 10);
    window.show();
    app.exec();
    return 1;
}

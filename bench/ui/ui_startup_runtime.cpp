// The measured side of the start-up benchmark: initialises the run-time, loads and displays one
// panel, and quits after the panel's first paint.   usage: ui_startup_runtime <resource> <id>
#include <QApplication>
#include <QEvent>

#include <cstdlib>

#include "platform/runtime.h"

namespace {
// Ends the event loop at the first paint of any window.
class FirstPaint : public QObject {
  public:
    bool eventFilter(QObject *, QEvent *e) override {
        if (e->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            QuitUserInterface(0);
        }
        return false;
    }

  private:
    bool seen_ = false;
};
} // namespace

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    RT_AllowUnboundCallbacks(1);
    if (!InitRuntime(0, argv, 0)) return 1;
    FirstPaint watch;
    qApp->installEventFilter(&watch);
    const int panel = LoadPanel(0, argv[1], std::atoi(argv[2]));
    if (panel <= 0) return 1;
    DisplayPanel(panel);
    return RunUserInterface();
}

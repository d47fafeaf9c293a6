// The measured side of the application start-up benchmark: ks_read's own start-up (settings,
// language paths, the localized main panel, logos, layout) that ends the process at the first
// paint of a window. It runs in a program folder that the harness prepares.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <cstdlib>

#include "app/ks_callbacks.h"
#include "app/ks_read.h"

namespace {

class FirstPaint : public QObject {
  public:
    bool eventFilter(QObject *, QEvent *event) override {
        // Only the main panel counts: a notice painted first (the language file or the resource
        // failed) is another start-up and fails the run.
        if (event->type() == QEvent::Paint) std::_Exit(panelHandle > 0 ? 0 : 3);
        return false;
    }
};

// Runs as soon as the run-time has created the application object, before any panel exists.
void watchFirstPaint() {
    qApp->installEventFilter(new FirstPaint);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watchFirstPaint)

int main(int, char **argv) {
    KsRegisterCallbacks();
    KsStartup(argv);
    return 1; // start-up ended without painting a window
}

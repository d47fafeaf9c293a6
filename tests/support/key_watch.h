// Counts the key presses that reach an object, to show that input the operator queued was (or
// was not) delivered by some step.
#pragma once

#include <QEvent>
#include <QObject>

namespace ks_test {

class KeyWatch : public QObject {
  public:
    int keyPresses = 0;
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::KeyPress) ++keyPresses;
        return false;
    }
};

} // namespace ks_test

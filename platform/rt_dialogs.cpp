// Message boxes, the file dialog and printing.
#include "platform/rt_model.h"
#include "platform/rt_testing_hooks.h"

#include <QApplication>
#include <QMessageBox>

int MessagePopup(const char *title, const char *message) {
    if (!rt::runtimeReady()) return RT_ERR_NOT_INITIALISED;
    QMessageBox box(QMessageBox::Information, rt::fromC(title), rt::fromC(message), QMessageBox::Ok);
    box.exec();
    return 0;
}

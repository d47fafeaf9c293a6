// ks_uiview <resource file> <panel id> <png>
//
// Loads one panel of a UI resource file (callback names bind to nothing), shows it and saves its
// window as it looks on screen to a PNG. Without a display it renders offscreen. This is how
// panels are looked at while they are designed.
//
// Exit status: 0 saved; 1 usage; 2 the panel could not be loaded; 3 the image could not be saved.
#include <QApplication>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/runtime.h"
#include "platform/testing.h"

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: ks_uiview <resource file> <panel id> <png>\n");
        return 1;
    }
    char *end = nullptr;
    const long id = std::strtol(argv[2], &end, 10);
    if (!end || *end || id <= 0 || id > 1000000) {
        std::fprintf(stderr, "ks_uiview: panel id must be a positive number, not \"%s\"\n",
                     argv[2]);
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    RT_AllowUnboundCallbacks(1);
    if (!InitRuntime(0, argv, 0)) {
        std::fprintf(stderr, "ks_uiview: the user-interface run-time did not start\n");
        return 2;
    }
    // A file named on the command line is relative to the current folder, not the program's.
    const std::string file =
        QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath().toStdString();
    const int panel = LoadPanel(0, file.c_str(), static_cast<int>(id));
    if (panel < 0) {
        std::fprintf(stderr, "ks_uiview: panel %ld of %s: %s (%d)\n", id, file.c_str(),
                     RT_GetErrorString(panel), panel);
        return 2;
    }
    DisplayPanel(panel);
    ProcessSystemEvents();
    if (RT_TestSavePanelImage(panel, argv[3]) != 0) {
        std::fprintf(stderr, "ks_uiview: cannot write %s\n", argv[3]);
        return 3;
    }
    DiscardPanel(panel);
    return 0;
}

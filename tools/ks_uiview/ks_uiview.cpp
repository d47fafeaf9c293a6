// ks_uiview <resource file> <panel id> <png> [--language <language file>]
//
// Loads one panel of a UI resource file (callback names bind to nothing), with --language
// localized with a language file as the program would show it, shows it and saves its window as
// it looks on screen to a PNG. Without a display it renders offscreen. This is how panels and
// their translations are looked at while they are designed.
//
// Exit status: 0 saved; 1 usage; 2 the panel could not be loaded (or not in that language);
// 3 the image could not be saved.
#include <QApplication>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "localization/localize.h"
#include "platform/runtime.h"
#include "platform/testing.h"

namespace {

constexpr char kUsage[] =
    "usage: ks_uiview <resource file> <panel id> <png> [--language <language file>]\n";

// A file named on the command line is relative to the current folder, not the program's.
std::string absolute(const char *path) {
    return QFileInfo(QString::fromLocal8Bit(path)).absoluteFilePath().toStdString();
}

} // namespace

int main(int argc, char **argv) {
    const char *language = nullptr;
    if (argc == 6 && std::strcmp(argv[4], "--language") == 0) {
        language = argv[5];
    } else if (argc != 4) {
        std::fputs(kUsage, stderr);
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
    const std::string file = absolute(argv[1]);
    int panel = 0;
    if (language != nullptr) {
        const std::string languageFile = absolute(language);
        const int r =
            LoadLocalizedPanel(0, file.c_str(), static_cast<int>(id), languageFile.c_str(), &panel);
        if (r < 0) {
            std::fprintf(stderr, "ks_uiview: panel %ld of %s in %s: %s (%d)\n", id, file.c_str(),
                         languageFile.c_str(), RT_GetErrorString(r), r);
            return 2;
        }
    } else {
        panel = LoadPanel(0, file.c_str(), static_cast<int>(id));
        if (panel < 0) {
            std::fprintf(stderr, "ks_uiview: panel %ld of %s: %s (%d)\n", id, file.c_str(),
                         RT_GetErrorString(panel), panel);
            return 2;
        }
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

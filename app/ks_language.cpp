// The language popup and the language and readme paths. See ks_language.h.
#include "app/ks_language.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "app/ks_ids.h"
#include "app/ks_popup.h"
#include "app/ks_record.h"
#include "app/ks_state.h"
#include "localization/localize.h"
#include "platform/runtime.h"

namespace {

// Base names of the language and readme files of languages 1 .. 9.
const char *const kLanguageNames[] = {"",        "English", "French",  "Spanish", "Portuguese",
                                      "Italian", "German",  "Swedish", "Finnish", "Dutch"};

constexpr int kEnglish = 1;

// Whether the program folder holds the language file of a base name.
bool HaveLanguageFile(const char *name) {
    char directory[KS_FULL_PATH_SIZE] = "";
    if (name[0] == '\0' || GetProjectDir(directory) != 0) return false;
    const std::string path = std::string(directory) + "/" + name + ".lng";
    int size = 0;
    return RT_GetFileSize(path.c_str(), &size) == 0;
}

} // namespace

void KsLanguageBaseName(int language, char *name, size_t size) {
    if (size == 0) return;
    language = KsValidLanguage(language);
    if (language == 0) {
        name[0] = '\0';
        if (RT_GetSystemLanguageName(name, size) < 0) name[0] = '\0';
        // A system language the program has no texts for is English, at every start without a
        // notice: nothing is wrong that the operator could put right.
        if (!HaveLanguageFile(name)) std::snprintf(name, size, "%s", kLanguageNames[kEnglish]);
        return;
    }
    std::snprintf(name, size, "%s", kLanguageNames[language]);
}

int GetAppLanguage(int *language) {
    // In the language in use; at first start, when none is chosen yet, in the system's.
    char path[KS_FULL_PATH_SIZE] = "";
    if (langFilePath[0] != '\0') {
        std::snprintf(path, sizeof path, "%s", langFilePath);
    } else {
        char readme[KS_FULL_PATH_SIZE] = "";
        GetLocalLanguageFilePath(0, path, readme);
    }
    int panel = 0;
    if (LoadLocalizedPanel(0, kUiFile, PNL_LANGUAGE, path, &panel) < 0)
        panel = LoadPanel(0, kUiFile, PNL_LANGUAGE);
    if (panel < 0) return -1;
    // The list opens on the language in use, so the arrow keys start from there and Escape
    // keeps it.
    SetCtrlVal(panel, LANGUAGE_LIST, KsValidLanguage(*language));
    InstallPopup(panel);
    // When the run-time goes down before an answer, take what the list shows.
    KsWaitForControl(panel, LANGUAGE_LIST, LANGUAGE_OK);
    GetCtrlVal(panel, LANGUAGE_LIST, language);
    RemovePopup(0);
    DiscardPanel(panel);
    return 0;
}

void GetLocalLanguageFilePath(int language, char *langPath, char *readmePath) {
    langPath[0] = readmePath[0] = '\0';
    // Without the program folder there is no path: an empty one is a file that cannot be found
    // (the language-failed and readme-missing notices), never a file somewhere else.
    char directory[KS_FULL_PATH_SIZE] = "";
    if (GetProjectDir(directory) != 0) return;
    char name[KS_FULL_PATH_SIZE] = "";
    KsLanguageBaseName(language, name, sizeof name);
    for (auto [path, extension] : {std::pair{langPath, ".lng"}, std::pair{readmePath, ".txt"}}) {
        const std::string full = std::string(directory) + "/" + name + extension;
        // A cut path could name another file: one that does not fit is left empty instead.
        if (full.size() < KS_FULL_PATH_SIZE) std::memcpy(path, full.c_str(), full.size() + 1);
    }
}

void KsUseToolkitLanguage(int language) {
    char name[KS_FULL_PATH_SIZE] = "";
    KsLanguageBaseName(language, name, sizeof name);
    RT_SetToolkitLanguage(name);
}

// Menu and control callbacks of the main panel. See ks_cb.h.
#include "app/ks_cb.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/ks_ids.h"
#include "app/ks_language.h"
#include "app/ks_layout.h"
#include "app/ks_popup.h"
#include "app/ks_read.h"
#include "app/ks_save.h"
#include "app/ks_state.h"
#include "localization/localize.h"
#include "platform/runtime.h"

namespace {

const char kImageTypes[] = "*.BMP;*.DIB;*.RLE;*.ICO;*.PCX;*.WMF";
// Room for the type list of every picture format the run-time reads.
constexpr size_t kImageTypesSize = 1024;
constexpr int kReadmeFontSize = 12;
constexpr int kReadmeTop = 40, kReadmeLeft = 20;

char *LogoPathOf(int control) {
    switch (control) {
    case MAIN_LOGO1:
        return HostConfig.Logo1Path;
    case MAIN_LOGO2:
        return HostConfig.Logo2Path;
    case MAIN_LOGO3:
        return HostConfig.Logo3Path;
    default:
        return nullptr;
    }
}

} // namespace

// ---- Saving and printing -----------------------------------------------------------------------

void SaveMCB(int, int, void *, int) {
    if (Save2Log != 0)
        Save2File();
    else
        KsShowNotice(PNL_NOTHING_TO_SAVE);
}

void PrintMCB(int, int, void *, int) {
    KsPrintMainPanel("", 1);
    for (int i = 0; i < KS_PRINT_SLOTS; ++i) {
        int value = HostConfig.PrintSettings[i];
        if (GetPrintAttribute(kPrintAttributes[i], &value) >= 0)
            HostConfig.PrintSettings[i] = value;
    }
    KsWriteSettings();
}

// ---- Port and language -------------------------------------------------------------------------

void CommPortMCB(int, int, void *, int) {
    const int oldPort = HostConfig.ComPort;
    MessagePanel = KsLoadPanelInLanguage(PNL_PORT);
    if (MessagePanel < 0) return;
    const int popup = MessagePanel;
    InstallPopup(popup);
    SetCtrlVal(popup, PORT_NUMBER, static_cast<int>(HostConfig.ComPort));
    InstallMainCallback(nullptr, nullptr, 1);
    KsWaitForControl(popup, NOTICE_OK);
    int port = HostConfig.ComPort;
    GetCtrlVal(popup, PORT_NUMBER, &port);
    HostConfig.ComPort = port;
    RemovePopup(0);
    KsRetirePopup(popup);
    if (HostConfig.ComPort != oldPort) KsWriteSettings();
    // Choosing a number always connects again, even the same one: the tester may have been
    // plugged in (or its link made) since the port was opened or failed to open.
    if (commStatus == 0) CloseCom(oldPort);
    commStatus = 1;
    InstallMainCallback(KSMainCB, nullptr, 1);
}

void SelLanguageMCB(int, int, void *, int) {
    int language = HostConfig.Language;
    if (GetAppLanguage(&language) < 0) return;
    HostConfig.Language = KsValidLanguage(language);
    GetLocalLanguageFilePath(HostConfig.Language, langFilePath, readmeFilePath);
    if (LocalizePanel(panelHandle, langFilePath) < 0) {
        if (KsShowNotice(PNL_LANGUAGE_FAILED) < 0) return;
        const int menuBar = GetPanelMenuBar(panelHandle);
        if (menuBar > 0) DiscardMenuBar(menuBar);
        DiscardPanel(panelHandle);
        HostConfig.Language = 0;
        panelHandle = LoadPanel(0, kUiFile, PNL_MAIN);
        if (panelHandle < 0) {
            // As at start-up: without a main panel the program cannot go on. The failed change
            // is stored as language 0 all the same.
            panelHandle = 0;
            KsWriteSettings();
            KsClosePortAndQuit();
            return;
        }
        DisplayPanel(panelHandle);
    }
    KsUseToolkitLanguage(HostConfig.Language);
    KsWriteSettings();
    KsLayoutMainPanel();
}

// ---- Logos -------------------------------------------------------------------------------------

void LoadGraphic(int control) {
    char folder[KS_FULL_PATH_SIZE] = "";
    GetProjectDir(folder);
    // Every picture type the run-time can show, with the fixed list as a stand-by.
    char types[kImageTypesSize] = "";
    if (RT_GetImageFileTypes(types) != 0) std::snprintf(types, sizeof types, "%s", kImageTypes);
    const int item = control == MAIN_LOGO1   ? MENU_LOAD_LOGO1
                     : control == MAIN_LOGO2 ? MENU_LOAD_LOGO2
                                             : MENU_LOAD_LOGO3;
    char path[KS_FULL_PATH_SIZE] = "";
    if (FileSelectPopup(folder, types, types, KsCommandTitle(item).c_str(), VAL_LOAD_BUTTON, 0, 0,
                        1, 0, path) <= 0)
        return;
    // The settings keep a picture's path in a fixed field; a cut path would name another file.
    if (std::strlen(path) >= KS_PATH_WIDTH) {
        KsShowNotice(PNL_LOGO_PATH_TOO_LONG);
        return;
    }
    DisplayImageFile(panelHandle, control, path);
    char *field = LogoPathOf(control);
    if (field != nullptr) KsCopyField(field, KS_PATH_WIDTH, path);
    if (control == MAIN_LOGO3) KsApplyHeightRule(1);
    KsWriteSettings();
}

int LoadGraphicCB(int, int control, int event, void *, int, int) {
    if (event == EVENT_RIGHT_DOUBLE_CLICK) LoadGraphic(control);
    return 0;
}

void LoadGraphicMCB(int, int menuItem, void *, int) {
    switch (menuItem) {
    case MENU_LOAD_LOGO1:
        LoadGraphic(MAIN_LOGO1);
        break;
    case MENU_LOAD_LOGO2:
        LoadGraphic(MAIN_LOGO2);
        break;
    case MENU_LOAD_LOGO3:
        LoadGraphic(MAIN_LOGO3);
        break;
    default:
        break;
    }
}

void UnLoadGraphicMCB(int, int menuItem, void *, int) {
    int control = 0;
    switch (menuItem) {
    case MENU_UNLOAD_LOGO1:
        control = MAIN_LOGO1;
        break;
    case MENU_UNLOAD_LOGO2:
        control = MAIN_LOGO2;
        break;
    case MENU_UNLOAD_LOGO3:
        control = MAIN_LOGO3;
        break;
    default:
        return; // an item this command does not own changes nothing
    }
    KsCopyField(LogoPathOf(control), KS_PATH_WIDTH, kLogoNone);
    if (control == MAIN_LOGO3) KsApplyHeightRule(0);
    DeleteImage(panelHandle, control);
    KsWriteSettings();
}

// ---- Readme viewer -----------------------------------------------------------------------------

void ReadmeMCB(int, int, void *, int) {
    int size = 0;
    if (RT_GetFileSize(readmeFilePath, &size) != 0 || size < 0) {
        KsShowNotice(PNL_README_MISSING);
        return;
    }
    readmePanelHandle = KsLoadPanelInLanguage(PNL_README);
    if (readmePanelHandle < 0) return;
    const int textBox = NewCtrl(readmePanelHandle, CTRL_TEXT_MSG, "", kReadmeTop, kReadmeLeft);
    SetCtrlAttribute(readmePanelHandle, textBox, ATTR_TEXT_FONT, "Arial");
    SetCtrlAttribute(readmePanelHandle, textBox, ATTR_TEXT_POINT_SIZE, kReadmeFontSize);
    SetCtrlAttribute(readmePanelHandle, textBox, ATTR_SIZE_TO_TEXT, 0);
    std::vector<char> block(static_cast<size_t>(size) + 1, '\0');
    size_t got = 0;
    file = std::fopen(readmeFilePath, "rb");
    if (file != nullptr) {
        got = std::fread(block.data(), 1, static_cast<size_t>(size), file);
        std::fclose(file);
        file = nullptr;
    }
    block[got] = '\0'; // a file that shrank since its size was taken shows what could be read
    SetCtrlVal(readmePanelHandle, textBox, block.data());
    DisplayPanel(readmePanelHandle);
}

void PrintReadMeMCB(int, int, void *, int) {
    int size = 0;
    if (RT_GetFileSize(readmeFilePath, &size) == 0)
        PrintTextFile(readmeFilePath, "");
    else
        KsShowNotice(PNL_README_MISSING);
}

void ExitReadMeMCB(int, int, void *, int) {
    DiscardPanel(readmePanelHandle);
}

int ExitReadMeCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) DiscardPanel(readmePanelHandle);
    return 0;
}

// ---- About, quit, panel events -----------------------------------------------------------------

void AboutMCB(int, int, void *, int) {
    KsShowNotice(PNL_ABOUT);
}

namespace {

// How long a request to end the program (a signal, the end of the session) waits for the
// operator's answer before the program ends by itself.
constexpr double kEndTaskAnswerSeconds = 30.0;

bool quitConfirmUp = false; // the quit confirmation is waiting for its answer

bool QuitPopupUp() {
    return quitConfirmUp || KsPopupIsUp(SavePanelHandle);
}

} // namespace

void Quit(void) {
    // One question at a time: a second request while it is up adds no popup.
    if (QuitPopupUp()) return;
    if (Save2Log != 0) {
        SavePanelHandle = KsLoadPanelInLanguage(PNL_SAVE_BEFORE_QUIT);
        if (SavePanelHandle < 0) return;
        InstallPopup(SavePanelHandle); // SaveCB answers it, or the end-task deadline (KSMainCB)
        return;
    }
    MessagePanel = KsLoadPanelInLanguage(PNL_QUIT);
    if (MessagePanel < 0) return;
    const int popup = MessagePanel;
    InstallPopup(popup);
    quitConfirmUp = true;
    const int answer = KsWaitForControlUntil(popup, KsEndTaskDeadline(), QUIT_YES, QUIT_STAY);
    quitConfirmUp = false;
    if (answer == 0) {
        KsEndUnanswered(popup);
        return;
    }
    RemovePopup(0);
    KsRetirePopup(popup);
    if (answer == QUIT_YES)
        KsClosePortAndQuit();
    else
        KsClearEndRequest(); // the operator is there and chose to stay
}

void ExitMCB(int, int, void *, int) {
    Quit();
}

int MainPNLCB(int, int event, void *, int, int) {
    if (event == EVENT_CLOSE) {
        Quit();
        return 0;
    }
    if (event == EVENT_END_TASK) {
        // Perhaps nobody is there to answer: the question gets its answer in time, or the program
        // ends by itself. A request while the question is up only brings that time forward.
        KsRequestEndBy(Timer() + kEndTaskAnswerSeconds);
        Quit();
        return 0;
    }
    int state = 0;
    if (GetPanelAttribute(panelHandle, ATTR_WINDOW_STATE, &state) >= 0 && state == 1)
        MinimizeAllWindows();
    return 0;
}

int TextEnterCB(int, int control, int event, void *, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    int limit = 0;
    if (control == MAIN_NOTES)
        limit = KS_NOTES_BOX_LINES;
    else if (control == MAIN_INFO)
        limit = KS_INFO_BOX_LINES;
    else
        return 0;
    int count = 0;
    GetNumTextBoxLines(panelHandle, control, &count);
    if (count > limit) {
        FakeKeystroke(VAL_BACKSPACE_VKEY);
        RT_Beep();
    }
    return 0;
}

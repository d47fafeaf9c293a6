// Popups, notices and the quit. See ks_popup.h.
#include "app/ks_popup.h"

#include <cstdio>
#include <limits>
#include <vector>

#include "app/ks_ids.h"
#include "app/ks_state.h"
#include "localization/localize.h"
#include "platform/runtime.h"

namespace {

// Pause between two looks for an answer while a popup waits: short enough that the operator
// sees no delay, long enough that waiting costs no noticeable processor time.
constexpr double kAnswerPollPause = 0.02;
// Most characters of a path on one line of a file notice, and most lines of it.
constexpr size_t kPathLineLength = 56;
constexpr size_t kPathLines = 3;
constexpr char kStartFailureTitle[] = "ks_read";

constexpr double kNoDeadline = std::numeric_limits<double>::infinity();

int retiredPopup = 0;             // the finished popup kept loaded (KsRetirePopup)
bool quitting = false;            // KsClosePortAndQuit has run
double endDeadline = kNoDeadline; // KsRequestEndBy

bool Matches(int committed, int control, int orControl) {
    return control == KS_ANY_CONTROL || committed == control ||
           (orControl >= 0 && committed == orControl);
}

// A path cut into lines that fit the notice; a path longer than they hold keeps its start and its
// end (the file's name) with "..." between.
std::string WrappedPath(const std::string &path) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < path.size(); at += kPathLineLength)
        lines.push_back(path.substr(at, kPathLineLength));
    if (lines.size() > kPathLines) {
        const std::string tail = path.substr(path.size() - kPathLineLength * (kPathLines - 1) + 3);
        lines = {lines.front()};
        const std::string rest = "..." + tail;
        for (size_t at = 0; at < rest.size(); at += kPathLineLength)
            lines.push_back(rest.substr(at, kPathLineLength));
    }
    std::string text;
    for (const auto &line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

int ReasonControl(int fileError) {
    switch (fileError) {
    case 0:
        return 0;
    case RT_ERR_DISK_FULL:
        return NOTICE_WHY_DISK_FULL;
    case RT_ERR_FILE_ACCESS:
    case RT_ERR_FILE_EXISTS:
        return NOTICE_WHY_NOT_ALLOWED;
    default:
        return NOTICE_WHY_OTHER;
    }
}

} // namespace

int KsLoadPanelInLanguage(int panelId) {
    int panel = 0;
    if (LoadLocalizedPanel(0, kUiFile, panelId, langFilePath, &panel) >= 0) return panel;
    return LoadPanel(0, kUiFile, panelId);
}

namespace {

// A command's name as a dialog title: "&&" stands for one ampersand, a single one marks the
// mnemonic, and the trailing dots that promise a dialog go.
std::string TitleOf(const char *name) {
    std::string title;
    for (const char *c = name; *c != '\0'; ++c) {
        if (*c == '&' && *++c == '\0') break;
        title += *c;
    }
    while (!title.empty() && (title.back() == '.' || title.back() == ' '))
        title.pop_back();
    return title;
}

} // namespace

std::string KsCommandTitle(int menuItem) {
    char name[KS_FULL_PATH_SIZE] = "";
    const int menuBar = panelHandle > 0 ? GetPanelMenuBar(panelHandle) : 0;
    if (menuBar <= 0 || GetMenuBarAttribute(menuBar, menuItem, ATTR_ITEM_NAME, name) < 0) return "";
    return TitleOf(name);
}

std::string KsButtonTitle(int panel, int control) {
    char name[KS_FULL_PATH_SIZE] = "";
    if (GetCtrlAttribute(panel, control, ATTR_LABEL_TEXT, name) < 0) return "";
    return TitleOf(name);
}

int KsWaitForControlUntil(int panel, const double *deadline, int control, int orControl) {
    for (;;) {
        for (;;) {
            const int event = GetUserEvent(0, &temppanel, &tempctrl);
            if (event < 0) return -1;
            if (event != EVENT_COMMIT) break;
            if (temppanel == panel && Matches(tempctrl, control, orControl)) return tempctrl;
        }
        if (quitting) return -1;
        if (deadline != nullptr && Timer() >= *deadline) return 0;
        ProcessSystemEvents();
        Delay(kAnswerPollPause);
    }
}

int KsWaitForControl(int panel, int control, int orControl) {
    return KsWaitForControlUntil(panel, nullptr, control, orControl);
}

void KsShowLoadedNotice(int notice) {
    InstallPopup(notice);
    KsWaitForControl(notice, NOTICE_OK);
    RemovePopup(0);
    KsRetirePopup(notice);
}

int KsShowNotice(int panelId) {
    MessagePanel = KsLoadPanelInLanguage(panelId);
    if (MessagePanel < 0) return MessagePanel;
    KsShowLoadedNotice(MessagePanel);
    return 0;
}

int KsShowFileNotice(int panelId, const char *path, int fileError) {
    MessagePanel = KsLoadPanelInLanguage(panelId);
    if (MessagePanel < 0) return MessagePanel;
    SetCtrlVal(MessagePanel, NOTICE_FILE, WrappedPath(path != nullptr ? path : "").c_str());
    const int reason = ReasonControl(fileError);
    for (int control : {NOTICE_WHY_DISK_FULL, NOTICE_WHY_NOT_ALLOWED, NOTICE_WHY_OTHER})
        SetCtrlAttribute(MessagePanel, control, ATTR_VISIBLE, control == reason ? 1 : 0);
    KsShowLoadedNotice(MessagePanel);
    return 0;
}

void KsRetirePopup(int panel) {
    if (retiredPopup > 0 && retiredPopup != panel) DiscardPanel(retiredPopup);
    retiredPopup = panel;
}

void KsResetPopups(void) {
    if (retiredPopup > 0) DiscardPanel(retiredPopup);
    retiredPopup = 0;
    quitting = false;
    endDeadline = kNoDeadline;
}

void KsClosePortAndQuit(void) {
    if (commStatus == 0) CloseCom(HostConfig.ComPort);
    commStatus = -1;
    quitting = true;
    QuitUserInterface(0);
}

int KsQuitting(void) {
    return quitting ? 1 : 0;
}

int KsPopupIsUp(int panel) {
    int shown = 0;
    return panel > 0 && GetPanelAttribute(panel, ATTR_VISIBLE, &shown) >= 0 && shown != 0 ? 1 : 0;
}

void KsRequestEndBy(double deadline) {
    if (deadline < endDeadline) endDeadline = deadline;
}

const double *KsEndTaskDeadline(void) {
    return &endDeadline;
}

void KsClearEndRequest(void) {
    endDeadline = kNoDeadline;
}

void KsReportStartFailure(const std::string &message) {
    std::fprintf(stderr, "ks_read: %s\n", message.c_str());
    MessagePopup(kStartFailureTitle, message.c_str());
}

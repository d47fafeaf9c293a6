// The application's side of the results history. See ks_hist.h.
#include "app/ks_hist.h"

#include <cstdlib>
#include <ctime>
#include <deque>
#include <memory>
#include <string>

#include "app/ks_ids.h"
#include "app/ks_popup.h"
#include "app/ks_state.h"
#include "platform/runtime.h"

namespace {

// Seconds between two attempts to open the database or write results that wait.
constexpr double kRetrySeconds = 5.0;

std::unique_ptr<HistoryStore> store;
bool triedOpen = false;            // the first open has been made (later ones are retries)
double nextRetry = 0.0;            // Timer() time of the next retry
std::deque<HistoryResult> waiting; // results the database could not take yet, oldest first
int64_t shownId = 0;               // the shown result's row, once stored
bool shownWaits = false;           // the shown result is the newest of `waiting`
std::string plainTitle;            // the main panel's title while it carries the history marker
bool opened = false;               // the main panel shows a result from the history

// Puts the main panel's own title back once it shows a result of its own again.
void Unmark() {
    if (!opened) return;
    opened = false;
    if (panelHandle > 0) SetPanelAttribute(panelHandle, ATTR_TITLE, plainTitle.c_str());
}

// The whole text of a control of the main panel.
std::string ControlText(int control) {
    int length = 0;
    if (GetCtrlValLength(panelHandle, control, &length) < 0 || length < 0) return "";
    std::string text(static_cast<size_t>(length) + 1, '\0');
    if (GetCtrlVal(panelHandle, control, text.data(), text.size()) < 0) return "";
    text.resize(std::char_traits<char>::length(text.c_str()));
    return text;
}

std::string Text(const char *field) {
    return std::string(field);
}

HistoryResult FromRecord(const TestRecord &record, int typed) {
    HistoryResult r;
    r.source = typed != 0 ? HISTORY_SOURCE_TYPED : HISTORY_SOURCE_TESTER;
    r.shownUtc = record.ShownAt != 0 ? record.ShownAt : RT_CurrentTime();
    const std::time_t at = static_cast<std::time_t>(r.shownUtc);
    std::tm local{};
    if (localtime_r(&at, &local) != nullptr) r.utcOffset = static_cast<int32_t>(local.tm_gmtoff);
    r.programVersion = KS_PROGRAM_VERSION;
    r.logo0 = Text(record.Logo0);
    r.logo1 = Text(record.Logo1);
    for (int k = 0; k < KS_INFO_LINES; ++k)
        r.info[static_cast<size_t>(k)] = Text(record.Info[k]);
    r.sys24V = record.Sys24V;
    r.inVehicle = record.InVehicle;
    r.setPoint = record.SetPoint;
    r.system = record.System;
    r.jisNo = Text(record.JisNo);
    r.bVolt = record.BVolt;
    r.bCca = record.BCca;
    r.bRslt = record.BRslt;
    r.bType = record.BType;
    r.soc = record.Soc;
    r.tCode = Text(record.TCode);
    r.cCode = Text(record.CCode);
    r.ver = Text(record.Ver);
    r.tComp = record.TComp;
    r.b4aCh = record.B4aCh;
    r.sChrg = record.SChrg;
    r.sys6V = record.Sys6V;
    r.testNo = record.TestNo;
    r.serNo = record.SerNo;
    return r;
}

void (*changeListener)(void) = nullptr;

void Changed() {
    if (changeListener) changeListener();
}

std::string DatabasePath() {
    char directory[KS_FULL_PATH_SIZE] = "";
    if (GetProjectDir(directory) != 0) return "";
    return std::string(directory) + "/" + kHistoryFileName;
}

// An exit() from inside the event loop (the toolkit does so when the display goes away) runs the
// static destructors, and Qt SQL's own come before the store's: the store is closed first by a
// handler registered after Qt SQL has made them, so nothing of it is left for its destructor.
void CloseAtExit() {
    KsHistoryFinish();
}

// Opens the database; the operator hears once of a file moved aside or written by a newer program.
bool Open() {
    if (store && store->IsOpen()) return true;
    if (!store) store = std::make_unique<HistoryStore>();
    const bool first = !triedOpen;
    triedOpen = true;
    const std::string path = DatabasePath();
    if (path.empty()) return false;
    const int result = store->Open(path);
    // Registered after the first open, which has made Qt SQL's statics.
    static const bool closedAtExit = std::atexit(CloseAtExit) == 0;
    (void)closedAtExit;
    if (result == 0 && !store->MovedAside().empty())
        KsShowFileNotice(PNL_HISTORY_MOVED, store->MovedAside().c_str(), 0);
    if (result == HISTORY_ERR_READ_ONLY && first) KsShowNotice(PNL_HISTORY_NEWER);
    if (result != 0) nextRetry = Timer() + kRetrySeconds;
    return result == 0;
}

// Writes the results that wait, oldest first; stops at the first that does not go in.
void Flush() {
    while (!waiting.empty()) {
        const int64_t id = store->Add(waiting.front());
        if (id <= 0) {
            nextRetry = Timer() + kRetrySeconds;
            return;
        }
        waiting.pop_front();
        Changed();
        if (waiting.empty() && shownWaits) {
            shownWaits = false;
            shownId = id;
        }
    }
}

} // namespace

void KsHistoryStoreShown(const TestRecord &record, int typed) {
    Unmark();
    waiting.push_back(FromRecord(record, typed));
    shownWaits = true;
    shownId = 0;
    if (Open()) Flush();
}

void KsHistoryUpdateTexts(void) {
    if (panelHandle <= 0 || (shownId <= 0 && !shownWaits)) return;
    const std::string entry = ControlText(MAIN_ENTRY);
    const std::string notes = ControlText(MAIN_NOTES);
    if (shownWaits) {
        waiting.back().entry = entry;
        waiting.back().notes = notes;
        return;
    }
    if (store && store->IsOpen() && store->UpdateTexts(shownId, entry, notes) == 0) Changed();
}

std::string KsHistoryPath(void) {
    return DatabasePath();
}

void KsHistoryOnChange(void (*listener)(void)) {
    changeListener = listener;
}

void KsHistoryMarkOpened(const char *marker) {
    KsHistoryUpdateTexts();
    shownId = 0;
    shownWaits = false;
    if (!opened) {
        int length = 0;
        GetPanelAttribute(panelHandle, ATTR_TITLE_LENGTH, &length);
        std::string title(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
        GetPanelAttribute(panelHandle, ATTR_TITLE, title.data(), title.size());
        title.resize(std::char_traits<char>::length(title.c_str()));
        plainTitle = title;
    }
    opened = true;
    SetPanelAttribute(panelHandle, ATTR_TITLE, (plainTitle + " \u2014 " + marker).c_str());
}

int KsHistoryOpenedShown(void) {
    return opened ? 1 : 0;
}

void KsHistoryIdle(void) {
    const bool due = !triedOpen || ((!waiting.empty() || !store->IsOpen()) && Timer() >= nextRetry);
    if (!due) return;
    if (Open()) Flush();
}

void KsHistoryFinish(void) {
    KsHistoryUpdateTexts();
    if (store && store->IsOpen()) Flush();
    if (store) store->Close();
}

HistoryHealth KsHistoryHealth(void) {
    if (store) return store->Health();
    return HistoryHealth{};
}

int KsHistoryWaiting(void) {
    return static_cast<int>(waiting.size());
}

HistoryStore *KsHistoryStore(void) {
    return store && store->IsOpen() ? store.get() : nullptr;
}

void KsResetHistoryState(void) {
    store.reset();
    triedOpen = false;
    nextRetry = 0.0;
    waiting.clear();
    shownId = 0;
    shownWaits = false;
    plainTitle.clear();
    opened = false;
}

// The main panel's status line. See ks_status.h.
#include "app/ks_status.h"

#include <string>

#include "app/ks_hist.h"
#include "app/ks_ids.h"
#include "app/ks_workshop.h"
#include "app/ks_popup.h"
#include "app/ks_state.h"
#include "platform/runtime.h"

namespace {

// The device path is shown whole up to this many bytes, else its tail after an ellipsis, so a
// long path never pushes the state off the line.
constexpr size_t kMaxDeviceShown = 24;
constexpr char kEllipsis[] = "\xE2\x80\xA6";
constexpr char kSeparator[] = "  |  ";
constexpr int kTextSize = 512; // a status word, a device path, the whole line

// Values of the status-text ring's items that are not link states.
enum {
    TEXT_PORT = 1,
    TEXT_LAST_RECORD = 8,
    TEXT_RESULTS_TODAY = 9,
    TEXT_HISTORY_UNSAVED = 10,
    TEXT_SERVER_UP_TO_DATE = 11,
    TEXT_SERVER_WAITING = 12,
    TEXT_SERVER_NO_CONNECTION = 13,
};

bool receiving = false;
long long lastShown = 0; // 0: no result yet in this run
std::string countedDay;  // the day resultsThatDay belongs to
int resultsThatDay = 0;
std::string note;

std::string Word(int value) {
    int index = -1;
    char text[kTextSize] = "";
    if (GetIndexFromValue(panelHandle, MAIN_STATUS_TEXTS, &index, value) < 0 ||
        GetLabelFromIndex(panelHandle, MAIN_STATUS_TEXTS, index, text) < 0)
        return std::string();
    return text;
}

// The workshop server's part of the line: its state and the results it still lacks.
std::string ServerPart(const WorkshopStatus &server) {
    if (server.state == WORKSHOP_UP_TO_DATE) return Word(TEXT_SERVER_UP_TO_DATE);
    const std::string count = " (" + std::to_string(server.backlog) + ")";
    if (server.state == WORKSHOP_FAILING) return Word(TEXT_SERVER_NO_CONNECTION) + count;
    return Word(TEXT_SERVER_WAITING) + count;
}

std::string Shortened(const std::string &device) {
    if (device.size() <= kMaxDeviceShown) return device;
    size_t cut = device.size() - kMaxDeviceShown;
    while (cut < device.size() && (static_cast<unsigned char>(device[cut]) & 0xC0) == 0x80)
        ++cut; // never inside a character
    return kEllipsis + device.substr(cut);
}

std::string Composed(KsLinkState state, const std::string &device) {
    std::string line = Word(TEXT_PORT) + " " + std::to_string(HostConfig.ComPort);
    if (!device.empty()) line += ": " + Shortened(device);
    line += kSeparator + Word(state);
    // Results the history cannot take wait in memory: that says more than the last record and
    // the count, and takes their room on the line.
    const int unsaved = KsHistoryWaiting();
    if (unsaved > 0 || !KsHistoryHealth().ok) {
        line += kSeparator + Word(TEXT_HISTORY_UNSAVED) + ": " + std::to_string(unsaved);
        if (!note.empty()) line += kSeparator + note;
        return line;
    }
    // With a workshop server, its state takes the place of the last record's time.
    const WorkshopStatus server = KsWorkshopStatus();
    if (server.state != WORKSHOP_OFF) {
        line += kSeparator + ServerPart(server);
    } else {
        line += kSeparator + Word(TEXT_LAST_RECORD) + ": " +
                (lastShown != 0 ? std::string(RT_TimeStrAt(lastShown)) : std::string("-"));
    }
    const bool today = countedDay == RT_DateStrAt(RT_CurrentTime());
    line +=
        kSeparator + Word(TEXT_RESULTS_TODAY) + ": " + std::to_string(today ? resultsThatDay : 0);
    if (!note.empty()) line += kSeparator + note;
    return line;
}

KsLinkState StateAndDevice(std::string &device) {
    char path[kTextSize] = "";
    if (commStatus == 1) return KS_LINK_OPENING;
    if (commStatus < 0) return commStatus == -1 || KsQuitting() ? KS_LINK_CLOSED : KS_LINK_FAILED;
    const int port = RT_ComPortState(HostConfig.ComPort, path, sizeof path);
    device = path;
    if (port == RT_COM_STATE_LOST) return KS_LINK_LOST;
    if (port != RT_COM_STATE_OPEN) return KS_LINK_CLOSED;
    return receiving ? KS_LINK_RECEIVING : KS_LINK_WAITING;
}

} // namespace

void KsStatusUpdate(void) {
    if (panelHandle <= 0) return;
    std::string device;
    const KsLinkState state = StateAndDevice(device);
    const std::string line = Composed(state, device);
    char shown[kTextSize] = "";
    GetCtrlVal(panelHandle, MAIN_STATUS, shown);
    if (line != shown) SetCtrlVal(panelHandle, MAIN_STATUS, line.c_str());
}

void KsStatusSetReceiving(int on) {
    receiving = on != 0;
    KsStatusUpdate();
}

void KsStatusResultShown(long long calendarTime) {
    lastShown = calendarTime;
    const std::string day = RT_DateStrAt(calendarTime);
    if (day != countedDay) {
        countedDay = day;
        resultsThatDay = 0;
    }
    ++resultsThatDay;
    KsStatusUpdate();
}

void KsStatusSetNote(const char *text) {
    note = text != nullptr ? text : "";
    KsStatusUpdate();
}

void KsStatusReset(void) {
    receiving = false;
    lastShown = 0;
    countedDay.clear();
    resultsThatDay = 0;
    note.clear();
}

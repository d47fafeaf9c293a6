// The results log and the save command. See ks_save.h.
#include "app/ks_save.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <string>

#include "app/ks_hist.h"
#include "app/ks_ids.h"
#include "app/ks_popup.h"
#include "app/ks_state.h"
#include "platform/runtime.h"
#include "toolbox/locale_layout.h"

namespace {

const char kTextFiles[] = "*.txt";
constexpr int kScratchSize = 256;
// Names tried for this run's log when the previous one cannot be kept as "TCLOG.bak":
// "TCLOG.1" ... "TCLOG.999", the first that does not exist.
constexpr int kMaxLogAlternatives = 999;
// Seconds between two attempts to write rows that wait in memory.
constexpr double kLogRetrySeconds = 2.0;

// Main-panel controls whose labels head the columns 3 to 12, in column order.
const int kLogColumns[] = {MAIN_ENTRY, MAIN_TCODE,  MAIN_INVEH, MAIN_TCOMP, MAIN_SETPNT,
                           MAIN_BVOLT, MAIN_SYSTEM, MAIN_BRSLT, MAIN_SOC,   MAIN_NOTES};

bool logBackedUp = false; // the previous run's log is kept once, before this run first writes
// Rows (the header first when it is not on disk yet) that the log could not take, in order.
std::deque<std::string> unwrittenRows;
bool logFailureTold = false; // the operator knows that rows wait; told again once they are in
// A log started again in the same run (after a save copied it) replaces the file with its header.
bool headerReplacesLog = false;
double nextLogRetry = 0.0; // Timer() time of the next attempt from KsRetryLog

// Appends printf-style text to a row.
__attribute__((format(printf, 2, 3))) void FmtRow(std::string &row, const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        const size_t at = row.size();
        row.resize(at + static_cast<size_t>(length) + 1);
        std::vsnprintf(row.data() + at, static_cast<size_t>(length) + 1, format, again);
        row.resize(at + static_cast<size_t>(length));
    }
    va_end(again);
}

// Appends one text column (a tab follows unless it is the last column). Line breaks and tabs
// inside the text become blanks, so every row keeps the header's columns.
void WriteColumn(std::string &row, const char *text, bool last = false) {
    std::string column(text);
    Remove_NL(column.data());
    FmtRow(row, last ? "%s" : "%s\t", column.c_str());
}

// Appends the label of a ring item (by index) as one column.
void WriteRingLabel(std::string &row, int ring, int index) {
    char text[kScratchSize] = "";
    GetLabelFromIndex(panelHandle, ring, index, text);
    WriteColumn(row, text);
}

// The header: two empty columns, then the labels of the logged controls.
std::string HeaderRow() {
    std::string row = "\t\t";
    char text[kScratchSize];
    for (int control : kLogColumns) {
        text[0] = '\0';
        GetCtrlAttribute(panelHandle, control, ATTR_LABEL_TEXT, text);
        WriteColumn(row, text, control == MAIN_NOTES);
    }
    return row + "\n";
}

std::string DataRow(const TestRecord &record) {
    std::string row;
    // The row carries the time its record was shown, not the time it is written (the pending
    // record is written when the next one arrives, which can be hours later).
    const long long shownAt = record.ShownAt != 0 ? record.ShownAt : RT_CurrentTime();
    FmtRow(row, "%s\t", RT_DateStrAt(shownAt));
    FmtRow(row, "%s\t", RT_TimeStrAt(shownAt));
    char text[kScratchSize];
    text[0] = '\'';
    text[1] = '\0';
    GetCtrlVal(panelHandle, MAIN_ENTRY, text + 1, sizeof text - 1);
    WriteColumn(row, text);
    WriteColumn(row, record.TCode);
    WriteRingLabel(row, MAIN_INVEH, record.InVehicle);
    WriteRingLabel(row, MAIN_TCOMP, record.TComp);
    FmtRow(row, "%i\t", static_cast<int>(record.SetPoint));
    // Room for any double in "%f": sign, the 309 digits of the largest, point, 6 decimals and
    // the terminator, so that the voltage column is never cut.
    constexpr size_t kFixedDoubleSize =
        1 + (std::numeric_limits<double>::max_exponent10 + 1) + 1 + 6 + 1;
    char volts[kFixedDoubleSize];
    Fmt(volts, "%f", record.BVolt);
    LocalizeNumberString(volts);
    FmtRow(row, "%s\t", volts);
    WriteRingLabel(row, MAIN_SYSTEM, record.System);
    int index = -1;
    GetIndexFromValue(panelHandle, MAIN_BRSLT, &index, static_cast<int>(record.BRslt));
    WriteRingLabel(row, MAIN_BRSLT, index);
    WriteRingLabel(row, MAIN_SOC, record.Soc);
    text[0] = '\0';
    GetCtrlVal(panelHandle, MAIN_NOTES, text);
    WriteColumn(row, text, /*last=*/true);
    return row + "\n";
}

// Writes "directory/name" and the suffix into path; false (path empty) when it does not fit, so a
// cut path is never used.
template <size_t N>
bool JoinPath(char (&path)[N], const char *directory, const char *name, const char *suffix = "") {
    const int length = std::snprintf(path, N, "%s/%s%s", directory, name, suffix);
    if (length >= 0 && static_cast<size_t>(length) < N) return true;
    path[0] = '\0';
    return false;
}

// Keeps the previous run's log as "TCLOG.bak". When it cannot be kept so (a folder of that name,
// a folder that refuses the rename), it stays where it is, and this run's log goes to the first
// free "TCLOG.<n>" instead, which the operator is told once. A log that was not kept is never
// written over.
void KeepPreviousLog() {
    int size = 0;
    if (GetFileInfo(logFilePath, &size) != 1) return; // nothing to keep
    const std::string log = logFilePath;
    if (std::rename(log.c_str(), (log + kLogBackupSuffix).c_str()) == 0) return;
    logFilePath[0] = '\0';
    for (int n = 1; n <= kMaxLogAlternatives; ++n) {
        const std::string alternative = log + "." + std::to_string(n);
        if (GetFileInfo(alternative.c_str(), &size) != 0) continue;
        std::snprintf(logFilePath, sizeof logFilePath, "%s", alternative.c_str());
        break;
    }
    // Without a free name logFilePath stays empty: the rows wait in memory and the operator is
    // told that the log cannot be written.
    if (logFilePath[0] != '\0') KsShowFileNotice(PNL_LOG_ELSEWHERE, logFilePath, 0);
}

void StartLog() {
    logStarted = 1;
    char directory[KS_FULL_PATH_SIZE] = "";
    // A log path that cannot be built stays empty, so the rows wait in memory rather than land
    // anywhere else.
    if (GetProjectDir(directory) != 0 || !JoinPath(logFilePath, directory, kLogName))
        logFilePath[0] = '\0';
    if (!logBackedUp && logFilePath[0] != '\0') {
        logBackedUp = true;
        KeepPreviousLog();
    } else {
        // This run's earlier log is in the saved file: the new one starts afresh.
        headerReplacesLog = unwrittenRows.empty();
    }
    unwrittenRows.push_back(HeaderRow());
}

} // namespace

void Remove_NL(char *text) {
    for (; *text != '\0'; ++text)
        if (*text == '\n' || *text == '\r' || *text == '\t') *text = ' ';
}

void KsResetLogState(void) {
    logStarted = 0;
    logFilePath[0] = '\0';
    logBackedUp = false;
    unwrittenRows.clear();
    logFailureTold = false;
    headerReplacesLog = false;
    nextLogRetry = 0.0;
}

int KsFlushLog(void) {
    while (!unwrittenRows.empty()) {
        const std::string &row = unwrittenRows.front();
        int result = RT_ERR_FILE_NOT_FOUND;
        if (logFilePath[0] != '\0')
            result = headerReplacesLog ? RT_ReplaceFile(logFilePath, row.data(), row.size())
                                       : RT_AppendWhole(logFilePath, row.data(), row.size());
        if (result < 0) {
            nextLogRetry = Timer() + kLogRetrySeconds;
            if (!logFailureTold) {
                logFailureTold = true;
                char directory[KS_FULL_PATH_SIZE] = "";
                GetProjectDir(directory);
                const std::string shown = logFilePath[0] != '\0'
                                              ? std::string(logFilePath)
                                              : std::string(directory) + "/" + kLogName;
                KsShowFileNotice(PNL_LOG_NOT_WRITTEN, shown.c_str(), result);
            }
            return static_cast<int>(unwrittenRows.size());
        }
        unwrittenRows.pop_front();
        headerReplacesLog = false;
    }
    if (logFailureTold) {
        logFailureTold = false;
        KsShowNotice(PNL_LOG_CAUGHT_UP);
    }
    return 0;
}

int KsLogRowsWaiting(void) {
    return static_cast<int>(unwrittenRows.size());
}

void KsRetryLog(void) {
    if (!unwrittenRows.empty() && Timer() >= nextLogRetry) KsFlushLog();
}

void KsReportUnwrittenRows(void) {
    if (unwrittenRows.empty()) return;
    std::fprintf(stderr,
                 "ks_read: the results log %s could not be written; these rows were not saved:\n",
                 logFilePath);
    for (const auto &row : unwrittenRows)
        std::fputs(row.c_str(), stderr);
}

void Save2LogFile(TestRecord *record) {
    // The entry and notes being logged are those of the shown result's history row too.
    KsHistoryUpdateTexts();
    if (logStarted == 0) StartLog();
    unwrittenRows.push_back(DataRow(*record));
    KsFlushLog();
}

void Save2File(void) {
    char directory[KS_FULL_PATH_SIZE] = "";
    if (GetProjectDir(directory) != 0) return;
    char folder[KS_FULL_PATH_SIZE] = "";
    // Without a start folder there is no dialog: the command ends as when the dialog fails.
    if (!JoinPath(folder, directory, kDataFolder, "/")) return;
    if (GetFileInfo(folder, &Size) == 0) MakeDir(folder);
    // The chosen path comes back in a text of its own, so the start folder is never overwritten
    // while the dialog still reads it.
    char path[KS_FULL_PATH_SIZE] = "";
    if (FileSelectPopup(folder, kTextFiles, kTextFiles, KsCommandTitle(MENU_SAVE).c_str(),
                        VAL_SAVE_BUTTON, 0, 1, 1, 1, path) <= 0)
        return;
    Save2LogFile(&NewDataInput);
    // A log that still misses rows would give a file without them.
    if (KsLogRowsWaiting() > 0 || RT_CopyFile(logFilePath, path) != 0) {
        KsShowNotice(PNL_COPY_FAILED);
        return;
    }
    Save2Log = 0;
    logStarted = 0;
}

void KsEndUnanswered(int popup) {
    if (KsPopupIsUp(popup)) RemovePopup(0);
    KsRetirePopup(popup);
    if (Save2Log != 0) {
        Save2LogFile(&NewDataInput);
        Save2Log = 0;
    }
    KsClosePortAndQuit();
}

int SaveCB(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    RemovePopup(0);
    KsRetirePopup(panel);
    if (control == SAVE_QUIT_SAVE) {
        if (Save2Log != 0) Save2File();
    } else if (control != SAVE_QUIT_DISCARD) {
        KsClearEndRequest(); // the operator is there and chose to stay
        return 0;
    }
    KsClosePortAndQuit();
    return 0;
}

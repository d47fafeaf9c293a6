// The results log and the save command. See ks_save.h.
#include "app/ks_save.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "app/ks_ids.h"
#include "app/ks_popup.h"
#include "app/ks_state.h"
#include "platform/runtime.h"
#include "toolbox/locale_layout.h"

namespace {

const char kTextFiles[] = "*.txt";
constexpr int kScratchSize = 256;

// Main-panel controls whose labels head the columns 3 to 12, in column order.
const int kLogColumns[] = {MAIN_ENTRY, MAIN_TCODE,  MAIN_INVEH, MAIN_TCOMP, MAIN_SETPNT,
                           MAIN_BVOLT, MAIN_SYSTEM, MAIN_BRSLT, MAIN_SOC,   MAIN_NOTES};

bool logBackedUp = false; // the previous run's log is kept once, before this run first truncates

// Writes one text column of a data row (a tab follows unless it is the last column). Line
// breaks and tabs inside the text become blanks, so every row keeps the header's columns.
void WriteColumn(int fileHandle, const char *text, bool last = false) {
    std::string column(text);
    Remove_NL(column.data());
    FmtFile(fileHandle, last ? "%s" : "%s\t", column.c_str());
}

// Writes the label of a ring item (by index) as one column.
void WriteRingLabel(int fileHandle, int ring, int index) {
    char text[kScratchSize] = "";
    GetLabelFromIndex(panelHandle, ring, index, text);
    WriteColumn(fileHandle, text);
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

int StartLog() {
    logStarted = 1;
    char directory[KS_PATH_WIDTH] = "";
    GetProjectDir(directory);
    // A log path that does not fit fails like a log that cannot be opened; the empty path keeps
    // later appends and the save's copy failing too.
    if (!JoinPath(logFilePath, directory, kLogName)) return -1;
    if (!logBackedUp) {
        logBackedUp = true;
        int size = 0;
        if (GetFileInfo(logFilePath, &size) == 1) {
            const std::string backup = std::string(logFilePath) + kLogBackupSuffix;
            std::rename(logFilePath, backup.c_str());
        }
    }
    const int fileHandle = RT_OpenFile(logFilePath, RT_FILE_WRITE, RT_FILE_TRUNCATE, RT_FILE_ASCII);
    if (fileHandle < 0) return fileHandle;
    FmtFile(fileHandle, "\t\t");
    char text[kScratchSize];
    for (int control : kLogColumns) {
        text[0] = '\0';
        GetCtrlAttribute(panelHandle, control, ATTR_LABEL_TEXT, text);
        Remove_NL(text);
        if (control != MAIN_NOTES)
            FmtFile(fileHandle, "%s\t", text);
        else
            FmtFile(fileHandle, "%s", text);
    }
    FmtFile(fileHandle, "\n");
    return fileHandle;
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
}

void Save2LogFile(TestRecord *record) {
    const int fileHandle =
        logStarted == 0 ? StartLog()
                        : RT_OpenFile(logFilePath, RT_FILE_WRITE, RT_FILE_APPEND, RT_FILE_ASCII);
    if (fileHandle < 0) return;
    // The row carries the time its record was shown, not the time it is written (the pending
    // record is written when the next one arrives, which can be hours later).
    const long long shownAt = record->ShownAt != 0 ? record->ShownAt : RT_CurrentTime();
    FmtFile(fileHandle, "%s\t", RT_DateStrAt(shownAt));
    FmtFile(fileHandle, "%s\t", RT_TimeStrAt(shownAt));
    char text[kScratchSize];
    text[0] = '\'';
    text[1] = '\0';
    GetCtrlVal(panelHandle, MAIN_ENTRY, text + 1, sizeof text - 1);
    WriteColumn(fileHandle, text);
    WriteColumn(fileHandle, record->TCode);
    WriteRingLabel(fileHandle, MAIN_INVEH, record->InVehicle);
    WriteRingLabel(fileHandle, MAIN_TCOMP, record->TComp);
    FmtFile(fileHandle, "%i\t", static_cast<int>(record->SetPoint));
    // Room for any double in "%f": sign, the 309 digits of the largest, point, 6 decimals and
    // the terminator, so that the voltage column is never cut.
    constexpr size_t kFixedDoubleSize =
        1 + (std::numeric_limits<double>::max_exponent10 + 1) + 1 + 6 + 1;
    char volts[kFixedDoubleSize];
    Fmt(volts, "%f", record->BVolt);
    LocalizeNumberString(volts);
    FmtFile(fileHandle, "%s\t", volts);
    WriteRingLabel(fileHandle, MAIN_SYSTEM, record->System);
    int index = -1;
    GetIndexFromValue(panelHandle, MAIN_BRSLT, &index, static_cast<int>(record->BRslt));
    WriteRingLabel(fileHandle, MAIN_BRSLT, index);
    WriteRingLabel(fileHandle, MAIN_SOC, record->Soc);
    text[0] = '\0';
    GetCtrlVal(panelHandle, MAIN_NOTES, text);
    WriteColumn(fileHandle, text, /*last=*/true);
    FmtFile(fileHandle, "\n");
    RT_CloseFile(fileHandle);
}

void Save2File(void) {
    char directory[KS_PATH_WIDTH] = "";
    GetProjectDir(directory);
    char folder[KS_PATH_WIDTH] = "";
    // Without a start folder there is no dialog: the command ends as when the dialog fails.
    if (!JoinPath(folder, directory, kDataFolder, "/")) return;
    if (GetFileInfo(folder, &Size) == 0) MakeDir(folder);
    // The chosen path comes back in a text of its own, so the start folder is never overwritten
    // while the dialog still reads it.
    char path[KS_PATH_WIDTH] = "";
    if (FileSelectPopup(folder, kTextFiles, kTextFiles, kDialogTitle, VAL_SAVE_BUTTON, 0, 1, 1, 1,
                        path) <= 0)
        return;
    Save2LogFile(&NewDataInput);
    if (RT_CopyFile(logFilePath, path) != 0) {
        KsShowNotice(PNL_COPY_FAILED);
        return;
    }
    Save2Log = 0;
    logStarted = 0;
}

int SaveCB(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    RemovePopup(0);
    KsRetirePopup(panel);
    if (control == SAVE_QUIT_SAVE) {
        if (Save2Log != 0) Save2File();
    } else if (control != SAVE_QUIT_DISCARD) {
        return 0;
    }
    KsClosePortAndQuit();
    return 0;
}

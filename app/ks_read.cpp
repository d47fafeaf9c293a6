// Start-up, the settings file, serial reception, record display and typed test codes.
// See ks_read.h.
#include "app/ks_read.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/ks_hist.h"
#include "app/ks_workshop.h"
#include "app/ks_language.h"
#include "app/ks_popup.h"
#include "app/ks_save.h"
#include "app/ks_status.h"
#include "app/ks_workshoppanel.h"
#include "localization/localize.h"
#include "platform/runtime.h"
#include "toolbox/locale_layout.h"
#include "toolbox/progress_dialog.h"

namespace {

// Serial line and reception limits.
constexpr long kBaudRate = 9600;
constexpr int kParityNone = 0;
constexpr int kDataBits = 8;
constexpr int kStopBits = 1;
constexpr int kInputQueue = 32768;
constexpr int kOutputQueue = 512;
constexpr double kReadTimeout = 0.2;     // seconds per read while polling
constexpr double kDtrPulse = 0.1;        // seconds of the DTR low pulse (and the wait before it)
constexpr double kRecordDeadline = 10.0; // seconds from the start line to the stop line
constexpr double kPassPause = 0.03;      // seconds of pause per reception pass
constexpr int kProgressStep = 5;
constexpr int kLineSize = 256; // most bytes of one received line
constexpr int kEscRaiseRts = 3, kEscRaiseDtr = 5, kEscLowerDtr = 6;
constexpr int kDateSize = 256;
constexpr int kMeasuredSize = 64; // "2147483647 A, 100 %" and room to spare
constexpr int kTextBoxLineSize = 256;
constexpr int kLegacyFileSize = 4;
constexpr double kPortRetrySeconds = 2.0; // between attempts to open a port that failed to open
constexpr int kNulByte = 0;               // a NUL alone is an empty line

// Closes the global `file` when a settings or readme access ends, however it ends.
struct FileCloser {
    ~FileCloser() {
        if (file != nullptr) {
            std::fclose(file);
            file = nullptr;
        }
    }
};

// Reads the 4-byte legacy language file into Language; its path when it was read (it is deleted
// once the settings file holds the language), else "".
std::string ReadLegacyLanguage() {
    char legacyPath[KS_FULL_PATH_SIZE];
    if (RT_MapLegacyPath(kLegacyLanguageFile, legacyPath, sizeof legacyPath) < 0) return "";
    if (GetFileInfo(legacyPath, &Size) != 1 || Size != kLegacyFileSize) return "";
    unsigned char bytes[kLegacyFileSize] = {};
    {
        FileCloser closer;
        file = std::fopen(legacyPath, "rb");
        if (file == nullptr) return "";
        if (std::fread(bytes, 1, sizeof bytes, file) != sizeof bytes) return "";
    }
    const uint32_t value =
        static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
        (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    HostConfig.Language = KsValidLanguage(static_cast<int32_t>(value));
    return legacyPath;
}

void ShowLogo(int control, const char *path) {
    if (std::strcmp(path, kLogoNone) != 0)
        DisplayImageFile(panelHandle, control, path);
    else
        DeleteImage(panelHandle, control);
}

int receptionDepth = 0; // KSMainCB entries in progress; nested events must not poll again
// A port that could not be opened is tried again at this Timer() time (0: no retry due), without
// a further notice, so a tester plugged in (or a link made) later is found.
double portRetryAt = 0.0;

// The port notice names the port and the device behind it, so that the operator can tell a
// wrong number from an unplugged adapter.
void ShowPortNotice(int port) {
    MessagePanel = KsLoadPanelInLanguage(PNL_PORT_FAILED);
    if (MessagePanel < 0) return;
    char device[KS_FULL_PATH_SIZE] = "";
    RT_ComPortDevice(port, device);
    const std::string name = "COM" + std::to_string(port);
    SetCtrlVal(MessagePanel, NOPORT_PORT,
               (device[0] != '\0' ? name + "  \u2192  " + device : name).c_str());
    if (commStatus == RT_ERR_MODULE)
        SetCtrlVal(MessagePanel, NOPORT_NO_DEVICE, RT_ComModuleError());
    SetCtrlAttribute(MessagePanel, NOPORT_NO_DEVICE, ATTR_VISIBLE,
                     device[0] == '\0' || commStatus == RT_ERR_MODULE ? 1 : 0);
    KsShowLoadedNotice(MessagePanel);
}

void OpenPort(bool retry) {
    const int port = HostConfig.ComPort;
    commStatus = OpenComConfig(port, "", kBaudRate, kParityNone, kDataBits, kStopBits, kInputQueue,
                               kOutputQueue);
    if (commStatus < 0) {
        // The line says so before the notice waits for the operator.
        KsStatusUpdate();
        // commStatus is already negative, so idle events during the notice do nothing.
        if (!retry) ShowPortNotice(port);
        // Unless the notice's wait ended the program (or the operator chose a port meanwhile).
        if (commStatus < 0 && !KsQuitting()) portRetryAt = Timer() + kPortRetrySeconds;
        return;
    }
    portRetryAt = 0.0;
    commStatus = 0;
    // Polls come when bytes arrive (and every read time-out otherwise), so a poll never waits
    // on a quiet line while the operator types.
    RT_WakeIdleOnComInput(port, kReadTimeout);
    SetComTime(port, kReadTimeout);
    ComSetEscape(port, kEscRaiseRts);
    ComSetEscape(port, kEscRaiseDtr);
    Delay(kDtrPulse);
    ComSetEscape(port, kEscLowerDtr);
    Delay(kDtrPulse);
    ComSetEscape(port, kEscRaiseDtr);
}

// Reads one line into line (kLineSize + 1 bytes) and terminates it; returns the read's count.
int ReadLine(char (&line)[kLineSize + 1]) {
    const int n = ComRdTerm(HostConfig.ComPort, line, kLineSize, 0);
    line[(n > 0 && n <= kLineSize) ? n : 0] = '\0';
    return n;
}

// The pending-record rule: a newly shown record first logs the one before it (whose entry and
// notes are still on the panel); the first record of a run is only marked pending.
void LogPreviousRecord() {
    if (Save2Log != 0)
        Save2LogFile(&NewDataInput);
    else
        Save2Log = 1;
}

// Ends the reception of a complete record: the record goes on the panel, the one before it into
// the log, and the operator's entry and notes are cleared for the new one.
void CompleteRecord(int dialog) {
    DiscardProgressDialog(dialog);
    SetWaitCursor(0);
    KsStatusSetReceiving(0);
    // Keys and clicks the operator made while the record came in are waiting in the window
    // system. They are delivered now, before anything on the panel changes, so they reach the
    // control that had the focus when they were made (text typed into the entry goes with the
    // record on the panel so far). A command run by them must not take the received record away.
    const TestRecord received = DataInput;
    ProcessSystemEvents();
    DataInput = received;
    KsShowRecord();
    LogPreviousRecord();
    ResetTextBox(panelHandle, MAIN_NOTES, "");
    SetCtrlVal(panelHandle, MAIN_ENTRY, "");
    NewDataInput = DataInput;
    KsHistoryStoreShown(NewDataInput, /*typed=*/0);
    InstallMainCallback(KSMainCB, nullptr, 1);
    KsTrimInfoBox();
    SetActiveCtrl(panelHandle, MAIN_NOTES);
}

bool IsStartLine(const char *line) {
    return FindPattern(line, 0, -1, kStartPattern, 1, 1) >= 0;
}

void ReceiveRecord() {
    InstallMainCallback(nullptr, nullptr, 1);
    KsStatusSetReceiving(1);
    SetWaitCursor(1);
    // No cancel button: the reception never looks at one, and without it the dialog leaves the
    // keyboard with the main panel, so what the operator types meanwhile is not lost.
    const int dialog = CreateProgressDialog("", "", 1, 2, nullptr);
    int progress = 0;
    UpdateProgressDialog(dialog, progress, 0);
    std::memset(&DataInput, 0, sizeof DataInput);
    double start = Timer();
    int restarts = 0;
    char line[kLineSize + 1];
    while (Timer() < start + kRecordDeadline) {
        SyncWait(Timer(), kPassPause);
        progress += kProgressStep;
        UpdateProgressDialog(dialog, progress, 0);
        ReadLine(line);
        if (KsStoreValueLine(DataInput, line)) continue;
        if (KsIsStopLine(line)) {
            // The record shown is whole; a test cut off before it never had a result, so the
            // operator is not stopped for it, but the discarded part is told.
            if (restarts > 0)
                std::fprintf(stderr,
                             "ks_read: %d record(s) cut off by a new start line were discarded\n",
                             restarts);
            CompleteRecord(dialog);
            return;
        }
        if (IsStartLine(line)) {
            // The tester began again: what came so far belongs to a test that never ended and must
            // not mix into the new one.
            std::memset(&DataInput, 0, sizeof DataInput);
            start = Timer();
            progress = 0;
            ++restarts;
        }
    }
    DiscardProgressDialog(dialog);
    SetWaitCursor(0);
    KsStatusSetReceiving(0);
    KsShowNotice(PNL_RECORD_TIMEOUT);
    InstallMainCallback(KSMainCB, nullptr, 1);
}

} // namespace

// ---- Settings file -----------------------------------------------------------------------------

namespace {

bool startupDone = false;         // the main panel is up: notices can be shown at once
bool settingsFailureTold = false; // told once per run of the program
int settingsFailureToTell = 0;    // a failure met before the main panel was up
bool logoPathRefused = false;     // a default logo's path did not fit its settings field

void TellSettingsFailure(int error) {
    char directory[KS_FULL_PATH_SIZE] = "";
    const std::string path = getcwd(directory, sizeof directory) != nullptr
                                 ? std::string(directory) + "/" + kSettingsFile
                                 : std::string(kSettingsFile);
    KsShowFileNotice(PNL_SETTINGS_NOT_WRITTEN, path.c_str(), error);
}

} // namespace

int KsWriteSettings(void) {
    unsigned char bytes[KS_SETTINGS_SIZE];
    HostConfigToBytes(HostConfig, bytes);
    const int result = RT_ReplaceFile(kSettingsFile, bytes, sizeof bytes);
    if (result == 0) return 0;
    // The settings stay in memory; the operator hears of it once in a run.
    if (!settingsFailureTold) {
        settingsFailureTold = true;
        if (startupDone)
            TellSettingsFailure(result);
        else
            settingsFailureToTell = result;
    }
    return -1;
}

int KsReadSettings(void) {
    if (GetFileInfo(kSettingsFile, &Size) != 1 || Size != KS_SETTINGS_SIZE) return 0;
    unsigned char bytes[KS_SETTINGS_SIZE];
    {
        FileCloser closer;
        file = std::fopen(kSettingsFile, "rb");
        if (file == nullptr) return 0;
        if (std::fread(bytes, 1, sizeof bytes, file) != sizeof bytes) return 0;
    }
    HostConfigFromBytes(bytes, HostConfig);
    return 1;
}

// ---- Start-up ----------------------------------------------------------------------------------

void KsTrimInfoBox(void) {
    const int focused = GetActiveCtrl(panelHandle);
    SetActiveCtrl(panelHandle, MAIN_INFO);
    int offset = 0;
    GetTextBoxLineOffset(panelHandle, MAIN_INFO, KS_INFO_BOX_LINES, &offset);
    SetCtrlAttribute(panelHandle, MAIN_INFO, ATTR_TEXT_SELECTION_START, offset);
    FakeKeystroke(VAL_BACKSPACE_VKEY);
    // The operator's waiting keys belong to the control they were typed in, never to the
    // tester's information lines: the focus goes back before they are delivered.
    if (focused > 0 && focused != MAIN_INFO) SetActiveCtrl(panelHandle, focused);
    ProcessSystemEvents();
}

namespace {

// The default picture path of a fresh record; "NONE" (and the operator is told) when it does not
// fit its settings field, never a cut path.
void SetDefaultLogo(char (&field)[KS_PATH_WIDTH], const std::string &directory, const char *name) {
    const std::string path = directory + "/" + name;
    if (path.size() < sizeof field) {
        KsCopyField(field, path.c_str());
    } else {
        KsCopyField(field, kLogoNone);
        logoPathRefused = true;
    }
}

// The UI resource must be whole before anything is built from it. Returns false, after telling
// why, when one of the panels is missing or damaged.
template <size_t N> bool ResourceUsable(const std::string &directory, const int (&panels)[N]) {
    const std::string path = directory + "/" + kUiFile;
    for (int id : panels) {
        // Checked without building the panels.
        const int panel = RT_CheckPanelResource(kUiFile, id);
        if (panel == 0) continue;
        int size = 0;
        const bool present = GetFileInfo(path.c_str(), &size) == 1;
        KsReportStartFailure(
            std::string("The user-interface file ") + (present ? "is damaged" : "is missing") +
            ", so the program cannot start.\n\nLooked for: " + path +
            (present ? "\n(panel " + std::to_string(id) + " cannot be read from it: error " +
                           std::to_string(panel) + ")"
                     : std::string()) +
            "\n\nInstall the program again to restore the file.");
        return false;
    }
    return true;
}

// Notices met while starting, shown once the main panel is up.
void TellStartupNotices() {
    startupDone = true;
    if (settingsFailureToTell != 0) {
        TellSettingsFailure(settingsFailureToTell);
        settingsFailureToTell = 0;
    }
    if (logoPathRefused) {
        logoPathRefused = false;
        KsShowNotice(PNL_LOGO_PATH_TOO_LONG);
    }
}

} // namespace

int KsStartup(char **argv) {
    if (InitRuntime(0, argv, 0) == 0) return -1;
    // Everything the program reads and writes lies in its folder: a folder whose path cannot be
    // had stops the start here, before anything is written anywhere else.
    char directory[KS_FULL_PATH_SIZE] = "";
    if (GetProjectDir(directory) != 0) {
        KsReportStartFailure("The path of the program folder cannot be read or is longer than " +
                             std::to_string(KS_FULL_PATH_SIZE - 1) +
                             " characters, so the program cannot start.\n\nMove the program to "
                             "a folder with a shorter path.");
        return -1;
    }
    // Reading the settings writes nothing: a start with them checks the panels its first paint
    // needs, and the rest right after that paint. A first start checks them all before it
    // writes the settings.
    const bool settingsRead = KsReadSettings() != 0;
    if (settingsRead ? !ResourceUsable(directory, kStartupPanels)
                     : !ResourceUsable(directory, kResourcePanels))
        return -1;
    if (!settingsRead) {
        HostConfigStartFresh(HostConfig);
        const std::string legacyFile = ReadLegacyLanguage();
        if (legacyFile.empty()) {
            int language = 0;
            if (GetAppLanguage(&language) < 0) return -1;
            HostConfig.Language = KsValidLanguage(language);
        }
        HostConfig.ComPort = 1;
        SetDefaultLogo(HostConfig.Logo1Path, directory, kDefaultLogo1);
        SetDefaultLogo(HostConfig.Logo2Path, directory, kDefaultLogo2);
        KsCopyField(HostConfig.Logo3Path, kLogoNone);
        // The one-time legacy file goes only once the settings file holds its language;
        // otherwise the next start would have to ask again.
        if (KsWriteSettings() == 0 && !legacyFile.empty()) RT_DeleteFile(legacyFile.c_str());
    }
    GetLocalLanguageFilePath(HostConfig.Language, langFilePath, readmeFilePath);
    KsUseToolkitLanguage(HostConfig.Language);

    // The logos are read while the fonts are still being loaded on another thread.
    for (const char *logo : {HostConfig.Logo1Path, HostConfig.Logo2Path, HostConfig.Logo3Path})
        if (std::strcmp(logo, kLogoNone) != 0) RT_PreloadImageFile(logo);
    if (LoadLocalizedPanel(0, kUiFile, PNL_MAIN, langFilePath, &panelHandle) < 0) {
        // The language file failed, so this notice comes plain.
        MessagePanel = LoadPanel(0, kUiFile, PNL_LANGUAGE_FAILED);
        if (MessagePanel < 0) return -1;
        KsShowLoadedNotice(MessagePanel);
        panelHandle = LoadPanel(0, kUiFile, PNL_MAIN);
        if (panelHandle < 0) return -1;
    }

    for (int i = 0; i < KS_PRINT_SLOTS; ++i)
        SetPrintAttributeEx(kPrintAttributes[i], HostConfig.PrintSettings[i]);

    ShowLogo(MAIN_LOGO1, HostConfig.Logo1Path);
    ShowLogo(MAIN_LOGO2, HostConfig.Logo2Path);
    ShowLogo(MAIN_LOGO3, HostConfig.Logo3Path);
    KsApplyHeightRule(std::strcmp(HostConfig.Logo3Path, kLogoNone) != 0);
    KsLayoutMainPanel();

    SetSystemAttribute(ATTR_SYS_USE_LOCALIZED_DECIMAL_SYMBOL, 1);
    DisplayPanel(panelHandle);
    // The panels this start did not need yet, now that the main panel has been drawn.
    if (settingsRead && !ResourceUsable(directory, kResourcePanels)) return -1;
    // Polling (and the port) begins only with a whole resource.
    InstallMainCallback(KSMainCB, nullptr, 1);
    SetIdleEventRate(0);
    InsertTextBoxLine(panelHandle, MAIN_INFO, -1, "");
    for (const auto &line : HostConfig.InfoLines)
        InsertTextBoxLine(panelHandle, MAIN_INFO, -1, line);
    KsTrimInfoBox();
    TellStartupNotices();
    return 0;
}

void KsResetState(void) {
    InstallMainCallback(nullptr, nullptr, 0);
    KsResetGlobals();
    KsResetPopups();
    KsResetLogState();
    KsResetWorkshopPanel();
    KsResetWorkshopState();
    KsResetHistoryState();
    RT_WakeIdleOnComInput(0, 0.0);
    KsStatusReset();
    receptionDepth = 0;
    portRetryAt = 0.0;
    startupDone = false;
    settingsFailureTold = false;
    settingsFailureToTell = 0;
    logoPathRefused = false;
}

// ---- Main callback -----------------------------------------------------------------------------

int KSMainCB(int, int, int, void *, int, int) {
    // A popup or ProcessSystemEvents inside this callback can deliver further events; they must
    // not poll (or open) the port in the middle of the work of the outer call.
    if (receptionDepth > 0) return 0;
    ++receptionDepth;
    struct DepthGuard {
        ~DepthGuard() { --receptionDepth; }
    } guard;

    // A request to end that nobody answered in time (the save-before-quit popup waits here; the
    // quit confirmation waits with its own deadline).
    if (KsPopupIsUp(SavePanelHandle) && Timer() >= *KsEndTaskDeadline()) {
        KsEndUnanswered(SavePanelHandle);
        return 0;
    }
    KsRetryLog();
    KsHistoryIdle();
    KsWorkshopIdle();
    KsWorkshopPanelIdle();
    if (commStatus == 1) {
        OpenPort(/*retry=*/false);
        if (commStatus < 0) return 0;
    } else if (commStatus < 0 && portRetryAt > 0.0 && !KsQuitting() && Timer() >= portRetryAt) {
        OpenPort(/*retry=*/true);
        if (commStatus < 0) return 0;
    }
    KsStatusUpdate();
    if (commStatus != 0) return 0;
    // Nothing queued (or the device is away): nothing to read, and the loop stays free.
    if (GetInQLen(HostConfig.ComPort) <= 0) return 0;
    // Empty lines (a line held in BREAK, noise) go all at once, however fast they come, so that
    // a record after them is read as soon as it arrives.
    if (RT_ComDiscardLeading(HostConfig.ComPort, kNulByte) > 0 &&
        GetInQLen(HostConfig.ComPort) <= 0)
        return 0;
    char line[kLineSize + 1];
    const int n = ReadLine(line);
    if (n >= kLineSize || n < 0) {
        FlushInQ(HostConfig.ComPort);
        return 0;
    }
    if (n == 0) return 0;
    if (!IsStartLine(line)) {
        FlushInQ(HostConfig.ComPort);
        return 0;
    }
    ReceiveRecord();
    return 0;
}

// ---- Display -----------------------------------------------------------------------------------

namespace {

void ShowMeasuredCca(const TestRecord &record) {
    char text[kMeasuredSize] = "";
    KsFormatMeasuredCca(record, text, sizeof text);
    SetCtrlVal(panelHandle, MAIN_MEASURED, text);
}

} // namespace

void KsShowRecord(void) {
    DataInput.ShownAt = RT_CurrentTime();
    int lines = 0;
    GetNumTextBoxLines(panelHandle, MAIN_INFO, &lines);
    if (lines > 0)
        DeleteTextBoxLines(panelHandle, MAIN_INFO, 1, -1);
    else
        InsertTextBoxLine(panelHandle, MAIN_INFO, 0, "");
    for (int k = 0; k < KS_INFO_LINES; ++k) {
        InsertTextBoxLine(panelHandle, MAIN_INFO, -1, DataInput.Info[k]);
        KsCopyField(HostConfig.InfoLines[k], DataInput.Info[k]);
    }
    KsWriteSettings();
    SetCtrlVal(panelHandle, MAIN_SETPNT, static_cast<int>(DataInput.SetPoint));
    ShowMeasuredCca(DataInput);
    SetCtrlVal(panelHandle, MAIN_BVOLT, DataInput.BVolt);
    SetCtrlVal(panelHandle, MAIN_BRSLT, static_cast<int>(DataInput.BRslt));
    SetCtrlIndex(panelHandle, MAIN_SYSTEM, DataInput.System);
    SetCtrlVal(panelHandle, MAIN_TCODE, DataInput.TCode);
    SetCtrlIndex(panelHandle, MAIN_INVEH, DataInput.InVehicle);
    SetCtrlIndex(panelHandle, MAIN_TCOMP, DataInput.TComp);
    if (std::strlen(DataInput.TCode) >= KS_TESTCODE_SYMBOLS)
        SetCtrlIndex(panelHandle, MAIN_SOC, DataInput.Soc);
    else
        SetCtrlVal(panelHandle, MAIN_SOC, -1);
    char date[kDateSize] = "";
    InternationalDate(date, sizeof date);
    SetCtrlVal(panelHandle, MAIN_DATE, date);
    KsStatusResultShown(DataInput.ShownAt);
}

void ClearData(void) {
    SetCtrlVal(panelHandle, MAIN_SETPNT, 0);
    // The measured value goes with the rating it is a share of.
    SetCtrlVal(panelHandle, MAIN_MEASURED, "");
    SetCtrlVal(panelHandle, MAIN_BVOLT, 0.0);
    for (int ring : {MAIN_BRSLT, MAIN_SYSTEM}) {
        int count = 0;
        GetNumListItems(panelHandle, ring, &count);
        SetCtrlIndex(panelHandle, ring, count - 1);
    }
}

// ---- Test codes --------------------------------------------------------------------------------

void TCError(void) {
    KsShowNotice(PNL_BAD_TESTCODE);
}

int TestcodeCD(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    // Read more than the 11 characters that are examined, so that a longer entry is seen as too
    // long rather than silently cut into something valid.
    char typed[kTextBoxLineSize] = "";
    GetCtrlVal(panelHandle, MAIN_TCODE, typed);
    ClearData();
    KsTestCode code{};
    if (KsDecodeTestCode(typed, &code) != KS_TESTCODE_OK) {
        TCError();
        return 0;
    }
    std::memset(&DataInput, 0, sizeof DataInput);
    DataInput.ShownAt = RT_CurrentTime();
    DataInput.SetPoint = code.SetPoint;
    SetCtrlVal(panelHandle, MAIN_SETPNT, static_cast<int>(DataInput.SetPoint));
    DataInput.BVolt = code.BVolt;
    SetCtrlVal(panelHandle, MAIN_BVOLT, DataInput.BVolt);
    DataInput.BRslt = code.BRslt;
    int index = 0;
    GetIndexFromValue(panelHandle, MAIN_BRSLT, &index, static_cast<int>(DataInput.BRslt));
    SetCtrlIndex(panelHandle, MAIN_BRSLT, index);
    DataInput.System = code.System;
    SetCtrlIndex(panelHandle, MAIN_SYSTEM, DataInput.System);
    DataInput.InVehicle = code.InVehicle;
    SetCtrlIndex(panelHandle, MAIN_INVEH, DataInput.InVehicle);
    DataInput.TComp = code.TComp;
    SetCtrlIndex(panelHandle, MAIN_TCOMP, DataInput.TComp);
    DataInput.BCca = code.BCca;
    DataInput.BCcaGiven = 1;
    ShowMeasuredCca(DataInput);
    DataInput.Soc = code.Soc;
    SetCtrlIndex(panelHandle, MAIN_SOC, DataInput.Soc);
    SetCtrlVal(panelHandle, MAIN_TCODE, code.shown);
    char date[kDateSize] = "";
    InternationalDate(date, sizeof date);
    SetCtrlVal(panelHandle, MAIN_DATE, date);
    KsStatusResultShown(DataInput.ShownAt);

    int lines = 0;
    GetNumTextBoxLines(panelHandle, MAIN_INFO, &lines);
    if (lines > 1) {
        const int last = lines - 1 < KS_INFO_LINES ? lines - 1 : KS_INFO_LINES;
        for (int i = 1; i <= last; ++i) {
            char text[kTextBoxLineSize] = "";
            GetTextBoxLine(panelHandle, MAIN_INFO, i, text);
            KsCopyField(DataInput.Info[i - 1], text); // an over-long line is cut to 16
            KsCopyField(HostConfig.InfoLines[i - 1], DataInput.Info[i - 1]);
        }
        KsWriteSettings();
    }
    LogPreviousRecord();
    SetCtrlVal(panelHandle, MAIN_NOTES, "");
    SetCtrlVal(panelHandle, MAIN_ENTRY, "");
    NewDataInput = DataInput;
    KsCopyField(NewDataInput.TCode, code.shown);
    KsHistoryStoreShown(NewDataInput, /*typed=*/1);
    return 0;
}

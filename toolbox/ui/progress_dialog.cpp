// The progress dialog. See toolbox/progress_dialog.h.
#include "toolbox/ui/progress_dialog.h"
#include "toolbox/ui/progress_dialog_testing.h"

#include <new>
#include <unordered_set>

#include "platform/runtime.h"
#include "toolbox/ui/locale_layout.h"
#include "toolbox/core/toolbox.h"

namespace {

// Geometry in pixels.
constexpr int kPanelWidth = 328;
constexpr int kInitialPanelHeight = 10;
constexpr int kBarWidth = 300;
constexpr int kBarHeight = 14;
constexpr int kMargin = 14; // bar and label left, label top
constexpr int kLabelToBarGap = 4;
constexpr int kBoxMarginBelowBar = 28; // 14 above and 14 below the bar and its label
constexpr int kGapAboveButton = 14;
constexpr int kOffScreen = -100; // where a cancel button without text stays
constexpr int kPercentMin = 0;
constexpr int kPercentMax = 100;
constexpr int kAutomaticColour = 0x1000000;
constexpr int kSegmentedMarker = 3;
constexpr int kSegments = 3;

// Records this module made and has not released. A panel's callback data counts as a progress
// record only when it is one of these, so a foreign panel's data is never taken for one.
std::unordered_set<ProgressDialogData *> &liveRecords() {
    static std::unordered_set<ProgressDialogData *> records;
    return records;
}

int g_failStep = PD_STEP_NONE;
int g_failStatus = 0;
int g_lastPanel = 0;

// A (t) step's status, or the injected failure of that step.
int checked(int step, int status) {
    if (step == g_failStep && status >= 0) return g_failStatus;
    return status;
}

// Switches break-on-library-errors off for the lifetime of the guard and restores it after.
int SetBOLE(int on) {
    int previous = GetBreakOnLibraryErrors();
    if (on)
        EnableBreakOnLibraryErrors();
    else
        DisableBreakOnLibraryErrors();
    return previous;
}
class LibraryErrorsOff {
  public:
    LibraryErrorsOff() : saved_(SetBOLE(0)) {}
    ~LibraryErrorsOff() { SetBOLE(saved_); }
    LibraryErrorsOff(const LibraryErrorsOff &) = delete;
    LibraryErrorsOff &operator=(const LibraryErrorsOff &) = delete;

  private:
    int saved_;
};

// The panel's progress record: 1 found (*record set), 0 none, or the negative read status.
int findRecord(int panel, ProgressDialogData **record) {
    *record = nullptr;
    void *data = nullptr;
    int status = GetPanelAttribute(panel, ATTR_CALLBACK_DATA, &data);
    if (status < 0) return status;
    auto *candidate = static_cast<ProgressDialogData *>(data);
    if (!candidate || !liveRecords().count(candidate)) return 0;
    *record = candidate;
    return 1;
}

void releaseRecord(ProgressDialogData *record) {
    liveRecords().erase(record);
    delete record;
}

// Everything after the panel exists; a negative status ends the creation.
int buildDialog(ProgressDialogData *data, const char *indicatorLabel, int markerStyle,
                const char *cancelButtonLabel, bool *recordAttached) {
    const int panel = data->panel;
    int status = checked(PD_STEP_CLOSE_BOX, SetPanelAttribute(panel, ATTR_CLOSE_BOX_HIDDEN, 1));
    if (status < 0) return status;
    if ((status = checked(PD_STEP_SIZABLE, SetPanelAttribute(panel, ATTR_SIZABLE, 0))) < 0)
        return status;
    if ((status = checked(PD_STEP_CALLBACK_DATA, SetPanelAttribute(panel, ATTR_CALLBACK_DATA,
                                                                   static_cast<void *>(data)))) < 0)
        return status;
    *recordAttached = true;

    int indicator =
        checked(PD_STEP_NEW_BAR, NewCtrl(panel, CTRL_PROGRESS_BAR, indicatorLabel, 0, kMargin));
    if (indicator < 0) return indicator;
    data->indicator = indicator;

    if (cancelButtonLabel) {
        int button =
            checked(PD_STEP_NEW_BUTTON,
                    NewCtrl(panel, CTRL_COMMAND_BUTTON, cancelButtonLabel, kOffScreen, kOffScreen));
        if (button < 0) return button;
        data->cancelButton = button;
        if ((status = checked(PD_STEP_BUTTON_CALLBACK,
                              InstallCtrlCallback(panel, button, ProgressDialogCancelCB, data))) <
            0)
            return status;
        SetCtrlAttribute(panel, button, ATTR_SHORTCUT_KEY, static_cast<int>(VAL_ESC_VKEY));
    }

    // The bar's appearance; a run-time that lacks one of these still shows a usable bar.
    SetCtrlAttribute(panel, indicator, ATTR_WIDTH, kBarWidth);
    SetCtrlAttribute(panel, indicator, ATTR_HEIGHT, kBarHeight);
    SetCtrlAttribute(panel, indicator, ATTR_DATA_TYPE, static_cast<int>(VAL_INTEGER));
    SetCtrlAttribute(panel, indicator, ATTR_MIN_VALUE, kPercentMin);
    SetCtrlAttribute(panel, indicator, ATTR_MAX_VALUE, kPercentMax);
    SetCtrlAttribute(panel, indicator, ATTR_PROGRESS_TEXT_PRECISION, 0);
    SetCtrlAttribute(panel, indicator, ATTR_SHOW_DIGITAL_DISPLAY, 0);
    SetCtrlAttribute(panel, indicator, ATTR_MARKER_STYLE, markerStyle);
    if (markerStyle == kSegmentedMarker)
        SetCtrlAttribute(panel, indicator, ATTR_MARKER_COUNT, kSegments);
    SetCtrlAttribute(panel, indicator, ATTR_FILL_COLOR, kAutomaticColour);

    int labelHeight = 0;
    GetCtrlAttribute(panel, indicator, ATTR_LABEL_HEIGHT, &labelHeight);
    SetCtrlAttribute(panel, indicator, ATTR_TOP, labelHeight + kMargin + kLabelToBarGap);
    SetCtrlAttribute(panel, indicator, ATTR_LABEL_LEFT, kMargin);
    SetCtrlAttribute(panel, indicator, ATTR_LABEL_TOP, kMargin);

    int top = 0, left = 0, height = 0, width = 0;
    GetCtrlBoundingRect(panel, indicator, &top, &left, &height, &width);
    const int boxHeight = height + kBoxMarginBelowBar;
    if ((status = checked(PD_STEP_CENTER,
                          CenterCtrl(panel, indicator, 0, 0, boxHeight, kPanelWidth))) < 0)
        return status;

    int panelHeight = boxHeight;
    if (cancelButtonLabel && cancelButtonLabel[0] != '\0') {
        int buttonHeight = 0, buttonWidth = 0;
        GetCtrlAttribute(panel, data->cancelButton, ATTR_HEIGHT, &buttonHeight);
        GetCtrlAttribute(panel, data->cancelButton, ATTR_WIDTH, &buttonWidth);
        SetCtrlAttribute(panel, data->cancelButton, ATTR_TOP, boxHeight);
        SetCtrlAttribute(panel, data->cancelButton, ATTR_LEFT, kPanelWidth / 2 - buttonWidth / 2);
        panelHeight = boxHeight + kGapAboveButton + buttonHeight;
    }
    SetPanelAttribute(panel, ATTR_HEIGHT, panelHeight);
    return 0;
}

} // namespace

int CreateProgressDialog(const char *title, const char *indicatorLabel, int modal, int markerStyle,
                         const char *cancelButtonLabel) {
    LibraryErrorsOff guard;
    auto *data = new (std::nothrow) ProgressDialogData{};
    if (!data) return RT_ERR_OUT_OF_MEMORY;
    liveRecords().insert(data);

    g_lastPanel = 0;
    int panel = NewPanel(0, title ? title : "", 0, 0, kInitialPanelHeight, kPanelWidth);
    if (panel > 0) g_lastPanel = panel;
    int status = checked(PD_STEP_NEW_PANEL, panel);
    if (status < 0) {
        if (panel > 0) DiscardPanel(panel);
        releaseRecord(data);
        return status;
    }
    data->panel = panel;

    bool recordAttached = false;
    status = buildDialog(data, indicatorLabel ? indicatorLabel : "", markerStyle, cancelButtonLabel,
                         &recordAttached);
    if (status < 0) {
        // Until the record hangs on the panel, discarding the dialog could not find it.
        if (recordAttached) {
            DiscardProgressDialog(panel);
        } else {
            DiscardPanel(panel);
            releaseRecord(data);
        }
        if (liveRecords().count(data)) // the run-time lost the callback data: still ours to free
            releaseRecord(data);
        return status;
    }

    SetPanelPos(panel, VAL_AUTO_CENTER, VAL_AUTO_CENTER);
    if (modal)
        InstallPopup(panel);
    else
        DisplayPanel(panel);
    return panel;
}

int UpdateProgressDialog(int panel, int percentComplete, int processEvents) {
    LibraryErrorsOff guard;
    if (panel <= 0) return 0;
    ProgressDialogData *record = nullptr;
    int found = findRecord(panel, &record);
    if (found <= 0) return found;
    int percent = percentComplete < kPercentMin   ? kPercentMin
                  : percentComplete > kPercentMax ? kPercentMax
                                                  : percentComplete;
    int status = SetCtrlVal(record->panel, record->indicator, percent);
    if (status < 0) return status;
    // The caller may keep the event loop from running until the work is done (a reception that
    // reads the serial port), so the new value is drawn now rather than by the loop.
    RT_DrawPanelNow(record->panel);
    if (processEvents) {
        ProcessSystemEvents();
        // A callback run by those events may have discarded the dialog.
        if (findRecord(panel, &record) <= 0) return 0;
    }
    int result = record->cancelRequested;
    record->cancelRequested = 0;
    return result;
}

void DiscardProgressDialog(int panel) {
    LibraryErrorsOff guard;
    if (panel <= 0) return;
    void *data = nullptr;
    if (GetPanelAttribute(panel, ATTR_CALLBACK_DATA, &data) < 0)
        return; // already discarded or never valid
    auto *record = static_cast<ProgressDialogData *>(data);
    if (record && !liveRecords().count(record)) return; // the callback data of someone else's panel
    if (record) releaseRecord(record);
    DiscardPanel(panel);
}

int ProgressDialogCancelCB(int /*panel*/, int /*control*/, int event, void *callbackData,
                           int /*eventData1*/, int /*eventData2*/) {
    auto *record = static_cast<ProgressDialogData *>(callbackData);
    if (event == EVENT_COMMIT && record && liveRecords().count(record)) record->cancelRequested = 1;
    return 0;
}

void ProgressDialogTestFailStep(int step, int status) {
    g_failStep = status < 0 ? step : PD_STEP_NONE;
    g_failStatus = status;
}

int ProgressDialogTestLastPanel(void) {
    return g_lastPanel;
}

int ProgressDialogTestLiveRecords(void) {
    return static_cast<int>(liveRecords().size());
}

// A progress window built at run time (no resource file): a 0..100 % bar and an optional cancel
// button. The caller creates it, updates the percentage as work proceeds, learns from each update
// whether cancel was pressed since the previous one, and discards it at the end.
//
// All entry points switch the run-time's break-on-library-errors option off while they run and
// restore it before returning.
#pragma once

// One per dialog, hung on the dialog panel as its callback data (panel attribute 510).
struct ProgressDialogData {
    int panel;           // the dialog panel
    int indicator;       // the percentage bar
    int cancelRequested; // 1 from a cancel press until the next update reports it
    int cancelButton;    // 0 when none was made
};

// Builds and shows the dialog: modal non-zero installs it as a popup, 0 displays it as an ordinary
// panel; markerStyle goes to the bar's marker style. cancelButtonLabel null: no cancel button;
// "": a button placed off the visible area that still answers its shortcut (Escape); other
// text: a visible button under the bar.
// Returns the dialog's panel handle (positive), -12 when the record cannot be allocated, or the
// run-time's negative status of the first failing step; a failed creation leaves nothing behind.
int CreateProgressDialog(const char *title, const char *indicatorLabel, int modal, int markerStyle,
                         const char *cancelButtonLabel);
// Shows percentComplete clamped to 0..100; processEvents non-zero lets the user interface handle
// pending events (this is when a cancel press arrives). Returns 1 when cancel was pressed since
// the previous update, else 0; 0 for a panel of 0 or less or one without a progress record; the
// negative status of reading the panel's callback data or of showing the value.
int UpdateProgressDialog(int panel, int percentComplete, int processEvents);
// Releases the record and the panel. An invalid or already discarded panel, and a panel whose
// callback data is not a progress record, are left alone.
void DiscardProgressDialog(int panel);
// The cancel button's callback: a commit sets the record's cancel latch. Returns 0.
int ProgressDialogCancelCB(int panel, int control, int event, void *callbackData, int eventData1,
                           int eventData2);

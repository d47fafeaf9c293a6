// A progress window built at run time: a 0..100 % bar and an optional cancel button.
#pragma once

// Returns the dialog's panel handle (positive) or a negative error code (-12: out of memory).
// cancelButtonLabel null: no button; "": a button placed off the visible area (Escape cancels).
int CreateProgressDialog(const char *title, const char *indicatorLabel, int modal,
                         int markerStyle, const char *cancelButtonLabel);
// 1 when cancel was pressed since the previous update, 0 if not, negative on error.
int UpdateProgressDialog(int panel, int percentComplete, int processEvents);
void DiscardProgressDialog(int panel);
int ProgressDialogCancelCB(int panel, int control, int event, void *callbackData, int eventData1,
                           int eventData2);

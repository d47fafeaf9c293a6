// Test hooks of the progress dialog, for tests only: the public header progress_dialog.h has
// none.
#pragma once

// Steps of CreateProgressDialog whose failure ends the creation, in the order they run.
enum ProgressDialogStep {
    PD_STEP_NONE = 0,
    PD_STEP_NEW_PANEL,
    PD_STEP_CLOSE_BOX,
    PD_STEP_SIZABLE,
    PD_STEP_CALLBACK_DATA,
    PD_STEP_NEW_BAR,
    PD_STEP_NEW_BUTTON,
    PD_STEP_BUTTON_CALLBACK,
    PD_STEP_CENTER,
};
// Makes `step` of the next creations report `status` (negative) after it has run; PD_STEP_NONE
// stops that.
void ProgressDialogTestFailStep(int step, int status);
// The panel handle the latest creation got from the run-time (also when it then failed), or 0.
int ProgressDialogTestLastPanel(void);
// Number of progress records not yet released.
int ProgressDialogTestLiveRecords(void);

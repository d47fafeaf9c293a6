// Popups of the UI resource: loading a panel in the current language, showing a notice, waiting
// for an answer, keeping the last finished popup, and the quit that closes the port first.
#pragma once

// Loads a panel of the resource localized with the current language file, else plainly.
// Returns the panel handle, or the negative code of the plain load.
int KsLoadPanelInLanguage(int panelId);

// Waits in the nested event loop until `control` (or `orControl`, when not negative) of `panel`
// commits; other events are dropped. The event is left in temppanel and tempctrl. Returns the
// control that committed, or -1 when the run-time can deliver no more events.
int KsWaitForControl(int panel, int control, int orControl = -1);

// Shows a notice panel of the resource as a modal popup (localized, else plain) and waits for its
// control 2. Returns 0 after the popup was answered, negative when the panel could not be loaded
// (nothing was shown).
int KsShowNotice(int panelId);
// The same for a notice panel that is already loaded (and named by MessagePanel).
void KsShowLoadedNotice(int notice);

// A popup panel whose work is done stays loaded (MessagePanel keeps naming it) until the next
// one is done; then the earlier one is discarded. So at most one finished popup is kept, and a
// popup still waited on further up the call stack is never discarded under its caller.
void KsRetirePopup(int panel);
// Discards the finished popup that is kept, so a new run starts with none.
void KsResetPopups(void);

// Closes the serial port when it is open, marks it closed and ends the event loop.
void KsClosePortAndQuit(void);

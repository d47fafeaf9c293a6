// Popups of the UI resource: loading a panel in the current language, showing a notice, waiting
// for an answer, keeping the last finished popup, the quit that closes the port first, and the
// plain message that ends a start that cannot go on.
#pragma once

#include <string>

// Loads a panel of the resource localized with the current language file, else plainly.
// Returns the panel handle, or the negative code of the plain load.
int KsLoadPanelInLanguage(int panelId);

// The name of an item of the main panel's menu bar, in the language in use, without its mnemonic
// mark and its closing "...": the title of the dialog the command opens. Empty when the item has
// no name (the dialog then takes the run-time's own title).
std::string KsCommandTitle(int menuItem);
// The same for a command button of a panel: its label, as a dialog title.
std::string KsButtonTitle(int panel, int control);

// Stands for any control in the waits below.
enum { KS_ANY_CONTROL = 0 };

// Waits, running the event loop, until `control` (or `orControl`, when not negative) of `panel`
// commits; other events are dropped. The event is left in temppanel and tempctrl. Returns the
// control that committed, or -1 when the run-time can deliver no more events or the program is
// ending (KsClosePortAndQuit), so that no popup holds up the end.
int KsWaitForControl(int panel, int control, int orControl = -1);
// The same, but gives up when Timer() reaches *deadline, returning 0. The deadline is read again
// on every turn, so it may be brought forward while the wait goes on.
int KsWaitForControlUntil(int panel, const double *deadline, int control, int orControl = -1);

// Shows a notice panel of the resource as a modal popup (localized, else plain) and waits for its
// control 2. Returns 0 after the popup was answered, negative when the panel could not be loaded
// (nothing was shown).
int KsShowNotice(int panelId);
// The same for a notice panel that is already loaded (and named by MessagePanel).
void KsShowLoadedNotice(int notice);
// A notice about a file: its path goes into the notice's file text (wrapped to fit), and of its
// reason texts only the one for the file error (a code of toolbox/core/errors.h) is shown; 0
// shows none. Returns as KsShowNotice.
int KsShowFileNotice(int panelId, const char *path, int fileError);

// A popup panel whose work is done stays loaded (MessagePanel keeps naming it) until the next
// one is done; then the earlier one is discarded. So at most one finished popup is kept, and a
// popup still waited on further up the call stack is never discarded under its caller.
void KsRetirePopup(int panel);
// Discards the finished popup that is kept and forgets a quit, so a new run starts with neither.
void KsResetPopups(void);

// Closes the serial port when it is open, marks it closed and ends the event loop.
void KsClosePortAndQuit(void);
// 1 once KsClosePortAndQuit has run: the program is ending.
int KsQuitting(void);
// 1 when the panel is up as a popup (or shown at all).
int KsPopupIsUp(int panel);

// A request to end the program (a signal, the end of the session) is answered by the operator by
// this Timer() time, or the program ends by itself. An earlier time replaces a later one.
void KsRequestEndBy(double deadline);
// The time, for the waits above (infinity when no request to end is open).
const double *KsEndTaskDeadline(void);
// Forgets the request, once a quit question has been answered.
void KsClearEndRequest(void);

// Why the program cannot start, for a failure that leaves no panel to show it in (the UI resource
// or the program folder itself): written to standard error and shown in a plain message box that
// needs nothing from the resource.
void KsReportStartFailure(const std::string &message);

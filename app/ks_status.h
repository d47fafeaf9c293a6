// The status line along the bottom of the main panel: the port and the device it reached, the
// state of the connection, the time of the last result and the number of results today, and a
// slot where another module may put a short warning. Its words come from the hidden ring of
// status texts on the main panel, so they follow the panel's language.
#pragma once

// States the line can show; the values are those of the status-text ring's items.
enum KsLinkState {
    KS_LINK_OPENING = 2,   // the port is about to be opened
    KS_LINK_WAITING = 3,   // open, waiting for the tester
    KS_LINK_RECEIVING = 4, // a record is coming in
    KS_LINK_LOST = 5,      // the device went away; it is reopened when it comes back
    KS_LINK_FAILED = 6,    // the port could not be opened
    KS_LINK_CLOSED = 7,    // closed (the program is ending)
};

// Brings the line up to date with the port and the results; sets the control only when its text
// changes. Cheap enough for every call of the main callback.
void KsStatusUpdate(void);
// A record is being received (1) or no longer (0); the line is updated at once.
void KsStatusSetReceiving(int receiving);
// A result was shown at calendarTime (an RT_CurrentTime value): it becomes the last record and
// counts for its day.
void KsStatusResultShown(long long calendarTime);
// A short warning shown at the end of the line ("" or nullptr: none). The text is copied.
void KsStatusSetNote(const char *text);
// Back to the start of a run: no results, no note, not receiving.
void KsStatusReset(void);

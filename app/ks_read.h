// The acquisition side of ks_read: start-up and the settings file, the main callback that polls
// the serial port and receives the tester's records, the display of a completed record and the
// decoding of typed test codes. The ids, the globals and the main panel layout it works with come
// with this header.
#pragma once

#include "app/ks_ids.h"
#include "app/ks_layout.h"
#include "app/ks_record.h"
#include "app/ks_state.h"

// ---- Start-up ----------------------------------------------------------------------------------

// Start-up up to the event loop: initialise the run-time, read or create the settings, establish
// the language, load, localize, lay out and show the main panel, fill the information lines.
// Returns 0 when the main panel is up; -1 when the run-time cannot be initialised, no language can
// be established at first start, or no main panel can be loaded.
int KsStartup(char **argv);
// Puts every global and module state of the application back to its start value and discards its
// panels, so a process can run the start-up again (the tests do).
void KsResetState(void);

// ---- Settings file -----------------------------------------------------------------------------

// Writes the 940 bytes of HostConfig to "ks.ini" in the current directory: first to a temporary
// file beside it, then renamed over it, so the file is never left with a wrong size.
// Returns 0, or -1 when the file could not be written (the old file is then unchanged).
int KsWriteSettings(void);
// Reads "ks.ini" into HostConfig when it exists with exactly 940 bytes. Returns 1 when read,
// 0 when absent, of another size or unreadable (HostConfig is then unchanged).
int KsReadSettings(void);

// ---- Reception, display, test codes ------------------------------------------------------------

int KSMainCB(int handle, int control, int event, void *callbackData, int eventData1,
             int eventData2);
// Shows DataInput on the main panel, refreshes the information lines of the settings and writes
// them.
void KsShowRecord(void);
void ClearData(void);
int TestcodeCD(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);
void TCError(void);
// Puts the caret of text box 2 after its last line and takes back the surplus line break.
void KsTrimInfoBox(void);

// The bench's link to the workshop's server, when "workshop.ini" beside ks.ini configures one:
// the results of the history go to the server from a thread of their own, so that nothing the
// operator does waits for the network. Without the file nothing of this runs.
#pragma once

#include "workshop/workshop_config.h"
#include "workshop/workshop_sender.h"

// Reads workshop.ini and starts the sender once the main panel is up (from the idle callback,
// after the history has been opened); later calls do nothing.
void KsWorkshopIdle(void);
// Sends with these settings from now on (Settings > Workshop server): the running sender stops
// and, when they configure a server, a new one starts. The old sender finishes the statement it
// has in flight on a thread of its own, so the caller never waits for the network; what it had
// not sent waits in the history for the new one.
void KsWorkshopRestart(const WorkshopConfig &config);
// The sender's state and backlog for the status line (WORKSHOP_OFF without a server).
WorkshopStatus KsWorkshopStatus(void);
// The end of the program: the sender stops (what it has not sent waits in the history).
void KsWorkshopFinish(void);
// Back to the state of a fresh run.
void KsResetWorkshopState(void);

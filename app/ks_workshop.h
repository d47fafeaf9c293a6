// The bench's link to the workshop's server, when "workshop.ini" beside ks.ini configures one:
// the results of the history go to the server from a thread of their own, and with a
// ReadConnection the history panel searches every bench there, also from a thread of its own, so
// that nothing the operator does waits for the network. Without the file nothing of this runs.
#pragma once

#include "workshop/workshop_config.h"
#include "workshop/workshop_search.h"
#include "workshop/workshop_sender.h"

// Reads workshop.ini and starts the sender and the searcher once the main panel is up (from the
// idle callback, after the history has been opened); later calls hand the searcher's answers to
// the listener.
void KsWorkshopIdle(void);
// The all-benches searcher, or nullptr when workshop.ini gives no ReadConnection.
WorkshopSearcher *KsWorkshopSearcher(void);
// Called from the idle callback with each answer of the searcher, on the thread of the user
// interface (one listener: the history panel; nullptr for none). Answers nobody listens to go.
void KsWorkshopOnAnswer(void (*listener)(const WorkshopAnswer &answer));
// Sends and searches with these settings from now on (Settings > Workshop server): the running
// sender and searcher stop and, when the settings configure them, new ones start. The old ones
// finish the statement in flight on a thread of their own, so the caller never waits for the
// network; what the old sender had not sent waits in the history for the new one.
void KsWorkshopRestart(const WorkshopConfig &config);
// The sender's state and backlog for the status line (WORKSHOP_OFF without a server).
WorkshopStatus KsWorkshopStatus(void);
// The end of the program: the sender stops (what it has not sent waits in the history).
void KsWorkshopFinish(void);
// Back to the state of a fresh run.
void KsResetWorkshopState(void);

// The program over the application modules: the callback table the UI resource binds by name, and
// the whole run from start-up to the end of the event loop.
#pragma once

// Hands the run-time the application's callback table (call before InitRuntime).
void KsRegisterCallbacks(void);
// The whole program: callback table, start-up, event loop. Returns main's result.
int KsReadMain(char **argv);

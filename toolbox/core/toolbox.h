// Toolbox basics: the assertion report, and the error codes (errors.h). Qt-free.
#pragma once

#include "toolbox/core/errors.h"

// Reports a failed assertion ("Assert!\n\n%s\n\nThe error was detected on line %d of file
// '%s'.\n\nProgram aborting.") through the installed reporter, then aborts. Does nothing when
// value is non-zero.
void DoAssert(int value, const char *sourceFile, int line, const char *message);
#define Assert(expr) DoAssert((expr) ? 1 : 0, __FILE__, __LINE__, #expr)

// The reporter shows the message (title "Assert"); the default writes to standard error. The
// platform installs its message box here at initialisation.
typedef void (*AssertReporter)(const char *title, const char *message);
void SetAssertReporter(AssertReporter reporter);

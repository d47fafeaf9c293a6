// Toolbox basics: the assertion report and the error texts of the toolbox codes. Qt-free.
#pragma once

enum {
    UIEOutOfMemory = -12,
    ToolErr_CantOpenFileForReading = -5001,
    ToolErr_ErrorReadingFile = -5002,
    ToolErr_CouldNotFindUnusedTempFileName = -5003,
    ToolErr_CouldNotCreateTempFile = -5004,
    ToolErr_InvalidIntNumber = -5021,
    ToolErr_InvalidUIntNumber = -5022,
    ToolErr_InvalidDoubleNumber = -5023,
    ToolErr_InvalidBooleanValue = -5024,
    // The INI writer refuses a line that the reader would not read back unchanged (longer
    // than 255 characters, a line break inside, a name the reader splits or renames).
    ToolErr_LineWouldNotReadBack = -5025,
};

// Text for a toolbox code (-5001 .. -5024) or a run-time code (-12, -91 .. -100 ...).
const char *GetToolboxErrorString(int errorCode);

// Reports a failed assertion ("Assert!\n\n%s\n\nThe error was detected on line %d of file
// '%s'.\n\nProgram aborting.") through the installed reporter, then aborts. Does nothing when
// value is non-zero.
void DoAssert(int value, const char *sourceFile, int line, const char *message);
#define Assert(expr) DoAssert((expr) ? 1 : 0, __FILE__, __LINE__, #expr)

// The reporter shows the message (title "Assert"); the default writes to standard error. The
// platform installs its message box here at initialisation.
typedef void (*AssertReporter)(const char *title, const char *message);
void SetAssertReporter(AssertReporter reporter);

// Toolbox basics: the assertion report and the texts of the error codes. See toolbox/toolbox.h.
#include "toolbox/toolbox.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void reportToStandardError(const char *title, const char *message) {
    std::fprintf(stderr, "%s\n%s\n", title, message);
    std::fflush(stderr);
}

AssertReporter g_reporter = reportToStandardError;

struct ErrorText {
    int code;
    const char *text;
};

// One table for every code the toolbox and the INI library return.
constexpr ErrorText kErrorTexts[] = {
    {UIEOutOfMemory, "Out of memory"},
    {-65, "A required argument is null"},
    {-91, "Too many files are open"},
    {-92, "Unexpectedly reached the end of the file"},
    {-93, "Input/output error"},
    {-94, "File not found"},
    {-95, "File access permission denied"},
    {-96, "File access not enabled"},
    {-97, "Disk is full"},
    {-98, "File is already open"},
    {-99, "Bad file handle"},
    {-100, "File already exists"},
    {ToolErr_CantOpenFileForReading, "Could Not Open File For Reading"},
    {ToolErr_ErrorReadingFile, "Error Reading From File"},
    {ToolErr_CouldNotFindUnusedTempFileName, "Could Not Find Unused Temporary File Name"},
    {ToolErr_CouldNotCreateTempFile, "Could Not Create Temporary File"},
    {ToolErr_InvalidIntNumber, "Invalid Integer Number"},
    {ToolErr_InvalidUIntNumber, "Invalid Unsigned Integer Number"},
    {ToolErr_InvalidDoubleNumber, "Invalid Floating Point Number"},
    {ToolErr_InvalidBooleanValue, "Invalid Boolean Value"},
    {ToolErr_LineWouldNotReadBack, "Line Would Not Read Back Unchanged"},
};

} // namespace

const char *GetToolboxErrorString(int errorCode) {
    if (errorCode >= 0) return "No error";
    for (const ErrorText &entry : kErrorTexts)
        if (entry.code == errorCode) return entry.text;
    return "Unknown error";
}

void SetAssertReporter(AssertReporter reporter) {
    g_reporter = reporter ? reporter : reportToStandardError;
}

void DoAssert(int value, const char *sourceFile, int line, const char *message) {
    if (value) return;
    static const char kFormat[] =
        "Assert!\n\n%s\n\nThe error was detected on line %d of file '%s'.\n\nProgram aborting.";
    const char *text = message ? message : "Programming error detected.";
    const char *file = sourceFile ? sourceFile : "";
    int length = std::snprintf(nullptr, 0, kFormat, text, line, file);
    std::string report(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::snprintf(report.data(), report.size() + 1, kFormat, text, line, file);
    g_reporter("Assert", report.c_str());
    std::abort();
}

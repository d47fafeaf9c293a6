// The assertion report. See toolbox/core/toolbox.h.
#include "toolbox/core/toolbox.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void reportToStandardError(const char *title, const char *message) {
    std::fprintf(stderr, "%s\n%s\n", title, message);
    std::fflush(stderr);
}

AssertReporter g_reporter = reportToStandardError;

} // namespace

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

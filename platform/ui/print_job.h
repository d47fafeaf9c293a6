// One print job: the interface between the run-time's printing (rt_print.cpp: the print
// attributes, drawing panels and text files) and the print module (print_module.cpp, built as
// ks_print.so), which holds all that needs Qt PrintSupport: the printer, its set-up from the print
// attributes, and the print dialog. The program loads the module, and Qt PrintSupport with it, on
// its first print job. Internal to the run-time.
#pragma once

#include <functional>
#include <map>
#include <string>

class QPagedPaintDevice;

namespace rt {

struct PrintJob {
    // The print attributes (ATTR_PRINT_* -> value) that set the printer up; after a dialog they
    // receive what the operator chose there.
    std::map<int, int> *attributes = nullptr;
    // No dialog, Qt's print dialog for the operator, or a test's scripted answer to it, which
    // changes scriptedAttribute to scriptedValue (attribute 0: nothing) and accepts.
    enum class Dialog { None, Operator, Scripted } dialog = Dialog::None;
    int scriptedAttribute = 0;
    int scriptedValue = 0;
    // The PDF the pages go into; empty: the printer (after a scripted dialog: nowhere, and the
    // job ends as cancelled).
    std::string pdfPath;
    // Draws the pages on the prepared printer at its resolution (dots per inch); false when that
    // failed.
    std::function<bool(QPagedPaintDevice &printer, int resolution)> paint;
};

// The module's entry point: runs the job. 0, RT_ERR_CANCELLED (the dialog was cancelled) or
// RT_ERR_PRINT.
using RunPrintJob = int (*)(PrintJob &job);
inline constexpr char kPrintModuleFile[] = "ks_print.so";
inline constexpr char kRunPrintJobSymbol[] = "ks_run_print_job";

} // namespace rt

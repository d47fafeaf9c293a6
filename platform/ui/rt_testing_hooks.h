// What the test seam (platform/testing.h) can override inside the run-time. Internal.
#pragma once

#include <QChar>
#include <QString>

#include <optional>
#include <string>

namespace rt::test {

QChar decimalSeparatorOverride(); // null: none
QString languageNameOverride();   // empty: none

// A scripted answer for the next file dialog: a path, or nullopt-path for cancel.
struct FileAnswer {
    bool cancel = false;
    std::string path;
};
std::optional<FileAnswer> takeFileAnswer();
// Kept for RT_TestLastFileDialog: what the last file dialog was asked to show.
void recordFileDialog(const char *title, const char *fileTypes);

// A scripted answer for the next print dialog.
struct PrintAnswer {
    bool accept = true;
    std::string pdfPath; // where the page goes instead of a printer; empty: nowhere
    int attribute = 0;   // a print attribute the "operator" changes in the dialog (0: none)
    int value = 0;
};
std::optional<PrintAnswer> takePrintAnswer();
std::string printerOutputOverride(); // PDF that replaces the printer in tests; empty: none

} // namespace rt::test

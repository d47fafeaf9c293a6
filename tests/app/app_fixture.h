// A headless ks_read for the tests: each test gets its own program folder (a copy of the built
// one), current directory and legacy root under a fresh /tmp folder, a pseudo-terminal mapped as
// port 1, a fixed calendar clock, and helpers to run the event loop until something happens.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ks_callbacks.h"
#include "app/ks_cb.h"
#include "app/ks_read.h"
#include "app/ks_save.h"
#include "platform/testing.h"
#include "pty_writer.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

using ks_test::readFile;
using ks_test::writeFile;

// Steps of a scripted popup answer.
inline RT_TestPopupStep PopupSetInt(int control, int value) {
    RT_TestPopupStep step{RT_TestPopupStep::SET_INT, control, value, 0.0, std::string()};
    return step;
}
inline RT_TestPopupStep PopupCommit(int control) {
    RT_TestPopupStep step{RT_TestPopupStep::COMMIT, control, 0, 0.0, std::string()};
    return step;
}

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Start-up as the program runs it. With `answerLanguage` >= 0 the language prompt (if it
    // comes) is answered with that number. Returns KsStartup's result.
    int Start(int answerLanguage = 1);
    // Runs the event loop until cond holds or timeoutMs pass. Returns true when cond held. A popup
    // still up at the time-out is dismissed so the loop can end.
    bool RunUntil(const std::function<bool()> &cond, int timeoutMs = 10000);
    // Runs the event loop for a while (idle events, polling).
    void RunFor(int ms);
    // Runs the event loop until the application quits it itself; false after timeoutMs.
    bool RunUntilAppQuits(int timeoutMs = 3000);

    // Answers the next popup of a panel resource by committing control 2 (or another).
    static void AnswerNotice(int resourceId, int control = NOTICE_OK);
    // The resource id of the popup the application used last (0 when none is kept).
    static int LastPopupResource();

    // Sends a record and runs the loop until it is shown (Save2Log set and NewDataInput changed).
    bool SendRecordAndWait(const std::vector<std::string> &valueLines);
    // A full record: every shown field, six information lines.
    static std::vector<std::string> SampleRecord(const std::string &tcode, int setPoint,
                                                 const std::string &volts);

    int MenuBar() const { return GetPanelMenuBar(panelHandle); }
    std::string ProgPath(const std::string &name) const { return prog_ + "/" + name; }
    std::string WorkPath(const std::string &name) const { return work_ + "/" + name; }
    std::string LegacyPath(const std::string &name) const { return legacy_ + "/" + name; }
    static bool Exists(const std::string &path);
    static long FileSize(const std::string &path);
    std::string TextOf(int control) const;
    int IntOf(int control) const;
    double DoubleOf(int control) const;
    int IndexOf(int control) const;
    // The lines of the log "TCLOG" in the program folder.
    std::vector<std::string> LogLines() const;
    // The log line the application should write for the record, from the panel's own items.
    std::string ExpectedLogLine(const TestRecord &r, const std::string &entry,
                                const std::string &notes) const;

    bool appQuit_ = false; // the last run loop was ended by the application
    std::unique_ptr<PtyWriter> pty_;
    std::unique_ptr<ks_test::TempDir> root_;
    std::string prog_, work_, legacy_, oldCwd_;
};

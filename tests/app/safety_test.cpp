// Nothing written in the wrong place and nothing lost in silence: long and unusable program
// folders, the previous log that cannot be kept, links at the settings file, settings and log
// writes on a full or protected disk, signals, a damaged UI resource, floods of empty lines and a
// port that appears after the start.
#include "app_fixture.h"

#include "app/ks_hist.h"

#include <QApplication>
#include <QMessageBox>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr long long kCalendarTime = 1796635815; // 2026-12-07 09:30:15 UTC

// A notice as the operator saw it.
struct SeenNotice {
    int resourceId = 0;
    std::string file;    // the path the notice names, lines joined
    int shownReason = 0; // the reason text left visible (0: none)
};

// Answers every notice (a popup answered by control 2) as it comes up, and keeps what it showed.
class NoticeWatcher {
  public:
    NoticeWatcher() : state_(std::make_shared<State>()) { Watch(state_); }
    ~NoticeWatcher() { state_->stopped = true; }
    const std::vector<SeenNotice> &seen() const { return state_->seen; }
    int count(int resourceId) const {
        int n = 0;
        for (const auto &notice : state_->seen)
            n += notice.resourceId == resourceId ? 1 : 0;
        return n;
    }
    const SeenNotice *last(int resourceId) const {
        for (auto it = state_->seen.rbegin(); it != state_->seen.rend(); ++it)
            if (it->resourceId == resourceId) return &*it;
        return nullptr;
    }

  private:
    struct State {
        bool stopped = false;
        std::vector<SeenNotice> seen;
        std::vector<int> answered;
    };
    static void Watch(const std::shared_ptr<State> &state) {
        RT_TestPost(
            [state] {
                if (state->stopped) return;
                const int panel = MessagePanel;
                const RT_TestPanelState s = RT_TestGetPanelState(panel);
                const bool isNotice = s.exists && s.popupLevel > 0 && s.resourceId != PNL_QUIT &&
                                      s.resourceId != PNL_SAVE_BEFORE_QUIT &&
                                      s.resourceId != PNL_PORT && s.resourceId != PNL_LANGUAGE;
                if (isNotice && std::find(state->answered.begin(), state->answered.end(), panel) ==
                                    state->answered.end()) {
                    SeenNotice notice;
                    notice.resourceId = s.resourceId;
                    notice.file = RT_TestWidgetText(panel, NOTICE_FILE);
                    std::erase(notice.file, '\n');
                    for (int reason :
                         {NOTICE_WHY_DISK_FULL, NOTICE_WHY_NOT_ALLOWED, NOTICE_WHY_OTHER}) {
                        int visible = 0;
                        if (GetCtrlAttribute(panel, reason, ATTR_VISIBLE, &visible) >= 0 && visible)
                            notice.shownReason = reason;
                    }
                    state->seen.push_back(notice);
                    state->answered.push_back(panel);
                    RT_TestCommit(panel, NOTICE_OK);
                }
                Watch(state);
            },
            5);
    }
    std::shared_ptr<State> state_;
};

// Copies the files of one program folder into another.
void CopyProgram(const std::string &from, const std::string &to) {
    fs::create_directories(to);
    for (const auto &entry : fs::directory_iterator(from))
        if (entry.is_regular_file())
            fs::copy_file(entry.path(), to + "/" + entry.path().filename().string());
}

// Accepts the next message box as soon as it is up and keeps its text (in the string returned).
std::shared_ptr<std::string> AcceptNextMessageBox() {
    auto shown = std::make_shared<std::string>();
    auto closeBox = std::make_shared<std::function<void()>>();
    *closeBox = [shown, weak = std::weak_ptr<std::function<void()>>(closeBox)] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            *shown = box->text().toStdString();
            box->accept();
            return;
        }
        if (auto again = weak.lock()) RT_TestPost(*again, 10);
    };
    RT_TestPost(*closeBox, 10);
    // The box's closure keeps itself alive while it waits.
    static std::vector<std::shared_ptr<std::function<void()>>> waiting;
    waiting.push_back(closeBox);
    return shown;
}

class SafetyTest : public AppTest {
  protected:
    // Shows a record and waits until it is on the panel.
    void Show(const std::string &tcode) {
        ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
        ASSERT_TRUE(SendRecordAndWait(SampleRecord(tcode, 450, "12.60")));
    }
    // Replaces the run-time's monotonic clock by one the test moves.
    void UseTestTimer() {
        RT_TestClock clock;
        clock.currentTime = [] { return kCalendarTime; };
        clock.timer = [this] { return testTimer_.load(); };
        RT_TestSetClock(clock);
    }
    void SetUp() override {
        AppTest::SetUp();
        // The run-time is up before anything is posted to its event loop.
        static char name[] = "ks_app_test";
        static char *argv[] = {name, nullptr};
        ASSERT_EQ(1, InitRuntime(0, argv, 0));
    }
    void TearDown() override {
        RT_TestSetFreeSpace(-1);
        AppTest::TearDown();
    }
    // A start that must fail: what it said on standard error and in its message box.
    std::vector<std::string> FailedStartSays() {
        const auto shown = AcceptNextMessageBox();
        testing::internal::CaptureStderr();
        EXPECT_EQ(-1, Start(1));
        const std::string said = testing::internal::GetCapturedStderr();
        return {said, *shown};
    }
    std::atomic<double> testTimer_{1000.0};
};

std::string DataRowCode(const std::string &line) {
    // Column 4 is the test code.
    size_t at = 0;
    for (int tab = 0; tab < 3; ++tab)
        at = line.find('\t', at) + 1;
    return line.substr(at, line.find('\t', at) - at);
}

} // namespace

// ---- Paths -------------------------------------------------------------------------------------

TEST_F(SafetyTest, LongProgramFolderKeepsEveryFileInItAndRefusesOnlyWhatCannotBeStored) {
    // A folder of more than 260 characters, as a deep installation gives.
    std::string deep = root_->file("p");
    while (deep.size() < 300)
        deep += "/" + std::string(40, 'd');
    CopyProgram(prog_, deep);
    prog_ = deep;
    RT_TestSetProgramDir(deep.c_str());
    NoticeWatcher notices;

    ASSERT_EQ(0, Start(1));
    EXPECT_EQ(deep + "/English.lng", std::string(langFilePath));
    EXPECT_EQ(deep + "/English.txt", std::string(readmeFilePath));
    EXPECT_EQ(0, notices.count(PNL_LANGUAGE_FAILED)); // the language file was found and used
    // The default logos' paths do not fit the settings' fields: not stored cut, and said so.
    EXPECT_STREQ("NONE", HostConfig.Logo1Path);
    EXPECT_STREQ("NONE", HostConfig.Logo2Path);
    EXPECT_EQ(1, notices.count(PNL_LOGO_PATH_TOO_LONG));
    const std::string stored = readFile(WorkPath("ks.ini"));
    ASSERT_EQ(940u, stored.size());
    EXPECT_STREQ("NONE", stored.c_str() + 372);

    Show("3E225891");
    Show("36425C81");
    EXPECT_EQ(deep + "/TCLOG", std::string(logFilePath));
    const auto lines = LogLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("3E225891", DataRowCode(lines[1]));
}

TEST_F(SafetyTest, LogoWhosePathDoesNotFitItsSettingsFieldIsRefusedWithANotice) {
    ASSERT_EQ(0, Start(1));
    const std::string before = HostConfig.Logo1Path;
    std::string deep = root_->file("pictures");
    while (deep.size() < 280)
        deep += "/" + std::string(40, 'p');
    fs::create_directories(deep);
    fs::copy_file(ProgPath("korrat.BMP"), deep + "/logo.BMP");
    NoticeWatcher notices;
    RT_TestAnswerFileDialog((deep + "/logo.BMP").c_str());
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_LOAD_LOGO1));
    RunUntil([&] { return notices.count(PNL_LOGO_PATH_TOO_LONG) > 0; }, 5000);
    EXPECT_EQ(1, notices.count(PNL_LOGO_PATH_TOO_LONG));
    EXPECT_EQ(before, HostConfig.Logo1Path); // not a cut path
    EXPECT_EQ(before, std::string(readFile(WorkPath("ks.ini")).c_str() + 372));
}

TEST_F(SafetyTest, ProgramFolderThatCannotBeHadStopsTheStartWithAMessage) {
    // Longer than any path the platform can give: GetProjectDir cannot report it.
    std::string unusable = root_->file("x");
    while (unusable.size() < 5000)
        unusable += "/" + std::string(200, 'u');
    RT_TestSetProgramDir(unusable.c_str());
    std::string shown;
    RT_TestPost([&shown] {
        std::function<void()> closeBox = [&shown, &closeBox] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shown = box->text().toStdString();
                box->accept();
                return;
            }
            RT_TestPost(closeBox, 10);
        };
        closeBox();
    });
    testing::internal::CaptureStderr();
    EXPECT_EQ(-1, Start(1));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, said.find("program folder")) << said;
    EXPECT_NE(std::string::npos, shown.find("program folder")) << shown;
    // Nothing was written anywhere: no settings file, no log, no language asked for.
    EXPECT_FALSE(Exists(WorkPath("ks.ini")));
    EXPECT_EQ(0, panelHandle);
}

// ---- The previous log --------------------------------------------------------------------------

TEST_F(SafetyTest, PreviousLogThatCannotBeKeptStaysAndTheRunLogsElsewhere) {
    const std::string old = "\t\tprevious header\nprevious row\n";
    writeFile(ProgPath("TCLOG"), old);
    fs::create_directory(ProgPath("TCLOG.bak")); // the rename to it must fail
    NoticeWatcher notices;
    ASSERT_EQ(0, Start(1));
    Show("3E225891");
    Show("36425C81");
    EXPECT_EQ(old, readFile(ProgPath("TCLOG")));
    EXPECT_EQ(ProgPath("TCLOG.1"), std::string(logFilePath));
    const std::string run = readFile(ProgPath("TCLOG.1"));
    EXPECT_EQ(2, std::count(run.begin(), run.end(), '\n'));
    EXPECT_NE(std::string::npos, run.find("3E225891"));
    ASSERT_EQ(1, notices.count(PNL_LOG_ELSEWHERE));
    EXPECT_EQ(ProgPath("TCLOG.1"), notices.last(PNL_LOG_ELSEWHERE)->file);
    // Later rows go to the same file without a further notice.
    Show("3E225890");
    EXPECT_EQ(old, readFile(ProgPath("TCLOG")));
    EXPECT_NE(std::string::npos, readFile(ProgPath("TCLOG.1")).find("36425C81"));
    EXPECT_EQ(1, notices.count(PNL_LOG_ELSEWHERE));
    EXPECT_EQ(0, notices.count(PNL_LOG_NOT_WRITTEN));
}

// ---- The settings file -------------------------------------------------------------------------

TEST_F(SafetyTest, SettingsWritesFollowNoPlantedLinkAndReplaceTheFileALinkPointsTo) {
    // Someone else's file, and a link to it under the name a careless writer would use.
    const std::string foreign = root_->file("foreign");
    writeFile(foreign, "not yours");
    fs::create_symlink(foreign, WorkPath("ks.ini.tmp"));
    // The settings file itself is a link to a file kept elsewhere.
    const std::string kept = root_->file("kept/ks.ini");
    fs::create_directories(root_->file("kept"));
    ASSERT_EQ(0, Start(4));
    const std::string first = readFile(WorkPath("ks.ini"));
    ASSERT_EQ(940u, first.size());
    fs::rename(WorkPath("ks.ini"), kept);
    fs::create_symlink(kept, WorkPath("ks.ini"));

    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_UNLOAD_LOGO2));
    EXPECT_EQ("not yours", readFile(foreign));
    EXPECT_TRUE(fs::is_symlink(WorkPath("ks.ini")));
    const std::string after = readFile(kept);
    ASSERT_EQ(940u, after.size());
    EXPECT_STREQ("NONE", after.c_str() + 632);
    // No temporary file is left beside either.
    for (const auto &folder : {work_, root_->file("kept")})
        for (const auto &entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "ks.ini" || name == "ks.ini.tmp") << name;
        }
}

TEST_F(SafetyTest, SettingsThatCannotBeWrittenAreToldOnceAndTheLegacyLanguageIsKept) {
    writeFile(LegacyPath("ks.ini"), std::string("\x06\x00\x00\x00", 4));
    fs::create_directory(WorkPath("ks.ini")); // a folder has the settings file's name
    NoticeWatcher notices;
    ASSERT_EQ(0, Start(2));
    EXPECT_EQ(6, HostConfig.Language); // from the legacy file, kept in memory
    // Not deleted: the next start still finds the language there.
    EXPECT_EQ(4, FileSize(LegacyPath("ks.ini")));
    ASSERT_EQ(1, notices.count(PNL_SETTINGS_NOT_WRITTEN));
    const SeenNotice &notice = *notices.last(PNL_SETTINGS_NOT_WRITTEN);
    EXPECT_EQ(WorkPath("ks.ini"), notice.file);
    EXPECT_EQ(NOTICE_WHY_NOT_ALLOWED, notice.shownReason);

    // Later writes fail as well, without a second notice; the settings stay in effect.
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_UNLOAD_LOGO1));
    RunFor(100);
    EXPECT_STREQ("NONE", HostConfig.Logo1Path);
    EXPECT_EQ(1, notices.count(PNL_SETTINGS_NOT_WRITTEN));
    EXPECT_TRUE(fs::is_directory(WorkPath("ks.ini")));
}

TEST_F(SafetyTest, SettingsOnAFullDiskNameTheReason) {
    ASSERT_EQ(0, Start(1));
    const std::string before = readFile(WorkPath("ks.ini"));
    NoticeWatcher notices;
    RT_TestSetFreeSpace(100);
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_UNLOAD_LOGO1));
    RunUntil([&] { return notices.count(PNL_SETTINGS_NOT_WRITTEN) > 0; }, 5000);
    ASSERT_EQ(1, notices.count(PNL_SETTINGS_NOT_WRITTEN));
    EXPECT_EQ(NOTICE_WHY_DISK_FULL, notices.last(PNL_SETTINGS_NOT_WRITTEN)->shownReason);
    EXPECT_EQ(before, readFile(WorkPath("ks.ini"))); // whole, as it was
    for (const auto &entry : fs::directory_iterator(work_))
        EXPECT_EQ("ks.ini", entry.path().filename().string());
}

// ---- The log on a full disk --------------------------------------------------------------------

TEST_F(SafetyTest, FullDiskKeepsRowsInMemoryWholeAndInOrderUntilTheLogCanTakeThem) {
    NoticeWatcher notices;
    ASSERT_EQ(0, Start(1));
    Show("3E225891"); // pending
    // The disk fills as the log starts: neither the header nor the first row fits.
    RT_TestSetFreeSpace(40);
    Show("36425C81");
    Show("3E225890");
    ASSERT_TRUE(RunUntil([&] { return notices.count(PNL_LOG_NOT_WRITTEN) > 0; }, 5000));
    EXPECT_EQ(0, FileSize(ProgPath("TCLOG"))); // nothing half-written
    EXPECT_EQ(1, notices.count(PNL_LOG_NOT_WRITTEN));
    EXPECT_EQ(NOTICE_WHY_DISK_FULL, notices.last(PNL_LOG_NOT_WRITTEN)->shownReason);
    EXPECT_EQ(ProgPath("TCLOG"), notices.last(PNL_LOG_NOT_WRITTEN)->file);
    EXPECT_EQ(3, KsLogRowsWaiting()); // the header and two rows

    // Space again: the log catches up by itself, header first, rows in order.
    RT_TestSetFreeSpace(-1);
    ASSERT_TRUE(RunUntil([] { return KsLogRowsWaiting() == 0; }, 10000));
    ASSERT_TRUE(RunUntil([&] { return notices.count(PNL_LOG_CAUGHT_UP) == 1; }, 5000));
    auto lines = LogLines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(0u, lines[0].find("\t\t"));
    EXPECT_EQ("3E225891", DataRowCode(lines[1]));
    EXPECT_EQ("36425C81", DataRowCode(lines[2]));

    // The disk fills in the middle of a row: the row is not cut into the file, and the row after
    // it does not join it.
    const long size = FileSize(ProgPath("TCLOG"));
    RT_TestSetFreeSpace(30);
    Show("36425C80");
    EXPECT_EQ(size, FileSize(ProgPath("TCLOG")));
    RT_TestSetFreeSpace(-1);
    Show("3E225891");
    lines = LogLines();
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("3E225890", DataRowCode(lines[3]));
    EXPECT_EQ("36425C80", DataRowCode(lines[4]));
    for (const auto &line : lines)
        EXPECT_EQ(11, std::count(line.begin(), line.end(), '\t')) << line;
    EXPECT_EQ(2, notices.count(PNL_LOG_NOT_WRITTEN));
    EXPECT_EQ(2, notices.count(PNL_LOG_CAUGHT_UP));
}

// ---- Signals -----------------------------------------------------------------------------------

TEST_F(SafetyTest, SignalsAskOnceAndAnUnansweredQuestionEndsWithThePendingResultLogged) {
    ASSERT_EQ(0, Start(1));
    Show("3E225891"); // pending
    UseTestTimer();
    for (int signalNumber : {SIGINT, SIGHUP, SIGTERM, SIGTERM, SIGINT}) {
        std::raise(signalNumber);
        ASSERT_TRUE(RunUntil([] { return RT_TestPopupDepth() > 0; }, 5000)) << signalNumber;
        RunFor(50);
        EXPECT_EQ(1, RT_TestPopupDepth()) << "signal " << signalNumber << " added a popup";
    }
    EXPECT_EQ(PNL_SAVE_BEFORE_QUIT, RT_TestGetPanelState(SavePanelHandle).resourceId);
    EXPECT_FALSE(Exists(ProgPath("TCLOG")));
    // Nobody answers: after 30 s the result is logged and the program ends normally.
    testTimer_ = testTimer_ + 29.0;
    RunFor(100);
    EXPECT_FALSE(appQuit_);
    testTimer_ = testTimer_ + 2.0;
    ASSERT_TRUE(RunUntilAppQuits(5000));
    EXPECT_EQ(-1, commStatus);
    EXPECT_EQ(0, Save2Log);
    const auto lines = LogLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("3E225891", DataRowCode(lines[1]));
}

TEST_F(SafetyTest, SignalWithNothingPendingEndsAfterThirtySecondsOrWhenTheOperatorStays) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    UseTestTimer();
    // The operator is there and stays: the program goes on, and no deadline is left behind.
    AnswerNotice(PNL_QUIT, QUIT_STAY);
    std::raise(SIGHUP);
    RunFor(200);
    EXPECT_EQ(0, RT_TestPopupDepth());
    testTimer_ = testTimer_ + 60.0;
    RunFor(100);
    EXPECT_EQ(0, commStatus);

    // The question waits inside the event loop, so the test acts from there too: a second
    // signal while it is up, then the clock moves past 29 and 31 seconds.
    int depthAfterSecondSignal = -1, statusAt29Seconds = 1;
    RT_TestPost([] { std::raise(SIGINT); }, 100);
    RT_TestPost(
        [&] {
            depthAfterSecondSignal = RT_TestPopupDepth();
            testTimer_ = testTimer_ + 29.0;
        },
        300);
    RT_TestPost(
        [&] {
            statusAt29Seconds = commStatus;
            testTimer_ = testTimer_ + 2.0;
        },
        500);
    std::raise(SIGTERM);
    ASSERT_TRUE(RunUntilAppQuits(5000));
    EXPECT_EQ(1, depthAfterSecondSignal);
    EXPECT_EQ(0, statusAt29Seconds);
    EXPECT_EQ(-1, commStatus);
    EXPECT_FALSE(Exists(ProgPath("TCLOG")));
}

// ---- The UI resource ---------------------------------------------------------------------------

TEST_F(SafetyTest, DamagedOrMissingResourceIsNamedOnStandardErrorAndInAPlainMessage) {
    const std::string resource = ProgPath("ks_read.ui.json");
    const std::string whole = readFile(resource);
    struct Case {
        std::string name;
        std::function<void()> damage;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"truncated", [&] { writeFile(resource, whole.substr(0, whole.size() / 2)); }, "damaged"},
        {"byte flipped",
         [&] {
             std::string flipped = whole;
             flipped[flipped.find("\"controls\"", flipped.size() / 2) + 3] ^= 0x20;
             writeFile(resource, flipped);
         },
         "damaged"},
        {"a folder",
         [&] {
             fs::remove(resource);
             fs::create_directory(resource);
         },
         "damaged"},
        {"missing", [&] { fs::remove_all(resource); }, "missing"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(resource);
        writeFile(resource, whole);
        c.damage();
        for (const std::string &text : FailedStartSays()) {
            EXPECT_NE(std::string::npos, text.find(resource)) << text;
            EXPECT_NE(std::string::npos, text.find(c.says)) << text;
            EXPECT_NE(std::string::npos, text.find("Install the program again")) << text;
        }
        EXPECT_FALSE(Exists(WorkPath("ks.ini")));
        KsResetState();
        RT_TestClearAnswers();
    }
}

TEST_F(SafetyTest, DamagedPanelThatTheFirstPaintDoesNotNeedFailsTheStartRightAfterIt) {
    // A start with a settings file checks only the panels its first paint needs before that
    // paint; the history panel is checked right after it, before the start-up ends.
    ASSERT_EQ(0, Start(1));
    const std::string settings = readFile(WorkPath("ks.ini"));
    ASSERT_EQ(940u, settings.size());
    KsResetState();
    RT_TestClearAnswers();
    const std::string resource = ProgPath("ks_read.ui.json");
    std::string damaged = readFile(resource);
    const size_t history = damaged.find("\"name\": \"HISTORY\"");
    ASSERT_NE(std::string::npos, history);
    damaged.replace(history, 6, "\"nome\""); // a key the panels do not have
    writeFile(resource, damaged);

    for (const std::string &text : FailedStartSays()) {
        EXPECT_NE(std::string::npos, text.find(resource)) << text;
        EXPECT_NE(std::string::npos, text.find("panel " + std::to_string(PNL_HISTORY))) << text;
    }
    // The main panel was drawn before the check.
    int mainShown = 0;
    GetPanelAttribute(panelHandle, ATTR_VISIBLE, &mainShown);
    EXPECT_EQ(1, mainShown);
    // The port was never opened and the settings are as they were.
    EXPECT_NE(0, commStatus);
    KsResetState();
    RT_TestClearAnswers();
    EXPECT_EQ(settings, readFile(WorkPath("ks.ini")));
}

TEST_F(SafetyTest, AnExitFromInsideTheRunClosesTheHistoryWithoutACrash) {
    // The toolkit calls exit() when the display goes away: the static destructors then run with
    // the history open, after Qt SQL's own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            if (Start(1) != 0) std::_Exit(2);
            if (!RunUntil([] { return KsHistoryStore() != nullptr; })) std::_Exit(3);
            std::exit(7);
        },
        testing::ExitedWithCode(7), "");
}

// ---- The serial line ---------------------------------------------------------------------------

TEST_F(SafetyTest, RecordAfterAFloodOfEmptyLinesIsShownAtOnce) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    // Half a megabyte of NUL bytes (a line held in BREAK), more than the terminal buffers, so the
    // sender is held to the pace at which the program takes them; then a record.
    constexpr size_t kFloodBytes = 512 * 1024;
    constexpr size_t kChunk = 1024;
    std::atomic<bool> floodDone{false}, recordSent{false};
    std::chrono::steady_clock::time_point floodEnd;
    const auto start = std::chrono::steady_clock::now();
    std::thread tester([&] {
        for (size_t sent = 0; sent < kFloodBytes; sent += kChunk)
            pty_->send(std::string(kChunk, '\0'));
        floodEnd = std::chrono::steady_clock::now();
        floodDone = true;
        pty_->sendRecord(SampleRecord("3E225891", 450, "12.60"));
        recordSent = true;
    });
    const bool shown = RunUntil([] { return Save2Log == 1; }, 30000);
    const auto shownAt = std::chrono::steady_clock::now();
    // Unblock the tester's end if the flood was not drained in time.
    while (!recordSent) {
        FlushInQ(HostConfig.ComPort);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    tester.join();
    ASSERT_TRUE(floodDone);
    const double afterFlood = std::chrono::duration<double>(shownAt - floodEnd).count();
    const double total = std::chrono::duration<double>(shownAt - start).count();
    std::printf("NUL flood: %zu empty lines and a record taken in %.2f s (%.0f lines a second); "
                "record shown %.2f s after the flood ended\n",
                kFloodBytes, total, kFloodBytes / total, afterFlood);
    ASSERT_TRUE(shown) << "the record was not shown within 30 s";
    EXPECT_LT(afterFlood, 2.0);
    EXPECT_STREQ("3E225891", NewDataInput.TCode);
}

TEST_F(SafetyTest, PortThatFailedToOpenIsTriedAgainQuietlyUntilItOpens) {
    RT_TestMapPort(1, root_->file("no-such-device").c_str());
    NoticeWatcher notices;
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([&] { return notices.count(PNL_PORT_FAILED) == 1; }, 5000));
    EXPECT_LT(commStatus, 0);
    // Still absent for a few retries: no further notice.
    RunFor(4500);
    EXPECT_LT(commStatus, 0);
    // The adapter is plugged in: the port opens without the operator choosing it again.
    RT_TestMapPort(1, pty_->devicePath().c_str());
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }, 10000));
    EXPECT_EQ(1, notices.count(PNL_PORT_FAILED));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 450, "12.60")));
}

#include "app_fixture.h"

#include "tests/support/files.h"
#include "tests/support/paths.h"

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

char kArgv0[] = "ks_app_test";
char *kArgv[] = {kArgv0, nullptr};

// 2026-12-07 09:30:15 UTC: a fixed calendar clock for dates and times in the log.
constexpr long long kFixedTime = 1796635815;

bool IsProgramFile(const fs::path &p) {
    const std::string ext = p.extension().string();
    return ext == ".json" || ext == ".lng" || ext == ".txt" || ext == ".BMP" || ext == ".bmp";
}

} // namespace

void AppTest::SetUp() {
    root_ = std::make_unique<ks_test::TempDir>();
    prog_ = root_->file("prog");
    work_ = root_->file("work");
    legacy_ = root_->file("legacy");
    fs::create_directories(prog_);
    fs::create_directories(work_);
    fs::create_directories(legacy_);
    for (const auto &entry : fs::directory_iterator(ks_test::programDir()))
        if (entry.is_regular_file() && IsProgramFile(entry.path()))
            fs::copy_file(entry.path(), prog_ + "/" + entry.path().filename().string());
    ASSERT_TRUE(Exists(ProgPath("ks_read.ui.json")));

    char cwd[4096] = "";
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    oldCwd_ = cwd;
    ASSERT_EQ(0, chdir(work_.c_str())); // "ks.ini" is written to the current directory

    RT_TestSetProgramDir(prog_.c_str());
    RT_TestSetLegacyRoot(legacy_.c_str());
    RT_TestClock clock;
    clock.currentTime = [] { return kFixedTime; };
    RT_TestSetClock(clock);
    RT_TestSetDecimalSeparator('.');
    RT_TestSetSystemLanguageName("English");
    pty_ = std::make_unique<PtyWriter>();
    RT_TestMapPort(1, pty_->devicePath().c_str());
}

void AppTest::TearDown() {
    KsResetState();
    RT_TestClearAnswers();
    RT_TestFlushDeletes();
    RT_TestMapPort(1, nullptr);
    RT_TestMapPort(2, nullptr);
    RT_TestResetClock();
    RT_TestSetDecimalSeparator(0);
    RT_TestSetSystemLanguageName(nullptr);
    RT_SetToolkitLanguage("English"); // Qt's own texts as the next test expects them
    RT_TestSetProgramDir(nullptr);
    RT_TestSetLegacyRoot(nullptr);
    pty_.reset();
    if (!oldCwd_.empty()) {
        EXPECT_EQ(0, chdir(oldCwd_.c_str()));
    }
    root_.reset();
}

int AppTest::Start(int answerLanguage) {
    if (answerLanguage >= 0)
        RT_TestAnswerPopup(PNL_LANGUAGE, {PopupSetInt(3, answerLanguage), PopupCommit(2)});
    KsRegisterCallbacks();
    return KsStartup(kArgv);
}

bool AppTest::RunUntil(const std::function<bool()> &cond, int timeoutMs) {
    struct State {
        bool finished = false; // the poll has quit the loop (or the run is over)
    };
    auto state = std::make_shared<State>();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [state, deadline, cond, weak = std::weak_ptr<std::function<void()>>(poll)] {
        if (state->finished) return;
        if (cond()) {
            state->finished = true;
            QuitUserInterface(0);
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            if (RT_TestPopupDepth() > 0 && MessagePanel > 0) {
                RT_TestCommit(MessagePanel, NOTICE_OK); // an unexpected notice: let it go
            } else {
                state->finished = true;
                QuitUserInterface(0);
                return;
            }
        }
        if (auto again = weak.lock()) RT_TestPost(*again, 10);
    };
    RT_TestPost(*poll, 0);
    RunUserInterface();
    // The loop ended without the poll: the application called QuitUserInterface itself.
    appQuit_ = !state->finished;
    state->finished = true;
    const bool held = cond();
    RT_TestPost([poll] {}, 50); // keeps the poll alive until a queued timer has seen `finished`
    return held;
}

void AppTest::RunFor(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    RunUntil([until] { return std::chrono::steady_clock::now() >= until; }, ms + 5000);
}

bool AppTest::RunUntilAppQuits(int timeoutMs) {
    RunUntil([] { return false; }, timeoutMs);
    return appQuit_;
}

void AppTest::AnswerNotice(int resourceId, int control) {
    RT_TestAnswerPopup(resourceId, {PopupCommit(control)});
}

int AppTest::LastPopupResource() {
    if (MessagePanel <= 0) return 0;
    const RT_TestPanelState s = RT_TestGetPanelState(MessagePanel);
    return s.exists ? s.resourceId : 0;
}

bool AppTest::SendRecordAndWait(const std::vector<std::string> &valueLines) {
    const TestRecord before = NewDataInput;
    const int saveBefore = Save2Log;
    pty_->sendRecord(valueLines);
    return RunUntil([before, saveBefore] {
        return std::memcmp(&before, &NewDataInput, sizeof before) != 0 ||
               (saveBefore == 0 && Save2Log == 1);
    });
}

std::vector<std::string> AppTest::SampleRecord(const std::string &tcode, int setPoint,
                                               const std::string &volts) {
    return {
        "INFO 0 : Garage Nord",
        "INFO 1 : Car 7",
        "INFO 2 : AB-123-CD",
        "INFO 3 : Tester 12",
        "INFO 4 : Bay 2",
        "INFO 5 : Shift B",
        "SETPNT : " + std::to_string(setPoint),
        "B VOLT : " + volts,
        "B CCA  : 455",
        "B RSLT : 1",
        "SYSTEM : 1",
        "IN-VEH : 1",
        "T COMP : 1",
        "SOC    : 2",
        "TCODE  : " + tcode,
        "SER #  : 4711",
    };
}

bool AppTest::Exists(const std::string &path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

long AppTest::FileSize(const std::string &path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? -1 : static_cast<long>(size);
}

std::string AppTest::TextOf(int control) const {
    char text[1024] = "";
    GetCtrlVal(panelHandle, control, text);
    return text;
}

int AppTest::IntOf(int control) const {
    int value = -12345;
    GetCtrlVal(panelHandle, control, &value);
    return value;
}

double AppTest::DoubleOf(int control) const {
    double value = -12345;
    GetCtrlVal(panelHandle, control, &value);
    return value;
}

int AppTest::IndexOf(int control) const {
    int index = -12345;
    GetCtrlIndex(panelHandle, control, &index);
    return index;
}

std::vector<std::string> AppTest::LogLines() const {
    std::vector<std::string> lines;
    std::istringstream in(ks_test::readFile(ProgPath("TCLOG")));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string AppTest::ExpectedLogLine(const TestRecord &r, const std::string &entry,
                                     const std::string &notes) const {
    auto label = [](int ring, int index) {
        char text[256] = "";
        GetLabelFromIndex(panelHandle, ring, index, text);
        return std::string(text);
    };
    int brsltIndex = -1;
    GetIndexFromValue(panelHandle, MAIN_BRSLT, &brsltIndex, static_cast<int>(r.BRslt));
    char volts[64];
    std::snprintf(volts, sizeof volts, "%f", r.BVolt);
    return std::string(DateStr()) + "\t" + TimeStr() + "\t'" + entry + "\t" + r.TCode + "\t" +
           label(MAIN_INVEH, r.InVehicle) + "\t" + label(MAIN_TCOMP, r.TComp) + "\t" +
           std::to_string(r.SetPoint) + "\t" + volts + "\t" + label(MAIN_SYSTEM, r.System) + "\t" +
           label(MAIN_BRSLT, brsltIndex) + "\t" + label(MAIN_SOC, r.Soc) + "\t" + notes;
}

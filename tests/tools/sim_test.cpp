// The tester simulator: its test-code packing against the worked examples, the consistency of
// the records it sends with the log it writes (also under every fault), and whole runs read back
// through COM1 of a temporary program folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "platform/io/serial.h"
#include "platform/io/testing_io.h"
#include "tests/support/pty_peer.h"
#include "tests/support/qt_core_environment.h"
#include "tests/support/files.h"
#include "tests/support/paths.h"
#include "tests/support/temp_dir.h"
#include "tools/ks_tester_sim/record.h"
#include "tools/ks_tester_sim/test_code.h"

extern char **environ;

namespace fs = std::filesystem;
using ks_sim::Fault;
using ks_sim::TestCodeFields;
using ks_test::PtyPeer;
using ks_test::readFile;
using ks_test::TempDir;
using ks_test::writeFile;

namespace {

const auto *const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new ks_test::QtCoreEnvironment);

// ---- a reference receiver: the framing and conversions a correct reader applies ------------

const char *const kLabels[] = {
    "LOGO 0 : ", "LOGO 1 : ", "INFO 0 : ", "INFO 1 : ", "INFO 2 : ", "INFO 3 : ", "INFO 4 : ",
    "INFO 5 : ", "24VSYS : ", "IN-VEH : ", "SETPNT : ", "SYSTEM : ", "JIS No : ", "B VOLT : ",
    "B CCA  : ", "B RSLT : ", "B TYPE : ", "SOC    : ", "TCODE  : ", "CCODE  : ", "VER.   : ",
    "T COMP : ", "B4A CH : ", "S CHRG : ", "6V SYS : ", "TEST # : ", "SER #  : "};

struct Received {
    std::map<std::string, std::string> values; // by label
    bool stopped = false;
    int number(const char *label) const {
        const auto it = values.find(label);
        return it == values.end() ? 0 : std::atoi(it->second.c_str());
    }
    std::string text(const char *label) const {
        const auto it = values.find(label);
        return it == values.end() ? std::string() : it->second;
    }
    double volts() const {
        std::string v = text("B VOLT : ");
        const size_t comma = v.find(',');
        if (comma != std::string::npos) v[comma] = '.';
        return std::atof(v.c_str());
    }
};

// Feeds one line; returns true when it ended the record.
bool takeLine(Received &record, bool &inRecord, const std::string &line) {
    if (!inRecord) {
        inRecord = line.find("START  : ") != std::string::npos;
        return false;
    }
    for (const char *label : kLabels)
        if (line.compare(0, 9, label) == 0 && line.size() >= 9) {
            record.values[label] = line.substr(9);
            return false;
        }
    if (line.compare(0, 9, "STOP   : ") == 0) {
        record.stopped = true;
        inRecord = false;
        return true;
    }
    return false;
}

// Splits wire bytes the way ComRdTerm(port, line, 256, 0) does.
std::vector<std::string> wireLines(const std::string &bytes) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t nul = bytes.find('\0', at);
        const size_t end = std::min(nul == std::string::npos ? bytes.size() : nul, at + 256);
        lines.push_back(bytes.substr(at, end - at));
        at = end < at + 256 || end == nul ? end + 1 : end;
    }
    return lines;
}

Received receiveRecord(const std::string &bytes) {
    Received record;
    bool inRecord = false;
    for (const std::string &line : wireLines(bytes))
        if (takeLine(record, inRecord, line)) break;
    return record;
}

std::vector<std::string> splitTabs(const std::string &line) {
    std::vector<std::string> columns;
    std::stringstream in(line);
    std::string column;
    while (std::getline(in, column, '\t'))
        columns.push_back(column);
    return columns;
}

// The log's view of a record, from what a receiver got: TCode .. Info5.
std::vector<std::string> columnsOf(const Received &r, int number) {
    char volts[16];
    std::snprintf(volts, sizeof volts, "%.2f", r.volts());
    std::vector<std::string> columns = {std::to_string(number),
                                        r.text("TCODE  : "),
                                        std::to_string(r.number("SETPNT : ")),
                                        volts,
                                        std::to_string(r.number("B RSLT : ")),
                                        std::to_string(r.number("SYSTEM : ")),
                                        std::to_string(r.number("T COMP : ")),
                                        std::to_string(r.number("IN-VEH : ")),
                                        std::to_string(r.number("SOC    : "))};
    for (int k = 0; k < 6; ++k) {
        const std::string label = "INFO " + std::to_string(k) + " : ";
        columns.push_back(r.text(label.c_str()));
    }
    return columns;
}

// The record's own fields agree with its test code, and its state of charge with both.
void expectConsistent(const Received &r) {
    TestCodeFields code;
    ASSERT_TRUE(ks_sim::decodeTestCode(r.text("TCODE  : "), &code)) << r.text("TCODE  : ");
    EXPECT_EQ(code.setPoint, r.number("SETPNT : "));
    EXPECT_EQ(code.bcca, r.number("B CCA  : "));
    EXPECT_NEAR(ks_sim::voltsOfSteps(code.voltSteps), r.volts(), 1e-9);
    EXPECT_EQ(code.brslt, r.number("B RSLT : "));
    EXPECT_EQ(code.system, r.number("SYSTEM : "));
    EXPECT_EQ(code.tcomp, r.number("T COMP : "));
    EXPECT_EQ(code.inVehicle, r.number("IN-VEH : "));
    EXPECT_EQ(ks_sim::socClass(code), r.number("SOC    : "));
}

// ---- running the simulator --------------------------------------------------------------------

class SimProcess {
  public:
    explicit SimProcess(std::vector<std::string> args) {
        const std::string program = ks_test::programPath("ks_tester_sim");
        args.insert(args.begin(), program);
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
    }
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return pid_ > 0; }
    void signal(int sig) { ::kill(pid_, sig); }
    // Exit status, or -1 when it has not ended within the time.
    int wait(double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

  private:
    pid_t pid_ = -1;
};

bool waitForPath(const std::string &path, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (fs::is_symlink(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Receives records on an open port until `records` stop lines have come or the time is up.
std::vector<Received> receiveRecords(int port, size_t records, double seconds) {
    std::vector<Received> out;
    Received current;
    bool inRecord = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (out.size() < records && std::chrono::steady_clock::now() < end) {
        char line[257] = {};
        const int n = ComRdTerm(port, line, 256, 0);
        if (n < 0) continue;
        if (takeLine(current, inRecord, std::string(line, static_cast<size_t>(n)))) {
            out.push_back(current);
            current = Received{};
        }
    }
    return out;
}

std::vector<std::vector<std::string>> logRecords(const std::string &path) {
    std::vector<std::vector<std::string>> rows;
    std::stringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') rows.push_back(splitTabs(line));
    return rows;
}

} // namespace

TEST(TestCode, EncoderInvertsTheWorkedExamples) {
    struct Example {
        const char *typed;
        int setPoint, bcca;
        double volts;
        int brslt, system, tcomp, inVehicle, soc;
    };
    const Example examples[] = {
        {"3E225891", 500, 450, 12.60, 1, 5, 0, 1, 3}, {"3e22 5891", 500, 450, 12.60, 1, 5, 0, 1, 3},
        {"36425C81", 500, 700, 12.00, 1, 5, 0, 1, 1}, {"3E225890", 500, 450, 12.60, 0, 5, 0, 1, 0},
        {"3E225893", 500, 450, 12.60, 3, 5, 0, 1, 5},
    };
    for (const Example &e : examples) {
        SCOPED_TRACE(e.typed);
        TestCodeFields f;
        f.setPoint = e.setPoint;
        f.bcca = e.bcca;
        f.voltSteps = static_cast<int>(std::lround((e.volts - 5.0) / 0.05));
        f.brslt = e.brslt;
        f.system = e.system;
        f.tcomp = e.tcomp;
        f.inVehicle = e.inVehicle;
        std::string expected = e.typed;
        expected.erase(std::remove(expected.begin(), expected.end(), ' '), expected.end());
        for (char &c : expected)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(ks_sim::encodeTestCode(f), expected);
        EXPECT_EQ(ks_sim::socClass(f), e.soc);

        TestCodeFields back;
        ASSERT_TRUE(ks_sim::decodeTestCode(e.typed, &back));
        EXPECT_EQ(back.setPoint, e.setPoint);
        EXPECT_EQ(back.bcca, e.bcca);
        EXPECT_NEAR(ks_sim::voltsOfSteps(back.voltSteps), e.volts, 1e-9);
        EXPECT_EQ(back.brslt, e.brslt);
        EXPECT_EQ(back.system, e.system);
        EXPECT_EQ(back.tcomp, e.tcomp);
        EXPECT_EQ(back.inVehicle, e.inVehicle);
    }
}

TEST(TestCode, EveryFieldSurvivesARoundTrip) {
    std::mt19937 random(42);
    for (int i = 0; i < 20000; ++i) {
        TestCodeFields f;
        f.setPoint = 10 * static_cast<int>(random() % 256);
        f.bcca = 5 * static_cast<int>(random() % 512);
        f.voltSteps = static_cast<int>(random() % 256);
        f.brslt = static_cast<int>(random() % 8);
        f.system = random() % 2 ? 5 : 4;
        f.tcomp = static_cast<int>(random() % 2);
        f.inVehicle = static_cast<int>(random() % 2);
        const std::string code = ks_sim::encodeTestCode(f);
        ASSERT_EQ(code.size(), 8u);
        ASSERT_EQ(code.find('D'), std::string::npos);
        TestCodeFields back;
        ASSERT_TRUE(ks_sim::decodeTestCode(code, &back));
        ASSERT_EQ(ks_sim::encodeTestCode(back), code);
        ASSERT_EQ(back.setPoint, f.setPoint);
        ASSERT_EQ(back.bcca, f.bcca);
        ASSERT_EQ(back.voltSteps, f.voltSteps);
    }
}

TEST(TestCode, RangesInvalidCodesAndClassBoundaries) {
    TestCodeFields f;
    f.setPoint = 500;
    f.bcca = 450;
    f.voltSteps = 152;
    f.brslt = 1;
    f.system = 5;
    f.inVehicle = 1;
    for (auto change : std::vector<void (*)(TestCodeFields &)>{
             [](TestCodeFields &x) { x.setPoint = 2560; },
             [](TestCodeFields &x) { x.setPoint = 505; }, [](TestCodeFields &x) { x.bcca = 2560; },
             [](TestCodeFields &x) { x.bcca = 7; }, [](TestCodeFields &x) { x.voltSteps = 256; },
             [](TestCodeFields &x) { x.brslt = 8; }, [](TestCodeFields &x) { x.system = 3; },
             [](TestCodeFields &x) { x.tcomp = 2; }}) {
        TestCodeFields bad = f;
        change(bad);
        EXPECT_EQ(ks_sim::encodeTestCode(bad), "");
    }
    for (const char *code : {"3E2D5891", "3e2d5891", "3E2258910", "3E22589", "3E2 25891",
                             "3E225 891", "3E22 589", "3E22-5891"})
        EXPECT_FALSE(ks_sim::decodeTestCode(code, nullptr)) << code;

    // 12.40 V (step 148) counts as charged; 80 % of the rating is class 4; p of 25 is class 3 and
    // p of 50 class 1 (below 12.4 V, p is the ratio above 80).
    f.brslt = 0;
    f.voltSteps = 148;
    EXPECT_EQ(ks_sim::socClass(f), 0);
    f.voltSteps = 147;
    f.bcca = 400;
    EXPECT_EQ(ks_sim::socClass(f), 4);
    f.setPoint = 1000;
    f.bcca = 1050;
    EXPECT_EQ(ks_sim::socClass(f), 3);
    f.bcca = 1060;
    EXPECT_EQ(ks_sim::socClass(f), 2);
    f.bcca = 1300;
    EXPECT_EQ(ks_sim::socClass(f), 1);
    f.setPoint = 0;
    EXPECT_EQ(ks_sim::socClass(f), 4);
}

TEST(SimRecords, ValuesStayInTheirRangesAndAgreeWithTheCode) {
    std::mt19937 random(3);
    int lowVolts = 0;
    for (int n = 1; n <= 500; ++n) {
        const ks_sim::SimRecord record = ks_sim::makeRecord(random, n, "12-07-2026");
        const Received r = receiveRecord(ks_sim::recordBytes(record, {}, {}));
        ASSERT_TRUE(r.stopped);
        expectConsistent(r);
        EXPECT_EQ(r.number("SETPNT : ") % 10, 0);
        EXPECT_GT(r.number("SETPNT : "), 0);
        EXPECT_LE(r.number("SETPNT : "), 2550);
        EXPECT_EQ(r.number("B CCA  : ") % 5, 0);
        EXPECT_GE(r.volts(), 5.0);
        EXPECT_LE(r.volts(), 17.75);
        lowVolts += r.volts() >= 11.5 && r.volts() <= 13.0 ? 1 : 0;
        EXPECT_TRUE(r.number("SYSTEM : ") == 4 || r.number("SYSTEM : ") == 5);
        for (int k = 0; k < 6; ++k) {
            const std::string label = "INFO " + std::to_string(k) + " : ";
            EXPECT_FALSE(r.text(label.c_str()).empty());
            EXPECT_LE(r.text(label.c_str()).size(), ks_sim::kTextFieldLength);
        }
        EXPECT_EQ(r.text("INFO 2 : "), "12-07-2026");
        EXPECT_EQ(r.values.size(), std::size(kLabels)) << "every label is sent";
        const auto logged = splitTabs(ks_sim::logLine(record, {}));
        ASSERT_EQ(logged.size(), 16u);
        EXPECT_EQ(std::vector<std::string>(logged.begin(), logged.begin() + 15), columnsOf(r, n));
        EXPECT_EQ(logged[15], "-");
    }
    EXPECT_GT(lowVolts, 350) << "most batteries sit between 11.5 and 13.0 V";
}

TEST(SimRecords, TheLogSaysWhatAReceiverGetsUnderEveryFault) {
    std::mt19937 random(5);
    const ks_sim::SimRecord record = ks_sim::makeRecord(random, 7, "01-02-2027");
    for (const auto &kind : ks_sim::faultKinds()) {
        SCOPED_TRACE(kind.name);
        const std::vector<Fault> faults = {kind.fault};
        const std::string bytes = ks_sim::recordBytes(record, faults, {});
        const Received r = receiveRecord(bytes);
        EXPECT_EQ(r.stopped, kind.fault != Fault::NoStop);
        const auto logged = splitTabs(ks_sim::logLine(record, faults));
        ASSERT_EQ(logged.size(), 16u);
        EXPECT_EQ(std::vector<std::string>(logged.begin(), logged.begin() + 15), columnsOf(r, 7));
        EXPECT_EQ(logged[15], kind.name);
        if (kind.fault == Fault::Blanks) {
            EXPECT_EQ(r.number("B CCA  : "), 0);
            EXPECT_DOUBLE_EQ(r.volts(), 0.0);
        }
        if (kind.fault == Fault::LongLine) {
            EXPECT_NE(bytes.find(std::string(300, 'X') + '\0'), std::string::npos);
        }
        if (kind.fault == Fault::MidStart) {
            EXPECT_GT(bytes.find("START  : "), 0u);
        }
    }
    // Noise before a record never starts one.
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(ks_sim::garbageBytes(random).find("START  : "), std::string::npos);
    // With a decimal comma the log follows the receiver's reading, below 10 V too.
    ks_sim::WireOptions comma;
    comma.decimalComma = true;
    int belowTen = 0;
    for (int n = 1; n <= 300; ++n) {
        const ks_sim::SimRecord any = ks_sim::makeRecord(random, n, "01-02-2027");
        const Received r = receiveRecord(ks_sim::recordBytes(any, {}, comma));
        const auto columns = splitTabs(ks_sim::logLine(any, {}, true, comma));
        ASSERT_EQ(std::vector<std::string>(columns.begin(), columns.begin() + 15), columnsOf(r, n));
        belowTen += ks_sim::voltsOfSteps(any.code.voltSteps) < 10.0 ? 1 : 0;
    }
    EXPECT_GT(belowTen, 0) << "the sample must hold low voltages";
    EXPECT_EQ(
        ks_sim::logLine(record, {}, false).substr(ks_sim::logLine(record, {}, false).rfind('\t')),
        "\tundelivered");
}

TEST(SimRun, RecordsReadBackThroughCom1MatchTheLog) {
    TempDir folder;
    RT_TestSetProgramDir(folder.path().c_str());
    SimProcess sim({"--folder", folder.path(), "--port", "1", "--count", "3", "--interval", "0.8",
                    "--first", "0.3", "--seed", "11", "--log", folder.file("sent.log"), "--fault",
                    "long-line@2", "--fault", "garbage@3"});
    ASSERT_TRUE(sim.started());
    ASSERT_TRUE(waitForPath(folder.file("COM1"), 5.0));
    ASSERT_EQ(OpenComConfig(1, "", 9600, 0, 8, 1, 32768, 512), 0);
    ASSERT_EQ(SetComTime(1, 0.2), 0);
    const std::vector<Received> received = receiveRecords(1, 3, 15.0);
    EXPECT_EQ(sim.wait(10.0), 0);
    EXPECT_FALSE(fs::exists(folder.file("COM1")) || fs::is_symlink(folder.file("COM1")))
        << "the link goes with the simulator";
    CloseCom(1);
    RT_TestSetProgramDir(nullptr);

    const auto logged = logRecords(folder.file("sent.log"));
    ASSERT_EQ(received.size(), 3u);
    ASSERT_EQ(logged.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i + 1);
        expectConsistent(received[i]);
        EXPECT_EQ(std::vector<std::string>(logged[i].begin(), logged[i].begin() + 15),
                  columnsOf(received[i], static_cast<int>(i + 1)));
    }
    EXPECT_EQ(logged[1][15], "long-line");
    EXPECT_EQ(logged[2][15], "garbage");
}

TEST(SimRun, ReceptionResumesAfterTheLinkDrops) {
    TempDir folder;
    RT_TestSetProgramDir(folder.path().c_str());
    SimProcess sim({"--folder", folder.path(), "--port", "2", "--count", "2", "--interval", "0.2",
                    "--first", "0.2", "--seed", "4", "--no-pacing", "--fault", "drop@1",
                    "--drop-seconds", "1", "--log", folder.file("sent.log")});
    ASSERT_TRUE(sim.started());
    ASSERT_TRUE(waitForPath(folder.file("COM2"), 5.0));
    ASSERT_EQ(OpenComConfig(2, "", 9600, 0, 8, 1, 32768, 512), 0);
    ASSERT_EQ(SetComTime(2, 0.2), 0);
    // The second record arrives on a new pseudo-terminal; the port follows the link by itself.
    const std::vector<Received> received = receiveRecords(2, 2, 15.0);
    EXPECT_EQ(sim.wait(10.0), 0);
    CloseCom(2);
    RT_TestSetProgramDir(nullptr);
    const auto logged = logRecords(folder.file("sent.log"));
    ASSERT_EQ(received.size(), 2u);
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0][15], "drop");
    EXPECT_EQ(std::vector<std::string>(logged[1].begin(), logged[1].begin() + 15),
              columnsOf(received[1], 2));
}

TEST(SimRun, SendsOnADeviceGivenByPath) {
    // The slave of a pseudo-terminal stands in for a real serial device; the test reads the
    // line at the master.
    TempDir folder;
    PtyPeer line;
    SimProcess sim({"--device", line.devicePath(), "--count", "1", "--first", "0", "--no-pacing",
                    "--decimal-comma", "--seed", "9", "--log", folder.file("sent.log")});
    ASSERT_TRUE(sim.started());
    const std::string bytes = line.receiveUntil(std::string("STOP   : 0001") + '\0', 10.0);
    EXPECT_EQ(sim.wait(10.0), 0);
    const Received r = receiveRecord(bytes);
    ASSERT_TRUE(r.stopped);
    EXPECT_EQ(r.text("B VOLT : ")[r.text("B VOLT : ").size() - 3], ',');
    const auto logged = logRecords(folder.file("sent.log"));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(std::vector<std::string>(logged[0].begin(), logged[0].begin() + 15), columnsOf(r, 1));
}

TEST(SimRun, EndsCleanlyOnSigtermAndRefusesBadSwitches) {
    TempDir folder;
    SimProcess sim({"--folder", folder.path(), "--port", "4", "--interval", "0.1", "--no-pacing",
                    "--log", folder.file("sent.log")});
    ASSERT_TRUE(sim.started());
    ASSERT_TRUE(waitForPath(folder.file("COM4"), 5.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(5.0), 0);
    EXPECT_FALSE(fs::is_symlink(folder.file("COM4")));
    EXPECT_EQ(readFile(folder.file("sent.log")).rfind("#record\t", 0), 0u);

    // A COM link that is a real file is never replaced.
    writeFile(folder.file("COM5"), "not a link");
    SimProcess refused({"--folder", folder.path(), "--port", "5", "--count", "1"});
    EXPECT_EQ(refused.wait(5.0), 1);
    EXPECT_EQ(readFile(folder.file("COM5")), "not a link");

    for (const std::vector<std::string> &bad :
         {std::vector<std::string>{"--port", "1"},
          {"--folder", folder.path(), "--port", "0"},
          {"--folder", folder.path(), "--port", "1", "--fault", "melt"},
          {"--folder", folder.path(), "--port", "1", "--interval", "-1"}}) {
        SimProcess usage(bad);
        EXPECT_EQ(usage.wait(5.0), 2);
    }
}

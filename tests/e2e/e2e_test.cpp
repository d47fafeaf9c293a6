// End-to-end tests and fault drills: the real ks_read executable receives the tester simulator's
// records over a pseudo-terminal on a virtual screen, and the tests read what it leaves behind
// (the results log "TCLOG", the settings file "ks.ini") and what it shows (its popups).
#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace e2e;

namespace {

#ifdef KS_SANITIZED
constexpr bool kSanitizedBuild = true;
#else
constexpr bool kSanitizedBuild = false;
#endif

// Seconds one record needs at wire speed, with room for a machine loaded by other tests.
constexpr double kRecordSeconds = 1.6;

// Checks a data line of the results log against the record the simulator sent.
void expectLogged(const std::vector<std::string> &line, const SentRecord &sent) {
    const Resource &ui = Resource::product();
    ASSERT_EQ(line.size(), 12u);
    EXPECT_EQ(line[2], "'") << "record " << sent.number;
    EXPECT_EQ(line[3], sent.tcode) << "record " << sent.number;
    EXPECT_EQ(line[4], ui.ringLabelAt(4, sent.inVehicle)) << "record " << sent.number;
    EXPECT_EQ(line[5], ui.ringLabelAt(3, sent.tcomp)) << "record " << sent.number;
    EXPECT_EQ(std::atoi(line[6].c_str()), sent.setPoint) << "record " << sent.number;
    EXPECT_NEAR(std::atof(line[7].c_str()), sent.bvolt, 0.005) << "record " << sent.number;
    EXPECT_EQ(line[8], ui.ringLabelAt(6, sent.system)) << "record " << sent.number;
    EXPECT_EQ(line[9], ui.ringLabelOfValue(12, sent.brslt)) << "record " << sent.number;
    EXPECT_EQ(line[10], ui.ringLabelAt(11, sent.soc)) << "record " << sent.number;
    EXPECT_EQ(line[11], "") << "record " << sent.number;
}

// The log holds the header and records first .. last of `sent`, in order, each once.
void expectLogHolds(const Bench &bench, const std::vector<SentRecord> &sent, int first, int last) {
    const auto log = readResultsLog(bench.tclog());
    ASSERT_EQ(log.size(), static_cast<size_t>(last - first + 2));
    EXPECT_EQ(log[0][0], "");
    EXPECT_EQ(log[0][1], "");
    for (int n = first; n <= last; ++n)
        expectLogged(log[static_cast<size_t>(n - first + 1)], sent[static_cast<size_t>(n - 1)]);
}

std::vector<std::string> infoOf(const SentRecord &record) {
    std::vector<std::string> info;
    for (const auto &line : record.info)
        info.push_back(line.substr(0, 16));
    return info;
}

} // namespace

TEST(EndToEnd, FiftyRecordsAtWireSpeedAreShownAndLogged) {
    const int count = 50;
    Bench bench({"--count", std::to_string(count), "--interval", "1.6", "--seed", "11"});
    // Slack for a loaded machine: the reader takes one line per pass, so it may fall behind
    // the wire for a while; what must hold is that every record arrives, not when.
    ASSERT_TRUE(waitFor(2 * count * kRecordSeconds + 60,
                        [&] {
                            return bench.loggedRecords() >= count - 1 &&
                                   bench.settingsInfoLines() == infoOf(bench.sent().back()) &&
                                   bench.sent().size() == count;
                        }))
        << "logged " << bench.loggedRecords() << " of " << count - 1;
    const auto sent = bench.sent();
    ASSERT_EQ(sent.size(), static_cast<size_t>(count));
    for (const auto &record : sent)
        EXPECT_EQ(record.faults, "-") << "record " << record.number;
    expectLogHolds(bench, sent, 1, count - 1);
    EXPECT_EQ(bench.settingsInfoLines(), infoOf(sent.back()));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(bench.app().running());
}

TEST(FaultDrill, LinkDropsForFiveSecondsAndReceptionResumes) {
    Bench bench({"--count", "6", "--interval", "1.6", "--seed", "12", "--fault", "drop@3",
                 "--drop-seconds", "5"});
    const std::string link = bench.programFolder() + "/COM1";
    ASSERT_TRUE(waitFor(40, [&] { return !std::filesystem::is_symlink(link); }))
        << "the link never dropped";
    const double cpuBefore = bench.app().cpuSeconds();
    const double dropStart = now();
    ASSERT_TRUE(waitFor(15, [&] { return std::filesystem::is_symlink(link); }))
        << "the link never came back";
    const double dropSeconds = elapsedSince(dropStart);
    const double cpuShare = (bench.app().cpuSeconds() - cpuBefore) / dropSeconds;
    std::printf("drill: link away %.1f s, ks_read used %.2f %% of a core meanwhile\n", dropSeconds,
                100.0 * cpuShare);
    EXPECT_LT(cpuShare, 0.05);

    ASSERT_TRUE(waitFor(40, [&] { return bench.loggedRecords() >= 5; }))
        << "reception did not resume: " << bench.loggedRecords() << " logged";
    expectLogHolds(bench, bench.sent(), 1, 5);
    EXPECT_TRUE(bench.app().running());
}

TEST(FaultDrill, GarbageAndOverLongLinesBetweenRecordsDoNoHarm) {
    Bench bench({"--count", "7", "--interval", "2", "--seed", "13", "--fault", "garbage", "--fault",
                 "long-line@4", "--fault", "mid-start@5", "--fault", "blanks@6"});
    ASSERT_TRUE(waitFor(60, [&] { return bench.loggedRecords() >= 6; }))
        << "logged " << bench.loggedRecords();
    const auto sent = bench.sent();
    expectLogHolds(bench, sent, 1, 6);
    EXPECT_TRUE(bench.app().running());
}

TEST(FaultDrill, RecordThatNeverEndsIsAbandonedWithANotice) {
    // Record 3 starts well after record 2's 10 s deadline, so it cannot end record 2.
    Bench bench({"--count", "3", "--interval", "13", "--seed", "14", "--fault", "no-stop@2"});
    // Record 1 is shown; record 2 never ends: after 10 s the operator gets notice 12.
    ASSERT_TRUE(bench.answerPopup(12, 2)) << "notice 12 did not appear";
    EXPECT_TRUE(bench.app().running());
    // Record 3 is received after the notice and logs record 1 (record 2 never completed).
    ASSERT_TRUE(waitFor(30, [&] { return bench.loggedRecords() >= 1; }));
    const auto sent = bench.sent();
    const auto log = readResultsLog(bench.tclog());
    ASSERT_EQ(log.size(), 2u);
    expectLogged(log[1], sent[0]);
    EXPECT_EQ(bench.settingsInfoLines(), infoOf(sent[2]));
}

TEST(FaultDrill, ThousandRecordsInARowLoseNothingAndKeepMemoryFlat) {
    const int count = 1000;
    // Each record is sent at once; the receiver's own pace (one line per 30 ms pass) sets the rate.
    // Under AddressSanitizer freed memory waits in a quarantine that grows the resident size by
    // itself; without it the figure shows what the program keeps.
    Bench bench(
        {"--count", std::to_string(count), "--interval", "1.1", "--seed", "15", "--no-pacing"},
        {{"ASAN_OPTIONS", "detect_leaks=0:quarantine_size_mb=0"}});
    ASSERT_TRUE(waitFor(300, [&] { return bench.loggedRecords() >= 100; }));
    const long residentAt100 = bench.app().residentKiB();
    ASSERT_TRUE(waitFor(count * 1.6 + 120, [&] { return bench.loggedRecords() >= count - 1; }))
        << "logged " << bench.loggedRecords();
    const long residentAtEnd = bench.app().residentKiB();
    std::printf("drill: resident memory %ld KiB after 100 records, %ld KiB after %d (+%ld KiB)\n",
                residentAt100, residentAtEnd, count, residentAtEnd - residentAt100);
    // The program keeps nothing per record: 2 MB is the bound. Under AddressSanitizer the
    // sanitizer's own allocator and shadow memory still grow while it warms up (about 3 MB over
    // this run, flattening out), so the bound there only tells a leak apart: the progress dialog
    // a record once left behind cost 18 MB over this run without the quarantine.
    EXPECT_LT(residentAtEnd - residentAt100, kSanitizedBuild ? 8192 : 2048);
    expectLogHolds(bench, bench.sent(), 1, count - 1);
    EXPECT_TRUE(bench.app().running());
}

TEST(FaultDrill, SigtermWithAPendingResultAsksBeforeQuitting) {
    Bench bench({"--count", "1", "--seed", "16"});
    ASSERT_TRUE(waitFor(30, [&] {
        const auto sent = bench.sent();
        return !sent.empty() && bench.settingsInfoLines() == infoOf(sent[0]);
    })) << "the record did not arrive";
    bench.app().signal(SIGTERM);
    // The result is pending: the save-before-quit popup, not a silent exit.
    const std::string title = Resource::product().panelTitle(13);
    ASSERT_TRUE(waitFor(15, [&] { return !bench.screen().windowsNamed(title).empty(); }))
        << "no save-before-quit popup";
    EXPECT_TRUE(bench.app().running());
    // Quit without saving (control 3) ends the program normally.
    ASSERT_TRUE(bench.answerPopup(13, 3));
    EXPECT_EQ(bench.app().waitExit(15), 0);
    EXPECT_FALSE(std::filesystem::exists(bench.tclog()));
}

// Daily use at the bench: the operator types while records arrive, results are logged hours after
// their test, texts hold tabs, the tester restarts a record, and the port is quiet for a long time.
#include "app_fixture.h"

#include <chrono>
#include <sstream>
#include <thread>

namespace {

constexpr long long kMorning = 1796635815; // 2026-12-07 09:30:15 UTC

std::vector<std::string> Columns(const std::string &row) {
    std::vector<std::string> columns;
    std::istringstream in(row);
    for (std::string column; std::getline(in, column, '\t');)
        columns.push_back(column);
    if (!row.empty() && row.back() == '\t') columns.emplace_back();
    return columns;
}

std::string InfoBoxText() {
    char text[1024] = "";
    GetCtrlVal(panelHandle, MAIN_INFO, text);
    return text;
}

} // namespace

TEST_F(AppTest, KeysTypedWhileARecordArrivesStayInTheFieldTheyWereTypedIn) {
    // While the record comes in, each pause of the reception lets the operator type one more key;
    // the keys wait in the event queue until the program looks at its input again.
    auto pending = std::make_shared<std::string>();
    RT_TestClock clock;
    clock.currentTime = [] { return kMorning; };
    clock.delay = [pending](double seconds) {
        if (!pending->empty()) {
            const std::string key = pending->substr(0, 1);
            pending->erase(0, 1);
            RT_TestPost([key] { RT_TestTypeAtFocus(key.c_str()); }, 0);
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    };
    RT_TestSetClock(clock);
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.6")));

    SetActiveCtrl(panelHandle, MAIN_ENTRY); // the operator clicks into the reference
    ASSERT_EQ(0, RT_TestTypeAtFocus("REF-0815 P"));
    *pending = "AS";
    auto next = SampleRecord("36425C81", 610, "12.0");
    next[0] = "INFO 0 : FLEET DEPOT 3";
    ASSERT_TRUE(SendRecordAndWait(next));
    ASSERT_TRUE(pending->empty());

    // The tester's lines, on the panel and in the settings, are exactly what it sent.
    EXPECT_EQ("\nFLEET DEPOT 3\nCar 7\nAB-123-CD\nTester 12\nBay 2\nShift B", InfoBoxText());
    EXPECT_STREQ("FLEET DEPOT 3", HostConfig.InfoLines[0]);
    EXPECT_EQ(std::string("FLEET DEPOT 3"), readFile(WorkPath("ks.ini")).c_str());
    // The whole reference stayed in the entry and went with the record it was typed beside.
    const auto rows = LogLines();
    ASSERT_EQ(2u, rows.size());
    const auto columns = Columns(rows[1]);
    ASSERT_GE(columns.size(), 3u);
    EXPECT_EQ("'REF-0815 PAS", columns[2]);
    EXPECT_EQ("", TextOf(MAIN_ENTRY));
    EXPECT_EQ("", TextOf(MAIN_NOTES));
    EXPECT_EQ(MAIN_NOTES, GetActiveCtrl(panelHandle));
}

TEST_F(AppTest, LogRowsCarryTheTimeTheirRecordWasShownAndOneColumnPerText) {
    auto now = std::make_shared<long long>(kMorning);
    RT_TestClock clock;
    clock.currentTime = [now] { return *now; };
    RT_TestSetClock(clock);
    ASSERT_EQ(0, Start(1));
    const long long received = *now;
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.6")));
    // Tabs and line breaks typed into the texts stay inside their column.
    SetCtrlVal(panelHandle, MAIN_ENTRY, "bay\t2\rcar");
    SetCtrlVal(panelHandle, MAIN_NOTES, "weak\tcell\r\nrecharge");

    *now += 3 * 3600 + 25 * 60 + 10; // the next battery comes after lunch
    const long long typed = *now;
    SetCtrlVal(panelHandle, MAIN_TCODE, "36425C81");
    RT_TestCommit(panelHandle, MAIN_TCODE);
    *now += 24 * 3600; // and the result is saved the next day
    RT_TestAnswerFileDialog(ProgPath("Data/results.txt").c_str());
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_SAVE));

    const auto rows = LogLines();
    ASSERT_EQ(3u, rows.size());
    const size_t headerColumns = Columns(rows[0]).size();
    EXPECT_EQ(12u, headerColumns);
    const auto first = Columns(rows[1]);
    const auto second = Columns(rows[2]);
    ASSERT_EQ(headerColumns, first.size()) << rows[1];
    ASSERT_EQ(headerColumns, second.size()) << rows[2];
    EXPECT_EQ(RT_DateStrAt(received), first[0]);
    EXPECT_EQ(RT_TimeStrAt(received), first[1]);
    EXPECT_EQ("'bay 2 car", first[2]);
    EXPECT_EQ("weak cell  recharge", first[11]);
    EXPECT_EQ(RT_DateStrAt(typed), second[0]);
    EXPECT_EQ(RT_TimeStrAt(typed), second[1]);
    EXPECT_NE(first[1], second[1]);
    EXPECT_NE(second[0], std::string(DateStr())); // not the day of the save
}

TEST_F(AppTest, RecordCutOffByANewStartLineIsDiscardedAndTheNewOneShownWhole) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    // The first test is cut off after a few lines; the tester starts over with another battery
    // whose record has no cranking amps and no test code.
    pty_->sendRecord({"INFO 0 : first test", "B CCA  : 999", "TCODE  : 3E225891", "SETPNT : 999"},
                     /*withStop=*/false);
    pty_->sendRecord({"INFO 0 : second test", "SETPNT : 610", "B VOLT : 12.4"});
    ASSERT_TRUE(RunUntil([] { return Save2Log == 1; }));
    EXPECT_STREQ("second test", NewDataInput.Info[0]);
    EXPECT_EQ(610, NewDataInput.SetPoint);
    EXPECT_EQ(0, NewDataInput.BCca);
    EXPECT_STREQ("", NewDataInput.TCode);
    EXPECT_EQ(610, IntOf(MAIN_SETPNT));
    EXPECT_EQ("", TextOf(MAIN_TCODE));
    EXPECT_STREQ("second test", HostConfig.InfoLines[0]);
    EXPECT_EQ(0, RT_TestPopupDepth()); // the whole record is shown without a notice
}

TEST_F(AppTest, QuietPortNeverHoldsTheLoopAndArrivingBytesWakeTheReception) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    // A poll that waited in a read of the quiet line would now hold the loop for a minute.
    ASSERT_EQ(0, SetComTime(HostConfig.ComPort, 60.0));
    // Ten pieces of other work, 20 ms apart, with polls of the quiet line coming in between.
    auto done = std::make_shared<int>(0);
    auto tick = std::make_shared<std::function<void()>>();
    *tick = [done, weak = std::weak_ptr<std::function<void()>>(tick)] {
        if (++*done < 10)
            if (auto again = weak.lock()) RT_TestPost(*again, 20);
    };
    const auto started = std::chrono::steady_clock::now();
    RT_TestPost(*tick, 20);
    ASSERT_TRUE(RunUntil([done] { return *done == 10; }, 120000));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));

    // Only arriving bytes wake the reception now (the rhythm is an hour): records still come.
    ASSERT_EQ(0, RT_WakeIdleOnComInput(HostConfig.ComPort, 3600.0));
    RunFor(100);
    ASSERT_TRUE(SendRecordAndWait({"SETPNT : 420"}));
    EXPECT_EQ(420, IntOf(MAIN_SETPNT));
    ASSERT_TRUE(SendRecordAndWait({"SETPNT : 421"}));
    EXPECT_EQ(421, IntOf(MAIN_SETPNT));
}

// Reception over a real pseudo-terminal and typed test codes: what reaches the panel, the
// settings and the log, and what is refused.
#include "app_fixture.h"

#include <cstring>

namespace {

void TypeCode(const char *code) {
    SetCtrlVal(panelHandle, MAIN_TCODE, code);
    RT_TestCommit(panelHandle, MAIN_TCODE);
}

} // namespace

TEST_F(AppTest, ReceivedRecordIsShownOnEveryControlAndKeptInTheSettings) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    SetCtrlVal(panelHandle, MAIN_ENTRY, "typed before");
    ResetTextBox(panelHandle, MAIN_NOTES, "old notes");

    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12,45")));
    EXPECT_EQ(500, IntOf(MAIN_SETPNT));
    EXPECT_DOUBLE_EQ(12.45, DoubleOf(MAIN_BVOLT));
    EXPECT_EQ(1, IntOf(MAIN_BRSLT)); // by value
    EXPECT_EQ(1, IndexOf(MAIN_SYSTEM));
    EXPECT_EQ("3E225891", TextOf(MAIN_TCODE));
    EXPECT_EQ(1, IndexOf(MAIN_INVEH));
    EXPECT_EQ(1, IndexOf(MAIN_TCOMP));
    EXPECT_EQ(2, IndexOf(MAIN_SOC)); // a full test code: the class as sent
    EXPECT_FALSE(TextOf(MAIN_DATE).empty());
    EXPECT_EQ("", TextOf(MAIN_ENTRY));
    EXPECT_EQ("", TextOf(MAIN_NOTES));
    EXPECT_EQ("\nGarage Nord\nCar 7\nAB-123-CD\nTester 12\nBay 2\nShift B", TextOf(MAIN_INFO));
    int count = 0, caret = -1;
    GetNumTextBoxLines(panelHandle, MAIN_INFO, &count);
    EXPECT_EQ(7, count);
    GetCtrlAttribute(panelHandle, MAIN_INFO, ATTR_TEXT_SELECTION_START, &caret);
    EXPECT_EQ(static_cast<int>(TextOf(MAIN_INFO).size()), caret);
    EXPECT_EQ(MAIN_NOTES, RT_TestGetPanelState(panelHandle).activeControl);

    EXPECT_EQ(4711, NewDataInput.SerNo);
    EXPECT_EQ(455, NewDataInput.BCca);
    EXPECT_EQ(1, Save2Log);
    const std::string settings = readFile(WorkPath("ks.ini"));
    ASSERT_EQ(940u, settings.size());
    EXPECT_STREQ("Garage Nord", settings.c_str() + 0);
    EXPECT_STREQ("Shift B", settings.c_str() + 85);
    // The first record of the run is only pending.
    EXPECT_FALSE(Exists(ProgPath("TCLOG")));
}

TEST_F(AppTest, RecordsWithoutTestCodeOrInformationShowNoClassAndEmptyLines) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.6")));
    ASSERT_TRUE(SendRecordAndWait({"SOC    : 3", "TCODE  : 3E22589", "SETPNT : 610"}));
    EXPECT_EQ(-1, IntOf(MAIN_SOC)); // 7 characters of test code: the item of value -1
    EXPECT_EQ(610, IntOf(MAIN_SETPNT));
    EXPECT_EQ("\n\n\n\n\n\n", TextOf(MAIN_INFO));
    for (const auto &line : HostConfig.InfoLines)
        EXPECT_STREQ("", line);
    // Start and stop alone: zero numbers, empty texts.
    ASSERT_TRUE(SendRecordAndWait({}));
    EXPECT_EQ(0, IntOf(MAIN_SETPNT));
    EXPECT_DOUBLE_EQ(0.0, DoubleOf(MAIN_BVOLT));
    EXPECT_EQ("", TextOf(MAIN_TCODE));
    EXPECT_EQ(-1, IntOf(MAIN_SOC));
}

TEST_F(AppTest, VoltageLinesReadACommaAsTheDecimalSeparator) {
    ASSERT_EQ(0, Start(1));
    const std::pair<const char *, double> cases[] = {
        {"12,05", 12.05}, {"12.05", 12.05}, {"12", 12.0}, {"9,50", 9.5}};
    int serial = 1;
    for (const auto &[text, volts] : cases) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(SendRecordAndWait(
            {std::string("B VOLT : ") + text, "SER #  : " + std::to_string(serial++)}));
        EXPECT_DOUBLE_EQ(volts, DoubleOf(MAIN_BVOLT));
        EXPECT_DOUBLE_EQ(volts, NewDataInput.BVolt);
    }
}

TEST_F(AppTest, LabelsMustMatchExactlyAndValuesAreCutToTheirFields) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(SendRecordAndWait({
        "SETPNT : 500",
        "SETPNT  : 999", // one blank too many: skipped
        "B CCA : 999",
        "B CCA  : 455", // one blank too few: skipped
        "SOC    : 3x",
        "garbage line",
        "",
        "INFO 2 : " + std::string(40, 'L'),
        "TCODE  : " + std::string(30, '7'),
        "JIS No : " + std::string(100, 'J'),
    }));
    EXPECT_EQ(500, IntOf(MAIN_SETPNT));
    EXPECT_EQ(455, NewDataInput.BCca);
    EXPECT_EQ(3, NewDataInput.Soc);
    EXPECT_EQ(std::string(16, 'L'), HostConfig.InfoLines[2]);
    EXPECT_EQ(std::string(16, '7'), NewDataInput.TCode);
    EXPECT_EQ(std::string(23, 'J'), NewDataInput.JisNo);
    EXPECT_EQ("\n\n\n" + std::string(16, 'L') + "\n\n\n", TextOf(MAIN_INFO));
}

TEST_F(AppTest, StartPatternCountsAnywhereInTheFirstLineButNotWithOneBlank) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    // One blank before the colon: no record; the queued lines after it are discarded too.
    const std::string rejected =
        std::string("START : x") + '\0' + "SETPNT : 777" + '\0' + "STOP   : " + '\0';
    pty_->send(rejected);
    // The next record goes out only once the application has taken in (and dropped) these lines,
    // however long that takes: sent earlier, it would be dropped with them.
    ASSERT_TRUE(pty_->waitUntilQueued(rejected.size(), 10));
    ASSERT_TRUE(RunUntil([] { return GetInQLen(HostConfig.ComPort) == 0; }));
    EXPECT_EQ(0, Save2Log);
    EXPECT_NE(777, IntOf(MAIN_SETPNT));
    // Other characters before the pattern: a record begins.
    pty_->send(std::string("#12 START  : tester") + '\0' + "SETPNT : 350" + '\0' +
               "STOP   :" + '\0' + // without its final blank: not the end
               "B VOLT : 12.5" + '\0' + "STOP   : " + '\0');
    ASSERT_TRUE(RunUntil([] { return Save2Log == 1; }));
    EXPECT_EQ(350, IntOf(MAIN_SETPNT));
    EXPECT_DOUBLE_EQ(12.5, DoubleOf(MAIN_BVOLT));
}

TEST_F(AppTest, RecordWithoutStopLineIsAbandonedWithNoticeTwelve) {
    // A clock that jumps 0.4 s at every pause, so the 10 s deadline passes quickly.
    auto now = std::make_shared<double>(1000.0);
    RT_TestClock clock;
    clock.timer = [now] { return *now; };
    clock.delay = [now](double) { *now += 0.4; };
    clock.currentTime = [] { return 1796635815LL; };
    RT_TestSetClock(clock);
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.6")));
    const TestRecord shown = NewDataInput;
    const std::string settings = readFile(WorkPath("ks.ini"));

    AnswerNotice(PNL_RECORD_TIMEOUT);
    const int noticeBefore = MessagePanel;
    pty_->sendRecord({"SETPNT : 999", "INFO 0 : changed"}, /*withStop=*/false);
    ASSERT_TRUE(RunUntil([noticeBefore] { return MessagePanel != noticeBefore; }, 8000));
    EXPECT_EQ(PNL_RECORD_TIMEOUT, LastPopupResource());
    EXPECT_EQ(0, std::memcmp(&shown, &NewDataInput, sizeof shown));
    EXPECT_EQ(500, IntOf(MAIN_SETPNT));
    EXPECT_EQ(999, DataInput.SetPoint); // kept what was received so far
    EXPECT_EQ(settings, readFile(WorkPath("ks.ini")));
    EXPECT_FALSE(Exists(ProgPath("TCLOG")));
    // Polling resumed: the next complete record arrives.
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("36425C81", 610, "12.0")));
    EXPECT_EQ(610, IntOf(MAIN_SETPNT));
}

TEST_F(AppTest, PortNoticeNamesThePortAndTheDeviceBehindIt) {
    const std::string missing = root_->file("no-such-device");
    RT_TestMapPort(1, missing.c_str());
    AnswerNotice(PNL_PORT_FAILED);
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return LastPopupResource() == PNL_PORT_FAILED; }));
    EXPECT_EQ("COM1  \u2192  " + missing, RT_TestWidgetText(MessagePanel, NOPORT_PORT));
    int shown = -1;
    GetCtrlAttribute(MessagePanel, NOPORT_NO_DEVICE, ATTR_VISIBLE, &shown);
    EXPECT_EQ(0, shown) << "there is a device path: the no-device line stays hidden";

    // A number with no device behind it at all.
    const int first = MessagePanel;
    AnswerNotice(PNL_PORT_FAILED);
    RT_TestAnswerPopup(PNL_PORT, {PopupSetInt(PORT_NUMBER, 100), PopupCommit(2)});
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), 7));
    ASSERT_TRUE(RunUntil([first] { return MessagePanel != first && commStatus < 0; }));
    EXPECT_EQ(PNL_PORT_FAILED, LastPopupResource());
    EXPECT_EQ("COM100", RT_TestWidgetText(MessagePanel, NOPORT_PORT));
    GetCtrlAttribute(MessagePanel, NOPORT_NO_DEVICE, ATTR_VISIBLE, &shown);
    EXPECT_EQ(1, shown);
}

TEST_F(AppTest, PortThatCannotOpenShowsNoticeTwoOnceAndChoosingItAgainReconnects) {
    RT_TestMapPort(1, root_->file("no-such-device").c_str());
    AnswerNotice(PNL_PORT_FAILED); // the first idle event may come during start-up already
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return commStatus < 0; }));
    RunFor(400); // many idle events
    // Shown once: the notice of the first failure is still the last popup after many events.
    const int notice = MessagePanel;
    EXPECT_EQ(PNL_PORT_FAILED, LastPopupResource());
    EXPECT_LT(commStatus, 0);
    EXPECT_EQ(0, RT_TestPopupDepth());
    RunFor(300);
    EXPECT_EQ(notice, MessagePanel);

    // The same number again while the device is still missing: tried again, told again.
    AnswerNotice(PNL_PORT_FAILED);
    RT_TestAnswerPopup(PNL_PORT, {PopupCommit(2)});
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), 7));
    ASSERT_TRUE(RunUntil([notice] { return MessagePanel != notice && commStatus < 0; }));
    EXPECT_EQ(PNL_PORT_FAILED, LastPopupResource());

    // The tester is plugged in: choosing the same number connects, records arrive.
    RT_TestMapPort(1, pty_->devicePath().c_str());
    RT_TestAnswerPopup(PNL_PORT, {PopupCommit(2)});
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), 7));
    EXPECT_EQ(1, HostConfig.ComPort);
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    ASSERT_TRUE(SendRecordAndWait({"SETPNT : 420"}));
    EXPECT_EQ(420, IntOf(MAIN_SETPNT));
    EXPECT_EQ('\x01', readFile(WorkPath("ks.ini")).at(104));

    // Another number that works: opened on the next event, records arrive there.
    PtyWriter second;
    RT_TestMapPort(2, second.devicePath().c_str());
    RT_TestAnswerPopup(PNL_PORT, {PopupSetInt(3, 2), PopupCommit(2)});
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), 7));
    EXPECT_EQ(2, HostConfig.ComPort);
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    second.sendRecord({"SETPNT : 421"});
    ASSERT_TRUE(RunUntil([] { return NewDataInput.SetPoint == 421; }));
    EXPECT_EQ('\x02', readFile(WorkPath("ks.ini")).at(104));
}

TEST_F(AppTest, TypedWorkedExamplesDecodeLikeTheTable) {
    ASSERT_EQ(0, Start(1));
    struct Example {
        const char *typed;
        int setPoint;
        double volts;
        int brslt, system, tcomp, inveh, soc;
        const char *shown;
    };
    const Example examples[] = {
        {"3E225891", 500, 12.60, 1, 5, 0, 1, 3, "3E22 5891"},
        {"3e22 5891", 500, 12.60, 1, 5, 0, 1, 3, "3E22 5891"},
        {"36425C81", 500, 12.00, 1, 5, 0, 1, 1, "3642 5C81"},
        {"3E225890", 500, 12.60, 0, 5, 0, 1, 0, "3E22 5890"},
        {"3E225893", 500, 12.60, 3, 5, 0, 1, 5, "3E22 5893"},
    };
    for (const auto &e : examples) {
        SCOPED_TRACE(e.typed);
        TypeCode(e.typed);
        EXPECT_EQ(e.setPoint, IntOf(MAIN_SETPNT));
        EXPECT_DOUBLE_EQ(e.volts, DoubleOf(MAIN_BVOLT));
        EXPECT_EQ(e.brslt, IntOf(MAIN_BRSLT));
        EXPECT_EQ(e.system, IndexOf(MAIN_SYSTEM));
        EXPECT_EQ(e.tcomp, IndexOf(MAIN_TCOMP));
        EXPECT_EQ(e.inveh, IndexOf(MAIN_INVEH));
        EXPECT_EQ(e.soc, IndexOf(MAIN_SOC));
        EXPECT_EQ(e.shown, TextOf(MAIN_TCODE));
        EXPECT_STREQ(e.shown, NewDataInput.TCode);
        EXPECT_STREQ("", DataInput.TCode);
        EXPECT_EQ(1, Save2Log);
        EXPECT_FALSE(TextOf(MAIN_DATE).empty());
    }
    // Five decoded codes: the first four are in the log, the fifth is pending.
    EXPECT_EQ(5u, LogLines().size());
}

TEST_F(AppTest, InvalidTypedCodesShowNoticeFourteenAndKeepTheRecords) {
    ASSERT_EQ(0, Start(1));
    TypeCode("3E225891");
    const TestRecord kept = NewDataInput;
    const std::string settings = readFile(WorkPath("ks.ini"));
    for (const char *bad : {"3E22589D", "3e2d5891", "3E2 25891", "3E225 891", "3E22589",
                            "3E2258910A", "3E22 5891 00"}) {
        SCOPED_TRACE(bad);
        SetCtrlVal(panelHandle, MAIN_SETPNT, 123);
        AnswerNotice(PNL_BAD_TESTCODE);
        const int before = MessagePanel;
        TypeCode(bad);
        EXPECT_NE(before, MessagePanel);
        EXPECT_EQ(PNL_BAD_TESTCODE, LastPopupResource());
        EXPECT_EQ(0, RT_TestPopupDepth());
        EXPECT_EQ(0, IntOf(MAIN_SETPNT)); // ClearData ran before the check
        EXPECT_DOUBLE_EQ(0.0, DoubleOf(MAIN_BVOLT));
        EXPECT_EQ(-1, IntOf(MAIN_BRSLT)); // the last item of ring 12
        EXPECT_EQ(0, std::memcmp(&kept, &NewDataInput, sizeof kept));
        EXPECT_EQ(1, Save2Log);
    }
    EXPECT_EQ(settings, readFile(WorkPath("ks.ini")));
    EXPECT_FALSE(Exists(ProgPath("TCLOG")));
}

TEST_F(AppTest, TypedCodeTakesTheInformationLinesFromTheTextBox) {
    ASSERT_EQ(0, Start(1));
    // One line (the first, which never holds information) or none: nothing copied, the
    // settings file untouched.
    KsCopyField(HostConfig.InfoLines[0], "kept");
    const std::string before = readFile(WorkPath("ks.ini"));
    for (const char *text : {"", "first line only"}) {
        ResetTextBox(panelHandle, MAIN_INFO, text);
        TypeCode("3E225891");
        EXPECT_STREQ("", NewDataInput.Info[0]);
        EXPECT_EQ(before, readFile(WorkPath("ks.ini")));
        EXPECT_STREQ("kept", HostConfig.InfoLines[0]);
    }

    // Three lines after the first: three copied (one cut to 16), the rest keep their values.
    KsCopyField(HostConfig.InfoLines[4], "old four");
    ResetTextBox(panelHandle, MAIN_INFO, ("\nfirst\n" + std::string(30, 'w') + "\nthird").c_str());
    TypeCode("36425C81");
    EXPECT_STREQ("first", NewDataInput.Info[0]);
    EXPECT_EQ(std::string(16, 'w'), NewDataInput.Info[1]);
    EXPECT_STREQ("third", NewDataInput.Info[2]);
    EXPECT_STREQ("first", HostConfig.InfoLines[0]);
    EXPECT_STREQ("old four", HostConfig.InfoLines[4]);
    const std::string after = readFile(WorkPath("ks.ini"));
    ASSERT_EQ(940u, after.size());
    EXPECT_STREQ("first", after.c_str());
    EXPECT_STREQ("old four", after.c_str() + 4 * 17);
}

TEST_F(AppTest, PortChangeWhileOpenClosesTheOldPortAndOpensTheNew) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    const std::string settings = readFile(WorkPath("ks.ini"));
    // The link of port 1 now points to another line (the tester moved to another adapter).
    // Confirming the same number connects again through the link as it is now; nothing written.
    PtyWriter moved;
    RT_TestMapPort(1, moved.devicePath().c_str());
    RT_TestAnswerPopup(PNL_PORT, {PopupCommit(2)});
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), 7));
    EXPECT_EQ(1, commStatus); // the next event opens it again
    EXPECT_EQ(settings, readFile(WorkPath("ks.ini")));
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    moved.sendRecord({"SETPNT : 111"});
    ASSERT_TRUE(RunUntil([] { return NewDataInput.SetPoint == 111; }));

    PtyWriter second;
    RT_TestMapPort(2, second.devicePath().c_str());
    RT_TestAnswerPopup(PNL_PORT, {PopupSetInt(3, 2), PopupCommit(2)});
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), 7));
    EXPECT_EQ(1, commStatus);                    // the next event opens the new port
    EXPECT_EQ(RT_COM_ERR_NOT_OPEN, CloseCom(1)); // the old one is already closed
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    moved.sendRecord({"SETPNT : 222"}); // the old line is no longer heard
    second.sendRecord({"SETPNT : 333"});
    ASSERT_TRUE(RunUntil([] { return NewDataInput.SetPoint == 333; }));
    RunFor(500);
    EXPECT_EQ(333, IntOf(MAIN_SETPNT));
}

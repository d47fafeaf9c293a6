// The program keeps every shown result in the history: received and typed results with all their
// values, the entry and notes as logged, and a history that cannot be used stops nothing.
#include "app_fixture.h"

#include <filesystem>

#include "app/ks_hist.h"
#include "app/ks_histpanel.h"
#include "tests/support/pdf_text.h"

namespace {

enum { MENU_PRINT = 4 };

// What the history holds now, read through a connection of its own as ks_history would.
std::vector<HistoryResult> Stored(const std::string &path) {
    HistoryStore store;
    std::vector<HistoryResult> rows;
    if (store.Open(path, /*readOnly=*/true) == 0) store.Search(HistoryQuery{}, &rows);
    std::reverse(rows.begin(), rows.end()); // oldest first
    return rows;
}

} // namespace

TEST_F(AppTest, ShownResultsAreStoredAsShownWithTheTextsTheyAreLoggedWith) {
    ASSERT_EQ(0, Start(1));
    auto record = SampleRecord("3E225891", 640, "12,45");
    record.push_back("JIS No : 80D26R");
    ASSERT_TRUE(SendRecordAndWait(record));
    auto rows = Stored(ProgPath(kHistoryFileName));
    ASSERT_EQ(rows.size(), 1u) << "stored when shown, before the operator does anything";
    EXPECT_EQ(rows[0].source, HISTORY_SOURCE_TESTER);
    EXPECT_EQ(rows[0].setPoint, 640);
    EXPECT_DOUBLE_EQ(rows[0].bVolt, 12.45);
    EXPECT_EQ(rows[0].bCca, 455);
    EXPECT_EQ(rows[0].bRslt, 1);
    EXPECT_EQ(rows[0].soc, 2);
    EXPECT_EQ(rows[0].tCode, "3E225891");
    EXPECT_EQ(rows[0].jisNo, "80D26R");
    EXPECT_EQ(rows[0].serNo, 4711);
    EXPECT_EQ(rows[0].info[2], "AB-123-CD");
    EXPECT_EQ(rows[0].shownUtc, NewDataInput.ShownAt);
    EXPECT_EQ(rows[0].programVersion, "1.0");

    SetCtrlVal(panelHandle, MAIN_ENTRY, "JOB-1");
    ResetTextBox(panelHandle, MAIN_NOTES, "two\nlines");
    SetCtrlVal(panelHandle, MAIN_TCODE, "3E225891");
    ASSERT_EQ(0, RT_TestCommit(panelHandle, MAIN_TCODE));
    rows = Stored(ProgPath(kHistoryFileName));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].entry, "JOB-1") << "the texts logged with the result";
    EXPECT_EQ(rows[0].notes, "two\nlines");
    EXPECT_EQ(rows[1].source, HISTORY_SOURCE_TYPED);
    EXPECT_EQ(rows[1].tCode, "3E22 5891");
    EXPECT_EQ(rows[1].setPoint, NewDataInput.SetPoint);
    EXPECT_EQ(rows[1].bCca, NewDataInput.BCca);
    EXPECT_EQ(rows[1].entry, "");

    SetCtrlVal(panelHandle, MAIN_ENTRY, "JOB-2");
    KsHistoryFinish(); // the end of the program
    rows = Stored(ProgPath(kHistoryFileName));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].entry, "JOB-2");
}

TEST_F(AppTest, AHistoryThatCannotBeOpenedStopsNothingAndCatchesUpLater) {
    // A folder where the database should be: it cannot be opened, as in a read-only folder.
    std::filesystem::create_directory(ProgPath(kHistoryFileName));
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.45")));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("36425C81", 610, "12.10")));
    EXPECT_EQ(LogLines().size(), 2u) << "the log goes on: its header and the first result";
    EXPECT_FALSE(KsHistoryHealth().ok);
    EXPECT_FALSE(KsHistoryHealth().warning.empty());
    EXPECT_EQ(KsHistoryWaiting(), 2);
    // The operator sees it on the status line, with how many results wait.
    EXPECT_TRUE(RunUntil([this] {
        return TextOf(MAIN_STATUS).find("History not saved: 2") != std::string::npos;
    })) << TextOf(MAIN_STATUS);

    std::filesystem::remove(ProgPath(kHistoryFileName));
    ASSERT_TRUE(RunUntil([] { return KsHistoryWaiting() == 0; }, 15000));
    EXPECT_TRUE(KsHistoryHealth().ok);
    EXPECT_TRUE(RunUntil([this] {
        return TextOf(MAIN_STATUS).find("History") == std::string::npos &&
               TextOf(MAIN_STATUS).find("Results today: 2") != std::string::npos;
    })) << TextOf(MAIN_STATUS);
    const auto rows = Stored(ProgPath(kHistoryFileName));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].setPoint, 500);
    EXPECT_EQ(rows[1].setPoint, 610);
}

TEST_F(AppTest, ADamagedHistoryIsMovedAsideAndTheOperatorToldOnce) {
    writeFile(ProgPath(kHistoryFileName), std::string(4096, 'x'));
    AnswerNotice(PNL_HISTORY_MOVED);
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return LastPopupResource() == PNL_HISTORY_MOVED; }));
    bool movedAside = false;
    for (const auto &entry : std::filesystem::directory_iterator(prog_))
        movedAside |= entry.path().filename().string().rfind(
                          std::string(kHistoryFileName) + kHistoryCorruptSuffix, 0) == 0;
    EXPECT_TRUE(movedAside);
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.45")));
    EXPECT_EQ(Stored(ProgPath(kHistoryFileName)).size(), 1u);
}

TEST_F(AppTest, HistoryPanelFindsAResultAndOpensItMarkedForPrintingWithoutTouchingTheLog) {
    ASSERT_EQ(0, Start(1));
    auto first = SampleRecord("3E225891", 640, "12.45");
    first[4] = "INFO 4 : KX-042-PL";
    ASSERT_TRUE(SendRecordAndWait(first));
    SetCtrlVal(panelHandle, MAIN_ENTRY, "JOB-77");
    ResetTextBox(panelHandle, MAIN_NOTES, "Kunde wartet");
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("36425C81", 610, "12.10")));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225890", 720, "12.60")));
    SetCtrlVal(panelHandle, MAIN_ENTRY, "JOB-78"); // the pending result's own reference

    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_HISTORY));
    const int panel = KsHistoryPanel();
    ASSERT_GT(panel, 0);
    char count[256] = "";
    GetCtrlVal(panel, HISTORY_COUNT, count);
    EXPECT_STREQ(count, "Results: 3");
    SetCtrlVal(panel, HISTORY_SEARCH, "KUNDE");
    ASSERT_EQ(0, RT_TestCommit(panel, HISTORY_SEARCH));
    GetCtrlVal(panel, HISTORY_COUNT, count);
    EXPECT_STREQ(count, "Results: 1");
    int items = 0;
    GetNumListItems(panel, HISTORY_LIST, &items);
    ASSERT_EQ(items, 1);
    // The verdict in the colours and with the mark of the main panel's result for its value.
    int ringIndex = -1, ringInk = 0, ringBack = 0, rowInk = 0, rowBack = 0;
    char ringMark[16] = "", ringLabel[64] = "", row[512] = "";
    ASSERT_EQ(GetIndexFromValue(panelHandle, MAIN_BRSLT, &ringIndex, 1), 0); // good battery
    RT_GetListItemLook(panelHandle, MAIN_BRSLT, ringIndex, &ringInk, &ringBack, ringMark,
                       sizeof ringMark);
    GetLabelFromIndex(panelHandle, MAIN_BRSLT, ringIndex, ringLabel);
    ASSERT_EQ(RT_GetListItemLook(panel, HISTORY_LIST, 0, &rowInk, &rowBack, nullptr, 0), 0);
    EXPECT_NE(ringBack, RT_ITEM_COLOR_OWN);
    EXPECT_EQ(rowBack, ringBack);
    EXPECT_EQ(rowInk, ringInk);
    GetLabelFromIndex(panel, HISTORY_LIST, 0, row);
    EXPECT_NE(std::string(row).find(std::string(ringMark) + " " + ringLabel), std::string::npos)
        << row;

    // One vehicle's results, with their measured CCA as a share of the rating.
    SetCtrlIndex(panel, HISTORY_LIST, 0);
    ASSERT_EQ(0, RT_TestCommit(panel, HISTORY_VEHICLE));
    GetCtrlVal(panel, HISTORY_COUNT, count);
    EXPECT_STREQ(count, "Results: 1 (KX-042-PL)");
    char line[512] = "";
    GetLabelFromIndex(panel, HISTORY_LIST, 0, line);
    EXPECT_NE(std::string(line).find("  71%"), std::string::npos) << line; // 455 A of 640 A

    const auto logBefore = LogLines();
    SetCtrlIndex(panel, HISTORY_LIST, 0);
    ASSERT_EQ(0, RT_TestCommit(panel, HISTORY_OPEN));
    EXPECT_EQ(IntOf(MAIN_SETPNT), 640);
    EXPECT_EQ(TextOf(MAIN_ENTRY), "JOB-77");
    EXPECT_EQ(TextOf(MAIN_TCODE), "3E225891");
    EXPECT_EQ(KsHistoryOpenedShown(), 1);
    char title[256] = "";
    GetPanelAttribute(panelHandle, ATTR_TITLE, title);
    EXPECT_NE(std::string(title).find("Results history"), std::string::npos) << title;
    auto log = LogLines();
    ASSERT_EQ(log.size(), logBefore.size() + 1) << "the pending result is logged first";
    EXPECT_NE(log.back().find("'JOB-78"), std::string::npos) << "with its own reference";

    const std::string pdf = root_->file("history.pdf");
    RT_TestAnswerPrintDialog(1, pdf.c_str(), 1303, 1);
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_PRINT));
    const std::optional<std::string> page = ks_test::pdfText(pdf);
    ASSERT_TRUE(page.has_value());
    EXPECT_NE(page->find("3E225891"), std::string::npos);
    EXPECT_NE(page->find("JOB-77"), std::string::npos);

    // Each result in view into a PDF of its own, named after its reference and date.
    const std::string folder = root_->file("pdfs");
    std::filesystem::create_directory(folder);
    RT_TestAnswerFileDialog((folder + "/any.pdf").c_str());
    ASSERT_EQ(0, RT_TestCommit(panel, HISTORY_PDF));
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].rfind("JOB-77_20", 0), 0u) << names[0];
    const std::optional<std::string> report = ks_test::pdfText(folder + "/" + names[0]);
    ASSERT_TRUE(report.has_value());
    EXPECT_NE(report->find("3E225891"), std::string::npos);
    EXPECT_EQ(LogLines(), log);

    // The next result replaces it as usual; the history view never reaches the log.
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("36425C81", 500, "12.00")));
    EXPECT_EQ(KsHistoryOpenedShown(), 0);
    GetPanelAttribute(panelHandle, ATTR_TITLE, title);
    EXPECT_EQ(std::string(title).find("Results history"), std::string::npos) << title;
    EXPECT_EQ(LogLines(), log);
    EXPECT_EQ(Stored(ProgPath(kHistoryFileName)).size(), 4u);
    ASSERT_EQ(0, RT_TestCommit(panel, NOTICE_OK));
    EXPECT_EQ(KsHistoryPanel(), 0);
}

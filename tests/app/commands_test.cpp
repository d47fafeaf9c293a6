// The commands: results log and saving, quitting, printing, language and logo changes, the
// readme viewer and the line limits of the typing boxes.
#include "app_fixture.h"
#include "tests/support/pdf_text.h"

#include <QKeySequence>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace {

enum { MENU_PRINT = 4, MENU_EXIT = 5, MENU_LANGUAGE = 8, MENU_README = 17 };
enum { SAVEQUIT_SAVE = 2, SAVEQUIT_DISCARD = 3, SAVEQUIT_BACK = 4 };

std::string Header() {
    std::string header = "\t\t";
    const int columns[] = {8, 9, 4, 3, 5, 10, 6, 12, 11, 13};
    for (int control : columns) {
        char label[256] = "";
        GetCtrlAttribute(panelHandle, control, ATTR_LABEL_TEXT, label);
        for (char &c : label)
            if (c == '\n') c = ' ';
        header += label;
        if (control != 13) header += "\t";
    }
    return header;
}

void TypeCode(const char *code) {
    SetCtrlVal(panelHandle, MAIN_TCODE, code);
    RT_TestCommit(panelHandle, MAIN_TCODE);
}

} // namespace

TEST_F(AppTest, LogHoldsEveryResultButThePendingOneWithTheOperatorsTexts) {
    writeFile(ProgPath("TCLOG"), "previous run\n");
    ASSERT_EQ(0, Start(1));
    auto r1 = SampleRecord("3E225891", 500, "12.45");
    r1.push_back("B RSLT : -1"); // ring 12 by value: the item of value -1 is not at index -1
    r1.push_back("SOC    : 6");  // ring 11 by index: index 6 holds the value -1
    ASSERT_TRUE(SendRecordAndWait(r1));
    EXPECT_EQ("previous run\n", readFile(ProgPath("TCLOG"))); // the first result only pends
    const TestRecord first = NewDataInput;
    SetCtrlVal(panelHandle, MAIN_ENTRY, "0012");
    ResetTextBox(panelHandle, MAIN_NOTES, "two\nlines");

    ASSERT_TRUE(SendRecordAndWait(SampleRecord("36425C81", 610, "9,50")));
    const TestRecord second = NewDataInput;
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225890", 720, "12")));

    const auto lines = LogLines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(Header(), lines[0]);
    EXPECT_EQ(ExpectedLogLine(first, "0012", "two lines"), lines[1]);
    EXPECT_NE(std::string::npos, lines[1].find("\t'0012\t"));
    EXPECT_EQ(ExpectedLogLine(second, "", ""), lines[2]);
    EXPECT_EQ('\t', lines[2].back()); // empty notes: the line ends with the tab before them
    // The previous run's log is kept once, before this run's first write.
    EXPECT_EQ("previous run\n", readFile(ProgPath("TCLOG.bak")));
}

TEST_F(AppTest, HeaderAndVoltageFollowLabelsAndTheDecimalSeparator) {
    RT_TestSetDecimalSeparator(',');
    ASSERT_EQ(0, Start(1));
    SetCtrlAttribute(panelHandle, MAIN_ENTRY, ATTR_LABEL_TEXT, "Job\nnumber");
    TypeCode("3E225891"); // 12.60 V
    TypeCode("36425C81");
    const auto lines = LogLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(0u, lines[0].rfind("\t\tJob number\t", 0));
    EXPECT_NE(std::string::npos, lines[1].find("\t12,600000\t"));
    EXPECT_NE(std::string::npos, lines[1].find("\t3E22 5891\t"));
}

TEST_F(AppTest, SavingCopiesTheLogWithThePendingResultOnce) {
    ASSERT_EQ(0, Start(1));
    // Nothing shown yet: notice 8, no dialog (an unused dialog answer would stay queued).
    AnswerNotice(PNL_NOTHING_TO_SAVE);
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_SAVE));
    EXPECT_EQ(PNL_NOTHING_TO_SAVE, LastPopupResource());
    EXPECT_TRUE(std::filesystem::is_directory(ProgPath("Data")) == false);

    TypeCode("3E225891");
    SetCtrlVal(panelHandle, MAIN_ENTRY, "car 1");
    const TestRecord shown = NewDataInput;
    // Cancelled dialog: nothing written, still pending.
    RT_TestAnswerFileDialog(nullptr);
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_SAVE));
    EXPECT_TRUE(std::filesystem::is_directory(ProgPath("Data")));
    EXPECT_FALSE(Exists(ProgPath("TCLOG")));
    EXPECT_EQ(1, Save2Log);

    const std::string target = ProgPath("Data/results.txt");
    RT_TestAnswerFileDialog(target.c_str());
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_SAVE));
    EXPECT_EQ(0, Save2Log);
    EXPECT_EQ(0, logStarted);
    const std::string expected = Header() + "\n" + ExpectedLogLine(shown, "car 1", "") + "\n";
    EXPECT_EQ(expected, readFile(target));

    // A second save in a row: nothing pending, notice 8.
    AnswerNotice(PNL_NOTHING_TO_SAVE);
    const int before = MessagePanel;
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_SAVE));
    EXPECT_NE(before, MessagePanel);
    EXPECT_EQ(PNL_NOTHING_TO_SAVE, LastPopupResource());

    // The saved result is not logged again; the next log starts afresh.
    TypeCode("36425C81");
    TypeCode("3E225890");
    const auto lines = LogLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[1].find("3642 5C81"));
}

TEST_F(AppTest, QuittingOffersToSaveAPendingResult) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    // Nothing pending: the quit question; "stay" keeps everything running.
    AnswerNotice(PNL_QUIT, 3);
    ASSERT_EQ(0, RT_TestClosePanel(panelHandle));
    EXPECT_EQ(PNL_QUIT, LastPopupResource());
    EXPECT_EQ(0, commStatus);

    TypeCode("3E225891");
    // Pending: closing the window brings the save-before-quit popup; "back" keeps running.
    ASSERT_EQ(0, RT_TestClosePanel(panelHandle));
    ASSERT_GT(SavePanelHandle, 0);
    EXPECT_EQ(PNL_SAVE_BEFORE_QUIT, RT_TestGetPanelState(SavePanelHandle).resourceId);
    EXPECT_EQ(1, RT_TestPopupDepth());
    ASSERT_EQ(0, RT_TestCommit(SavePanelHandle, SAVEQUIT_BACK));
    EXPECT_EQ(0, RT_TestPopupDepth());
    EXPECT_EQ(0, commStatus);
    EXPECT_FALSE(RunUntilAppQuits(300));

    // Save and quit, then cancel the dialog: quits all the same, nothing saved.
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_EXIT));
    RT_TestAnswerFileDialog(nullptr);
    ASSERT_EQ(0, RT_TestCommit(SavePanelHandle, SAVEQUIT_SAVE));
    EXPECT_EQ(-1, commStatus);
    EXPECT_TRUE(RunUntilAppQuits());
    EXPECT_FALSE(Exists(ProgPath("TCLOG")));
}

TEST_F(AppTest, FailedCopyShowsNoticeFiveAndStillQuits) {
    ASSERT_EQ(0, Start(1));
    TypeCode("3E225891");
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_EXIT));
    // A folder where the file should go: the copy cannot succeed.
    std::filesystem::create_directories(ProgPath("Data/taken.txt"));
    RT_TestAnswerFileDialog(ProgPath("Data/taken.txt").c_str());
    AnswerNotice(PNL_COPY_FAILED);
    ASSERT_EQ(0, RT_TestCommit(SavePanelHandle, SAVEQUIT_SAVE));
    EXPECT_EQ(PNL_COPY_FAILED, LastPopupResource());
    EXPECT_EQ(1, Save2Log);
    EXPECT_EQ(1, logStarted);
    EXPECT_TRUE(std::filesystem::is_directory(ProgPath("Data/taken.txt")));
    EXPECT_EQ(2u, LogLines().size()); // the pending result was logged before the copy
    EXPECT_TRUE(RunUntilAppQuits());
}

TEST_F(AppTest, SaveAndQuitWithNothingPendingQuitsWithoutADialog) {
    ASSERT_EQ(0, Start(1));
    TypeCode("3E225891");
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_EXIT));
    const int popup = SavePanelHandle;
    Save2Log = 0; // as after a save made while the popup was loading
    ASSERT_EQ(0, RT_TestCommit(popup, SAVEQUIT_SAVE));
    EXPECT_FALSE(std::filesystem::exists(ProgPath("Data")));
    EXPECT_TRUE(RunUntilAppQuits());
}

TEST_F(AppTest, PrintingRestoresColoursAndKeepsThePrintSettings) {
    ASSERT_EQ(0, Start(1));
    TypeCode("36425C81");
    int panelColour = 0, entryColour = 0;
    GetPanelAttribute(panelHandle, ATTR_BACKCOLOR, &panelColour);
    GetCtrlAttribute(panelHandle, MAIN_ENTRY, ATTR_TEXT_BGCOLOR, &entryColour);

    // Cancelled: the settings file is still rewritten with what the run-time reports.
    std::remove(WorkPath("ks.ini").c_str());
    RT_TestAnswerPrintDialog(0, nullptr);
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_PRINT));
    ASSERT_EQ(940, FileSize(WorkPath("ks.ini")));
    int colour = 0;
    GetPanelAttribute(panelHandle, ATTR_BACKCOLOR, &colour);
    EXPECT_EQ(panelColour, colour);
    for (int control : {MAIN_ENTRY, MAIN_INFO, MAIN_TCODE, MAIN_NOTES}) {
        GetCtrlAttribute(panelHandle, control, ATTR_TEXT_BGCOLOR, &colour);
        EXPECT_EQ(entryColour, colour) << "control " << control;
    }

    // Accepted with three copies chosen: the page holds the result; the choice is stored.
    const std::string pdf = root_->file("page.pdf");
    RT_TestAnswerPrintDialog(1, pdf.c_str(), 1303, 3);
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_PRINT));
    EXPECT_EQ(3, HostConfig.PrintSettings[4]);
    const std::string bytes = readFile(WorkPath("ks.ini"));
    EXPECT_EQ(3, static_cast<unsigned char>(bytes.at(908)));
    ASSERT_GT(FileSize(pdf), 0);
    const std::optional<std::string> page = ks_test::pdfText(pdf);
    ASSERT_TRUE(page.has_value());
    EXPECT_NE(std::string::npos, page->find("3642 5C81"));
    EXPECT_NE(std::string::npos, page->find("500"));
}

TEST_F(AppTest, LanguageChangeReappliesTextsOrFallsBackToThePlainPanel) {
    ASSERT_EQ(0, Start(1));
    // A language whose file is missing: notice 6, a fresh plain panel, language 0 stored.
    std::remove(ProgPath("German.lng").c_str());
    RT_TestAnswerPopup(PNL_LANGUAGE, {PopupSetInt(3, 6), PopupCommit(2)});
    AnswerNotice(PNL_LANGUAGE_FAILED);
    const int oldPanel = panelHandle;
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_LANGUAGE));
    EXPECT_EQ(PNL_LANGUAGE_FAILED, LastPopupResource());
    EXPECT_NE(oldPanel, panelHandle);
    EXPECT_FALSE(RT_TestGetPanelState(oldPanel).exists);
    EXPECT_TRUE(RT_TestGetPanelState(panelHandle).displayed);
    EXPECT_EQ(0, HostConfig.Language);
    EXPECT_EQ(ProgPath("German.lng"), langFilePath);
    EXPECT_EQ(0, readFile(WorkPath("ks.ini")).at(108));

    // A language that exists: applied, stored, and the labels of each column laid out again.
    if (!Exists(ProgPath("French.lng"))) GTEST_SKIP() << "French.lng not built";
    RT_TestAnswerPopup(PNL_LANGUAGE, {PopupSetInt(3, 2), PopupCommit(2)});
    SetCtrlAttribute(panelHandle, MAIN_BVOLT, ATTR_LABEL_LEFT, 3); // out of place
    ASSERT_EQ(0, RT_TestCommitMenuItem(GetPanelMenuBar(panelHandle), MENU_LANGUAGE));
    EXPECT_EQ(2, HostConfig.Language);
    EXPECT_EQ(2, readFile(WorkPath("ks.ini")).at(108));
    EXPECT_EQ(ProgPath("French.txt"), readmeFilePath);
    int left = 0, labelLeft = 0, labelWidth = 0, tcodeLabelLeft = 0;
    GetCtrlAttribute(panelHandle, MAIN_BVOLT, ATTR_LEFT, &left);
    GetCtrlAttribute(panelHandle, MAIN_BVOLT, ATTR_LABEL_LEFT, &labelLeft);
    GetCtrlAttribute(panelHandle, MAIN_BVOLT, ATTR_LABEL_WIDTH, &labelWidth);
    GetCtrlAttribute(panelHandle, MAIN_TCODE, ATTR_LABEL_LEFT, &tcodeLabelLeft);
    EXPECT_EQ(tcodeLabelLeft, labelLeft);
    EXPECT_LE(labelLeft + labelWidth, left);
}

TEST_F(AppTest, DialogsComeInTheLanguageTitledByTheirCommandAndOfferEveryPictureType) {
    ASSERT_EQ(0, Start(6));
    // Qt's own texts (dialog buttons, key names in the menus) are German too.
    EXPECT_EQ("Strg+S",
              QKeySequence(Qt::CTRL | Qt::Key_S).toString(QKeySequence::NativeText).toStdString());

    RT_TestAnswerFileDialog(nullptr);
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_LOAD_LOGO2));
    const RT_TestFileDialogCall logo = RT_TestLastFileDialog();
    EXPECT_EQ("Rechtes Logo laden", logo.title);
    const std::string types = ";" + logo.fileTypes + ";";
    for (const char *type : {";*.png;", ";*.jpg;", ";*.bmp;", ";*.ico;"})
        EXPECT_NE(std::string::npos, types.find(type)) << type << " not in " << logo.fileTypes;

    TypeCode("3E225891");
    RT_TestAnswerFileDialog(nullptr);
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_SAVE));
    EXPECT_EQ("Ergebnisse speichern", RT_TestLastFileDialog().title);

    // Back to English: Qt's texts follow.
    RT_TestAnswerPopup(PNL_LANGUAGE, {PopupSetInt(3, 1), PopupCommit(2)});
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_LANGUAGE));
    EXPECT_EQ("Ctrl+S",
              QKeySequence(Qt::CTRL | Qt::Key_S).toString(QKeySequence::NativeText).toStdString());
    RT_TestAnswerFileDialog(nullptr);
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_SAVE));
    EXPECT_EQ("Save results", RT_TestLastFileDialog().title);
}

TEST_F(AppTest, LogoThreeSetsThePanelHeight) {
    ASSERT_EQ(0, Start(1));
    SetPanelAttribute(panelHandle, ATTR_WIDTH, 445);
    RT_TestAnswerFileDialog(ProgPath("korrat.BMP").c_str());
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_LOAD_LOGO3));
    int height = 0;
    GetPanelAttribute(panelHandle, ATTR_HEIGHT, &height);
    EXPECT_EQ(571, height);
    EXPECT_EQ(ProgPath("korrat.BMP"), HostConfig.Logo3Path);
    EXPECT_EQ(ProgPath("korrat.BMP"), std::string(readFile(WorkPath("ks.ini")).c_str() + 112));
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_UNLOAD_LOGO3));
    GetPanelAttribute(panelHandle, ATTR_HEIGHT, &height);
    EXPECT_EQ(480, height);
    EXPECT_STREQ("NONE", HostConfig.Logo3Path);
    // Logo 1 never changes the height; a right double-click opens the same dialog.
    RT_TestAnswerFileDialog(ProgPath("korrat.BMP").c_str());
    ASSERT_EQ(0, RT_TestRightDoubleClick(panelHandle, MAIN_LOGO1));
    GetPanelAttribute(panelHandle, ATTR_HEIGHT, &height);
    EXPECT_EQ(480, height);
    EXPECT_EQ(ProgPath("korrat.BMP"), HostConfig.Logo1Path);
}

TEST_F(AppTest, ReadmeMissingShowsNoticeTenAndNotesKeepFourLines) {
    ASSERT_EQ(0, Start(1));
    std::remove(readmeFilePath);
    AnswerNotice(PNL_README_MISSING);
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_README));
    EXPECT_EQ(PNL_README_MISSING, LastPopupResource());
    EXPECT_EQ(0, readmePanelHandle);

    const int beeps = RT_TestBeepCount();
    ASSERT_EQ(0, RT_TestTypeText(panelHandle, MAIN_NOTES, "a\nb\nc\nd"));
    EXPECT_EQ(beeps, RT_TestBeepCount());
    ASSERT_EQ(0, RT_TestTypeText(panelHandle, MAIN_NOTES, "\n"));
    EXPECT_EQ("a\nb\nc\nd", TextOf(MAIN_NOTES));
    EXPECT_EQ(beeps + 1, RT_TestBeepCount());
}

TEST_F(AppTest, ReadmeViewerShowsTheFileOfTheLanguage) {
    ASSERT_EQ(0, Start(1));
    writeFile(readmeFilePath, "First line\r\nSecond line\r\n");
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_README));
    ASSERT_GT(readmePanelHandle, 0);
    EXPECT_TRUE(RT_TestGetPanelState(readmePanelHandle).displayed);
    ASSERT_EQ(0, RT_TestCommit(readmePanelHandle, 2));
    EXPECT_FALSE(RT_TestGetPanelState(readmePanelHandle).exists);
}

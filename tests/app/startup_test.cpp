// Start-up: the settings file in its three states (none, wrong size, valid), the legacy language
// file, the language paths, the panel's height rule and the seven lines of the information box.
#include "app_fixture.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

int32_t Int32At(const std::string &bytes, size_t offset) {
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i)
        u = (u << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return static_cast<int32_t>(u);
}

std::string TextAt(const std::string &bytes, size_t offset, size_t width) {
    const std::string field = bytes.substr(offset, width);
    return field.substr(0, field.find('\0'));
}

// The information box as start-up and every record must leave it: an empty first line, the six
// lines, no trailing line break, the caret after the last character.
void ExpectInfoBox(const std::vector<std::string> &lines) {
    std::string expected;
    for (const auto &line : lines)
        expected += "\n" + line;
    char text[512] = "";
    GetCtrlVal(panelHandle, MAIN_INFO, text);
    EXPECT_EQ(expected, text);
    int count = 0;
    GetNumTextBoxLines(panelHandle, MAIN_INFO, &count);
    EXPECT_EQ(KS_INFO_BOX_LINES, count);
    int caret = -1;
    GetCtrlAttribute(panelHandle, MAIN_INFO, ATTR_TEXT_SELECTION_START, &caret);
    EXPECT_EQ(static_cast<int>(expected.size()), caret);
}

} // namespace

TEST_F(AppTest, FirstStartAsksForTheLanguageAndWritesAFreshSettingsFile) {
    ASSERT_EQ(0, Start(9));
    EXPECT_EQ(9, HostConfig.Language);
    EXPECT_EQ(ProgPath("Dutch.lng"), langFilePath);
    EXPECT_EQ(ProgPath("Dutch.txt"), readmeFilePath);

    const std::string bytes = readFile(WorkPath("ks.ini"));
    ASSERT_EQ(940u, bytes.size());
    EXPECT_FALSE(Exists(WorkPath("ks.ini.tmp")));
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ("", TextAt(bytes, 17 * k, 17));
    EXPECT_EQ(1, Int32At(bytes, 104));
    EXPECT_EQ(9, Int32At(bytes, 108));
    EXPECT_EQ("NONE", TextAt(bytes, 112, 260));
    EXPECT_EQ(ProgPath("altrevo.BMP"), TextAt(bytes, 372, 260));
    EXPECT_EQ(ProgPath("korrat.BMP"), TextAt(bytes, 632, 260));
    const int32_t defaults[12] = {0, 2, 1, 1, 1, 0, 1800, 1, 200, -1, 100, -1};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(defaults[i], Int32At(bytes, 892 + 4 * i)) << "print slot " << i;

    ASSERT_GT(panelHandle, 0);
    EXPECT_TRUE(RT_TestGetPanelState(panelHandle).displayed);
    ExpectInfoBox({"", "", "", "", "", ""});
    // No logo 3: the height rule without it.
    int width = 0, height = 0;
    GetPanelAttribute(panelHandle, ATTR_WIDTH, &width);
    GetPanelAttribute(panelHandle, ATTR_HEIGHT, &height);
    EXPECT_EQ(width * 480 / 445, height);
}

TEST_F(AppTest, LegacyLanguageFileReplacesThePromptOnlyWhenItHasFourBytes) {
    // Four bytes: taken as the language, deleted, no prompt (the queued answer stays unused).
    writeFile(LegacyPath("ks.ini"), std::string("\x06\x00\x00\x00", 4));
    ASSERT_EQ(0, Start(2));
    EXPECT_EQ(6, HostConfig.Language);
    EXPECT_FALSE(Exists(LegacyPath("ks.ini")));
    std::string bytes = readFile(WorkPath("ks.ini"));
    ASSERT_EQ(940u, bytes.size());
    EXPECT_EQ(6, Int32At(bytes, 108));
    EXPECT_EQ(1, Int32At(bytes, 104));
    KsResetState();
    RT_TestClearAnswers();

    // Five bytes: neither read nor deleted; the prompt decides.
    std::remove(WorkPath("ks.ini").c_str());
    writeFile(LegacyPath("ks.ini"), std::string("\x06\x00\x00\x00\x00", 5));
    ASSERT_EQ(0, Start(3));
    EXPECT_EQ(3, HostConfig.Language);
    EXPECT_EQ(5, FileSize(LegacyPath("ks.ini")));
    KsResetState();
    RT_TestClearAnswers();

    // A valid settings file: the legacy file is not looked at, even with four bytes.
    writeFile(LegacyPath("ks.ini"), std::string("\x05\x00\x00\x00", 4));
    ASSERT_EQ(0, Start(-1));
    EXPECT_EQ(3, HostConfig.Language);
    EXPECT_TRUE(Exists(LegacyPath("ks.ini")));
}

TEST_F(AppTest, LegacyLanguageOutsideTheTableCountsAsSystemLanguage) {
    RT_TestSetSystemLanguageName("French");
    writeFile(LegacyPath("ks.ini"), std::string("\x2A\x00\x00\x00", 4));
    ASSERT_EQ(0, Start(-1));
    EXPECT_EQ(0, HostConfig.Language);
    EXPECT_EQ(ProgPath("French.lng"), langFilePath);
    EXPECT_EQ(ProgPath("French.txt"), readmeFilePath);
}

TEST_F(AppTest, SettingsFileOfTheWrongSizeIsReplacedWithDefaults) {
    for (size_t size : {939u, 941u}) {
        SCOPED_TRACE(size);
        std::string damaged(size, '\0');
        damaged[104] = 7; // a port number that must not survive
        writeFile(WorkPath("ks.ini"), damaged);
        ASSERT_EQ(0, Start(5));
        EXPECT_EQ(5, HostConfig.Language);
        EXPECT_EQ(1, HostConfig.ComPort);
        const std::string bytes = readFile(WorkPath("ks.ini"));
        ASSERT_EQ(940u, bytes.size());
        EXPECT_EQ(1, Int32At(bytes, 104));
        EXPECT_EQ(5, Int32At(bytes, 108));
        KsResetState();
        RT_TestClearAnswers();
    }
}

TEST_F(AppTest, ValidSettingsAreUsedAsStoredAndDamagedTextsStayInTheirFields) {
    HostConfigRecord stored{};
    HostConfigStartFresh(stored);
    stored.ComPort = 1;
    stored.Language = 1;
    KsCopyField(stored.InfoLines[0], "Line zero");
    KsCopyField(stored.InfoLines[5], "0123456789ABCDEF"); // 16 characters: the whole field
    KsCopyField(stored.Logo1Path, "NONE");
    KsCopyField(stored.Logo2Path, "none"); // lower case is a file name, not the keyword
    KsCopyField(stored.Logo3Path, ProgPath("korrat.BMP").c_str());
    stored.PrintSettings[6] = 600;
    unsigned char image[KS_SETTINGS_SIZE];
    HostConfigToBytes(stored, image);
    std::memset(image + 17, 'X', 17); // information line 1 without a terminator
    writeFile(WorkPath("ks.ini"), std::string(reinterpret_cast<char *>(image), sizeof image));

    ASSERT_EQ(0, Start(-1));
    EXPECT_EQ(std::string(16, 'X'), HostConfig.InfoLines[1]);
    ExpectInfoBox({"Line zero", std::string(16, 'X'), "", "", "", "0123456789ABCDEF"});
    EXPECT_STREQ("none", HostConfig.Logo2Path);
    int value = 0;
    GetPrintAttribute(1302, &value);
    EXPECT_EQ(600, value);
    // Logo 3 present: the taller panel.
    int width = 0, height = 0;
    GetPanelAttribute(panelHandle, ATTR_WIDTH, &width);
    GetPanelAttribute(panelHandle, ATTR_HEIGHT, &height);
    EXPECT_EQ(width * 571 / 445, height);
    // Start-up wrote nothing: the file is still the image it found.
    EXPECT_EQ(std::string(reinterpret_cast<char *>(image), sizeof image),
              readFile(WorkPath("ks.ini")));
}

TEST_F(AppTest, SystemLanguageWithoutTextsIsEnglishAtEveryStartWithoutANotice) {
    RT_TestSetSystemLanguageName("Klingon");
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start == 0 ? "first start" : "second start");
        AnswerNotice(PNL_LANGUAGE_FAILED); // should it come, so that the test ends
        ASSERT_EQ(0, Start(0));
        EXPECT_EQ(0, HostConfig.Language) << "still the system's language, not English chosen";
        EXPECT_EQ(0, LastPopupResource()) << "no notice";
        EXPECT_EQ(ProgPath("English.lng"), langFilePath);
        EXPECT_EQ(ProgPath("English.txt"), readmeFilePath);
        ASSERT_GT(panelHandle, 0);
        EXPECT_TRUE(RT_TestGetPanelState(panelHandle).displayed);
        KsResetState();
        RT_TestClearAnswers();
    }
}

TEST_F(AppTest, MissingLanguageFileFallsBackToThePlainPanelAfterNoticeSix) {
    // The system's language has texts, but their file is gone: that is worth a notice.
    RT_TestSetSystemLanguageName("German");
    std::remove(ProgPath("German.lng").c_str());
    std::remove(ProgPath("German.txt").c_str());
    RT_TestAnswerPopup(PNL_LANGUAGE, {PopupSetInt(LANGUAGE_LIST, 6), PopupCommit(2)});
    AnswerNotice(PNL_LANGUAGE_FAILED);
    ASSERT_EQ(0, Start(-1));
    EXPECT_EQ(PNL_LANGUAGE_FAILED, LastPopupResource());
    ASSERT_GT(panelHandle, 0);
    EXPECT_EQ(PNL_MAIN, RT_TestGetPanelState(panelHandle).resourceId);
    EXPECT_TRUE(RT_TestGetPanelState(panelHandle).displayed);
    EXPECT_EQ(ProgPath("German.lng"), langFilePath);
    ExpectInfoBox({"", "", "", "", "", ""});
}

TEST_F(AppTest, LayoutAlignsEachResultColumnOnOneLabelEdge) {
    ASSERT_EQ(0, Start(1));
    const int columns[2][4] = {{MAIN_TCOMP, MAIN_INVEH, MAIN_SETPNT, MAIN_SYSTEM},
                               {MAIN_TCODE, MAIN_BVOLT, MAIN_SOC, MAIN_BRSLT}};
    for (const auto &column : columns) {
        int first = -1;
        for (int control : column) {
            int labelLeft = 0, left = 0, labelWidth = 0;
            GetCtrlAttribute(panelHandle, control, ATTR_LABEL_LEFT, &labelLeft);
            GetCtrlAttribute(panelHandle, control, ATTR_LEFT, &left);
            GetCtrlAttribute(panelHandle, control, ATTR_LABEL_WIDTH, &labelWidth);
            if (first < 0) first = labelLeft;
            EXPECT_EQ(first, labelLeft) << "control " << control;
            EXPECT_LE(labelLeft + labelWidth, left) << "control " << control;
        }
    }
    int notesLeft = 0, notesLabelLeft = 1;
    GetCtrlAttribute(panelHandle, MAIN_NOTES, ATTR_LEFT, &notesLeft);
    GetCtrlAttribute(panelHandle, MAIN_NOTES, ATTR_LABEL_LEFT, &notesLabelLeft);
    EXPECT_EQ(notesLeft, notesLabelLeft);
    int width = 0;
    GetPanelAttribute(panelHandle, ATTR_WIDTH, &width);
    for (int control : {MAIN_CENTRE1, MAIN_CENTRE2}) {
        int left = 0, controlWidth = 0;
        GetCtrlAttribute(panelHandle, control, ATTR_LEFT, &left);
        GetCtrlAttribute(panelHandle, control, ATTR_WIDTH, &controlWidth);
        EXPECT_EQ((width - controlWidth) / 2, left) << "control " << control;
    }
}

TEST_F(AppTest, SettingsAreReplacedWholeOrNotAtAll) {
    ASSERT_EQ(0, Start(4));
    const std::string before = readFile(WorkPath("ks.ini"));
    ASSERT_EQ(940u, before.size());
    // The new file does not fit on the disk: the old file stays as it was (and the operator is
    // told).
    RT_TestSetFreeSpace(500);
    AnswerNotice(PNL_SETTINGS_NOT_WRITTEN);
    KsCopyField(HostConfig.Logo1Path, "changed");
    EXPECT_EQ(-1, KsWriteSettings());
    RT_TestSetFreeSpace(-1);
    EXPECT_EQ(before, readFile(WorkPath("ks.ini")));
    // Once it can, a command's write replaces it whole.
    ASSERT_EQ(0, RT_TestCommitMenuItem(GetPanelMenuBar(panelHandle), MENU_UNLOAD_LOGO2));
    const std::string after = readFile(WorkPath("ks.ini"));
    ASSERT_EQ(940u, after.size());
    EXPECT_STREQ("NONE", after.c_str() + 632);
    EXPECT_STREQ("changed", after.c_str() + 372);
    for (const auto &entry : std::filesystem::directory_iterator(work_))
        EXPECT_EQ("ks.ini", entry.path().filename().string()); // no temporary file left
}

// Values that must come back as they went in: voltages with a decimal comma or out of the range
// of a double, texts cut to their fields, language files saved with a byte-order mark, and the
// main panel that a failed language change cannot load again.
#include "app_fixture.h"

#include <cstdio>
#include <limits>
#include <sstream>
#include <utility>

namespace {

enum { MENU_LANGUAGE = 8 };
enum { LANGUAGE_ENGLISH = 1, LANGUAGE_FRENCH = 2, LANGUAGE_GERMAN = 6 };
enum { LOG_VOLTS_COLUMN = 7 };

std::string Column(const std::string &line, size_t column) {
    std::istringstream in(line);
    std::string text;
    for (size_t i = 0; i <= column; ++i)
        if (!std::getline(in, text, '\t')) return "<missing>";
    return text;
}

// "%f" of a value, however long.
std::string Fixed(double value) {
    std::string text(static_cast<size_t>(std::snprintf(nullptr, 0, "%f", value)) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%f", value);
    text.pop_back();
    return text;
}

std::string LabelOf(int control) {
    char label[256] = "";
    GetCtrlAttribute(panelHandle, control, ATTR_LABEL_TEXT, label);
    return label;
}

const std::string kUmlaut = "\xC3\x84";
const std::string kByteOrderMark = "\xEF\xBB\xBF";

std::string Repeated(const std::string &unit, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += unit;
    return text;
}

} // namespace

TEST_F(AppTest, VoltagesAreShownAndLoggedAsTheTesterSentThem) {
    ASSERT_EQ(0, Start(LANGUAGE_ENGLISH));
    const double largest = std::numeric_limits<double>::max();
    const std::pair<const char *, double> cases[] = {
        {"9,50", 9.50}, {"6,35", 6.35},  {"12,6", 12.6},   {"12,60", 12.60},   {"12.60", 12.60},
        {"12", 12.0},   {"1e-400", 0.0}, {"1e300", 1e300}, {"1e400", largest},
    };
    int serial = 1;
    for (const auto &[text, volts] : cases) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(SendRecordAndWait(
            {std::string("B VOLT : ") + text, "SER #  : " + std::to_string(serial++)}));
        EXPECT_EQ(volts, NewDataInput.BVolt);
        if (volts < 100.0) {
            EXPECT_DOUBLE_EQ(volts, DoubleOf(MAIN_BVOLT));
        }
    }
    // Each record is logged when the next one arrives: one more, and every voltage is in the
    // log whole, the 316 characters of the largest double included.
    ASSERT_TRUE(SendRecordAndWait({"B VOLT : 12", "SER #  : 99"}));
    const auto lines = LogLines();
    ASSERT_EQ(std::size(cases) + 1, lines.size());
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(Fixed(cases[i].second), Column(lines[i + 1], LOG_VOLTS_COLUMN)) << cases[i].first;
}

TEST_F(AppTest, TextsCutToTheirFieldsEndOnWholeCharacters) {
    ASSERT_EQ(0, Start(LANGUAGE_ENGLISH));
    // "A" and eight two-byte letters are 17 bytes for the 16 of an information line.
    const std::string sent = "A" + Repeated(kUmlaut, 8);
    const std::string kept = "A" + Repeated(kUmlaut, 7);
    ASSERT_TRUE(SendRecordAndWait({"INFO 1 : " + sent, "TCODE  : x" + Repeated(kUmlaut, 9)}));
    EXPECT_EQ(kept, HostConfig.InfoLines[1]);
    EXPECT_EQ("x" + Repeated(kUmlaut, 7), NewDataInput.TCode);
    EXPECT_EQ(kept + '\0', readFile(WorkPath("ks.ini")).substr(17, kept.size() + 1));
    EXPECT_EQ("\n\n" + kept + "\n\n\n\n", TextOf(MAIN_INFO));

    // A line the operator types is cut the same way when a typed test code takes it.
    const std::string typed = Repeated(kUmlaut, 3) + sent;
    const std::string typedKept = Repeated(kUmlaut, 3) + "A" + Repeated(kUmlaut, 4);
    ResetTextBox(panelHandle, MAIN_INFO, ("\n" + typed).c_str());
    SetCtrlVal(panelHandle, MAIN_TCODE, "3E225891");
    ASSERT_EQ(0, RT_TestCommit(panelHandle, MAIN_TCODE));
    EXPECT_EQ(typedKept, HostConfig.InfoLines[0]);

    // After the next start the settings file gives back the same characters.
    KsResetState();
    ASSERT_EQ(0, Start(-1));
    EXPECT_EQ(typedKept, HostConfig.InfoLines[0]);
    EXPECT_EQ(kept, HostConfig.InfoLines[1]);
    EXPECT_EQ("\n" + typedKept + "\n" + kept + "\n\n\n\n", TextOf(MAIN_INFO));
}

TEST_F(AppTest, ALanguageFileSavedWithAByteOrderMarkLoads) {
    // As a translator's editor saves it. Should the file be refused, the notice is answered so
    // that the test ends; it must not come.
    const std::string french = readFile(ProgPath("French.lng"));
    ASSERT_NE("", french);
    writeFile(ProgPath("French.lng"), kByteOrderMark + french);
    AnswerNotice(PNL_LANGUAGE_FAILED);
    ASSERT_EQ(0, Start(LANGUAGE_FRENCH)); // first start: the language prompt chooses French
    EXPECT_EQ(0, LastPopupResource());
    EXPECT_EQ("Tension (V)", LabelOf(MAIN_BVOLT));

    // Chosen from the menu as well.
    RT_TestAnswerPopup(PNL_LANGUAGE, {PopupSetInt(3, LANGUAGE_ENGLISH), PopupCommit(2)});
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_LANGUAGE));
    ASSERT_EQ(LANGUAGE_ENGLISH, HostConfig.Language);
    RT_TestAnswerPopup(PNL_LANGUAGE, {PopupSetInt(3, LANGUAGE_FRENCH), PopupCommit(2)});
    AnswerNotice(PNL_LANGUAGE_FAILED);
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_LANGUAGE));
    EXPECT_EQ(0, LastPopupResource());
    EXPECT_EQ(LANGUAGE_FRENCH, HostConfig.Language);
    EXPECT_EQ(LANGUAGE_FRENCH, readFile(WorkPath("ks.ini")).at(108));
    EXPECT_EQ("Tension (V)", LabelOf(MAIN_BVOLT));
}

TEST_F(AppTest, AFailedLanguageChangeThatCannotReloadTheMainPanelQuits) {
    ASSERT_EQ(0, Start(LANGUAGE_ENGLISH));
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    // The language file is missing, and the resource no longer holds the main panel (the
    // notice panel still loads).
    std::remove(ProgPath("German.lng").c_str());
    std::string resource = readFile(ProgPath("ks_read.ui.json"));
    const std::string mainPanel = "{ \"id\": 9, \"name\": \"PANEL\"";
    const size_t at = resource.find(mainPanel);
    ASSERT_NE(std::string::npos, at);
    resource.replace(at, mainPanel.size(), "{ \"id\": 99, \"name\": \"PANEL\"");
    writeFile(ProgPath("ks_read.ui.json"), resource);

    RT_TestAnswerPopup(PNL_LANGUAGE, {PopupSetInt(3, LANGUAGE_GERMAN), PopupCommit(2)});
    AnswerNotice(PNL_LANGUAGE_FAILED);
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_LANGUAGE));
    EXPECT_EQ(PNL_LANGUAGE_FAILED, LastPopupResource());
    // As at start-up: after the notice the program ends, the port closed, the failed change
    // stored as language 0.
    EXPECT_TRUE(RunUntilAppQuits());
    EXPECT_EQ(-1, commStatus);
    EXPECT_EQ(0, readFile(WorkPath("ks.ini")).at(108));
}

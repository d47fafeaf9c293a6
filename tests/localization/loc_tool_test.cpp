// ks_langtool's three commands on the test resource, run as the operator would run them.
#include <gtest/gtest.h>

#include <string>

#include "loc_test_util.h"
#include "tests/support/command.h"
#include "tests/support/paths.h"

using namespace loctest;

namespace {

const std::string kTool = ks_test::programPath("ks_langtool");
const std::string kResource = ks_test::sourcePath("tests/localization/data/loc_test.ui.json");

// Runs the tool with the arguments (already quoted) inside dir; stdout and stderr together.
ks_test::CommandResult Tool(const TempDir &dir, const std::string &args) {
    return ks_test::runCommand("cd '" + dir.path() + "' && '" + kTool + "' " + args);
}

} // namespace

TEST(LangTool, ExportWritesATemplateThatChecksCleanly) {
    TempDir dir;
    const ks_test::CommandResult exported = Tool(dir, "export '" + kResource + "' template.lng");
    ASSERT_EQ(exported.status, 0) << exported.output;
    const std::string text = readFile(dir.file("template.lng"));
    // Own texts as translations, 'v' where there is one and 'u' for the empty label.
    EXPECT_NE(text.find("[LOCTEST]\r\nFlags = \"@f\"\r\nTitle = \"Localization test\""),
              std::string::npos);
    EXPECT_NE(text.find("[LOCTEST_BLANK]\r\nType = 2\r\nFlags = \"@e\"\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("Xitem_1 = \"mid\""), std::string::npos);
    EXPECT_NE(text.find("[BAR_FILE_LOGOS_LOAD2]\r\nFlags = \"@f\"\r\nName = \"Load logo 2\""),
              std::string::npos);
    EXPECT_NE(text.find("[OTHERBAR_VIEW_ZOOM]"), std::string::npos);
    EXPECT_NE(text.find("[EMPTY]\r\nFlags = \"@e\""), std::string::npos);

    const ks_test::CommandResult checked = Tool(dir, "check '" + kResource + "' template.lng");
    EXPECT_EQ(checked.status, 0) << checked.output;
    for (const char *line :
         {"panel 1 LOCTEST: ok", "panel 2 PLAIN: ok", "panel 3 LONGPANELNAME_FOR_SECTIONS: ok",
          "panel 4 EMPTY: ok", "menu bar 1 BAR: ok", "menu bar 2 OTHERBAR: ok"})
        EXPECT_NE(checked.output.find(line), std::string::npos) << line << "\n" << checked.output;
}

TEST(LangTool, CheckNamesTheFirstSectionThatFailsPerPanel) {
    TempDir dir;
    ASSERT_EQ(Tool(dir, "export '" + kResource + "' t.lng").status, 0);
    std::string text = readFile(dir.file("t.lng"));
    const size_t strip = text.find("[LOCTEST_STRIP]");
    ASSERT_NE(strip, std::string::npos);
    text.replace(strip, 15, "[LOCTEST_STRIPE]");
    const size_t zoom = text.find("[OTHERBAR_VIEW_ZOOM]");
    ASSERT_NE(zoom, std::string::npos);
    text.replace(zoom, 20, "[OTHERBAR_VIEW_ZOOMS]");
    writeFile(dir.file("t.lng"), text);
    const ks_test::CommandResult r = Tool(dir, "check '" + kResource + "' t.lng");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("panel 1 LOCTEST: error -6000"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("at section [LOCTEST_STRIP]"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("panel 2 PLAIN: ok"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("menu bar 1 BAR: ok"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("menu bar 2 OTHERBAR: error -6000"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("at section [OTHERBAR_VIEW_ZOOM]"), std::string::npos) << r.output;

    const ks_test::CommandResult missing = Tool(dir, "check '" + kResource + "' nothere.lng");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("error -94"), std::string::npos) << missing.output;
}

TEST(LangTool, ListPrintsEveryStringWithItsDescription) {
    TempDir dir;
    const ks_test::CommandResult r = Tool(dir, "list '" + kResource + "'");
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char *line :
         {"[LOCTEST]\tTitle\tPanel title\t\"Localization test\"\n",
          "[LOCTEST_GRAPH]\tRYitem_0\tRight Y axis item 0 label\t\"zero\"\n",
          "[LOCTEST_STRIP]\tLYitem_0\tY axis item 0 label\t\"base\"\n",
          "[LOCTEST_COLOURS]\tItemVal_1\tList item 1 value\t\"g\"\n",
          "[LOCTEST_RESULTS]\tCell(3,1)\tCell (3, 1)\t\"c1\"\n",
          "[LOCTEST_POWER]\tOn\tOn text\t\"On\"\n", "[LOCTEST_BLANK]\tLabel\tControl label\t\"\"\n",
          "[BAR_FILE_LOGOS]\tName\tMenu item name\t\"Logos\"\n"})
        EXPECT_NE(r.output.find(line), std::string::npos) << line;
    // A decoration has nothing to translate; the numeric ring has no value strings.
    EXPECT_EQ(r.output.find("[LOCTEST_FRAME]"), std::string::npos);
    EXPECT_EQ(r.output.find("[LOCTEST_LEVEL]\tItemVal_"), std::string::npos);
}

TEST(LangTool, BadCommandLinesAndFilesFail) {
    TempDir dir;
    EXPECT_EQ(Tool(dir, "").status, 2);
    EXPECT_EQ(Tool(dir, "export '" + kResource + "'").status, 2);
    EXPECT_EQ(Tool(dir, "translate '" + kResource + "' x.lng").status, 2);
    EXPECT_EQ(Tool(dir, "list nothere.ui.json").status, 1);
    EXPECT_EQ(Tool(dir, "export '" + kResource + "' no/such/dir/x.lng").status, 1);
}

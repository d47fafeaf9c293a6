// The UI resource loader: every style loads with its strings and items; broken resources give
// their codes and build nothing.
#include "rt_test_support.h"

#include <string>

using namespace rtt;

namespace {

class Resource : public RuntimeTest {
  protected:
    // Loads panel 1 of a resource made from `json` and returns LoadPanel's result.
    int loadText(const std::string &json, int id = 1) {
        dir.write("r.ui.json", json);
        return load(id, dir.file("r.ui.json").c_str());
    }
    TempDir dir;
};

std::string panelWith(const std::string &controls, const std::string &extra = "") {
    return R"({"panels":[{"id":1,"name":"P","width":200,"height":100)" + extra +
           R"(,"controls":[)" + controls + "]}]}";
}

TEST_F(Resource, EveryStyleLoadsShowsAndReportsItsStrings) {
    const int p = load(1);
    ASSERT_GT(p, 0);
    ASSERT_EQ(DisplayPanel(p), 0);
    const auto state = RT_TestGetPanelState(p);
    EXPECT_TRUE(state.windowVisible);
    EXPECT_EQ(state.title, "Every style");
    EXPECT_EQ(state.resourceId, 1);
    char buffer[64];
    int v;
    GetPanelAttribute(p, ATTR_CONSTANT_NAME, buffer);
    EXPECT_STREQ(buffer, "ALL");
    GetPanelAttribute(p, ATTR_BACKCOLOR, &v);
    EXPECT_EQ(v, 0xE8ECF0);

    const struct {
        int control, style;
        const char *label;
    } expected[] = {{2, 100, "Set point"},
                    {3, 101, "Voltage"},
                    {4, 112, "Progress"},
                    {5, 150, "Entry"},
                    {6, 160, ""},
                    {7, 170, "Notes"},
                    {8, 200, "OK"},
                    {9, 231, "Mode"},
                    {10, 280, "Hold"},
                    {11, 300, "Result"},
                    {12, 340, "Units"},
                    {13, 380, ""},
                    {14, 440, "Graph"},
                    {15, 460, "Strip"},
                    {16, 480, "Logo"},
                    {17, 510, "Table"},
                    {18, 225, "Other button"},
                    {19, 302, "A menu ring"}};
    for (const auto &e : expected) {
        ASSERT_EQ(GetCtrlAttribute(p, e.control, ATTR_CTRL_STYLE, &v), 0) << e.control;
        EXPECT_EQ(v, e.style);
        GetCtrlAttribute(p, e.control, ATTR_LABEL_TEXT, buffer);
        EXPECT_STREQ(buffer, e.label) << e.control;
    }
    GetCtrlAttribute(p, 6, ATTR_DFLT_VALUE, buffer);
    EXPECT_STREQ(buffer, "A text message");
    EXPECT_EQ(RT_TestWidgetText(p, 6), "A text message");
    GetCtrlAttribute(p, 7, ATTR_DFLT_VALUE_LENGTH, &v);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(RT_TestWidgetText(p, 7), "first\nsecond");
    GetCtrlAttribute(p, 10, ATTR_OFF_TEXT, buffer);
    EXPECT_STREQ(buffer, "Free");
    EXPECT_EQ(RT_TestWidgetText(p, 8), "OK");
    GetNumListItems(p, 12, &v);
    EXPECT_EQ(v, 2);
    GetLabelFromIndex(p, 12, 0, buffer);
    EXPECT_STREQ(buffer, "Amps");
    GetCtrlAttribute(p, 15, ATTR_XNAME, buffer);
    EXPECT_STREQ(buffer, "Samples");
    GetTableColumnAttribute(p, 17, 2, ATTR_LABEL_TEXT, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "c2");
    GetCtrlAttribute(p, 5, ATTR_MAX_ENTRY_LENGTH, &v);
    EXPECT_EQ(v, 8);
    GetCtrlAttribute(p, 3, ATTR_CTRL_MODE, &v);
    EXPECT_EQ(v, VAL_INDICATOR);
}

TEST_F(Resource, EachLoadBuildsANewPanelWithItsOwnMenuBar) {
    const int a = load(1);
    const int b = load(1);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_NE(a, b);
    EXPECT_NE(GetPanelMenuBar(a), GetPanelMenuBar(b));
    SetCtrlVal(a, 5, "changed");
    char text[16];
    GetCtrlVal(b, 5, text);
    EXPECT_STREQ(text, "abc");
    const int bar = LoadMenuBar(a, dataFile("all_styles.ui.json").c_str(), 1);
    ASSERT_GT(bar, 0);
    EXPECT_EQ(GetPanelMenuBar(a), bar); // replaces the panel's menu bar
    const int child = LoadPanel(a, dataFile("all_styles.ui.json").c_str(), 2);
    ASSERT_GT(child, 0);
    EXPECT_EQ(RT_TestGetPanelState(child).parent, a);
}

TEST_F(Resource, BrokenResourcesGiveTheirCodesAndBuildNothing) {
    const std::string button = R"({"id":2,"name":"B","style":"commandButton"})";
    const struct {
        std::string json;
        int code;
    } cases[] = {
        {"", RT_ERR_RESOURCE_FILE},
        {"{ not json", RT_ERR_RESOURCE_FILE},
        {"[1,2]", RT_ERR_RESOURCE_FILE},
        {R"({"panels":[],"extra":1})", RT_ERR_RESOURCE_FILE},
        {R"({"panels":[]})", RT_ERR_RESOURCE_ID},
        {panelWith(R"({"id":2,"name":"X","style":999})"), RT_ERR_UNKNOWN_STYLE},
        {panelWith(R"({"id":2,"name":"X","style":"slider"})"), RT_ERR_UNKNOWN_STYLE},
        {panelWith(button + "," + button), RT_ERR_DUPLICATE_ID},
        {panelWith(R"({"id":1,"name":"X","style":"string"})"), RT_ERR_DUPLICATE_ID},
        {panelWith(R"({"id":2,"name":"X","style":"string","callback":"NoSuchCB"})"),
         RT_ERR_UNKNOWN_CALLBACK},
        {panelWith(R"({"id":2,"name":"X","style":"string","callback":"AllPanelCB"})"),
         RT_ERR_UNKNOWN_CALLBACK},
        {panelWith(R"({"id":2,"name":"X","style":"string","colour":1})"), RT_ERR_RESOURCE_FILE},
        {panelWith(R"({"id":2,"name":"X","style":"string","top":"10"})"), RT_ERR_RESOURCE_FILE},
        {panelWith(R"({"id":2,"style":"string"})"), RT_ERR_RESOURCE_FILE},
        {panelWith(
             R"({"id":2,"name":"R","style":"ring","value":5,"items":[{"label":"a","value":1}]})"),
         RT_ERR_RESOURCE_FILE},
        {panelWith(button, R"(,"menuBar":4)"), RT_ERR_RESOURCE_ID},
        {panelWith(button, R"(,"callback":"Missing")"), RT_ERR_UNKNOWN_CALLBACK},
    };
    for (const auto &c : cases) {
        const int before = RT_TestPopupDepth();
        const int next = keep(NewPanel(0, "probe", 0, 0, 10, 10));
        EXPECT_EQ(loadText(c.json), c.code) << c.json;
        // Nothing was registered in between: the next handle follows the probe directly.
        const int after = keep(NewPanel(0, "probe", 0, 0, 10, 10));
        EXPECT_EQ(after, next + 1) << c.json;
        EXPECT_EQ(RT_TestPopupDepth(), before);
    }
    EXPECT_EQ(LoadPanel(0, dir.file("missing.ui.json").c_str(), 1), RT_ERR_RESOURCE_FILE);
    EXPECT_EQ(LoadPanel(0, nullptr, 1), RT_ERR_RESOURCE_FILE);
    EXPECT_EQ(LoadPanel(987654, dataFile("all_styles.ui.json").c_str(), 1), RT_ERR_INVALID_PANEL);
}

TEST_F(Resource, BrokenMenuBarsGiveTheirCodes) {
    const struct {
        std::string json;
        int code;
    } cases[] = {
        {R"({"menuBars":[{"id":1,"name":"M","menus":[{"id":2,"name":"A","items":[{"id":2,"name":"B"}]}]}]})",
         RT_ERR_DUPLICATE_ID},
        {R"({"menuBars":[{"id":1,"name":"M","menus":[{"id":2,"name":"A","callback":"AllCtrlCB"}]}]})",
         RT_ERR_UNKNOWN_CALLBACK},
        {R"({"menuBars":[{"id":1,"name":"M","menus":[{"id":2,"name":"A","items":[{"name":"B"}]}]}]})",
         RT_ERR_RESOURCE_FILE},
        {R"({"menuBars":[{"id":3,"name":"M","menus":[]}]})", RT_ERR_RESOURCE_ID},
    };
    const int p = keep(NewPanel(0, "host", 0, 0, 10, 10));
    for (const auto &c : cases) {
        dir.write("m.ui.json", c.json);
        EXPECT_EQ(LoadMenuBar(p, dir.file("m.ui.json").c_str(), 1), c.code) << c.json;
        EXPECT_EQ(GetPanelMenuBar(p), 0);
    }
}

TEST_F(Resource, ToolsMayLoadResourcesWithoutTheApplicationsCallbacks) {
    const std::string json =
        panelWith(R"({"id":2,"name":"X","style":"string","callback":"AppOnlyCB"})");
    EXPECT_EQ(loadText(json), RT_ERR_UNKNOWN_CALLBACK);
    RT_AllowUnboundCallbacks(1);
    const int p = loadText(json);
    ASSERT_GT(p, 0);
    EXPECT_EQ(RT_TestCommit(p, 2), 0); // commits with no callback behind it
}

TEST_F(Resource, DefaultsOfOptionalKeysAreThoseDocumented) {
    const int p = loadText(panelWith(R"({"id":2,"name":"S","style":"string","top":50,"left":40},
                                        {"id":3,"name":"N","style":"numeric","label":"N","labelTop":"center","labelLeft":2})"));
    ASSERT_GT(p, 0);
    int v;
    GetPanelAttribute(p, ATTR_BACKCOLOR, &v);
    EXPECT_EQ(v, 0xF0F0F0);
    GetPanelAttribute(p, ATTR_CLOSE_BOX_HIDDEN, &v);
    EXPECT_EQ(v, 0);
    GetCtrlAttribute(p, 2, ATTR_CTRL_MODE, &v);
    EXPECT_EQ(v, VAL_NORMAL);
    GetCtrlAttribute(p, 2, ATTR_DATA_TYPE, &v);
    EXPECT_EQ(v, VAL_STRING);
    GetCtrlAttribute(p, 3, ATTR_DATA_TYPE, &v);
    EXPECT_EQ(v, VAL_DOUBLE);
    GetCtrlAttribute(p, 3, ATTR_PRECISION, &v);
    EXPECT_EQ(v, 2);
    GetCtrlAttribute(p, 3, ATTR_LABEL_LEFT, &v);
    EXPECT_EQ(v, 2);
    int top, height, labelHeight;
    GetCtrlAttribute(p, 3, ATTR_LABEL_TOP, &top);
    GetCtrlAttribute(p, 3, ATTR_HEIGHT, &height);
    GetCtrlAttribute(p, 3, ATTR_LABEL_HEIGHT, &labelHeight);
    EXPECT_EQ(top, (height - labelHeight) / 2);
}

} // namespace

// The object model: handles, attributes by number, labels, control order, menu-bar walk.
#include "rt_test_support.h"
#include "toolbox/core/toolbox.h"

#include <cstring>
#include <set>
#include <string>

using namespace rtt;

namespace {

class Objects : public RuntimeTest {};

TEST_F(Objects, PanelAttributesRoundTripAndRefuseWhatPanelsDoNotHave) {
    const int p = keep(NewPanel(0, "Title", 10, 20, 200, 300));
    ASSERT_GT(p, 0);
    char text[64];
    int v = 0;
    ASSERT_EQ(GetPanelAttribute(p, ATTR_TITLE, text), 0);
    EXPECT_STREQ(text, "Title");
    EXPECT_EQ(SetPanelAttribute(p, ATTR_TITLE, "Renamed"), 0);
    EXPECT_EQ(GetPanelAttribute(p, ATTR_TITLE_LENGTH, &v), 0);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(RT_TestGetPanelState(p).title, "Renamed");

    const struct {
        int attr, value;
    } ints[] = {{ATTR_LEFT, 33},
                {ATTR_TOP, 44},
                {ATTR_WIDTH, 310},
                {ATTR_HEIGHT, 220},
                {ATTR_BACKCOLOR, 0x123456},
                {ATTR_SIZABLE, 1},
                {ATTR_CLOSE_BOX_HIDDEN, 1},
                {ATTR_WINDOW_STATE, 2}};
    for (const auto &a : ints) {
        EXPECT_EQ(SetPanelAttribute(p, a.attr, a.value), 0) << a.attr;
        EXPECT_EQ(GetPanelAttribute(p, a.attr, &v), 0) << a.attr;
        EXPECT_EQ(v, a.value) << a.attr;
    }
    int data = 5;
    EXPECT_EQ(SetPanelAttribute(p, ATTR_CALLBACK_DATA, static_cast<void *>(&data)), 0);
    void *back = nullptr;
    EXPECT_EQ(GetPanelAttribute(p, ATTR_CALLBACK_DATA, &back), 0);
    EXPECT_EQ(back, &data);

    EXPECT_EQ(GetPanelAttribute(p, ATTR_LABEL_TEXT, &v), RT_ERR_INVALID_ATTRIBUTE);
    EXPECT_EQ(GetPanelAttribute(p, 99999, text), RT_ERR_INVALID_ATTRIBUTE);
    EXPECT_EQ(GetPanelAttribute(p, ATTR_TITLE, &v), RT_ERR_ATTRIBUTE_TYPE);
    EXPECT_EQ(SetPanelAttribute(p, ATTR_WIDTH, "wide"), RT_ERR_ATTRIBUTE_TYPE);
    EXPECT_EQ(SetPanelAttribute(p, ATTR_TITLE_LENGTH, 3), RT_ERR_READ_ONLY);
    EXPECT_EQ(SetPanelAttribute(p, ATTR_BACKCOLOR, -5), RT_ERR_INVALID_VALUE);
    EXPECT_EQ(GetPanelAttribute(p + 1000, ATTR_TITLE, text), RT_ERR_INVALID_PANEL);
}

TEST_F(Objects, HandlesAreNeverReusedSoStaleHandlesFail) {
    const int a = NewPanel(0, "a", 0, 0, 50, 50);
    const int c = NewCtrl(a, CTRL_STRING, "s", 5, 5);
    ASSERT_GT(c, 0);
    ASSERT_EQ(DiscardPanel(a), 0);
    const int b = keep(NewPanel(0, "b", 0, 0, 50, 50));
    EXPECT_NE(a, b);
    EXPECT_EQ(DisplayPanel(a), RT_ERR_INVALID_PANEL);
    EXPECT_EQ(SetCtrlVal(a, c, "x"), RT_ERR_INVALID_PANEL);
    EXPECT_EQ(DiscardPanel(a), RT_ERR_INVALID_PANEL);
    EXPECT_EQ(SetCtrlVal(b, 77, "x"), RT_ERR_INVALID_CONTROL);
}

TEST_F(Objects, DiscardingAPanelDiscardsItsChildrenAndMenuBar) {
    const int p = load(1);
    ASSERT_GT(p, 0);
    const int child = NewPanel(p, "child", 5, 5, 40, 40);
    const int grandchild = NewPanel(child, "grandchild", 1, 1, 10, 10);
    const int bar = GetPanelMenuBar(p);
    ASSERT_GT(child, 0);
    ASSERT_GT(grandchild, 0);
    ASSERT_GT(bar, 0);
    ASSERT_EQ(DiscardPanel(p), 0);
    EXPECT_FALSE(RT_TestGetPanelState(child).exists);
    EXPECT_FALSE(RT_TestGetPanelState(grandchild).exists);
    int v;
    EXPECT_EQ(GetMenuBarAttribute(bar, 0, ATTR_FIRST_MENU_ID, &v), RT_ERR_INVALID_MENU_BAR);
}

TEST_F(Objects, ControlAttributesRoundTripOnTheKindsThatHaveThem) {
    const int p = load(1);
    ASSERT_GT(p, 0);
    char text[64];
    int v;
    double d;
    // Geometry and text attributes that every control has.
    for (int ctrl : {2, 5, 7, 11, 14, 17}) {
        EXPECT_EQ(SetCtrlAttribute(p, ctrl, ATTR_LEFT, 101), 0);
        EXPECT_EQ(SetCtrlAttribute(p, ctrl, ATTR_WIDTH, 77), 0);
        EXPECT_EQ(GetCtrlAttribute(p, ctrl, ATTR_LEFT, &v), 0);
        EXPECT_EQ(v, 101);
        EXPECT_EQ(GetCtrlAttribute(p, ctrl, ATTR_WIDTH, &v), 0);
        EXPECT_EQ(v, 77);
        EXPECT_EQ(SetCtrlAttribute(p, ctrl, ATTR_LABEL_TEXT, "New label"), 0);
        EXPECT_EQ(GetCtrlAttribute(p, ctrl, ATTR_LABEL_TEXT, text), 0);
        EXPECT_STREQ(text, "New label");
        EXPECT_EQ(GetCtrlAttribute(p, ctrl, ATTR_LABEL_TEXT_LENGTH, &v), 0);
        EXPECT_EQ(v, 9);
    }
    EXPECT_EQ(GetCtrlAttribute(p, 11, ATTR_CONSTANT_NAME, text), 0);
    EXPECT_STREQ(text, "RESULT");
    EXPECT_EQ(GetCtrlAttribute(p, 11, ATTR_CTRL_STYLE, &v), 0);
    EXPECT_EQ(v, CTRL_RING);
    EXPECT_EQ(SetCtrlAttribute(p, 11, ATTR_CTRL_STYLE, CTRL_STRING), RT_ERR_READ_ONLY);

    // Switch texts, string limits, text colours.
    EXPECT_EQ(SetCtrlAttribute(p, 9, ATTR_ON_TEXT, "Yes"), 0);
    EXPECT_EQ(GetCtrlAttribute(p, 9, ATTR_ON_TEXT_LENGTH, &v), 0);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(RT_TestWidgetText(p, 9), "Yes"); // the switch is on: the widget shows the on text
    EXPECT_EQ(SetCtrlAttribute(p, 5, ATTR_MAX_ENTRY_LENGTH, 4), 0);
    EXPECT_EQ(GetCtrlAttribute(p, 5, ATTR_MAX_ENTRY_LENGTH, &v), 0);
    EXPECT_EQ(v, 4);
    EXPECT_EQ(SetCtrlAttribute(p, 5, ATTR_TEXT_BGCOLOR, 0xFFFFFF), 0);
    EXPECT_EQ(GetCtrlAttribute(p, 5, ATTR_TEXT_BGCOLOR, &v), 0);
    EXPECT_EQ(v, 0xFFFFFF);
    EXPECT_EQ(SetCtrlAttribute(p, 5, ATTR_TEXT_BGCOLOR, 0x1000000), RT_ERR_INVALID_VALUE);

    // Typed limits of numerics follow their data type.
    EXPECT_EQ(SetCtrlAttribute(p, 3, ATTR_MAX_VALUE, 15.5), 0);
    EXPECT_EQ(GetCtrlAttribute(p, 3, ATTR_MAX_VALUE, &d), 0);
    EXPECT_DOUBLE_EQ(d, 15.5);
    EXPECT_EQ(SetCtrlAttribute(p, 3, ATTR_DATA_TYPE, VAL_INTEGER), 0);
    EXPECT_EQ(GetCtrlVal(p, 3, &v), 0);
    EXPECT_EQ(v, 12); // 12.6 truncated by the change of type

    // Graph axis names through the active Y axis.
    EXPECT_EQ(SetCtrlAttribute(p, 14, ATTR_ACTIVE_YAXIS, 2), 0);
    EXPECT_EQ(GetCtrlAttribute(p, 14, ATTR_YNAME, text), 0);
    EXPECT_STREQ(text, "Amps");
    EXPECT_EQ(SetCtrlAttribute(p, 14, ATTR_YNAME, "Current"), 0);
    EXPECT_EQ(SetCtrlAttribute(p, 14, ATTR_ACTIVE_YAXIS, 1), 0);
    EXPECT_EQ(GetCtrlAttribute(p, 14, ATTR_YNAME, text), 0);
    EXPECT_STREQ(text, "Volts");
    EXPECT_EQ(SetCtrlAttribute(p, 14, ATTR_ACTIVE_YAXIS, 3), RT_ERR_INVALID_VALUE);
}

TEST_F(Objects, AttributesAControlDoesNotHaveFailCleanly) {
    const int p = load(1);
    ASSERT_GT(p, 0);
    char text[32];
    int v;
    EXPECT_EQ(GetCtrlAttribute(p, 8, ATTR_ON_TEXT, text), RT_ERR_INVALID_ATTRIBUTE); // button
    EXPECT_EQ(SetCtrlAttribute(p, 13, ATTR_TEXT_BGCOLOR, 0),
              RT_ERR_INVALID_ATTRIBUTE); // decoration
    EXPECT_EQ(GetCtrlAttribute(p, 11, ATTR_TEXT_SELECTION_START, &v), RT_ERR_INVALID_ATTRIBUTE);
    EXPECT_EQ(SetCtrlAttribute(p, 15, ATTR_ACTIVE_YAXIS, 2),
              RT_ERR_INVALID_ATTRIBUTE); // strip chart
    EXPECT_EQ(GetCtrlAttribute(p, 2, 123456, &v), RT_ERR_INVALID_ATTRIBUTE);
    EXPECT_EQ(GetCtrlAttribute(p, 5, ATTR_LABEL_TEXT, &v), RT_ERR_ATTRIBUTE_TYPE);
    EXPECT_EQ(SetCtrlAttribute(p, 5, ATTR_LEFT, "ten"), RT_ERR_ATTRIBUTE_TYPE);
    EXPECT_EQ(SetCtrlAttribute(p, 5, ATTR_DATA_TYPE, VAL_INTEGER), RT_ERR_INVALID_VALUE);
    EXPECT_EQ(GetCtrlAttribute(p, 5, ATTR_LABEL_TEXT, static_cast<char *>(nullptr), 10),
              RT_ERR_NULL_POINTER);
    // A one-byte buffer gets the terminator only; a short buffer never cuts a UTF-8 character.
    char one[1] = {'x'};
    EXPECT_EQ(GetCtrlAttribute(p, 5, ATTR_LABEL_TEXT, one), 0);
    EXPECT_EQ(one[0], '\0');
    ASSERT_EQ(SetCtrlAttribute(p, 5, ATTR_LABEL_TEXT, "a\xC3\xA9z"), 0);
    char three[3];
    EXPECT_EQ(GetCtrlAttribute(p, 5, ATTR_LABEL_TEXT, three), 0);
    EXPECT_STREQ(three, "a");
}

TEST_F(Objects, LabelsAreMeasuredAndPlacedApartFromTheirControl) {
    const int p = keep(NewPanel(0, "labels", 0, 0, 300, 400));
    const int c = NewCtrl(p, CTRL_NUMERIC, "Voltage", 100, 200);
    int w, h, left, top;
    ASSERT_EQ(GetCtrlAttribute(p, c, ATTR_LABEL_WIDTH, &w), 0);
    ASSERT_EQ(GetCtrlAttribute(p, c, ATTR_LABEL_HEIGHT, &h), 0);
    EXPECT_GT(w, 20);
    EXPECT_GT(h, 5);
    // A longer text is wider, a second line is taller.
    SetCtrlAttribute(p, c, ATTR_LABEL_TEXT, "Voltage and more");
    int w2, h2;
    GetCtrlAttribute(p, c, ATTR_LABEL_WIDTH, &w2);
    EXPECT_GT(w2, w);
    SetCtrlAttribute(p, c, ATTR_LABEL_TEXT, "Voltage\nsecond");
    GetCtrlAttribute(p, c, ATTR_LABEL_HEIGHT, &h2);
    EXPECT_EQ(h2, 2 * h);
    EXPECT_EQ(SetCtrlAttribute(p, c, ATTR_LABEL_WIDTH, 5), RT_ERR_READ_ONLY);
    SetCtrlAttribute(p, c, ATTR_LABEL_TEXT, "Voltage");

    // Auto-placed: above the control at its left, and it follows a move.
    GetCtrlAttribute(p, c, ATTR_LABEL_LEFT, &left);
    GetCtrlAttribute(p, c, ATTR_LABEL_TOP, &top);
    EXPECT_EQ(left, 200);
    EXPECT_LT(top + h, 101);
    SetCtrlAttribute(p, c, ATTR_LEFT, 250);
    GetCtrlAttribute(p, c, ATTR_LABEL_LEFT, &left);
    EXPECT_EQ(left, 250);

    // Placed explicitly: keeps its offset from the control when the control moves, and stays
    // when the control only changes size. The automatic top still follows.
    SetCtrlAttribute(p, c, ATTR_LABEL_LEFT, 10);
    SetCtrlAttribute(p, c, ATTR_LEFT, 260);
    GetCtrlAttribute(p, c, ATTR_LABEL_LEFT, &left);
    EXPECT_EQ(left, 20);
    SetCtrlAttribute(p, c, ATTR_TOP, 110);
    GetCtrlAttribute(p, c, ATTR_LABEL_LEFT, &left);
    GetCtrlAttribute(p, c, ATTR_LABEL_TOP, &top);
    EXPECT_EQ(left, 20);
    EXPECT_LT(top + h, 111);
    SetCtrlAttribute(p, c, ATTR_WIDTH, 90);
    GetCtrlAttribute(p, c, ATTR_LABEL_LEFT, &left);
    EXPECT_EQ(left, 20);
    SetCtrlAttribute(p, c, ATTR_LABEL_TOP, 40);
    SetCtrlAttribute(p, c, ATTR_TOP, 100);
    GetCtrlAttribute(p, c, ATTR_LABEL_TOP, &top);
    EXPECT_EQ(top, 30);
    // Far moves saturate rather than wrap.
    SetCtrlAttribute(p, c, ATTR_LABEL_LEFT, -2147483647 - 1);
    SetCtrlAttribute(p, c, ATTR_LEFT, -1000);
    GetCtrlAttribute(p, c, ATTR_LABEL_LEFT, &left);
    EXPECT_EQ(left, -2147483647 - 1);
    SetCtrlAttribute(p, c, ATTR_LEFT, 260);
    SetCtrlAttribute(p, c, ATTR_LABEL_LEFT, 20);

    // Centred vertically on the control, and re-centred when it moves.
    int ch;
    GetCtrlAttribute(p, c, ATTR_HEIGHT, &ch);
    SetCtrlAttribute(p, c, ATTR_LABEL_TOP, VAL_AUTO_CENTER);
    GetCtrlAttribute(p, c, ATTR_LABEL_TOP, &top);
    EXPECT_EQ(top, 100 + (ch - h) / 2);
    SetCtrlAttribute(p, c, ATTR_TOP, 150);
    GetCtrlAttribute(p, c, ATTR_LABEL_TOP, &top);
    EXPECT_EQ(top, 150 + (ch - h) / 2);

    // The bounding rectangle covers the control and the label.
    int bt, bl, bh, bw;
    ASSERT_EQ(GetCtrlBoundingRect(p, c, &bt, &bl, &bh, &bw), 0);
    EXPECT_EQ(bl, 20);
    EXPECT_EQ(bt, std::min(150, top));
    int cw;
    GetCtrlAttribute(p, c, ATTR_WIDTH, &cw);
    EXPECT_EQ(bl + bw, 260 + cw);
}

TEST_F(Objects, ControlOrderIsResourceOrderThenAddedControls) {
    const int p = load(1);
    ASSERT_GT(p, 0);
    const int added = NewCtrl(p, CTRL_STRING, "added", 500, 500);
    std::vector<int> order;
    int c = 0;
    ASSERT_EQ(GetPanelAttribute(p, ATTR_PANEL_FIRST_CTRL, &c), 0);
    while (c != 0 && order.size() < 100) {
        order.push_back(c);
        ASSERT_EQ(GetCtrlAttribute(p, c, ATTR_NEXT_CTRL, &c), 0);
    }
    std::vector<int> expected;
    for (int id = 2; id <= 19; ++id)
        expected.push_back(id);
    expected.push_back(added);
    EXPECT_EQ(order, expected);
    EXPECT_GT(added, 19);
    int first = -1;
    const int empty = load(3);
    EXPECT_EQ(GetPanelAttribute(empty, ATTR_PANEL_FIRST_CTRL, &first), 0);
    EXPECT_EQ(first, 0);
}

TEST_F(Objects, MenuBarWalkGivesMenusItemsSeparatorsAndSubmenus) {
    const int p = load(1);
    const int bar = GetPanelMenuBar(p);
    ASSERT_GT(bar, 0);
    char text[64];
    int v;
    ASSERT_EQ(GetMenuBarAttribute(bar, 0, ATTR_CONSTANT_NAME, text), 0);
    EXPECT_STREQ(text, "MAINMENU");
    ASSERT_EQ(GetMenuBarAttribute(bar, 0, ATTR_FIRST_MENU_ID, &v), 0);
    EXPECT_EQ(v, 2);
    GetMenuBarAttribute(bar, 2, ATTR_MENU_NAME, text);
    EXPECT_STREQ(text, "&File");
    GetMenuBarAttribute(bar, 2, ATTR_NUM_MENU_ITEMS, &v);
    EXPECT_EQ(v, 4);
    GetMenuBarAttribute(bar, 2, ATTR_NEXT_MENU_ID, &v);
    EXPECT_EQ(v, 6);
    GetMenuBarAttribute(bar, 6, ATTR_NEXT_MENU_ID, &v);
    EXPECT_EQ(v, 0);
    GetMenuBarAttribute(bar, 6, ATTR_NUM_MENU_ITEMS, &v);
    EXPECT_EQ(v, 0);

    // Items of File: SAVE, a separator, LOGOS (with a submenu), EXIT.
    std::vector<std::string> names;
    int item = 0, separators = 0, submenu = 0;
    GetMenuBarAttribute(bar, 2, ATTR_FIRST_ITEM_ID, &item);
    while (item) {
        int sep = 0, sub = 0;
        ASSERT_EQ(GetMenuBarAttribute(bar, item, ATTR_MENU_ITEM_IS_SEPARATOR, &sep), 0);
        GetMenuBarAttribute(bar, item, ATTR_SUBMENU_ID, &sub);
        if (sep) {
            ++separators;
        } else {
            GetMenuBarAttribute(bar, item, ATTR_CONSTANT_NAME, text);
            names.push_back(text);
        }
        if (sub) submenu = sub;
        GetMenuBarAttribute(bar, item, ATTR_NEXT_ITEM_ID, &item);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"SAVE", "LOGOS", "EXIT"}));
    EXPECT_EQ(separators, 1);
    ASSERT_GT(submenu, 11); // generated ids lie above the file's
    GetMenuBarAttribute(bar, submenu, ATTR_FIRST_ITEM_ID, &item);
    EXPECT_EQ(item, 10);
    GetMenuBarAttribute(bar, 10, ATTR_NEXT_ITEM_ID, &item);
    EXPECT_EQ(item, 11);
    GetMenuBarAttribute(bar, 11, ATTR_ITEM_NAME, text);
    EXPECT_STREQ(text, "Remove logo 1");

    // Renaming, and the attributes each node does not have.
    EXPECT_EQ(SetMenuBarAttribute(bar, 3, ATTR_ITEM_NAME, "&Store..."), 0);
    GetMenuBarAttribute(bar, 3, ATTR_ITEM_NAME_LENGTH, &v);
    EXPECT_EQ(v, 9);
    EXPECT_EQ(SetMenuBarAttribute(bar, 3, ATTR_MENU_NAME, "x"), RT_ERR_INVALID_ATTRIBUTE);
    EXPECT_EQ(GetMenuBarAttribute(bar, 2, ATTR_NEXT_ITEM_ID, &v), RT_ERR_INVALID_ATTRIBUTE);
    EXPECT_EQ(GetMenuBarAttribute(bar, 0, ATTR_NUM_MENU_ITEMS, &v), RT_ERR_INVALID_ATTRIBUTE);
    EXPECT_EQ(GetMenuBarAttribute(bar, 999, ATTR_ITEM_NAME, text), RT_ERR_INVALID_MENU_ITEM);
    EXPECT_EQ(GetMenuBarAttribute(bar + 1000, 0, ATTR_CONSTANT_NAME, text),
              RT_ERR_INVALID_MENU_BAR);
}

TEST_F(Objects, SystemAttributesAndLanguageNameFollowTheSeam) {
    int v;
    SetSystemAttribute(ATTR_SYS_USE_LOCALIZED_DECIMAL_SYMBOL, 1);
    RT_TestSetDecimalSeparator(',');
    ASSERT_EQ(GetSystemAttribute(ATTR_SYS_DECIMAL_SYMBOL, &v), 0);
    EXPECT_EQ(v & 0xFF, ',');
    SetSystemAttribute(ATTR_SYS_USE_LOCALIZED_DECIMAL_SYMBOL, 0);
    GetSystemAttribute(ATTR_SYS_DECIMAL_SYMBOL, &v);
    EXPECT_EQ(v & 0xFF, '.');
    RT_TestSetDecimalSeparator(0);
    EXPECT_EQ(SetSystemAttribute(ATTR_SYS_DECIMAL_SYMBOL, ','), RT_ERR_READ_ONLY);
    EXPECT_EQ(GetSystemAttribute(4242, &v), RT_ERR_INVALID_ATTRIBUTE);

    char name[32];
    RT_TestSetSystemLanguageName("German");
    ASSERT_EQ(RT_GetSystemLanguageName(name), 0);
    EXPECT_STREQ(name, "German");
    RT_TestSetSystemLanguageName(nullptr);
    ASSERT_EQ(RT_GetSystemLanguageName(name), 0);
    EXPECT_GT(std::strlen(name), 0u);

    const int was = GetBreakOnLibraryErrors();
    EXPECT_EQ(DisableBreakOnLibraryErrors(), was);
    EXPECT_EQ(GetBreakOnLibraryErrors(), 0);
    EnableBreakOnLibraryErrors();
    EXPECT_EQ(GetBreakOnLibraryErrors(), 1);
}

} // namespace

namespace {
TEST(Assertions, AreReportedOnStandardErrorWhenHeadless) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The run-time installs its own reporter at start ("title: message" on one line); headless,
    // it writes to standard error instead of showing a message box nobody can close.
    EXPECT_DEATH(
        {
            InitRuntime(0, nullptr, 0);
            DoAssert(0, "module.c", 42, "pointer != NULL");
        },
        "Assert: Assert!.*pointer != NULL.*line 42 of file 'module.c'");
}
} // namespace

TEST(ErrorTexts, EveryRunTimeAndSerialCodeHasItsOwnText) {
    const int codes[] = {RT_ERR_NOT_INITIALISED, RT_ERR_RESOURCE_FILE,   RT_ERR_RESOURCE_ID,
                         RT_ERR_UNKNOWN_STYLE,   RT_ERR_DUPLICATE_ID,    RT_ERR_UNKNOWN_CALLBACK,
                         RT_ERR_INVALID_PANEL,   RT_ERR_INVALID_CONTROL, RT_ERR_INVALID_ATTRIBUTE,
                         RT_ERR_OUT_OF_MEMORY,   RT_ERR_NULL_POINTER,    RT_ERR_FILE_NOT_FOUND,
                         RT_COM_ERR_PORT_NUMBER, RT_COM_ERR_NO_DEVICE,   RT_COM_ERR_OPEN,
                         RT_COM_ERR_CONFIG,      RT_COM_ERR_NOT_OPEN,    RT_COM_ERR_READ,
                         RT_COM_ERR_WRITE,       RT_COM_ERR_ESCAPE};
    std::set<std::string> texts;
    for (int code : codes) {
        const std::string text = RT_GetErrorString(code);
        EXPECT_NE(text, RT_GetErrorString(-4242)) << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), std::size(codes)) << "two codes share a text";
}

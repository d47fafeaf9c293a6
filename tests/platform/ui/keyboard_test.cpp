// The keyboard: focus order, the default and cancel controls of a panel, list boxes chosen by
// key, and menu shortcuts while a text box has the focus. Keys go to the focused widget as the
// operator's would.
#include "rt_test_support.h"

#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <QWidget>

#include <string>
#include <vector>

using namespace rtt;

namespace {

enum { FORM = 1, ASK = 2, PLAIN = 3, CHOOSE = 4, BAD_DEFAULT = 5, BAD_CANCEL = 6 };

// FORM: two columns of controls with indicators among them, then two text boxes.
enum {
    FORM_ENTRY = 2,
    FORM_SHOWN_RING = 3,
    FORM_CHOICE = 5,
    FORM_SHOWN_TEXT = 6,
    FORM_NUMBER = 7,
    FORM_INFO = 9,
    FORM_NOTES = 10
};
enum { ASK_OK = 2, ASK_CANCEL = 3, ASK_FIELD = 4, ASK_BOX = 5, ASK_NUMBER = 6 };
enum { CHOOSE_OK = 2, CHOOSE_LIST = 3, CHOOSE_HOT = 4 };
enum { MENU_SAVE = 3, MENU_PRINT = 4, MENU_GUIDE = 6 };

class Keyboard : public RuntimeTest {
  protected:
    int loadKeys(int id) { return load(id, dataFile("keys.ui.json").c_str()); }

    // The window of a shown panel, made the active window as the operator's click would.
    static QWidget *activate(int panel) {
        const std::string title = RT_TestGetPanelState(panel).title;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || w->windowTitle().toStdString() != title) continue;
            w->activateWindow();
            if (!QTest::qWaitForWindowActive(w)) return nullptr;
            return w;
        }
        return nullptr;
    }

    // A key pressed where the focus is (the window itself when no control has it).
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget *target = QApplication::focusWidget();
        if (!target) target = QApplication::activeWindow();
        ASSERT_NE(target, nullptr) << "no window has the keyboard";
        QTest::keyClick(target, key, modifiers);
    }

    // The controls the focus visits with `count` presses of the key, starting where it is.
    static std::vector<int> visit(int panel, int count, Qt::KeyboardModifiers modifiers) {
        std::vector<int> seen;
        for (int i = 0; i < count; ++i) {
            press(Qt::Key_Tab, modifiers);
            seen.push_back(GetActiveCtrl(panel));
        }
        return seen;
    }

    static std::vector<Event> commits() {
        std::vector<Event> out;
        int panel = 0, control = 0;
        while (GetUserEvent(0, &panel, &control) == EVENT_COMMIT)
            out.push_back({panel, control, EVENT_COMMIT});
        return out;
    }

    static std::vector<int> committedControls(int panel) {
        std::vector<int> out;
        for (const Event &e : commits())
            if (e.handle == panel) out.push_back(e.item);
        return out;
    }
};

TEST_F(Keyboard, TabVisitsTheInputControlsInResourceOrderAndWrapsBothWays) {
    const int p = loadKeys(FORM);
    ASSERT_GT(p, 0);
    DisplayPanel(p);
    ASSERT_NE(activate(p), nullptr);
    ASSERT_EQ(SetActiveCtrl(p, FORM_ENTRY), 0);
    // Indicators (a ring, a number display, a text) and pictures are passed over; the text
    // boxes let Tab go on instead of taking it as a character.
    const std::vector<int> forward = {FORM_CHOICE, FORM_NUMBER, FORM_INFO,
                                      FORM_NOTES,  FORM_ENTRY,  FORM_CHOICE};
    EXPECT_EQ(visit(p, 6, Qt::NoModifier), forward);
    ASSERT_EQ(SetActiveCtrl(p, FORM_ENTRY), 0);
    const std::vector<int> backward = {FORM_NOTES,  FORM_INFO,  FORM_NUMBER,
                                       FORM_CHOICE, FORM_ENTRY, FORM_NOTES};
    EXPECT_EQ(visit(p, 6, Qt::ShiftModifier), backward);
    char text[64] = "";
    GetCtrlVal(p, FORM_INFO, text);
    EXPECT_STREQ(text, "") << "a tab went into the text box";
    GetCtrlVal(p, FORM_NOTES, text);
    EXPECT_STREQ(text, "");
}

TEST_F(Keyboard, AnIndicatorTakesNoFocusAndAControlMadeAnIndicatorLeavesTheOrder) {
    const int p = loadKeys(FORM);
    DisplayPanel(p);
    ASSERT_NE(activate(p), nullptr);
    // Even given the focus by the program, an indicator ring lets Tab move on.
    SetActiveCtrl(p, FORM_SHOWN_RING);
    press(Qt::Key_Tab);
    EXPECT_NE(GetActiveCtrl(p), FORM_SHOWN_RING);
    ASSERT_EQ(SetCtrlAttribute(p, FORM_CHOICE, ATTR_CTRL_MODE, VAL_INDICATOR), 0);
    SetActiveCtrl(p, FORM_ENTRY);
    press(Qt::Key_Tab);
    EXPECT_EQ(GetActiveCtrl(p), FORM_NUMBER);
    ASSERT_EQ(SetCtrlAttribute(p, FORM_CHOICE, ATTR_CTRL_MODE, VAL_NORMAL), 0);
    SetActiveCtrl(p, FORM_ENTRY);
    press(Qt::Key_Tab);
    EXPECT_EQ(GetActiveCtrl(p), FORM_CHOICE);
    // A control made later joins the order at its end.
    const int added = NewCtrl(p, CTRL_STRING, "Added", 390, 10);
    ASSERT_GT(added, 0);
    SetActiveCtrl(p, FORM_NOTES);
    press(Qt::Key_Tab);
    EXPECT_EQ(GetActiveCtrl(p), added);
    press(Qt::Key_Tab);
    EXPECT_EQ(GetActiveCtrl(p), FORM_ENTRY);
}

// The menu items the shortcuts Ctrl+S, Ctrl+P and F1 reach from the focused widget of a window.
std::vector<int> itemsOfShortcuts(QWidget *window) {
    log().clear();
    QWidget *focused = window->focusWidget();
    if (!focused) return {};
    QTest::keyClick(focused, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(focused, Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(focused, Qt::Key_F1);
    std::vector<int> items;
    for (const Event &e : log().menu)
        items.push_back(e.item);
    return items;
}

TEST_F(Keyboard, MenuShortcutsWorkWhenAWindowThatHadTheKeyboardIsGone) {
    const int p = loadKeys(FORM);
    DisplayPanel(p);
    QWidget *window = activate(p);
    ASSERT_NE(window, nullptr);
    const std::vector<int> all = {MENU_SAVE, MENU_PRINT, MENU_GUIDE};
    // A popup takes the keyboard and is discarded (a progress dialog does this for every
    // record), leaving Qt without an active window.
    auto popUpAndDiscard = [this] {
        const int popup = loadKeys(PLAIN);
        ASSERT_EQ(InstallPopup(popup), 0);
        ASSERT_NE(activate(popup), nullptr);
        ASSERT_EQ(RemovePopup(0), 0);
        ASSERT_EQ(DiscardPanel(popup), 0);
        RT_TestFlushDeletes();
    };
    // The keyboard comes back to the panel by itself.
    popUpAndDiscard();
    EXPECT_TRUE(QTest::qWaitFor([window] { return window->isActiveWindow(); }, 2000))
        << "the keyboard did not come back";
    for (int box : {FORM_NOTES, FORM_INFO, FORM_ENTRY}) {
        SetActiveCtrl(p, box);
        EXPECT_EQ(itemsOfShortcuts(window), all) << "focus in control " << box;
        char text[64] = "";
        GetCtrlVal(p, box, text);
        EXPECT_STREQ(text, "") << "a shortcut typed into control " << box;
    }
    // A key that comes before that (the window manager hands the keyboard over while nothing is
    // active) finds its shortcut all the same.
    SetActiveCtrl(p, FORM_NOTES);
    popUpAndDiscard();
    ASSERT_FALSE(window->isActiveWindow());
    EXPECT_EQ(itemsOfShortcuts(window), all);
    EXPECT_TRUE(window->isActiveWindow());
}

TEST_F(Keyboard, EnterPressesTheDefaultAndEscapeTheCancelControl) {
    const int p = loadKeys(ASK);
    ASSERT_GT(p, 0);
    ASSERT_EQ(InstallPopup(p), 0);
    ASSERT_NE(activate(p), nullptr);
    commits();

    // Escape from any control commits the cancel control.
    for (int control : {ASK_FIELD, ASK_BOX, ASK_NUMBER, ASK_OK}) {
        SetActiveCtrl(p, control);
        press(Qt::Key_Escape);
        EXPECT_EQ(committedControls(p), std::vector<int>{ASK_CANCEL}) << "from " << control;
    }

    // Enter in a one-line field commits the field, then the default.
    SetActiveCtrl(p, ASK_FIELD);
    press(Qt::Key_A);
    press(Qt::Key_Return);
    EXPECT_EQ(committedControls(p), (std::vector<int>{ASK_FIELD, ASK_OK}));
    SetActiveCtrl(p, ASK_NUMBER);
    press(Qt::Key_A, Qt::ControlModifier);
    press(Qt::Key_5);
    press(Qt::Key_Enter);
    int number = 0;
    GetCtrlVal(p, ASK_NUMBER, &number);
    EXPECT_EQ(number, 5);
    std::vector<int> got = committedControls(p);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), ASK_OK);

    // Enter in a text box is a line break, nothing more.
    SetActiveCtrl(p, ASK_BOX);
    press(Qt::Key_X);
    press(Qt::Key_Return);
    press(Qt::Key_Y);
    char text[64] = "";
    GetCtrlVal(p, ASK_BOX, text);
    EXPECT_STREQ(text, "x\ny");
    EXPECT_TRUE(committedControls(p).empty());

    // A focused button is the one Enter presses.
    SetActiveCtrl(p, ASK_CANCEL);
    press(Qt::Key_Return);
    EXPECT_EQ(committedControls(p), std::vector<int>{ASK_CANCEL});
    SetActiveCtrl(p, ASK_OK);
    press(Qt::Key_Return);
    EXPECT_EQ(committedControls(p), std::vector<int>{ASK_OK});

    // A dimmed default takes no input.
    SetCtrlAttribute(p, ASK_OK, ATTR_DIMMED, 1);
    SetActiveCtrl(p, ASK_FIELD);
    press(Qt::Key_Return);
    EXPECT_EQ(committedControls(p), std::vector<int>{ASK_FIELD});
}

TEST_F(Keyboard, ClosingAWindowWithACancelControlCommitsIt) {
    const int p = loadKeys(ASK);
    ASSERT_EQ(InstallPopup(p), 0);
    commits();
    ASSERT_EQ(RT_TestClosePanel(p), 0);
    EXPECT_EQ(committedControls(p), std::vector<int>{ASK_CANCEL});
    EXPECT_TRUE(RT_TestGetPanelState(p).windowVisible); // the program removes it, not the key
    // The popup's cancel is its answer when the operator closes it with Alt+F4 too.
    QWidget *w = activate(p);
    ASSERT_NE(w, nullptr);
    w->close();
    EXPECT_EQ(committedControls(p), std::vector<int>{ASK_CANCEL});

    ASSERT_EQ(RemovePopup(0), 0);

    // Without a cancel control the close box stays the panel callback's event, and Enter and
    // Escape commit nothing.
    const int plain = loadKeys(PLAIN);
    DisplayPanel(plain);
    ASSERT_NE(activate(plain), nullptr);
    SetActiveCtrl(plain, 3);
    press(Qt::Key_Return);
    press(Qt::Key_Escape);
    std::vector<int> got = committedControls(plain);
    EXPECT_EQ(got, std::vector<int>{3}); // the string's own commit on Enter
    ASSERT_EQ(RT_TestClosePanel(plain), 0);
    EXPECT_TRUE(committedControls(plain).empty());
    ASSERT_FALSE(log().panel.empty());
    EXPECT_EQ(log().panel.back().event, EVENT_CLOSE);
}

TEST_F(Keyboard, AListBoxMovesWithTheArrowsAndCommitsOnEnterOrAClick) {
    const int p = loadKeys(CHOOSE);
    ASSERT_GT(p, 0);
    ASSERT_EQ(InstallPopup(p), 0);
    ASSERT_NE(activate(p), nullptr);
    SetCtrlVal(p, CHOOSE_LIST, 1);
    SetActiveCtrl(p, CHOOSE_LIST);
    commits();
    log().clear();
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    press(Qt::Key_Up);
    press(Qt::Key_Down);
    int value = -1;
    GetCtrlVal(p, CHOOSE_LIST, &value);
    EXPECT_EQ(value, 3);
    EXPECT_TRUE(committedControls(p).empty()) << "an arrow key chose";
    int changes = 0;
    for (const Event &e : log().ctrl)
        changes += e.item == CHOOSE_LIST && e.event == EVENT_VAL_CHANGED;
    EXPECT_EQ(changes, 4);
    // Enter chooses the list's item (the list's own commit; the default is not pressed too).
    press(Qt::Key_Return);
    EXPECT_EQ(committedControls(p), std::vector<int>{CHOOSE_LIST});

    // A click on an item chooses it, the current one too.
    auto *list = qobject_cast<QListWidget *>(QApplication::focusWidget());
    ASSERT_NE(list, nullptr);
    for (int row : {0, 0}) {
        const QRect r = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
        EXPECT_EQ(committedControls(p), std::vector<int>{CHOOSE_LIST});
        GetCtrlVal(p, CHOOSE_LIST, &value);
        EXPECT_EQ(value, 0);
    }

    // A hot list box still commits on every change.
    SetActiveCtrl(p, CHOOSE_HOT);
    press(Qt::Key_Down);
    EXPECT_EQ(committedControls(p), std::vector<int>{CHOOSE_HOT});
}

TEST_F(Keyboard, DefaultAndCancelMustNameAControlOfThePanel) {
    EXPECT_GT(loadKeys(ASK), 0);
    EXPECT_GT(loadKeys(CHOOSE), 0);
    EXPECT_EQ(loadKeys(BAD_DEFAULT), RT_ERR_RESOURCE_FILE);
    EXPECT_EQ(loadKeys(BAD_CANCEL), RT_ERR_RESOURCE_FILE);
}

} // namespace

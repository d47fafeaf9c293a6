// Events: commits, GetUserEvent, popups, idle events, typing, keystrokes, closing, ending.
#include "rt_test_support.h"

#include <QApplication>

#include <csignal>
#include <string>

using namespace rtt;

namespace {

class Events : public RuntimeTest {};

int gMainDepth = 0;
int gMainMaxDepth = 0;
int gIdle = 0;

int CountingMainCB(int handle, int control, int event, void *, int, int) {
    ++gMainDepth;
    gMainMaxDepth = std::max(gMainMaxDepth, gMainDepth);
    if (event == EVENT_IDLE)
        ++gIdle;
    else
        log().main.push_back({handle, control, event});
    --gMainDepth;
    return 0;
}

void resetMain() {
    gMainDepth = gMainMaxDepth = gIdle = 0;
    InstallMainCallback(CountingMainCB, nullptr, 1);
}

bool hasEvent(const std::vector<Event> &list, int handle, int item, int event) {
    for (const Event &e : list)
        if (e.handle == handle && e.item == item && e.event == event) return true;
    return false;
}

TEST_F(Events, GetUserEventReturnsAScriptedCommitAfterTheControlsCallback) {
    const int p = load(1);
    DisplayPanel(p);
    resetMain();
    RT_TestPost([p] { EXPECT_EQ(RT_TestCommit(p, 8), 0); }, 20);
    int panel = 0, control = 0;
    ASSERT_EQ(GetUserEvent(1, &panel, &control), EVENT_COMMIT);
    EXPECT_EQ(panel, p);
    EXPECT_EQ(control, 8);
    EXPECT_TRUE(hasEvent(log().ctrl, p, 8, EVENT_COMMIT));
    EXPECT_TRUE(hasEvent(log().main, p, 8, EVENT_COMMIT));
    EXPECT_GT(gIdle, 0); // idle events reached the main callback while GetUserEvent waited
    EXPECT_EQ(GetUserEvent(0, &panel, &control), EVENT_NONE);
}

TEST_F(Events, GetUserEventReturnsAMenuCommitWithTheMenuBarHandle) {
    const int p = load(1);
    DisplayPanel(p);
    const int bar = GetPanelMenuBar(p);
    RT_TestPost([bar] { EXPECT_EQ(RT_TestCommitMenuItem(bar, 10), 0); }, 10);
    int handle = 0, item = 0;
    ASSERT_EQ(GetUserEvent(1, &handle, &item), EVENT_COMMIT);
    EXPECT_EQ(handle, bar);
    EXPECT_EQ(item, 10);
    ASSERT_EQ(log().menu.size(), 1u);
    EXPECT_EQ(log().menu[0].handle, bar);
    EXPECT_EQ(RT_TestCommitMenuItem(bar, 4), RT_ERR_INVALID_MENU_ITEM); // opens a submenu only
    EXPECT_EQ(RT_TestCommitMenuItem(bar, 6), 0);                        // a menu without items
    EXPECT_EQ(GetUserEvent(0, &handle, &item), EVENT_COMMIT);
    EXPECT_EQ(item, 6);
}

TEST_F(Events, APopupBlocksOtherPanelsUntilItsControlCommits) {
    const int main = load(1);
    DisplayPanel(main);
    const int popup = load(2);
    resetMain();
    ASSERT_EQ(InstallPopup(popup), 0);
    EXPECT_TRUE(RT_TestGetPanelState(popup).modal);
    EXPECT_EQ(RT_TestGetPanelState(popup).popupLevel, 1);
    int refused = 0, typedRefused = 0, menuRefused = 0, closeRefused = 0;
    const int bar = GetPanelMenuBar(main);
    RT_TestPost(
        [&] {
            refused = RT_TestCommit(main, 8);
            typedRefused = RT_TestTypeText(main, 5, "x");
            menuRefused = RT_TestCommitMenuItem(bar, 3);
            closeRefused = RT_TestClosePanel(main);
        },
        10);
    RT_TestPost([popup] { RT_TestCommit(popup, 2); }, 60);
    int panel = 0, control = 0;
    do {
        ASSERT_EQ(GetUserEvent(1, &panel, &control), EVENT_COMMIT);
    } while (!(panel == popup && control == 2));
    EXPECT_EQ(refused, RT_ERR_INPUT_REFUSED);
    EXPECT_EQ(typedRefused, RT_ERR_INPUT_REFUSED);
    EXPECT_EQ(menuRefused, RT_ERR_INPUT_REFUSED);
    EXPECT_EQ(closeRefused, RT_ERR_INPUT_REFUSED);
    EXPECT_FALSE(hasEvent(log().ctrl, main, 8, EVENT_COMMIT));
    EXPECT_TRUE(log().menu.empty());
    EXPECT_GT(gIdle, 0);
    EXPECT_EQ(RemovePopup(0), 0);
    EXPECT_FALSE(RT_TestGetPanelState(popup).windowVisible);
    EXPECT_EQ(RT_TestCommit(main, 8), 0); // input flows again
    EXPECT_EQ(RemovePopup(0), RT_ERR_NOT_A_POPUP);
}

TEST_F(Events, ScriptedPopupAnswersSetAValueAndCommit) {
    RT_TestAnswerPopup(
        2, {{RT_TestPopupStep::SET_INT, 4, 3, 0, ""}, {RT_TestPopupStep::COMMIT, 2, 0, 0, ""}});
    const int popup = load(2);
    InstallPopup(popup);
    int panel = 0, control = 0;
    ASSERT_EQ(GetUserEvent(1, &panel, &control), EVENT_COMMIT);
    EXPECT_EQ(panel, popup);
    EXPECT_EQ(control, 2);
    int port = 0;
    GetCtrlVal(popup, 4, &port);
    EXPECT_EQ(port, 3);
}

TEST_F(Events, DiscardingAnInstalledPopupRemovesItFromTheStack) {
    const int a = load(2);
    const int b = load(3);
    InstallPopup(a);
    InstallPopup(b);
    EXPECT_EQ(RT_TestPopupDepth(), 2);
    EXPECT_EQ(RT_TestCommit(a, 2), RT_ERR_INPUT_REFUSED);
    DiscardPanel(b);
    EXPECT_EQ(RT_TestPopupDepth(), 1);
    EXPECT_EQ(RT_TestCommit(a, 2), 0);
    const int child = NewPanel(a, "child", 0, 0, 10, 10);
    EXPECT_EQ(InstallPopup(child), RT_ERR_NOT_A_POPUP);
}

int gNotesBox = 0;
int LimitLinesCB(int panel, int control, int event, void *, int, int) {
    log().ctrl.push_back({panel, control, event});
    if (event != EVENT_VAL_CHANGED) return 0;
    int count = 0;
    GetNumTextBoxLines(panel, control, &count);
    if (count > 4) {
        FakeKeystroke(VAL_BACKSPACE_VKEY);
        RT_Beep();
    }
    return 0;
}

TEST_F(Events, TypingInATextBoxSendsValueChangesAndBackspaceTakesBackTheLastCharacter) {
    const int p = load(1);
    DisplayPanel(p);
    resetMain();
    ResetTextBox(p, 7, "");
    ASSERT_EQ(RT_TestTypeText(p, 7, "ab"), 0);
    char text[64];
    GetCtrlVal(p, 7, text);
    EXPECT_STREQ(text, "ab");
    int changes = 0;
    for (const Event &e : log().ctrl)
        changes += e.item == 7 && e.event == EVENT_VAL_CHANGED;
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(hasEvent(log().main, p, 7, EVENT_VAL_CHANGED));
    EXPECT_EQ(GetActiveCtrl(p), 7);
    ASSERT_EQ(FakeKeystroke(VAL_BACKSPACE_VKEY), 0);
    GetCtrlVal(p, 7, text);
    EXPECT_STREQ(text, "a");
    EXPECT_EQ(RT_TestWidgetText(p, 7), "a");
    changes = 0;
    for (const Event &e : log().ctrl)
        changes += e.item == 7 && e.event == EVENT_VAL_CHANGED;
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(gMainMaxDepth, 1);
}

TEST_F(Events, EnterAfterFourLinesInAFourLineBoxIsTakenBack) {
    const int p = keep(NewPanel(0, "notes", 0, 0, 200, 300));
    gNotesBox = NewCtrl(p, CTRL_TEXT_BOX, "Notes", 20, 10);
    InstallCtrlCallback(p, gNotesBox, LimitLinesCB, nullptr);
    DisplayPanel(p);
    const int beeps = RT_TestBeepCount();
    ASSERT_EQ(RT_TestTypeText(p, gNotesBox, "one\ntwo\nthree\nfour"), 0);
    int count;
    GetNumTextBoxLines(p, gNotesBox, &count);
    EXPECT_EQ(count, 4);
    ASSERT_EQ(RT_TestTypeText(p, gNotesBox, "\n"), 0);
    GetNumTextBoxLines(p, gNotesBox, &count);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(RT_TestBeepCount(), beeps + 1);
    char text[64];
    GetCtrlVal(p, gNotesBox, text);
    EXPECT_STREQ(text, "one\ntwo\nthree\nfour");
    EXPECT_EQ(RT_TestWidgetText(p, gNotesBox), "one\ntwo\nthree\nfour");
    // Typing goes on at the caret, after the taken-back line end.
    RT_TestTypeText(p, gNotesBox, "!");
    GetCtrlVal(p, gNotesBox, text);
    EXPECT_STREQ(text, "one\ntwo\nthree\nfour!");
}

TEST_F(Events, StringsCommitOnEnterAndRefuseTypingBeyondTheirLimit) {
    const int p = load(1);
    DisplayPanel(p);
    SetCtrlVal(p, 5, "");
    ASSERT_EQ(RT_TestTypeText(p, 5, "0123456789"), 0);
    char text[32];
    GetCtrlVal(p, 5, text);
    EXPECT_STREQ(text, "01234567"); // maxLength 8
    EXPECT_FALSE(hasEvent(log().ctrl, p, 5, EVENT_COMMIT));
    RT_TestTypeText(p, 5, "\n");
    EXPECT_TRUE(hasEvent(log().ctrl, p, 5, EVENT_COMMIT));

    // Hot mode commits every keystroke; indicator mode takes no input.
    log().clear();
    SetCtrlAttribute(p, 5, ATTR_CTRL_MODE, VAL_HOT);
    SetCtrlVal(p, 5, "");
    RT_TestTypeText(p, 5, "ab");
    int commits = 0;
    for (const Event &e : log().ctrl)
        commits += e.item == 5 && e.event == EVENT_COMMIT;
    EXPECT_EQ(commits, 2);
    SetCtrlAttribute(p, 5, ATTR_CTRL_MODE, VAL_INDICATOR);
    EXPECT_EQ(RT_TestTypeText(p, 5, "c"), RT_ERR_INPUT_REFUSED);
    EXPECT_EQ(RT_TestCommit(p, 5), RT_ERR_INPUT_REFUSED);
    GetCtrlVal(p, 5, text);
    EXPECT_STREQ(text, "ab");

    // A ring commits on a changed selection and carries the new value.
    log().clear();
    ASSERT_EQ(RT_TestSelectIndex(p, 11, 0), 0);
    EXPECT_TRUE(hasEvent(log().ctrl, p, 11, EVENT_COMMIT));
    int v;
    GetCtrlVal(p, 11, &v);
    EXPECT_EQ(v, 1);
    // A numeric takes typed digits and commits on Enter.
    log().clear();
    SetCtrlVal(p, 2, 0);
    RT_TestTypeText(p, 2, "\b\b\b\b77\n");
    GetCtrlVal(p, 2, &v);
    EXPECT_EQ(v, 77);
    EXPECT_TRUE(hasEvent(log().ctrl, p, 2, EVENT_COMMIT));
}

int gReentryPanel = 0;
int ReentrantMainCB(int handle, int control, int event, void *, int, int) {
    ++gMainDepth;
    gMainMaxDepth = std::max(gMainMaxDepth, gMainDepth);
    log().main.push_back({handle, control, event});
    // An event raised while the main callback runs must not call it again.
    if (event == EVENT_COMMIT && control == 8) RT_TestCommit(gReentryPanel, 8);
    --gMainDepth;
    return 0;
}

TEST_F(Events, TheMainCallbackIsNeverReentered) {
    gReentryPanel = load(1);
    gMainDepth = gMainMaxDepth = 0;
    InstallMainCallback(ReentrantMainCB, nullptr, 0);
    ASSERT_EQ(RT_TestCommit(gReentryPanel, 8), 0);
    EXPECT_EQ(gMainMaxDepth, 1);
    EXPECT_EQ(log().main.size(), 1u);
    int commits = 0;
    for (const Event &e : log().ctrl)
        commits += e.item == 8 && e.event == EVENT_COMMIT;
    EXPECT_EQ(commits, 2); // the control's callback still saw both
}

TEST_F(Events, RemovingTheMainCallbackStopsIdleEventsAndInstallingItResumesThem) {
    resetMain();
    RT_TestPost([] { QuitUserInterface(3); }, 80);
    EXPECT_EQ(RunUserInterface(), 3);
    EXPECT_GT(gIdle, 0);
    InstallMainCallback(nullptr, nullptr, 0);
    gIdle = 0;
    RT_TestPost([] { QuitUserInterface(4); }, 60);
    EXPECT_EQ(RunUserInterface(), 4);
    EXPECT_EQ(gIdle, 0);
    // A quit requested before the loop runs ends the next loop at once.
    QuitUserInterface(5);
    EXPECT_EQ(RunUserInterface(), 5);
}

int gWaitPopup = 0;
long gWakeupsWhileWaiting = -1;
int WaitingMainCB(int, int, int event, void *, int, int) {
    if (event != EVENT_IDLE || gWakeupsWhileWaiting >= 0) return 0;
    // Like a main callback that shows a notice and waits for its OK button.
    InstallPopup(gWaitPopup);
    RT_TestPost([] { RT_TestCommit(gWaitPopup, 2); }, 300);
    const long before = RT_TestIdleWakeups();
    int panel = 0, control = 0;
    while (!(panel == gWaitPopup && control == 2))
        GetUserEvent(1, &panel, &control);
    gWakeupsWhileWaiting = RT_TestIdleWakeups() - before;
    RemovePopup(0);
    QuitUserInterface(0);
    return 0;
}

TEST_F(Events, APopupWaitedForInsideTheMainCallbackDoesNotSpinTheIdleTimer) {
    gWaitPopup = load(2);
    gWakeupsWhileWaiting = -1;
    InstallMainCallback(WaitingMainCB, nullptr, 1);
    SetIdleEventRate(0);
    RunUserInterface();
    // 300 ms of waiting: paced wake-ups number in the tens, a spinning timer in the thousands.
    EXPECT_GE(gWakeupsWhileWaiting, 0);
    EXPECT_LT(gWakeupsWhileWaiting, 200);
}

int gDialogsMade = 0;
int DialogPerIdleMainCB(int, int, int event, void *, int, int) {
    if (event != EVENT_IDLE) return 0;
    // Like reception: a dialog built, shown as a popup and discarded within one callback.
    const int dialog = NewPanel(0, "", 0, 0, 10, 328);
    NewCtrl(dialog, CTRL_PROGRESS_BAR, "", 0, 14);
    InstallPopup(dialog);
    DiscardPanel(dialog);
    ProcessSystemEvents(); // as reception does after showing the record
    if (++gDialogsMade == 60) QuitUserInterface(0);
    return 0;
}

TEST_F(Events, PanelsDiscardedInsideIdleEventsDoNotPileUp) {
    const int windowsBefore = static_cast<int>(QApplication::topLevelWidgets().size());
    gDialogsMade = 0;
    InstallMainCallback(DialogPerIdleMainCB, nullptr, 1);
    SetIdleEventRate(0);
    RunUserInterface();
    InstallMainCallback(nullptr, nullptr, 0);
    ASSERT_EQ(gDialogsMade, 60);
    // Each discarded window is gone, not kept until some outer loop ends.
    EXPECT_LE(static_cast<int>(QApplication::topLevelWidgets().size()), windowsBefore + 2);
}

TEST_F(Events, TheCloseBoxAndSessionEndReachThePanelCallback) {
    const int p = load(1);
    DisplayPanel(p);
    ASSERT_EQ(RT_TestClosePanel(p), 0);
    EXPECT_TRUE(hasEvent(log().panel, p, 0, EVENT_CLOSE));
    EXPECT_TRUE(RT_TestGetPanelState(p).windowVisible); // closing is the callback's decision
    // SIGTERM is picked up by the event loop and sent to the main panel.
    RT_TestPost([] { std::raise(SIGTERM); }, 10);
    RT_TestPost([] { QuitUserInterface(0); }, 150);
    RunUserInterface();
    EXPECT_TRUE(hasEvent(log().panel, p, 0, EVENT_END_TASK));
}

TEST_F(Events, RightDoubleClickOnAPictureReachesItsCallback) {
    const int p = load(1);
    DisplayPanel(p);
    ASSERT_EQ(RT_TestRightDoubleClick(p, 16), 0);
    EXPECT_TRUE(hasEvent(log().ctrl, p, 16, EVENT_RIGHT_DOUBLE_CLICK));
}

TEST_F(Events, WindowStateFollowsTheAttributeAndMinimizeAll) {
    const int a = load(3);
    const int b = load(3);
    DisplayPanel(a);
    DisplayPanel(b);
    ASSERT_EQ(MinimizeAllWindows(), 0);
    int state;
    GetPanelAttribute(a, ATTR_WINDOW_STATE, &state);
    EXPECT_EQ(state, 1);
    GetPanelAttribute(b, ATTR_WINDOW_STATE, &state);
    EXPECT_EQ(state, 1);
    SetPanelAttribute(a, ATTR_WINDOW_STATE, 0);
    GetPanelAttribute(a, ATTR_WINDOW_STATE, &state);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(SetWaitCursor(1), 0);
    EXPECT_EQ(SetWaitCursor(0), 0);
}

} // namespace

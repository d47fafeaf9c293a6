// The program driven from the keyboard: Tab through the main panel, Enter, Escape and the close
// box on every kind of popup, the menu shortcuts after a record, and the language list. Keys go
// to the focused widget of the window that has the keyboard, as an operator's would.
#include "app_fixture.h"

#include <QApplication>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>

namespace {

enum { MENU_EXIT = 5, MENU_PORT = 7, MENU_LANGUAGE = 8, MENU_ABOUT = 18 };
enum { SAVEQUIT_BACK = 4 };

using Clock = std::chrono::steady_clock;
constexpr auto kPopupDeadline = std::chrono::seconds(5);
constexpr auto kAnswerDeadline = std::chrono::seconds(3);

// The top-level window of a panel, found by its title.
QWidget *WindowOf(int panel) {
    const std::string title = RT_TestGetPanelState(panel).title;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle().toStdString() == title) return w;
    return nullptr;
}

// The window comes to the front and takes the keyboard, as after the operator's click.
bool Activate(QWidget *window) {
    if (!window) return false;
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

// A key pressed in a window: it goes to the window's focused control (or the window itself).
void Press(QWidget *window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget *target = window->focusWidget() ? window->focusWidget() : window;
    QTest::keyClick(target, key, modifiers);
}

// What became of a popup the test answered.
struct PopupRun {
    bool over = false;    // the test has ended: the poll stops
    bool seen = false;    // a popup came up
    size_t stepsDone = 0; // steps taken, each in an event-loop pass of its own
    bool stuck = false;   // still up after the last step: its rescue button ended it
    QPointer<QWidget> window;
    Clock::time_point actedAt;
};

using Step = std::function<void(QWidget *)>;

class KeyboardTest : public AppTest {
  protected:
    void TearDown() override {
        for (auto &run : runs_)
            run->over = true;
        polls_.clear();
        RemovePopup(1); // a popup a failed test left up must not refuse the next test's input
        AppTest::TearDown();
    }

    // Once the next popup is up, it is activated and the steps act on its window one at a time,
    // with the event loop running between them, as an operator's keys arrive (the program waits
    // for the answer meanwhile). A popup still up after the deadline is ended by clicking its
    // button labelled `rescue`, and the run says it was stuck.
    std::shared_ptr<PopupRun> OnNextPopup(std::vector<Step> steps, QString rescue) {
        auto run = std::make_shared<PopupRun>();
        const auto deadline = Clock::now() + kPopupDeadline;
        auto poll = std::make_shared<std::function<void()>>();
        *poll = [run, steps, rescue, deadline, weak = std::weak_ptr<std::function<void()>>(poll)] {
            if (run->over) return;
            if (!run->seen) {
                QWidget *popup = QApplication::activeModalWidget();
                if (!popup || !popup->isVisible()) {
                    if (Clock::now() > deadline) return;
                } else if (Activate(popup)) {
                    run->seen = true;
                    run->window = popup;
                }
            } else if (!run->window || !run->window->isVisible()) {
                return; // answered (the steps left are not taken)
            } else if (run->stepsDone < steps.size()) {
                steps[run->stepsDone++](run->window);
                run->actedAt = Clock::now();
            } else if (Clock::now() > run->actedAt + kAnswerDeadline) {
                run->stuck = true;
                for (QPushButton *b : run->window->findChildren<QPushButton *>())
                    if (b->text() == rescue) b->click();
                return;
            }
            if (auto again = weak.lock()) RT_TestPost(*again, 10);
        };
        polls_.push_back(poll);
        runs_.push_back(run);
        RT_TestPost(*poll, 0);
        return run;
    }

    static Step Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        return [key, modifiers](QWidget *w) { Press(w, key, modifiers); };
    }
    static void CloseBox(QWidget *w) { w->close(); }

    // The controls the focus visits on the main panel with `count` presses of Tab.
    static std::vector<int> TabThrough(QWidget *window, int count,
                                       Qt::KeyboardModifiers modifiers) {
        std::vector<int> seen;
        for (int i = 0; i < count; ++i) {
            Press(window, Qt::Key_Tab, modifiers);
            seen.push_back(GetActiveCtrl(panelHandle));
        }
        return seen;
    }

    std::vector<std::shared_ptr<std::function<void()>>> polls_;
    std::vector<std::shared_ptr<PopupRun>> runs_;
};

TEST_F(KeyboardTest, TabWalksTheMainPanelInReadingOrderAndWrapsBothWays) {
    ASSERT_EQ(0, Start(1));
    QWidget *main = WindowOf(panelHandle);
    ASSERT_TRUE(Activate(main));
    // Left column, right column, then the two text boxes; the indicators are passed over.
    ASSERT_EQ(0, SetActiveCtrl(panelHandle, MAIN_ENTRY));
    EXPECT_EQ(TabThrough(main, 5, Qt::NoModifier),
              (std::vector<int>{MAIN_TCODE, MAIN_INFO, MAIN_NOTES, MAIN_ENTRY, MAIN_TCODE}));
    ASSERT_EQ(0, SetActiveCtrl(panelHandle, MAIN_ENTRY));
    EXPECT_EQ(TabThrough(main, 5, Qt::ShiftModifier),
              (std::vector<int>{MAIN_NOTES, MAIN_INFO, MAIN_TCODE, MAIN_ENTRY, MAIN_NOTES}));

    // After a record the notes box has the focus; Tab leaves it without a tab character, which
    // would otherwise split the notes column of the results log.
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.45")));
    ASSERT_EQ(MAIN_NOTES, GetActiveCtrl(panelHandle));
    ASSERT_TRUE(Activate(main));
    Press(main, Qt::Key_A);
    Press(main, Qt::Key_Tab);
    EXPECT_EQ(MAIN_ENTRY, GetActiveCtrl(panelHandle));
    EXPECT_EQ("a", TextOf(MAIN_NOTES));
    SetActiveCtrl(panelHandle, MAIN_NOTES);
    Press(main, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ("a", TextOf(MAIN_NOTES));
}

TEST_F(KeyboardTest, NoticesAndTheQuitQuestionAnswerEnterEscapeAndTheCloseBox) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return commStatus == 0; }));
    for (const Step &answer : {Key(Qt::Key_Escape), Key(Qt::Key_Return), Step(CloseBox)}) {
        auto about = OnNextPopup({answer}, "OK");
        ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_ABOUT));
        EXPECT_TRUE(about->seen);
        EXPECT_FALSE(about->stuck);
        EXPECT_EQ(PNL_ABOUT, LastPopupResource());
        EXPECT_EQ(0, RT_TestPopupDepth());
    }
    // Escape and the close box stay; Enter quits.
    for (const Step &answer : {Key(Qt::Key_Escape), Step(CloseBox)}) {
        auto quit = OnNextPopup({answer}, "Cancel");
        ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_EXIT));
        EXPECT_TRUE(quit->seen);
        EXPECT_FALSE(quit->stuck);
        EXPECT_EQ(PNL_QUIT, LastPopupResource());
        EXPECT_EQ(0, commStatus);
    }
    auto quit = OnNextPopup({Key(Qt::Key_Return)}, "Cancel");
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_EXIT));
    EXPECT_FALSE(quit->stuck);
    EXPECT_EQ(-1, commStatus);
    EXPECT_TRUE(RunUntilAppQuits());
}

TEST_F(KeyboardTest, SaveBeforeQuitGoesBackOnEscapeAndSavesOnEnter) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.45")));
    // The program does not wait in this popup: its buttons answer through their callback.
    for (const Step &answer : {Key(Qt::Key_Escape), Step(CloseBox)}) {
        ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_EXIT));
        ASSERT_EQ(1, RT_TestPopupDepth());
        QWidget *popup = WindowOf(SavePanelHandle);
        ASSERT_TRUE(Activate(popup));
        answer(popup);
        EXPECT_EQ(0, RT_TestPopupDepth()) << "still asking";
        if (RT_TestPopupDepth() > 0) RT_TestCommit(SavePanelHandle, SAVEQUIT_BACK);
        EXPECT_EQ(1, Save2Log);
        EXPECT_NE(-1, commStatus);
    }
    const std::string target = ProgPath("saved.txt");
    RT_TestAnswerFileDialog(target.c_str());
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_EXIT));
    QWidget *popup = WindowOf(SavePanelHandle);
    ASSERT_TRUE(Activate(popup));
    Press(popup, Qt::Key_Return);
    EXPECT_TRUE(Exists(target));
    EXPECT_EQ(-1, commStatus);
    EXPECT_TRUE(RunUntilAppQuits());
}

TEST_F(KeyboardTest, PortPopupTakesANumberWithEnterAndKeepsThePortOnEscape) {
    ASSERT_EQ(0, Start(1));
    RT_TestMapPort(2, pty_->devicePath().c_str());
    auto escape = OnNextPopup({Key(Qt::Key_Escape)}, "OK");
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_PORT));
    EXPECT_TRUE(escape->seen);
    EXPECT_FALSE(escape->stuck);
    EXPECT_EQ(1, HostConfig.ComPort);

    // The number field has the focus: select its text, type over it, Enter.
    auto typed = OnNextPopup(
        {Key(Qt::Key_A, Qt::ControlModifier), Key(Qt::Key_2), Key(Qt::Key_Enter)}, "OK");
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_PORT));
    EXPECT_EQ(3u, typed->stepsDone);
    EXPECT_FALSE(typed->stuck);
    EXPECT_EQ(2, HostConfig.ComPort);
}

// The first step of a walk through the language list: notes the language the list opens on.
Step NoteCurrentLanguage(std::string *shown) {
    return [shown](QWidget *w) {
        auto *list = qobject_cast<QListWidget *>(w->focusWidget());
        *shown = list && list->currentItem() ? list->currentItem()->text().toStdString() : "";
    };
}

TEST_F(KeyboardTest, LanguageListOpensOnTheLanguageInUseAndOnlyEnterChooses) {
    ASSERT_EQ(0, Start(1));
    if (!Exists(ProgPath("Spanish.lng"))) GTEST_SKIP() << "Spanish.lng not built";
    // English, then past Français to Español: the arrow keys must not choose on the way.
    std::string shownFirst;
    auto walk = OnNextPopup({NoteCurrentLanguage(&shownFirst), Key(Qt::Key_Down), Key(Qt::Key_Down),
                             Key(Qt::Key_Return)},
                            "OK");
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_LANGUAGE));
    EXPECT_EQ("English", shownFirst);
    EXPECT_EQ(4u, walk->stepsDone) << "an arrow key chose a language";
    EXPECT_FALSE(walk->stuck);
    EXPECT_EQ(3, HostConfig.Language);

    // Escape and the close box keep the language in use.
    for (const Step &answer : {Key(Qt::Key_Escape), Step(CloseBox)}) {
        auto kept = OnNextPopup({NoteCurrentLanguage(&shownFirst), answer}, "OK");
        ASSERT_EQ(0, RT_TestCommitMenuItem(GetPanelMenuBar(panelHandle), MENU_LANGUAGE));
        EXPECT_EQ("Español", shownFirst);
        EXPECT_FALSE(kept->stuck);
        EXPECT_EQ(3, HostConfig.Language);
    }
}

TEST_F(KeyboardTest, FirstStartPromptOpensOnTheSystemDefaultAndArrowsReachAnyLanguage) {
    // The prompt comes before the event loop runs: the application object must exist first.
    char name[] = "ks_app_test";
    char *argv[] = {name, nullptr};
    ASSERT_NE(0, InitRuntime(0, argv, 0));
    std::string shownFirst;
    auto prompt = OnNextPopup({NoteCurrentLanguage(&shownFirst), Key(Qt::Key_Down),
                               Key(Qt::Key_Down), Key(Qt::Key_Return)},
                              "OK");
    ASSERT_EQ(0, Start(-1));
    EXPECT_TRUE(prompt->seen);
    EXPECT_EQ(4u, prompt->stepsDone) << "an arrow key chose a language";
    EXPECT_FALSE(prompt->stuck);
    EXPECT_EQ("System default", shownFirst);
    EXPECT_EQ(2, HostConfig.Language);
}

TEST_F(KeyboardTest, MenuShortcutsWorkAfterARecordWhileTheNotesBoxHasTheFocus) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.45")));
    ASSERT_EQ(MAIN_NOTES, GetActiveCtrl(panelHandle));
    // No click first: the operator types on where the record left the keyboard.
    QWidget *main = WindowOf(panelHandle);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(RunUntil([main] { return main->isActiveWindow(); }, 2000))
        << "the main window did not get the keyboard back after the record";
    const std::string target = ProgPath("shortcut.txt");
    RT_TestAnswerFileDialog(target.c_str());
    Press(main, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(Exists(target));
    EXPECT_EQ(0, Save2Log);

    const std::string pdf = ProgPath("shortcut.pdf");
    RT_TestAnswerPrintDialog(1, pdf.c_str());
    Press(main, Qt::Key_P, Qt::ControlModifier);
    EXPECT_GT(FileSize(pdf), 0);

    Press(main, Qt::Key_F1);
    ASSERT_GT(readmePanelHandle, 0);
    EXPECT_TRUE(RT_TestGetPanelState(readmePanelHandle).displayed);
    EXPECT_EQ("", TextOf(MAIN_NOTES));
}

} // namespace

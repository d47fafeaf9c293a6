// The progress dialog on the real run-time, headless: geometry, clamping, the cancel latch, the
// break-on-library-errors switch, discarding, and creation failures that leave nothing behind.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include "platform/runtime.h"
#include "platform/testing.h"
#include "toolbox/ui/progress_dialog.h"
#include "toolbox/ui/progress_dialog_testing.h"
#include "ui_queries.h"

namespace {

constexpr int kPanelWidth = 328;

ProgressDialogData *recordOf(int panel) {
    void *data = nullptr;
    EXPECT_GE(GetPanelAttribute(panel, ATTR_CALLBACK_DATA, &data), 0);
    return static_cast<ProgressDialogData *>(data);
}

int panelAttr(int panel, int attribute) {
    int value = 0;
    EXPECT_GE(GetPanelAttribute(panel, attribute, &value), 0) << "attribute " << attribute;
    return value;
}

class ProgressDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { liveBefore_ = ProgressDialogTestLiveRecords(); }
    void TearDown() override {
        ProgressDialogTestFailStep(PD_STEP_NONE, 0);
        RemovePopup(1);
        RT_TestFlushDeletes();
        EXPECT_EQ(ProgressDialogTestLiveRecords(), liveBefore_)
            << "a progress record was not released";
    }
    int liveBefore_ = 0;
};

} // namespace

TEST_F(ProgressDialogTest, EmptyCancelLabelMakesAButtonOutsideTheCentredLayout) {
    const int panel = CreateProgressDialog("", "", 1, 2, "");
    ASSERT_GT(panel, 0);
    ProgressDialogData *record = recordOf(panel);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->panel, panel);
    ASSERT_GT(record->indicator, 0);
    ASSERT_GT(record->cancelButton, 0);
    EXPECT_EQ(record->cancelRequested, 0);

    const int bar = record->indicator;
    EXPECT_EQ(ctrlAttr(panel, bar, ATTR_WIDTH), 300);
    EXPECT_EQ(ctrlAttr(panel, bar, ATTR_HEIGHT), 14);
    EXPECT_EQ(ctrlAttr(panel, bar, ATTR_MIN_VALUE), 0);
    EXPECT_EQ(ctrlAttr(panel, bar, ATTR_MAX_VALUE), 100);
    EXPECT_EQ(ctrlAttr(panel, bar, ATTR_MARKER_STYLE), 2);

    // The bar sits centred in a box 28 pixels taller than itself, and the panel is that box.
    const Rect b = boundsOf(panel, bar);
    EXPECT_EQ(panelAttr(panel, ATTR_WIDTH), kPanelWidth);
    EXPECT_EQ(panelAttr(panel, ATTR_HEIGHT), b.height + 28);
    EXPECT_EQ(b.top, 14);
    EXPECT_EQ(b.left, (kPanelWidth - b.width) / 2);

    // The button exists, answers Escape, and lies wholly outside the panel.
    const int button = record->cancelButton;
    EXPECT_EQ(ctrlAttr(panel, button, ATTR_SHORTCUT_KEY), VAL_ESC_VKEY);
    const int top = ctrlAttr(panel, button, ATTR_TOP);
    const int left = ctrlAttr(panel, button, ATTR_LEFT);
    EXPECT_TRUE(top + ctrlAttr(panel, button, ATTR_HEIGHT) <= 0 ||
                left + ctrlAttr(panel, button, ATTR_WIDTH) <= 0)
        << "button at " << top << "," << left;

    RT_TestPanelState state = RT_TestGetPanelState(panel);
    EXPECT_TRUE(state.modal);
    EXPECT_EQ(state.popupLevel, RT_TestPopupDepth());
    DiscardProgressDialog(panel);
}

TEST_F(ProgressDialogTest, NullCancelLabelMakesNoButtonAndTextPlacesOneUnderTheBar) {
    const int none = CreateProgressDialog("Reading", "Progress", 0, 3, nullptr);
    ASSERT_GT(none, 0);
    ProgressDialogData *record = recordOf(none);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->cancelButton, 0);
    EXPECT_EQ(ctrlAttr(none, record->indicator, ATTR_MARKER_COUNT), 3); // marker style 3 only
    int next = -1;
    ASSERT_GE(GetCtrlAttribute(none, record->indicator, ATTR_NEXT_CTRL, &next), 0);
    int first = -1;
    ASSERT_GE(GetPanelAttribute(none, ATTR_PANEL_FIRST_CTRL, &first), 0);
    EXPECT_EQ(first, record->indicator);
    EXPECT_EQ(next, 0) << "the bar is the only control";
    const Rect labelled = boundsOf(none, record->indicator);
    EXPECT_EQ(panelAttr(none, ATTR_HEIGHT), labelled.height + 28);
    EXPECT_EQ(labelled.top, 14);
    // The label sits above the bar with a 4-pixel gap.
    EXPECT_EQ(ctrlAttr(none, record->indicator, ATTR_TOP),
              ctrlAttr(none, record->indicator, ATTR_LABEL_HEIGHT) + 18);
    EXPECT_EQ(ctrlAttr(none, record->indicator, ATTR_LABEL_TOP), 14);
    RT_TestPanelState state = RT_TestGetPanelState(none);
    EXPECT_TRUE(state.displayed);
    EXPECT_FALSE(state.modal);
    EXPECT_EQ(state.title, "Reading");
    DiscardProgressDialog(none);

    const int with = CreateProgressDialog("", "", 0, 2, "Stop");
    ASSERT_GT(with, 0);
    record = recordOf(with);
    ASSERT_NE(record, nullptr);
    const int button = record->cancelButton;
    ASSERT_GT(button, 0);
    const int boxHeight = boundsOf(with, record->indicator).height + 28;
    const int bh = ctrlAttr(with, button, ATTR_HEIGHT);
    const int bw = ctrlAttr(with, button, ATTR_WIDTH);
    EXPECT_EQ(ctrlAttr(with, button, ATTR_TOP), boxHeight);
    EXPECT_EQ(ctrlAttr(with, button, ATTR_LEFT), kPanelWidth / 2 - bw / 2);
    EXPECT_EQ(panelAttr(with, ATTR_HEIGHT), boxHeight + 14 + bh);
    DiscardProgressDialog(with);
}

TEST_F(ProgressDialogTest, UpdatesClampToTheBarsRange) {
    const int panel = CreateProgressDialog("", "", 0, 2, nullptr);
    ASSERT_GT(panel, 0);
    const int bar = recordOf(panel)->indicator;
    for (auto [given, shown] : {std::pair{150, 100}, {-5, 0}, {42, 42}, {100, 100}, {0, 0}}) {
        EXPECT_EQ(UpdateProgressDialog(panel, given, 0), 0);
        int value = -1;
        ASSERT_EQ(GetCtrlVal(panel, bar, &value), 0);
        EXPECT_EQ(value, shown) << "update with " << given;
    }
    DiscardProgressDialog(panel);
}

TEST_F(ProgressDialogTest, CancelPressIsReportedOnceByTheNextUpdate) {
    const int panel = CreateProgressDialog("", "", 1, 2, "Cancel");
    ASSERT_GT(panel, 0);
    const int button = recordOf(panel)->cancelButton;
    EXPECT_EQ(UpdateProgressDialog(panel, 10, 0), 0);

    ASSERT_EQ(RT_TestCommit(panel, button), 0);
    ASSERT_EQ(RT_TestCommit(panel, button), 0); // two presses before an update: still one report
    EXPECT_EQ(UpdateProgressDialog(panel, 20, 0), 1);
    EXPECT_EQ(UpdateProgressDialog(panel, 30, 0), 0);

    // A press that arrives while the update processes events.
    RT_TestPost([panel, button] { RT_TestCommit(panel, button); });
    EXPECT_EQ(UpdateProgressDialog(panel, 40, 1), 1);
    EXPECT_EQ(UpdateProgressDialog(panel, 50, 1), 0);

    // Events other than a commit leave the latch alone.
    EXPECT_EQ(ProgressDialogCancelCB(panel, button, EVENT_GOT_FOCUS, recordOf(panel), 0, 0), 0);
    EXPECT_EQ(ProgressDialogCancelCB(panel, button, EVENT_COMMIT, nullptr, 0, 0), 0);
    EXPECT_EQ(UpdateProgressDialog(panel, 60, 0), 0);
    DiscardProgressDialog(panel);
}

TEST_F(ProgressDialogTest, EscapePressesTheButtonOutsideTheVisibleArea) {
    const int panel = CreateProgressDialog("Escape", "", 1, 2, "");
    ASSERT_GT(panel, 0);
    QWidget *window = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == "Escape") window = w;
    ASSERT_NE(window, nullptr);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
    // A shortcut animates the click, which lands a moment later: keep updating until it does.
    int result = 0;
    QElapsedTimer waited;
    waited.start();
    while (result == 0 && waited.elapsed() < 3000) {
        QTest::qWait(10);
        result = UpdateProgressDialog(panel, 50, 1);
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(UpdateProgressDialog(panel, 60, 1), 0);
    DiscardProgressDialog(panel);
}

TEST_F(ProgressDialogTest, BreakOnLibraryErrorsIsOffInsideAndRestoredAfter) {
    for (int initial : {1, 0}) {
        if (initial)
            EnableBreakOnLibraryErrors();
        else
            DisableBreakOnLibraryErrors();
        const int panel = CreateProgressDialog("", "", 0, 2, "");
        ASSERT_GT(panel, 0);
        EXPECT_EQ(GetBreakOnLibraryErrors(), initial);
        int seenInside = -1;
        RT_TestPost([&seenInside] { seenInside = GetBreakOnLibraryErrors(); });
        UpdateProgressDialog(panel, 5, 1);
        EXPECT_EQ(seenInside, 0);
        EXPECT_EQ(GetBreakOnLibraryErrors(), initial);
        EXPECT_LT(UpdateProgressDialog(99999, 5, 0), 0); // a failing call inside
        EXPECT_EQ(GetBreakOnLibraryErrors(), initial);
        DiscardProgressDialog(panel);
        EXPECT_EQ(GetBreakOnLibraryErrors(), initial);
    }
    DisableBreakOnLibraryErrors();
}

TEST_F(ProgressDialogTest, DiscardTwiceAndForeignOrStalePanels) {
    const int panel = CreateProgressDialog("", "", 1, 2, "");
    ASSERT_GT(panel, 0);
    DiscardProgressDialog(panel);
    RT_TestFlushDeletes();
    EXPECT_FALSE(RT_TestGetPanelState(panel).exists);
    DiscardProgressDialog(panel); // finds no callback data: nothing happens
    EXPECT_LT(UpdateProgressDialog(panel, 50, 0), 0);
    EXPECT_EQ(UpdateProgressDialog(0, 50, 0), 0);
    EXPECT_EQ(UpdateProgressDialog(-7, 50, 0), 0);
    DiscardProgressDialog(0);
    DiscardProgressDialog(-7);

    // A panel that is not a progress dialog: no record, and its own callback data is not touched.
    const int foreign = NewPanel(0, "Other", 0, 0, 50, 50);
    ASSERT_GT(foreign, 0);
    EXPECT_EQ(UpdateProgressDialog(foreign, 50, 0), 0);
    int owned = 1234;
    ASSERT_GE(SetPanelAttribute(foreign, ATTR_CALLBACK_DATA, static_cast<void *>(&owned)), 0);
    EXPECT_EQ(UpdateProgressDialog(foreign, 50, 0), 0);
    DiscardProgressDialog(foreign);
    EXPECT_TRUE(RT_TestGetPanelState(foreign).exists);
    EXPECT_EQ(owned, 1234);
    DiscardPanel(foreign);

    // A dialog discarded by a callback while an update processes events.
    const int dialog = CreateProgressDialog("", "", 0, 2, "x");
    ASSERT_GT(dialog, 0);
    const int button = recordOf(dialog)->cancelButton;
    RT_TestPost([dialog, button] {
        RT_TestCommit(dialog, button);
        DiscardProgressDialog(dialog);
    });
    EXPECT_EQ(UpdateProgressDialog(dialog, 5, 1), 0);
}

TEST_F(ProgressDialogTest, CreationFailurePartWayLeavesNothingBehind) {
    const int steps[] = {PD_STEP_NEW_PANEL,       PD_STEP_CLOSE_BOX, PD_STEP_SIZABLE,
                         PD_STEP_CALLBACK_DATA,   PD_STEP_NEW_BAR,   PD_STEP_NEW_BUTTON,
                         PD_STEP_BUTTON_CALLBACK, PD_STEP_CENTER};
    const int depthBefore = RT_TestPopupDepth();
    for (int step : steps) {
        ProgressDialogTestFailStep(step, RT_ERR_INVALID_VALUE);
        EXPECT_EQ(CreateProgressDialog("t", "l", 1, 2, "Cancel"), RT_ERR_INVALID_VALUE)
            << "step " << step;
        const int built = ProgressDialogTestLastPanel();
        ASSERT_GT(built, 0) << "step " << step;
        RT_TestFlushDeletes();
        EXPECT_FALSE(RT_TestGetPanelState(built).exists) << "step " << step;
        EXPECT_EQ(ProgressDialogTestLiveRecords(), liveBefore_) << "step " << step;
        EXPECT_EQ(RT_TestPopupDepth(), depthBefore) << "step " << step;
    }
    ProgressDialogTestFailStep(PD_STEP_NONE, 0);
    const int panel = CreateProgressDialog("", "", 1, 2, "");
    EXPECT_GT(panel, 0);
    DiscardProgressDialog(panel);
}

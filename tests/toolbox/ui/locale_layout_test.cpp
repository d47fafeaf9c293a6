// Locale and layout helpers on the real run-time, headless: label placement, the id list,
// centring, the decimal separator and the date in a fixed locale and clock.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdarg>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/runtime.h"
#include "platform/testing.h"
#include "tests/support/locale.h"
#include "tests/support/temp_dir.h"
#include "ui_queries.h"
#include "toolbox/core/list_testing.h"
#include "toolbox/ui/locale_layout.h"

namespace {

// A panel of numerics with labels of different lengths, discarded at the end of the test.
class LayoutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        panel_ = NewPanel(0, "Layout", 0, 0, 400, 600);
        ASSERT_GT(panel_, 0);
    }
    void TearDown() override { DiscardPanel(panel_); }
    int addNumeric(const char *label, int top, int left) {
        int id = NewCtrl(panel_, CTRL_NUMERIC, label, top, left);
        EXPECT_GT(id, 1);
        return id;
    }
    // Where PutLabelOnLeft must have put the label: ending `gap` pixels before the control,
    // centred vertically on it.
    void expectLabelOnLeft(int control, int gap) {
        const int left = ctrlAttr(panel_, control, ATTR_LEFT);
        const int width = ctrlAttr(panel_, control, ATTR_LABEL_WIDTH);
        EXPECT_EQ(ctrlAttr(panel_, control, ATTR_LABEL_LEFT), left - width - gap)
            << "control " << control;
        const int top = ctrlAttr(panel_, control, ATTR_TOP);
        const int height = ctrlAttr(panel_, control, ATTR_HEIGHT);
        const int labelTop = ctrlAttr(panel_, control, ATTR_LABEL_TOP);
        const int labelHeight = ctrlAttr(panel_, control, ATTR_LABEL_HEIGHT);
        EXPECT_LE(std::abs((2 * labelTop + labelHeight) - (2 * top + height)), 1)
            << "control " << control;
    }
    int panel_ = 0;
};

} // namespace

TEST_F(LayoutTest, PutLabelOnLeftEndsTheLabelAtTheGap) {
    for (int gap : {0, 5}) {
        const int control = addNumeric("Cold cranking amps", 120, 200);
        const int width = ctrlAttr(panel_, control, ATTR_LABEL_WIDTH);
        ASSERT_GT(width, 0);
        ASSERT_EQ(PutLabelOnLeft(panel_, control, gap), 0);
        EXPECT_EQ(ctrlAttr(panel_, control, ATTR_LABEL_LEFT), 200 - width - gap);
        expectLabelOnLeft(control, gap);
        // The label lies wholly left of the control now.
        const Rect b = boundsOf(panel_, control);
        EXPECT_EQ(b.left, 200 - width - gap);
    }
    EXPECT_LT(PutLabelOnLeft(panel_, 999, 0), 0);
    EXPECT_LT(PutLabelOnLeft(-1, 2, 0), 0);
}

TEST_F(LayoutTest, PutLabelsOnLeftTakesTheCountOrRunsToTheTerminator) {
    std::vector<int> ids;
    const char *labels[] = {"Entry",   "Test code", "Vehicle", "Set point", "Measured",
                            "Voltage", "Rating",    "Result",  "Notes",     "Untouched"};
    for (int i = 0; i < 10; ++i)
        ids.push_back(addNumeric(labels[i], 10 + 30 * i, 250));
    const int untouched = ids[9];
    const int untouchedLabelLeft = ctrlAttr(panel_, untouched, ATTR_LABEL_LEFT);

    ASSERT_EQ(PutLabelsOnLeft(panel_, 0, 9, ids[0], ids[1], ids[2], ids[3], ids[4], ids[5], ids[6],
                              ids[7], ids[8], untouched),
              0);
    for (int i = 0; i < 9; ++i)
        expectLabelOnLeft(ids[static_cast<size_t>(i)], 0);
    EXPECT_EQ(ctrlAttr(panel_, untouched, ATTR_LABEL_LEFT), untouchedLabelLeft)
        << "a count of 9 takes nine ids";

    // Count 0: the ids run up to a terminating id of 1 or less.
    ASSERT_EQ(PutLabelsOnLeft(panel_, 5, 0, ids[0], ids[1], 1, untouched), 0);
    expectLabelOnLeft(ids[0], 5);
    expectLabelOnLeft(ids[1], 5);
    expectLabelOnLeft(ids[2], 0);
    EXPECT_EQ(ctrlAttr(panel_, untouched, ATTR_LABEL_LEFT), untouchedLabelLeft);
    ASSERT_EQ(PutLabelsOnLeft(panel_, 5, 0, 0, untouched), 0);
    EXPECT_EQ(ctrlAttr(panel_, untouched, ATTR_LABEL_LEFT), untouchedLabelLeft);
    // A small id ends a counted list early too.
    ASSERT_EQ(PutLabelsOnLeft(panel_, 5, 3, ids[2], -4, untouched), 0);
    expectLabelOnLeft(ids[2], 5);
    EXPECT_EQ(ctrlAttr(panel_, untouched, ATTR_LABEL_LEFT), untouchedLabelLeft);

    // The first failing control stops the walk: those before it are laid out, those after not.
    const int before = ctrlAttr(panel_, ids[4], ATTR_LABEL_LEFT);
    EXPECT_LT(PutLabelsOnLeft(panel_, 7, 3, ids[3], 999, ids[4]), 0);
    expectLabelOnLeft(ids[3], 7);
    EXPECT_EQ(ctrlAttr(panel_, ids[4], ATTR_LABEL_LEFT), before);
}

namespace {
int buildList(int count, ListHandle *list, ...) {
    va_list args;
    va_start(args, list);
    int status = GetIntListFromParmInfo(args, count, list);
    va_end(args);
    return status;
}
std::vector<int> items(ListHandle list) {
    std::vector<int> out(static_cast<size_t>(ListNumItems(list)));
    if (!out.empty()) ListGetItems(list, out.data(), 1, ListNumItems(list));
    return out;
}
} // namespace

TEST(IntListFromParmInfo, StopsAtTheCountOrTheFirstSmallIdAndReportsMemoryFailure) {
    ListHandle list = nullptr;
    ASSERT_EQ(buildList(0, &list, 5, 6, 7, 1, 8), 0);
    EXPECT_EQ(items(list), (std::vector<int>{5, 6, 7}));
    ListDispose(list);
    ASSERT_EQ(buildList(2, &list, 5, 6, 7), 0);
    EXPECT_EQ(items(list), (std::vector<int>{5, 6}));
    ListDispose(list);
    ASSERT_EQ(buildList(4, &list, 5, 0, 7, 8), 0);
    EXPECT_EQ(items(list), (std::vector<int>{5}));
    ListDispose(list);
    ASSERT_EQ(buildList(0, &list, -1), 0);
    EXPECT_EQ(ListNumItems(list), 0);
    ListDispose(list);
    EXPECT_EQ(buildList(0, nullptr, 5, 0), RT_ERR_NULL_POINTER);

    ListTestFailAllocations(0, 1); // the list itself
    list = reinterpret_cast<ListHandle>(&list);
    EXPECT_EQ(buildList(0, &list, 5, 0), -12);
    EXPECT_EQ(list, nullptr);
    ListTestFailAllocations(2, 1); // its first growth (record and block come first)
    list = reinterpret_cast<ListHandle>(&list);
    EXPECT_EQ(buildList(0, &list, 5, 6, 0), -12);
    EXPECT_EQ(list, nullptr);
    ListTestFailAllocations(0, 0);
    ASSERT_EQ(PutLabelsOnLeft(-1, 0, 1, 5), RT_ERR_INVALID_PANEL);
}

TEST_F(LayoutTest, CenterCtrlCentresControlAndLabelTogether) {
    // A label above its control (the default placement), wider than the control.
    const int control =
        NewCtrl(panel_, CTRL_NUMERIC, "A label much wider than its control", 300, 400);
    ASSERT_GT(control, 0);
    ASSERT_GE(SetCtrlAttribute(panel_, control, ATTR_WIDTH, 40), 0);
    const Rect before = boundsOf(panel_, control);
    ASSERT_LT(before.top, ctrlAttr(panel_, control, ATTR_TOP)) << "label above the control";
    ASSERT_GT(before.width, 40);

    for (int extra : {0, 1}) { // even, then odd differences
        const int top = 20, left = 30;
        const int height = before.height + 40 + extra;
        const int width = before.width + 60 + extra;
        ASSERT_EQ(CenterCtrl(panel_, control, top, left, height, width), 0);
        const Rect after = boundsOf(panel_, control);
        EXPECT_EQ(after.height, before.height);
        EXPECT_EQ(after.width, before.width);
        EXPECT_EQ(after.top - top, 20) << "extra " << extra;
        EXPECT_EQ(after.left - left, 30) << "extra " << extra;
        // The odd pixel goes below and to the right.
        EXPECT_EQ(top + height - (after.top + after.height), 20 + extra);
        EXPECT_EQ(left + width - (after.left + after.width), 30 + extra);
    }
    // A rectangle smaller than the control still centres it (negative offsets).
    ASSERT_EQ(CenterCtrl(panel_, control, 100, 100, 0, 0), 0);
    const Rect small = boundsOf(panel_, control);
    EXPECT_EQ(small.top, 100 - before.height / 2);
    EXPECT_EQ(small.left, 100 - before.width / 2);
    EXPECT_LT(CenterCtrl(panel_, 999, 0, 0, 10, 10), 0);
}

TEST_F(LayoutTest, CenterCtrlMovesALabelPutOnTheLeftWithItsControl) {
    // The label placed by PutLabelOnLeft keeps its place beside the control: the rectangle of
    // both lands where the centring puts it, and the label still ends at the control.
    const int control = addNumeric("State of charge", 200, 300);
    ASSERT_EQ(PutLabelOnLeft(panel_, control, 0), 0);
    const Rect before = boundsOf(panel_, control);
    ASSERT_LT(before.left, ctrlAttr(panel_, control, ATTR_LEFT)) << "label left of the control";
    ASSERT_EQ(CenterCtrl(panel_, control, 1, 1, before.height, before.width), 0);
    const Rect after = boundsOf(panel_, control);
    EXPECT_EQ(after.top, 1);
    EXPECT_EQ(after.left, 1);
    EXPECT_EQ(after.height, before.height);
    EXPECT_EQ(after.width, before.width);
    expectLabelOnLeft(control, 0);

    // With room around it, centred with the odd pixel below and to the right.
    ASSERT_EQ(CenterCtrl(panel_, control, 10, 20, before.height + 41, before.width + 61), 0);
    const Rect centred = boundsOf(panel_, control);
    EXPECT_EQ(centred.top, 30);
    EXPECT_EQ(centred.left, 50);
    expectLabelOnLeft(control, 0);
}

TEST(LocalizeNumber, UsesTheOperatorsDecimalSeparator) {
    // As at start-up: follow the operator's separator.
    ASSERT_EQ(SetSystemAttribute(ATTR_SYS_USE_LOCALIZED_DECIMAL_SYMBOL, 1), 0);
    char text[32] = "12.450000";
    RT_TestSetDecimalSeparator(',');
    LocalizeNumberString(text);
    EXPECT_STREQ(text, "12,450000");
    char several[] = "1.5\t2.25\t.";
    LocalizeNumberString(several);
    EXPECT_STREQ(several, "1,5\t2,25\t,");
    char plain[] = "1200";
    LocalizeNumberString(plain);
    EXPECT_STREQ(plain, "1200");
    LocalizeNumberString(nullptr);

    RT_TestSetDecimalSeparator('.');
    char same[] = "12.450000";
    LocalizeNumberString(same);
    EXPECT_STREQ(same, "12.450000");

    // Without the localized symbol the run-time reports '.', whatever the operator's is.
    RT_TestSetDecimalSeparator(',');
    ASSERT_EQ(SetSystemAttribute(ATTR_SYS_USE_LOCALIZED_DECIMAL_SYMBOL, 0), 0);
    LocalizeNumberString(same);
    EXPECT_STREQ(same, "12.450000");
    RT_TestSetDecimalSeparator(0);
}

namespace {

// Sets (or with nullptr unsets) an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char *name, const char *value) : name_(name) {
        if (const char *old = std::getenv(name)) old_ = old, hadOld_ = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
        tzset();
    }
    ~ScopedEnv() {
        if (hadOld_)
            setenv(name_.c_str(), old_.c_str(), 1);
        else
            unsetenv(name_.c_str());
        tzset();
    }

  private:
    std::string name_, old_;
    bool hadOld_ = false;
};

// 2026-12-07 23:30:00 UTC: still the 7th in UTC, already the 8th east of it.
constexpr long long kFixedTime = 1796686200;

class DateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RT_TestClock clock;
        clock.currentTime = [] { return kFixedTime; };
        RT_TestSetClock(clock);
        std::setlocale(LC_TIME, "C");
    }
    void TearDown() override {
        RT_TestResetClock();
        std::setlocale(LC_TIME, "C");
    }
};

} // namespace

TEST_F(DateTest, DateOfTheFixedClockInTheOperatorsLocale) {
    ScopedEnv tz("TZ", "UTC");
    ScopedEnv all("LC_ALL", nullptr);
    ScopedEnv lcTime("LC_TIME", "C.UTF-8");
    char date[256];
    ASSERT_EQ(InternationalDate(date, sizeof date), 8);
    EXPECT_STREQ(date, "12/07/26");
    EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), "C") << "the time locale is put back";

    {
        ScopedEnv east("TZ", "UTC-02");
        ASSERT_EQ(InternationalDate(date, sizeof date), 8);
        EXPECT_STREQ(date, "12/08/26") << "the date is local";
    }

    // Too small: nothing written, result 0.
    char tiny[8];
    std::memset(tiny, 'x', sizeof tiny);
    EXPECT_EQ(InternationalDate(tiny, sizeof tiny), 0);
    EXPECT_STREQ(tiny, "");
    EXPECT_EQ(InternationalDate(nullptr, 10), 0);
    EXPECT_EQ(InternationalDate(date, 0), 0);
}

TEST_F(DateTest, DateFollowsAGermanLocaleWhenOneCanBeBuilt) {
    // Build a German locale into a private folder (LOCPATH) so the test does not depend on which
    // locales the machine has generated.
    const ks_test::TempDir folder;
    const bool built = ks_test::compileLocale(folder.path(), "de_DE");
    if (built) {
        ScopedEnv path("LOCPATH", folder.path().c_str());
        ScopedEnv tz("TZ", "UTC");
        ScopedEnv all("LC_ALL", "de_DE.UTF-8");
        char date[256];
        EXPECT_EQ(InternationalDate(date, sizeof date), 10);
        EXPECT_STREQ(date, "07.12.2026");
        EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), "C");
    }
    if (!built) GTEST_SKIP() << "localedef or the de_DE locale source is not available";
}

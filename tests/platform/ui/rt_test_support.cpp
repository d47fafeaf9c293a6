#include "rt_test_support.h"

#include "tests/support/paths.h"

namespace rtt {

Log &log() {
    static Log l;
    return l;
}

namespace {

int AllCtrlCB(int panel, int control, int event, void *, int, int) {
    log().ctrl.push_back({panel, control, event});
    return 0;
}
int AllPanelCB(int panel, int event, void *, int, int) {
    log().panel.push_back({panel, 0, event});
    return 0;
}
void AllMenuCB(int menuBar, int item, void *, int) {
    log().menu.push_back({menuBar, item, EVENT_COMMIT});
}

const RT_Callback kCallbacks[] = {
    {"AllCtrlCB", RT_CTRL_CALLBACK, reinterpret_cast<void *>(AllCtrlCB)},
    {"AllPanelCB", RT_PANEL_CALLBACK, reinterpret_cast<void *>(AllPanelCB)},
    {"AllMenuCB", RT_MENU_CALLBACK, reinterpret_cast<void *>(AllMenuCB)},
};

} // namespace

std::string dataFile(const char *name) {
    return ks_test::sourcePath(std::string("tests/platform/ui/data/") + name);
}

void RuntimeTest::SetUp() {
    static bool started = false;
    if (!started) {
        RT_RegisterCallbacks(kCallbacks, static_cast<int>(std::size(kCallbacks)));
        ASSERT_EQ(InitRuntime(0, nullptr, 0), 1);
        started = true;
    }
    log().clear();
}

void RuntimeTest::TearDown() {
    InstallMainCallback(nullptr, nullptr, 0);
    SetIdleEventRate(0);
    RemovePopup(1);
    RT_TestClearAnswers();
    for (int p : panels_)
        DiscardPanel(p);
    panels_.clear();
    RT_AllowUnboundCallbacks(0);
    RT_TestFlushDeletes();
    // Commits left unread by a test must not leak into the next one.
    while (GetUserEvent(0, nullptr, nullptr) == EVENT_COMMIT) {
    }
}

int RuntimeTest::load(int id, const char *file) {
    const std::string path = file ? std::string(file) : dataFile("all_styles.ui.json");
    int panel = LoadPanel(0, path.c_str(), id);
    if (panel > 0) panels_.push_back(panel);
    return panel;
}

} // namespace rtt

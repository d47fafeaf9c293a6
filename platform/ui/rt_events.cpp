// Start-up, the event loop, event delivery, popups and the operator's session.
// See platform/runtime.h for the entry points.
#include "platform/ui/rt_model.h"
#include "platform/ui/rt_testing_hooks.h"
#include "platform/ui/rt_style.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <cstdio>
#include <deque>
#include <sys/socket.h>
#include <unistd.h>

#include "toolbox/core/toolbox.h"

namespace rt {
namespace {

// Idle pacing: at the rate "as often as possible" idle events start at most every kIdlePaceMs,
// so a main callback that returns at once (or fails fast, over and over) never spins a core,
// while one that blocks longer in a read is called again at once.
constexpr int kIdlePaceMs = 10;
constexpr size_t kMaxQueuedCommits = 64;
// Signals delivered as the end-task event.
constexpr int kEndTaskSignals[] = {SIGINT, SIGHUP, SIGTERM};

struct Commit {
    int handle;
    int item;
};

struct State {
    const RT_Callback *callbacks = nullptr;
    int callbackCount = 0;
    bool allowUnbound = false;

    MainCallbackPtr mainCallback = nullptr;
    void *mainData = nullptr;
    bool idleEvents = false;
    bool inMainCallback = false;
    int idleRate = 0;
    QTimer *idleTimer = nullptr;
    int wakePort = 0;             // idle events paced by this serial port (0: by idleRate)
    int wakeIntervalMs = 0;       // the longest gap between two of them then
    bool wakeWhileInMain = false; // bytes arrived while the main callback ran

    std::vector<int> popups;
    int activePanel = 0;
    std::deque<Commit> commits;
    std::vector<QEventLoop *> waitLoops;
    std::vector<QEventLoop *> runLoops;
    bool pendingQuit = false;
    int quitCode = 0;

    bool waitCursor = false;
    bool breakOnLibraryErrors = true;
    int useLocalDecimal = 0;
    int beeps = 0;

    int signalPipe[2] = {-1, -1};
    QSocketNotifier *signalNotifier = nullptr;
};

State &S() {
    static State s;
    return s;
}

void scheduleIdle(int delayMs) {
    State &s = S();
    if (!s.idleTimer) return;
    if (s.mainCallback && s.idleEvents)
        s.idleTimer->start(delayMs);
    else
        s.idleTimer->stop();
}

// Bytes arrived on the wake port: the main callback hears of it now, or when it is free again.
void onComArrival(void *) {
    State &s = S();
    if (s.inMainCallback) {
        s.wakeWhileInMain = true;
        return;
    }
    scheduleIdle(0);
}

// The delay to the idle event after one that took elapsedMs.
int nextIdleDelay(qint64 elapsedMs) {
    State &s = S();
    const int paced = static_cast<int>(std::max<qint64>(0, kIdlePaceMs - elapsedMs));
    if (s.wakePort > 0) {
        const bool more = s.wakeWhileInMain || GetInQLen(s.wakePort) > 0;
        s.wakeWhileInMain = false;
        return more ? paced : s.wakeIntervalMs;
    }
    return s.idleRate == 0 ? paced : s.idleRate;
}

void callMain(int handle, int control, int event, int d1, int d2) {
    State &s = S();
    // The main callback is never re-entered: an event that arrives while it runs (for example
    // from ProcessSystemEvents inside it) is not shown to it.
    if (!s.mainCallback || s.inMainCallback) return;
    s.inMainCallback = true;
    s.mainCallback(handle, control, event, s.mainData, d1, d2);
    s.inMainCallback = false;
}

long gIdleWakeups = 0;

void onIdle() {
    ++gIdleWakeups;
    State &s = S();
    if (!s.mainCallback || !s.idleEvents) return;
    int next = s.idleRate;
    if (s.inMainCallback) {
        // A nested loop inside the main callback (a popup it waits for): nothing to deliver,
        // so look again later instead of spinning.
        next = std::max(next, kIdlePaceMs);
    } else {
        QElapsedTimer t;
        t.start();
        callMain(0, 0, EVENT_IDLE, 0, 0);
        // Panels the callback discarded (a progress dialog per record) are deleted now: once a
        // ProcessSystemEvents inside the callback has passed over their deferred deletion, Qt
        // keeps postponing it and the windows pile up.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        next = nextIdleDelay(t.elapsed());
    }
    scheduleIdle(next);
}

void queueCommit(int handle, int item) {
    State &s = S();
    if (s.commits.size() >= kMaxQueuedCommits) s.commits.pop_front();
    s.commits.push_back({handle, item});
    for (QEventLoop *loop : s.waitLoops)
        loop->quit();
}

// The main panel for a request to end the session: the first top-level panel that is
// displayed and has a callback.
int mainPanel() {
    for (auto &[handle, p] : panels())
        if (!p->parent && p->displayed && p->callback) return handle;
    return 0;
}

void endTask() {
    if (int panel = mainPanel())
        panelEvent(panel, EVENT_END_TASK);
    else
        QuitUserInterface(0);
}

extern "C" void onTerminateSignal(int) {
    // Only async-signal-safe work here: the event loop picks the byte up.
    const char byte = 1;
    if (S().signalPipe[1] >= 0) (void)!write(S().signalPipe[1], &byte, 1);
}

void installSignalHandling() {
    State &s = S();
    if (s.signalNotifier) return;
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, s.signalPipe) != 0) return;
    s.signalNotifier = new QSocketNotifier(s.signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(s.signalNotifier, &QSocketNotifier::activated, qApp, [] {
        char buffer[16];
        (void)!read(S().signalPipe[0], buffer, sizeof buffer);
        endTask();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminateSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // An interrupt from the terminal, a hang-up of the session and a termination request all ask
    // the program to end as the desktop's end of session does: the application decides (and
    // logs what is pending) instead of being killed at once.
    for (int signalNumber : kEndTaskSignals)
        sigaction(signalNumber, &action, nullptr);
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp,
                     [](QSessionManager &) { endTask(); });
}

void assertReporter(const char *title, const char *message) {
    // Headless runs (tests, tools) have nobody to click a message box away.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        std::fprintf(stderr, "%s: %s\n", title, message);
        return;
    }
    MessagePopup(title, message);
}

} // namespace

bool inputAllowed(int panel) {
    State &s = S();
    if (s.popups.empty()) return findPanel(panel) != nullptr;
    const int top = s.popups.back();
    for (Panel *p = findPanel(panel); p; p = findPanel(p->parent))
        if (p->handle == top) return true;
    return false;
}

void ctrlEvent(int panel, int control, int event, int d1, int d2) {
    callMain(panel, control, event, d1, d2);
    Panel *p = findPanel(panel);
    Control *c = p ? findControl(*p, control) : nullptr;
    if (c && c->callback) c->callback(panel, control, event, c->callbackData, d1, d2);
    if (event == EVENT_COMMIT) queueCommit(panel, control);
}

void panelEvent(int panel, int event, int d1, int d2) {
    callMain(panel, 0, event, d1, d2);
    Panel *p = findPanel(panel);
    if (p && p->callback) p->callback(panel, event, p->callbackData, d1, d2);
}

void menuCommit(int menuBar, int item) {
    MenuBar *m = findMenuBar(menuBar);
    if (!m) return;
    const int panel = m->panel;
    callMain(menuBar, item, EVENT_COMMIT, 0, 0);
    m = findMenuBar(menuBar);
    if (m) {
        auto it = m->nodes.find(item);
        if (it != m->nodes.end() && it->second.callback)
            it->second.callback(menuBar, item, it->second.callbackData, panel);
    }
    queueCommit(menuBar, item);
}

void setActivePanel(int panel) {
    S().activePanel = panel;
}
int popupLevel(int panel) {
    const auto &v = S().popups;
    for (size_t i = 0; i < v.size(); ++i)
        if (v[i] == panel) return static_cast<int>(i + 1);
    return 0;
}
int popupDepth() {
    return static_cast<int>(S().popups.size());
}
int activePanel() {
    return S().activePanel;
}

void forgetPanel(int panel) {
    State &s = S();
    std::erase(s.popups, panel);
    if (s.activePanel == panel) s.activePanel = s.popups.empty() ? 0 : s.popups.back();
}

int bindCallback(const QString &name, RT_CallbackKind kind, void **function) {
    *function = nullptr;
    if (name.isEmpty()) return 0;
    const State &s = S();
    const QByteArray key = name.toUtf8();
    for (int i = 0; i < s.callbackCount; ++i) {
        const RT_Callback &cb = s.callbacks[i];
        if (cb.name && cb.kind == kind && key == cb.name) {
            *function = cb.function;
            return 0;
        }
    }
    return s.allowUnbound ? 0 : RT_ERR_UNKNOWN_CALLBACK;
}

int beepCount() {
    return S().beeps;
}
long idleWakeups() {
    return gIdleWakeups;
}

} // namespace rt

using namespace rt;

// ---- Start and loop ---------------------------------------------------------------------------

int RT_RegisterCallbacks(const RT_Callback *table, int count) {
    if (count < 0 || (count > 0 && !table)) return RT_ERR_NULL_POINTER;
    S().callbacks = table;
    S().callbackCount = count;
    return 0;
}

void RT_AllowUnboundCallbacks(int allow) {
    S().allowUnbound = allow != 0;
}

int InitRuntime(int, char **argv, int) {
    if (runtimeReady()) return 1;
    if (QCoreApplication::instance()) return 0; // another kind of application object exists
    static int argc = 1;
    static char name[] = "ks_read";
    static char *fallback[] = {name, nullptr};
    static char **args = argv && argv[0] ? argv : fallback;
    if (args != fallback) {
        argc = 0;
        while (args[argc])
            ++argc;
    }
    startFontWarmUp();
    new QApplication(argc, args);
    fontWarmUpApplicationReady();
    QApplication::setStyle(newStartupFriendlyStyle());
    QApplication::setQuitOnLastWindowClosed(false);
    State &s = S();
    s.idleTimer = new QTimer(qApp);
    s.idleTimer->setSingleShot(true);
    QObject::connect(s.idleTimer, &QTimer::timeout, qApp, onIdle);
    installSignalHandling();
    SetAssertReporter(assertReporter);
    return 1;
}

int RunUserInterface(void) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    State &s = S();
    if (s.pendingQuit) {
        s.pendingQuit = false;
        return s.quitCode;
    }
    QEventLoop loop;
    s.runLoops.push_back(&loop);
    scheduleIdle(0);
    loop.exec();
    s.runLoops.pop_back();
    s.pendingQuit = false;
    return s.quitCode;
}

int QuitUserInterface(int returnCode) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    State &s = S();
    s.quitCode = returnCode;
    if (s.runLoops.empty())
        s.pendingQuit = true;
    else
        s.runLoops.back()->exit(returnCode);
    return 0;
}

int ProcessSystemEvents(void) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return 0;
}

int InstallMainCallback(MainCallbackPtr function, void *callbackData, int idleEvents) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    State &s = S();
    s.mainCallback = function;
    s.mainData = callbackData;
    s.idleEvents = idleEvents != 0;
    scheduleIdle(s.idleRate);
    return 0;
}

int SetIdleEventRate(int milliseconds) {
    if (milliseconds < 0) return RT_ERR_INVALID_VALUE;
    S().idleRate = milliseconds;
    scheduleIdle(milliseconds);
    return 0;
}

int RT_WakeIdleOnComInput(int port, double intervalSeconds) {
    State &s = S();
    if (port < 0) return RT_COM_ERR_PORT_NUMBER;
    if (port > 0 && !(intervalSeconds > 0.0)) return RT_ERR_INVALID_VALUE;
    if (port > 0) {
        if (const int r = RT_ComSetArrivalNotify(port, onComArrival, nullptr); r < 0) return r;
    }
    if (s.wakePort > 0 && s.wakePort != port) RT_ComSetArrivalNotify(s.wakePort, nullptr, nullptr);
    s.wakePort = port;
    s.wakeIntervalMs = port > 0 ? static_cast<int>(std::min(intervalSeconds, 86400.0) * 1000.0) : 0;
    s.wakeWhileInMain = false;
    return 0;
}

int SetWaitCursor(int on) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    State &s = S();
    if ((on != 0) == s.waitCursor) return 0;
    s.waitCursor = on != 0;
    if (s.waitCursor)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
    return 0;
}

int SetSystemAttribute(int attribute, int value) {
    switch (attribute) {
    case ATTR_SYS_USE_LOCALIZED_DECIMAL_SYMBOL:
        S().useLocalDecimal = value != 0;
        return 0;
    case ATTR_SYS_DECIMAL_SYMBOL:
        return RT_ERR_READ_ONLY;
    }
    return RT_ERR_INVALID_ATTRIBUTE;
}

int GetSystemAttribute(int attribute, int *value) {
    if (!value) return RT_ERR_NULL_POINTER;
    switch (attribute) {
    case ATTR_SYS_USE_LOCALIZED_DECIMAL_SYMBOL:
        *value = S().useLocalDecimal;
        return 0;
    case ATTR_SYS_DECIMAL_SYMBOL: {
        if (!S().useLocalDecimal) {
            *value = '.';
            return 0;
        }
        QChar c = test::decimalSeparatorOverride();
        if (c.isNull()) {
            const QString point = QLocale::system().decimalPoint();
            c = point.isEmpty() ? QChar('.') : point.front();
        }
        *value = c.unicode() < 0x100 ? c.unicode() : '.';
        return 0;
    }
    }
    return RT_ERR_INVALID_ATTRIBUTE;
}

int RT_GetSystemLanguageName(char *buffer, size_t size) {
    QString name = test::languageNameOverride();
    if (name.isEmpty()) name = QLocale::languageToString(QLocale::system().language());
    return copyOut(name, buffer, size);
}

void RT_Beep(void) {
    ++S().beeps;
    if (runtimeReady()) QApplication::beep();
}

int GetBreakOnLibraryErrors(void) {
    return S().breakOnLibraryErrors ? 1 : 0;
}
int EnableBreakOnLibraryErrors(void) {
    const int was = GetBreakOnLibraryErrors();
    S().breakOnLibraryErrors = true;
    return was;
}
int DisableBreakOnLibraryErrors(void) {
    const int was = GetBreakOnLibraryErrors();
    S().breakOnLibraryErrors = false;
    return was;
}

int MinimizeAllWindows(void) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    for (auto &[handle, p] : panels()) {
        if (p->parent || !p->displayed) continue;
        p->windowState = 1;
        if (p->window) p->window->setWindowState(p->window->windowState() | Qt::WindowMinimized);
    }
    return 0;
}

// ---- Popups and user events -------------------------------------------------------------------

int InstallPopup(int panel) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(panel);
    if (!p) return RT_ERR_INVALID_PANEL;
    if (p->parent) return RT_ERR_NOT_A_POPUP;
    State &s = S();
    std::erase(s.popups, panel);
    s.popups.push_back(panel);
    p->displayed = true;
    if (p->window) {
        if (p->window->isVisible()) p->window->hide();
        p->window->setWindowModality(Qt::ApplicationModal);
    }
    syncPanel(*p);
    if (p->window) {
        p->window->show();
        raiseWindow(p->window);
    }
    s.activePanel = panel;
    // Shown with its contents at once, also when the caller does not return to the event loop.
    drawPanelNow(*p);
    popupInstalled(*p);
    return 0;
}

int RemovePopup(int removeAll) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    State &s = S();
    if (s.popups.empty()) return RT_ERR_NOT_A_POPUP;
    do {
        const int handle = s.popups.back();
        s.popups.pop_back();
        if (Panel *p = findPanel(handle)) {
            p->displayed = false;
            if (p->window) {
                p->window->hide();
                p->window->setWindowModality(Qt::NonModal);
            }
        }
    } while (removeAll && !s.popups.empty());
    s.activePanel = s.popups.empty() ? 0 : s.popups.back();
    return 0;
}

int GetUserEvent(int wait, int *panelOrMenuBar, int *controlOrMenuItem) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    State &s = S();
    while (s.commits.empty() && wait) {
        QEventLoop loop;
        s.waitLoops.push_back(&loop);
        scheduleIdle(0);
        loop.exec();
        std::erase(s.waitLoops, &loop);
    }
    if (s.commits.empty()) return EVENT_NONE;
    const Commit c = s.commits.front();
    s.commits.pop_front();
    if (panelOrMenuBar) *panelOrMenuBar = c.handle;
    if (controlOrMenuItem) *controlOrMenuItem = c.item;
    return EVENT_COMMIT;
}

int FakeKeystroke(int keyCode) {
    if (!runtimeReady()) return RT_ERR_NOT_INITIALISED;
    Panel *p = findPanel(activePanel());
    if (!p) return RT_ERR_NO_ACTIVE_CONTROL;
    Control *c = findControl(*p, p->activeCtrl);
    if (!c) return RT_ERR_NO_ACTIVE_CONTROL;
    if (keyCode == VAL_BACKSPACE_VKEY) return fakeBackspace(*p, *c);
    if (keyCode >= 0x20 && keyCode < 0x7F &&
        (c->kind == Kind::TextBox || c->kind == Kind::String)) {
        if (c->readOnly || c->mode == MODE_INDICATOR) return 0;
        if (c->kind == Kind::String && c->maxLength > 0 && c->value.text.size() >= c->maxLength)
            return 0;
        c->caret = std::clamp(c->caret, 0, static_cast<int>(c->value.text.size()));
        c->value.text.insert(c->caret, QChar(keyCode));
        ++c->caret;
        syncControl(*p, *c);
        ctrlEvent(p->handle, c->id, EVENT_VAL_CHANGED);
        return 0;
    }
    return RT_ERR_INVALID_VALUE;
}

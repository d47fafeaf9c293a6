// The workshop server's settings panel. See ks_workshoppanel.h.
#include "app/ks_workshoppanel.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "app/ks_ids.h"
#include "app/ks_popup.h"
#include "app/ks_workshop.h"
#include "platform/runtime.h"
#include "toolbox/core/errors.h"
#include "workshop/workshop_config.h"
#include "workshop/workshop_server.h"

namespace {

// Most bytes read back from a box: the resource lets the connections hold 1000 characters.
constexpr size_t kTextSize = 4096;

// Values of the message ring's items.
enum {
    MSG_TESTING = 1,
    MSG_WORKS = 2,
    MSG_UNREACHABLE = 3,
    MSG_AUTHENTICATION = 4,
    MSG_NO_DATABASE = 5,
    MSG_TLS = 6,
    MSG_SCHEMA = 7,
    MSG_REFUSED = 8,
    MSG_PASSWORD = 9,
    MSG_NOT_WRITTEN = 10,
    MSG_NO_BENCH = 11,
};

// What a test found: 0 or a WORKSHOP_ERR_... code, the box whose connection failed, and the
// server's words.
struct TestOutcome {
    int code = 0;
    int control = 0;
    std::string detail;
};

int workshopPanel = 0;
std::future<TestOutcome> test; // the panel's test while it runs
// Tests of a panel closed before they ended; kept until they do, their outcome unused.
std::vector<std::future<TestOutcome>> abandoned;

bool Running(const std::future<TestOutcome> &f) {
    return f.valid() && f.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

std::string Trimmed(const std::string &text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string TextOf(int control) {
    std::vector<char> text(kTextSize, '\0');
    GetCtrlVal(workshopPanel, control, text.data(), text.size());
    return Trimmed(text.data());
}

std::string Words(int value) {
    int index = -1;
    char text[kTextSize] = "";
    if (GetIndexFromValue(workshopPanel, WORKSHOP_MESSAGES, &index, value) < 0 ||
        GetLabelFromIndex(workshopPanel, WORKSHOP_MESSAGES, index, text) < 0)
        return std::string();
    return text;
}

// A box's label as a message names it, without its mnemonic mark.
std::string LabelOf(int control) {
    char label[kTextSize] = "";
    GetCtrlAttribute(workshopPanel, control, ATTR_LABEL_TEXT, label);
    std::string name;
    for (const char *c = label; *c != '\0'; ++c)
        if (*c != '&') name += *c;
    return name;
}

void Say(const std::string &text) {
    ResetTextBox(workshopPanel, WORKSHOP_MESSAGE, text.c_str());
}

int MessageFor(int code) {
    switch (code) {
    case 0:
        return MSG_WORKS;
    case WORKSHOP_ERR_UNREACHABLE:
        return MSG_UNREACHABLE;
    case WORKSHOP_ERR_AUTHENTICATION:
        return MSG_AUTHENTICATION;
    case WORKSHOP_ERR_NO_DATABASE:
        return MSG_NO_DATABASE;
    case WORKSHOP_ERR_TLS:
        return MSG_TLS;
    case WORKSHOP_ERR_SCHEMA:
        return MSG_SCHEMA;
    case WORKSHOP_ERR_PASSWORD_GIVEN:
        return MSG_PASSWORD;
    default:
        return MSG_REFUSED;
    }
}

// The box (connection or read connection) that holds a password, or 0.
int BoxWithPassword(const WorkshopConfig &config) {
    if (WorkshopConnectionHasPassword(config.connection)) return WORKSHOP_CONNECTION;
    if (WorkshopConnectionHasPassword(config.readConnection)) return WORKSHOP_READ_CONNECTION;
    return 0;
}

WorkshopConfig Entered() {
    return WorkshopConfig{TextOf(WORKSHOP_BENCH), TextOf(WORKSHOP_CONNECTION),
                          TextOf(WORKSHOP_READ_CONNECTION)};
}

// A problem with one box: its name, the reason, and the server's words when there are any.
void SayAbout(int control, int message, const std::string &detail) {
    std::string text = LabelOf(control) + ": " + Words(message);
    if (!detail.empty()) text += "\n" + WorkshopConnectionForLog(detail);
    Say(text);
}

// Tries the connection, then the read connection when there is one; runs off the user-interface
// thread, since a host that does not answer holds it for the connect time-out.
TestOutcome RunTest(const WorkshopConfig &config) {
    TestOutcome outcome;
    for (const auto &[control, connection] :
         {std::pair{WORKSHOP_CONNECTION, &config.connection},
          std::pair{WORKSHOP_READ_CONNECTION, &config.readConnection}}) {
        if (connection->empty()) continue;
        outcome.control = control;
        outcome.code = WorkshopTestConnection(*connection, &outcome.detail);
        if (outcome.code != 0) break;
    }
    return outcome;
}

void StartTest() {
    if (Running(test)) return; // a second press while it runs changes nothing
    const WorkshopConfig config = Entered();
    if (config.connection.empty()) {
        SetActiveCtrl(workshopPanel, WORKSHOP_CONNECTION);
        Say("");
        return;
    }
    if (const int box = BoxWithPassword(config)) {
        SayAbout(box, MSG_PASSWORD, "");
        return;
    }
    Say(Words(MSG_TESTING));
    test = std::async(std::launch::async, RunTest, config);
}

void ShowOutcome(const TestOutcome &outcome) {
    if (outcome.code == 0)
        Say(Words(MSG_WORKS));
    else
        SayAbout(outcome.control, MessageFor(outcome.code), outcome.detail);
}

void Close() {
    if (Running(test)) abandoned.push_back(std::move(test));
    test = std::future<TestOutcome>();
    if (workshopPanel > 0) {
        RemovePopup(0);
        KsRetirePopup(workshopPanel);
    }
    workshopPanel = 0;
}

// OK: the settings are checked, written and used; on a refusal the panel stays up and says why.
void Accept() {
    const WorkshopConfig config = Entered();
    if (!config.connection.empty() && config.bench.empty()) {
        SayAbout(WORKSHOP_BENCH, MSG_NO_BENCH, "");
        SetActiveCtrl(workshopPanel, WORKSHOP_BENCH);
        return;
    }
    const int code = WorkshopWriteConfig(kWorkshopFileName, config);
    if (code == WORKSHOP_ERR_PASSWORD_GIVEN) {
        const int box = BoxWithPassword(config);
        SayAbout(box, MSG_PASSWORD, "");
        SetActiveCtrl(workshopPanel, box);
        return;
    }
    if (code != 0) {
        Say(Words(MSG_NOT_WRITTEN));
        return;
    }
    KsWorkshopRestart(config);
    Close();
}

} // namespace

void WorkshopMCB(int, int, void *, int) {
    if (KsPopupIsUp(workshopPanel)) return;
    workshopPanel = KsLoadPanelInLanguage(PNL_WORKSHOP);
    if (workshopPanel < 0) {
        workshopPanel = 0;
        return;
    }
    WorkshopConfig config;
    // A file that cannot be read opens the panel empty, for settings that replace it.
    WorkshopReadConfig(kWorkshopFileName, &config);
    SetCtrlVal(workshopPanel, WORKSHOP_BENCH, config.bench.c_str());
    SetCtrlVal(workshopPanel, WORKSHOP_CONNECTION, config.connection.c_str());
    SetCtrlVal(workshopPanel, WORKSHOP_READ_CONNECTION, config.readConnection.c_str());
    InstallPopup(workshopPanel);
    SetActiveCtrl(workshopPanel, WORKSHOP_BENCH);
}

int WorkshopCB(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT || panel != workshopPanel) return 0;
    switch (control) {
    // Enter in a box only moves on: the panel closes by its buttons alone.
    case WORKSHOP_BENCH:
        SetActiveCtrl(panel, WORKSHOP_CONNECTION);
        break;
    case WORKSHOP_CONNECTION:
        SetActiveCtrl(panel, WORKSHOP_READ_CONNECTION);
        break;
    case WORKSHOP_READ_CONNECTION:
        SetActiveCtrl(panel, WORKSHOP_TEST);
        break;
    case WORKSHOP_TEST:
        StartTest();
        break;
    case WORKSHOP_OK:
        Accept();
        break;
    case WORKSHOP_CANCEL:
        Close();
        break;
    default:
        break;
    }
    return 0;
}

void KsWorkshopPanelIdle(void) {
    abandoned.erase(std::remove_if(abandoned.begin(), abandoned.end(),
                                   [](const std::future<TestOutcome> &f) { return !Running(f); }),
                    abandoned.end());
    if (!test.valid() || Running(test)) return;
    const TestOutcome outcome = test.get();
    if (workshopPanel > 0) ShowOutcome(outcome);
}

int KsWorkshopPanel(void) {
    return workshopPanel;
}

int KsWorkshopTesting(void) {
    return Running(test) ? 1 : 0;
}

void KsResetWorkshopPanel(void) {
    if (workshopPanel > 0) DiscardPanel(workshopPanel);
    workshopPanel = 0;
    test = std::future<TestOutcome>(); // waits for a test still running
    abandoned.clear();
}

// Support for the end-to-end tests: the real ks_read executable in a private program folder,
// the tester simulator on a pseudo-terminal linked as COM1 there, and a virtual X screen on
// which a test can find and answer ks_read's popups the way an operator would.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace e2e {

// A child process; killed and reaped when the object goes.
class Process {
  public:
    // withInput: the child's standard input is a pipe that writeInput feeds.
    Process(const std::vector<std::string> &argv, const std::map<std::string, std::string> &env,
            const std::string &workingDirectory, const std::string &outputFile,
            bool withInput = false);
    ~Process();
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    void signal(int signalNumber);
    // Waits up to timeoutSeconds for the process to end; its exit code, or -1 if still running.
    int waitExit(double timeoutSeconds);
    // CPU seconds (user + system) the process has used so far.
    double cpuSeconds() const;
    // Resident memory in KiB.
    long residentKiB() const;
    // True when the process has the file (a device) at path open.
    bool holdsOpen(const std::string &path) const;
    // Writes text to the child's standard input; false when it cannot take it.
    bool writeInput(const std::string &text);

  private:
    pid_t pid_ = -1;
    int input_ = -1;
    int exitCode_ = -1;
};

// An Xvfb screen of its own.
class VirtualScreen {
  public:
    VirtualScreen();
    ~VirtualScreen();
    const std::string &display() const { return display_; }
    // Window ids whose name is exactly title.
    std::vector<std::string> windowsNamed(const std::string &title) const;
    // Clicks at (x, y) inside the window.
    void click(const std::string &window, int x, int y) const;
    // Presses a key (an X key name such as "Return") in the window.
    void pressKey(const std::string &window, const std::string &key) const;

  private:
    std::string display_;
    Process *server_ = nullptr;
};

// Facts about the product's UI resource that the tests compare with.
struct Resource {
    static const Resource &product();
    std::string panelTitle(int panel) const;
    // Centre of a control, in panel coordinates.
    void controlCentre(int panel, int control, int *x, int *y) const;
    // Label of the item at an index of a ring of the main panel, or of the item with a value.
    std::string ringLabelAt(int control, int index) const;
    std::string ringLabelOfValue(int control, int value) const;
    std::string json;
};

// One record as the simulator logged it.
struct SentRecord {
    int number = 0;
    std::string tcode;
    int setPoint = 0;
    double bvolt = 0;
    int brslt = 0, system = 0, tcomp = 0, inVehicle = 0, soc = 0;
    std::string info[6];
    std::string faults;
};
std::vector<SentRecord> readSimulatorLog(const std::string &path);

// The results log split into lines of tab-separated fields.
std::vector<std::vector<std::string>> readResultsLog(const std::string &path);
double elapsedSince(double start);
double now();
bool waitFor(double timeoutSeconds, const std::function<bool()> &condition);

// The longest a test waits for one thing ks_read or the simulator does (start, show a record,
// raise or close a popup). Only a guard against a hang: correctness never depends on it, and it
// leaves room for a machine many times slower than the tests need.
constexpr double kStepSeconds = 120;

// ks_read and the simulator in a private program folder.
//
// The simulator runs stepped: it sends a record only when the test allows it (allowRecords),
// so a test sends the next record after ks_read has done what the test waits for, never after a
// fixed time that a slower machine would not keep. The constructor returns once ks_read has
// opened the simulator's line.
class Bench {
  public:
    // simulatorArgs come after --folder, --port 1 and --step (for example --seed 5 --fault
    // drop@3); appEnvironment adds to (or replaces) ks_read's environment.
    explicit Bench(const std::vector<std::string> &simulatorArgs,
                   const std::map<std::string, std::string> &appEnvironment = {});
    ~Bench();

    const std::string &programFolder() const { return programFolder_; }
    std::string tclog() const { return programFolder_ + "/TCLOG"; }
    std::string settings() const { return programFolder_ + "/ks.ini"; }
    std::string simulatorLog() const { return root_.path() + "/sim.log"; }
    Process &app() { return *app_; }
    Process &simulator() { return *simulator_; }
    VirtualScreen &screen() { return screen_; }
    // Lets the simulator send `records` more records.
    void allowRecords(int records = 1);
    // Records in the simulator log so far.
    std::vector<SentRecord> sent() const { return readSimulatorLog(simulatorLog()); }
    // Data lines of the results log so far (header excluded).
    size_t loggedRecords() const;
    // The six information lines of the settings file.
    std::vector<std::string> settingsInfoLines() const;
    // Clicks control `control` of the popup window titled like panel `panel`, again if the popup
    // stays, until it has gone. False when no such popup appeared or it did not go.
    bool answerPopup(int panel, int control, double timeoutSeconds = kStepSeconds);

  private:
    ks_test::TempDir root_;
    std::string programFolder_;
    VirtualScreen screen_;
    Process *simulator_ = nullptr;
    Process *app_ = nullptr;
};

} // namespace e2e

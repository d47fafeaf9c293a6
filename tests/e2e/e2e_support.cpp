// See e2e_support.h.
#include "tests/e2e/e2e_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/files.h"
#include "tests/support/paths.h"

extern char **environ;

namespace fs = std::filesystem;

namespace e2e {

using ks_test::readFile;

namespace {

std::vector<std::string> split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

std::string runAndRead(const std::string &command) {
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

QJsonObject findById(const QJsonArray &array, int id) {
    for (const auto &value : array)
        if (value.toObject().value("id").toInt() == id) return value.toObject();
    return {};
}

} // namespace

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double elapsedSince(double start) {
    return now() - start;
}

bool waitFor(double timeoutSeconds, const std::function<bool()> &condition) {
    const double start = now();
    while (elapsedSince(start) < timeoutSeconds) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return condition();
}

// ---- Process ------------------------------------------------------------------------------------

Process::Process(const std::vector<std::string> &argv,
                 const std::map<std::string, std::string> &env, const std::string &workingDirectory,
                 const std::string &outputFile, bool withInput) {
    std::map<std::string, std::string> merged;
    for (char **e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto &[key, value] : env)
        merged[key] = value;
    std::vector<std::string> envStrings;
    for (const auto &[key, value] : merged)
        envStrings.push_back(key + "=" + value);
    std::vector<char *> envp, args;
    for (auto &s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy = argv;
    for (auto &s : argCopy)
        args.push_back(s.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    if (!outputFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    // Both ends close on exec, so that no other child keeps the pipe open; the copy made as the
    // child's standard input stays.
    int pipeEnds[2] = {-1, -1};
    if (withInput) {
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        // A child that has gone makes a write fail instead of ending the test.
        ::signal(SIGPIPE, SIG_IGN);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A process group of its own, so a Ctrl+C at the terminal does not reach it twice.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const int rc = posix_spawn(&pid_, args[0], &actions, &attributes, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (withInput) {
        close(pipeEnds[0]);
        input_ = pipeEnds[1];
    }
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
}

Process::~Process() {
    if (input_ >= 0) close(input_);
    if (running()) {
        kill(pid_, SIGKILL);
        waitExit(5);
    }
}

bool Process::running() {
    if (exitCode_ >= 0 || pid_ <= 0) return false;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == 0) return true;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

void Process::signal(int signalNumber) {
    if (running()) kill(pid_, signalNumber);
}

int Process::waitExit(double timeoutSeconds) {
    waitFor(timeoutSeconds, [this] { return !running(); });
    return running() ? -1 : exitCode_;
}

double Process::cpuSeconds() const {
    // Fields 14 and 15 of /proc/<pid>/stat, after the command name in parentheses.
    const std::string stat = readFile("/proc/" + std::to_string(pid_) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream in(stat.substr(close + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && in >> field; ++i)
        if (i == 14 || i == 15) ticks += std::stol(field);
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long Process::residentKiB() const {
    std::istringstream in(readFile("/proc/" + std::to_string(pid_) + "/status"));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

bool Process::holdsOpen(const std::string &path) const {
    // Descriptors come and go while the process runs: no error here ends the look with a throw.
    std::error_code error;
    fs::directory_iterator entry("/proc/" + std::to_string(pid_) + "/fd", error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        std::error_code ignored;
        if (fs::read_symlink(entry->path(), ignored) == path) return true;
    }
    return false;
}

bool Process::writeInput(const std::string &text) {
    size_t written = 0;
    while (input_ >= 0 && written < text.size()) {
        const ssize_t n = write(input_, text.data() + written, text.size() - written);
        if (n < 0 && errno != EINTR) return false;
        if (n > 0) written += static_cast<size_t>(n);
    }
    return input_ >= 0;
}

// ---- VirtualScreen ------------------------------------------------------------------------------

VirtualScreen::VirtualScreen() {
    std::mt19937 random(static_cast<unsigned>(getpid() ^ static_cast<unsigned>(now() * 1000)));
    for (int attempt = 0; attempt < 20 && server_ == nullptr; ++attempt) {
        const int number = 200 + static_cast<int>(random() % 700);
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        if (fs::exists(socket) || fs::exists("/tmp/.X" + std::to_string(number) + "-lock"))
            continue;
        display_ = ":" + std::to_string(number);
        auto *server = new Process(
            {"/usr/bin/Xvfb", display_, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {}, "",
            "/dev/null");
        if (waitFor(kStepSeconds, [&] { return fs::exists(socket) || !server->running(); }) &&
            server->running()) {
            server_ = server;
        } else {
            delete server;
        }
    }
    if (server_ == nullptr) throw std::runtime_error("no virtual screen could be started");
}

VirtualScreen::~VirtualScreen() {
    delete server_;
}

std::vector<std::string> VirtualScreen::windowsNamed(const std::string &title) const {
    const std::string out =
        runAndRead("DISPLAY=" + display_ + " xdotool search --onlyvisible --name '^" + title +
                   "$' 2>/dev/null");
    std::vector<std::string> ids;
    for (const auto &line : split(out, '\n'))
        if (!line.empty()) ids.push_back(line);
    return ids;
}

void VirtualScreen::click(const std::string &window, int x, int y) const {
    const std::string command = "DISPLAY=" + display_ + " xdotool mousemove --window " + window +
                                " " + std::to_string(x) + " " + std::to_string(y) +
                                " click 1 >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "e2e: xdotool click failed\n");
}

void VirtualScreen::pressKey(const std::string &window, const std::string &key) const {
    // The pointer in the window gives it the keyboard on a screen without a window manager; the
    // key then goes in as a real key press, not as an event sent to the window.
    const std::string command = "DISPLAY=" + display_ + " xdotool mousemove --window " + window +
                                " 20 20 key " + key + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "e2e: xdotool key failed\n");
}

// ---- Resource -----------------------------------------------------------------------------------

const Resource &Resource::product() {
    static Resource resource = [] {
        Resource r;
        r.json = readFile(ks_test::sourcePath("resources/ks_read.ui.json"));
        return r;
    }();
    return resource;
}

namespace {
QJsonObject panelObject(const std::string &json, int panel) {
    const auto document = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    return findById(document.object().value("panels").toArray(), panel);
}
QJsonArray ringItems(const std::string &json, int control) {
    return findById(panelObject(json, 9).value("controls").toArray(), control)
        .value("items")
        .toArray();
}
} // namespace

std::string Resource::panelTitle(int panel) const {
    return panelObject(json, panel).value("title").toString().toStdString();
}

void Resource::controlCentre(int panel, int control, int *x, int *y) const {
    const QJsonObject c = findById(panelObject(json, panel).value("controls").toArray(), control);
    *x = c.value("left").toInt() + c.value("width").toInt(60) / 2;
    *y = c.value("top").toInt() + c.value("height").toInt(24) / 2;
}

std::string Resource::ringLabelAt(int control, int index) const {
    const QJsonArray items = ringItems(json, control);
    if (index < 0 || index >= items.size()) return "";
    return items.at(index).toObject().value("label").toString().toStdString();
}

std::string Resource::ringLabelOfValue(int control, int value) const {
    for (const auto &item : ringItems(json, control))
        if (item.toObject().value("value").toInt() == value)
            return item.toObject().value("label").toString().toStdString();
    return "";
}

// ---- Logs ---------------------------------------------------------------------------------------

std::vector<SentRecord> readSimulatorLog(const std::string &path) {
    std::vector<SentRecord> records;
    for (const auto &line : split(readFile(path), '\n')) {
        if (line.empty() || line[0] == '#') continue;
        const auto f = split(line, '\t');
        if (f.size() < 16) continue;
        SentRecord r;
        r.number = std::atoi(f[0].c_str());
        r.tcode = f[1];
        r.setPoint = std::atoi(f[2].c_str());
        r.bvolt = std::atof(f[3].c_str());
        r.brslt = std::atoi(f[4].c_str());
        r.system = std::atoi(f[5].c_str());
        r.tcomp = std::atoi(f[6].c_str());
        r.inVehicle = std::atoi(f[7].c_str());
        r.soc = std::atoi(f[8].c_str());
        for (int k = 0; k < 6; ++k)
            r.info[k] = f[9 + k];
        r.faults = f[15];
        records.push_back(r);
    }
    return records;
}

std::vector<std::vector<std::string>> readResultsLog(const std::string &path) {
    std::vector<std::vector<std::string>> lines;
    for (const auto &line : split(readFile(path), '\n'))
        if (!line.empty()) lines.push_back(split(line, '\t'));
    return lines;
}

// ---- Bench --------------------------------------------------------------------------------------

Bench::Bench(const std::vector<std::string> &simulatorArgs,
             const std::map<std::string, std::string> &appEnvironment) {
    const std::string source = ks_test::programDir();
    programFolder_ = root_.path() + "/program";
    fs::create_directories(programFolder_);
    // The program folder is where the executable lies, so ks_read is copied, not linked, and its
    // modules (.so), which it loads from its own folder, with it.
    for (const auto &entry : fs::directory_iterator(source)) {
        const std::string name = entry.path().filename().string();
        const std::string ext = entry.path().extension().string();
        if (name == "ks_read" || ext == ".so" || ext == ".json" || ext == ".lng" || ext == ".txt" ||
            ext == ".BMP")
            fs::copy_file(entry.path(), programFolder_ + "/" + name);
    }
    // Nobody answers the first-run language prompt here: start in English through the one-time
    // legacy language file.
    const std::string config = root_.path() + "/config";
    fs::create_directories(config + "/ks_read");
    std::ofstream(config + "/ks_read/ks.ini", std::ios::binary).write("\x01\x00\x00\x00", 4);
    fs::create_directories(root_.path() + "/runtime");
    fs::permissions(root_.path() + "/runtime", fs::perms::owner_all);

    // The simulator waits for the receiver as long as a test waits for anything.
    std::vector<std::string> args = {source + "/ks_tester_sim",
                                     "--folder",
                                     programFolder_,
                                     "--port",
                                     "1",
                                     "--step",
                                     "--linger",
                                     std::to_string(static_cast<int>(kStepSeconds)),
                                     "--log",
                                     simulatorLog()};
    args.insert(args.end(), simulatorArgs.begin(), simulatorArgs.end());
    simulator_ = new Process(args, {}, root_.path(), root_.path() + "/sim.out", true);
    const std::string link = programFolder_ + "/COM1";
    if (!waitFor(kStepSeconds, [&] { return fs::is_symlink(link); }))
        throw std::runtime_error("the simulator made no COM1 link");
    std::error_code error;
    const std::string line = fs::canonical(link, error).string();

    std::map<std::string, std::string> env = {
        {"DISPLAY", screen_.display()}, {"QT_QPA_PLATFORM", "xcb"},
        {"XDG_CONFIG_HOME", config},    {"XDG_RUNTIME_DIR", root_.path() + "/runtime"},
        {"HOME", root_.path()},         {"ASAN_OPTIONS", "detect_leaks=0"}};
    for (const auto &[key, value] : appEnvironment)
        env[key] = value;
    app_ = new Process({programFolder_ + "/ks_read"}, env, programFolder_,
                       root_.path() + "/ks_read.out");
    if (!waitFor(kStepSeconds, [&] { return app_->holdsOpen(line) || !app_->running(); }) ||
        !app_->running())
        throw std::runtime_error("ks_read did not open COM1");
}

void Bench::allowRecords(int records) {
    simulator_->writeInput(std::string(static_cast<size_t>(records), '\n'));
}

Bench::~Bench() {
    delete app_;
    delete simulator_;
}

size_t Bench::loggedRecords() const {
    const auto lines = readResultsLog(tclog());
    return lines.empty() ? 0 : lines.size() - 1;
}

std::vector<std::string> Bench::settingsInfoLines() const {
    const std::string record = readFile(settings());
    std::vector<std::string> lines;
    if (record.size() != 940) return lines;
    for (int k = 0; k < 6; ++k) {
        const std::string field = record.substr(17 * k, 17);
        lines.push_back(field.substr(0, field.find('\0')));
    }
    return lines;
}

bool Bench::answerPopup(int panel, int control, double timeoutSeconds) {
    const std::string title = Resource::product().panelTitle(panel);
    std::vector<std::string> windows;
    if (!waitFor(timeoutSeconds, [&] { return !(windows = screen_.windowsNamed(title)).empty(); }))
        return false;
    const std::string window = windows.back();
    int x = 0, y = 0;
    Resource::product().controlCentre(panel, control, &x, &y);
    // A click that lands while the popup is still being placed is lost: click again while it
    // stays. A popup that has gone takes no second click.
    const auto shown = [&] {
        const auto open = screen_.windowsNamed(title);
        return std::find(open.begin(), open.end(), window) != open.end();
    };
    const double start = now();
    do {
        screen_.click(window, x, y);
        if (waitFor(15, [&] { return !shown(); })) return true;
    } while (elapsedSince(start) < timeoutSeconds);
    return false;
}

} // namespace e2e

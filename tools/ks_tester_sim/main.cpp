// ks_tester_sim: the tester's side of the serial line, for running and testing ks_read without
// hardware. See --help and docs/serial-ports.md.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "tools/ks_tester_sim/record.h"
#include "tools/ks_tester_sim/step_input.h"
#include "tools/ks_tester_sim/wire.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) {
    stopRequested = 1;
}

struct FaultRequest {
    ks_sim::Fault fault;
    int record; // 0: every third record
};

struct Options {
    std::string folder;
    int port = 0;
    double interval = 5.0;
    double first = 1.0;
    long count = 0;
    unsigned long seed = 0;
    bool seedGiven = false;
    std::string device;
    std::vector<FaultRequest> faults;
    double dropSeconds = 3.0;
    double linger = 5.0;
    bool paced = true;
    bool stepped = false;
    bool decimalComma = false;
    std::string logPath;
};

void printHelp() {
    std::printf(
        "usage: ks_tester_sim --folder DIR --port N [--interval SECONDS] [--count N] [--seed N]\n"
        "                     [--device PATH] [--fault KIND[@RECORD] ...] [--log FILE]\n"
        "                     [--first SECONDS] [--drop-seconds SECONDS] [--linger SECONDS]\n"
        "                     [--no-pacing] [--decimal-comma] [--step]\n"
        "\n"
        "Plays the battery tester: sends test records over a serial line at 9600 baud 8N1,\n"
        "NUL-terminated lines framed by a START line and a STOP line.\n"
        "\n"
        "  --folder DIR, --port N  open a pseudo-terminal and link DIR/COM<N> to it (the link is\n"
        "                          removed on exit, also after SIGINT or SIGTERM)\n"
        "  --device PATH           send on a real serial device instead (no link is made)\n"
        "  --interval SECONDS      time from one record's start to the next (default 5)\n"
        "  --first SECONDS         time before the first record (default 1)\n"
        "  --count N               records to send, then exit (default 0: until stopped)\n"
        "  --seed N                seed of the record values (default: from the clock, printed)\n"
        "  --fault KIND[@RECORD]   inject a fault into record RECORD, or into every third record\n"
        "                          (3, 6, 9 ...) without @RECORD; may be given several times\n"
        "  --drop-seconds SECONDS  how long the link stays away for the drop fault (default 3)\n"
        "  --linger SECONDS        the longest wait for the receiver to read everything sent,\n"
        "                          before closing and before a drop (default 5)\n"
        "  --no-pacing             send each record at once instead of at the line's speed\n"
        "                          (pacing is on by default: 960 bytes per second)\n"
        "  --decimal-comma         send the voltage as 12,60 instead of 12.60\n"
        "  --step                  send one record for each line read on standard input, for a\n"
        "                          program that drives the simulator (a test): the end of input\n"
        "                          ends the run; after a drop the link comes back with the next\n"
        "                          line (not before --drop-seconds); garbage goes out at once and\n"
        "                          its record follows when the receiver has discarded it (at most\n"
        "                          --linger later); --first and --interval do not apply\n"
        "  --log FILE              write the record log to FILE instead of standard output\n"
        "\n"
        "Fault kinds:\n");
    for (const auto &kind : ks_sim::faultKinds())
        std::printf("  %-10s %s\n", kind.name, kind.help);
    std::printf(
        "\n"
        "Log: a header line starting with '#', then one tab-separated line per record:\n"
        "record, TCode, SetPoint, BVolt, BRslt, System, TComp, InVehicle, Soc, Info0 .. Info5,\n"
        "faults ('-' for none; 'undelivered' when the receiver did not take the bytes).\n");
}

bool parseNumber(const char *text, double *value) {
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(v >= 0.0) || v > 1e6) return false;
    *value = v;
    return true;
}

bool parseInteger(const char *text, long low, long high, long *value) {
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < low || v > high) return false;
    *value = v;
    return true;
}

bool parseFault(const std::string &text, FaultRequest *request) {
    const size_t at = text.find('@');
    long record = 0;
    if (at != std::string::npos && !parseInteger(text.c_str() + at + 1, 1, 1000000000L, &record))
        return false;
    request->record = static_cast<int>(record);
    return ks_sim::faultFromName(text.substr(0, at), &request->fault);
}

// 0 on success, 1 after --help, 2 on a usage error (message printed).
int parseOptions(int argc, char **argv, Options *o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printHelp();
            return 1;
        }
        if (arg == "--no-pacing") {
            o->paced = false;
            continue;
        }
        if (arg == "--decimal-comma") {
            o->decimalComma = true;
            continue;
        }
        if (arg == "--step") {
            o->stepped = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "ks_tester_sim: %s needs a value (see --help)\n", arg.c_str());
            return 2;
        }
        const char *value = argv[++i];
        long number = 0;
        bool ok = true;
        if (arg == "--folder") {
            o->folder = value;
        } else if (arg == "--port") {
            ok = parseInteger(value, 1, 1000, &number);
            o->port = static_cast<int>(number);
        } else if (arg == "--interval") {
            ok = parseNumber(value, &o->interval);
        } else if (arg == "--first") {
            ok = parseNumber(value, &o->first);
        } else if (arg == "--count") {
            ok = parseInteger(value, 0, 1000000000L, &o->count);
        } else if (arg == "--seed") {
            ok = parseInteger(value, 0, 4294967295L, &number);
            o->seed = static_cast<unsigned long>(number);
            o->seedGiven = true;
        } else if (arg == "--device") {
            o->device = value;
        } else if (arg == "--fault") {
            FaultRequest request{};
            ok = parseFault(value, &request);
            o->faults.push_back(request);
        } else if (arg == "--drop-seconds") {
            ok = parseNumber(value, &o->dropSeconds);
        } else if (arg == "--linger") {
            ok = parseNumber(value, &o->linger);
        } else if (arg == "--log") {
            o->logPath = value;
        } else {
            std::fprintf(stderr, "ks_tester_sim: unknown switch %s (see --help)\n", arg.c_str());
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "ks_tester_sim: bad value for %s: %s\n", arg.c_str(), value);
            return 2;
        }
    }
    if (o->device.empty() && (o->folder.empty() || o->port == 0)) {
        std::fprintf(stderr, "ks_tester_sim: --folder DIR and --port N are needed unless "
                             "--device PATH is given (see --help)\n");
        return 2;
    }
    return 0;
}

std::vector<ks_sim::Fault> faultsFor(const Options &o, int record) {
    std::vector<ks_sim::Fault> faults;
    for (const auto &request : o.faults) {
        const bool applies = request.record == 0 ? record % 3 == 0 : request.record == record;
        if (applies && std::find(faults.begin(), faults.end(), request.fault) == faults.end())
            faults.push_back(request.fault);
    }
    return faults;
}

bool hasFault(const std::vector<ks_sim::Fault> &faults, ks_sim::Fault fault) {
    return std::find(faults.begin(), faults.end(), fault) != faults.end();
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    char text[16] = "00-00-0000";
    if (::localtime_r(&now, &tm) != nullptr) std::strftime(text, sizeof text, "%m-%d-%Y", &tm);
    return text;
}

class Simulator {
  public:
    explicit Simulator(Options options) : o_(std::move(options)) {}

    int run() {
        if (!openLog() || !connect()) return 1;
        std::mt19937 random(static_cast<std::mt19937::result_type>(o_.seed));
        std::fprintf(log_, "%s\n", ks_sim::logHeader().c_str());
        std::fflush(log_);

        double nextStart = ks_sim::monotonicNow() + o_.first;
        for (long n = 1; (o_.count == 0 || n <= o_.count) && !stopRequested; ++n) {
            if (o_.stepped) {
                if (!input_.await(&stopRequested)) break;
                input_.take();
            } else {
                if (!ks_sim::sleepUnlessStopped(nextStart - ks_sim::monotonicNow(), &stopRequested))
                    break;
                nextStart = ks_sim::monotonicNow() + o_.interval;
            }
            if (!sendRecord(random, static_cast<int>(n))) break;
        }
        if (!stopRequested) wire_.drain(o_.linger, &stopRequested);
        return failed_ ? 1 : 0;
    }

    ~Simulator() {
        if (log_ != nullptr && log_ != stdout) std::fclose(log_);
    }

  private:
    bool openLog() {
        if (o_.logPath.empty()) {
            log_ = stdout;
            return true;
        }
        log_ = std::fopen(o_.logPath.c_str(), "w");
        if (log_ == nullptr) {
            std::fprintf(stderr, "ks_tester_sim: cannot write %s: %s\n", o_.logPath.c_str(),
                         std::strerror(errno));
            return false;
        }
        return true;
    }

    bool connect() {
        std::string error;
        if (!o_.device.empty()) {
            if (!wire_.openDevice(o_.device, &error)) {
                std::fprintf(stderr, "ks_tester_sim: %s\n", error.c_str());
                return false;
            }
            std::fprintf(stderr, "ks_tester_sim: sending on %s\n", o_.device.c_str());
            return true;
        }
        if (!wire_.openPty(&error) || !link().create(wire_.peerPath(), &error)) {
            std::fprintf(stderr, "ks_tester_sim: %s\n", error.c_str());
            return false;
        }
        std::fprintf(stderr, "ks_tester_sim: %s -> %s (seed %lu)\n", link().path().c_str(),
                     wire_.peerPath().c_str(), o_.seed);
        return true;
    }

    ks_sim::PortLink &link() {
        if (!link_) link_ = std::make_unique<ks_sim::PortLink>(o_.folder, o_.port);
        return *link_;
    }

    // Closes the line, keeps it away for the drop time, and opens a fresh one.
    bool dropAndReturn() {
        wire_.drain(o_.linger, &stopRequested);
        if (link_) link_->remove();
        wire_.close();
        std::fprintf(stderr, "ks_tester_sim: link dropped for %.1f s\n", o_.dropSeconds);
        if (!ks_sim::sleepUnlessStopped(o_.dropSeconds, &stopRequested)) return false;
        // Stepped, the link stays away until the driver lets the next record go.
        if (o_.stepped && !input_.await(&stopRequested)) return false;
        if (!connect()) {
            failed_ = true;
            return false;
        }
        return true;
    }

    // Noise before a record. The receiver throws away all it has queued when it meets a line that
    // does not start a record, so the record must only follow once the noise is gone: stepped on
    // a pty the noise goes out at once and the record waits for the receiver's discard, else a
    // pause gives the receiver time for it.
    bool sendGarbage(std::mt19937 &random) {
        const bool awaitDiscard = o_.stepped && wire_.isPty();
        if (awaitDiscard) wire_.forgetDiscards();
        if (wire_.send(ks_sim::garbageBytes(random), o_.paced && !awaitDiscard, &stopRequested) ==
            ks_sim::Wire::SendResult::Stopped)
            return false;
        if (!awaitDiscard) return ks_sim::sleepUnlessStopped(0.5, &stopRequested);
        if (!wire_.awaitDiscard(o_.linger, &stopRequested)) {
            if (stopRequested) return false;
            std::fprintf(stderr, "ks_tester_sim: the receiver kept the noise for %.1f s\n",
                         o_.linger);
        }
        return true;
    }

    bool sendRecord(std::mt19937 &random, int n) {
        std::vector<ks_sim::Fault> faults = faultsFor(o_, n);
        const ks_sim::SimRecord record = ks_sim::makeRecord(random, n, today());
        if (hasFault(faults, ks_sim::Fault::Garbage) && !sendGarbage(random)) return false;
        ks_sim::WireOptions options;
        options.decimalComma = o_.decimalComma;
        const auto result =
            wire_.send(ks_sim::recordBytes(record, faults, options), o_.paced, &stopRequested);
        if (result == ks_sim::Wire::SendResult::Stopped) return false;
        const std::string entry =
            ks_sim::logLine(record, faults, result == ks_sim::Wire::SendResult::Sent, options);
        std::fprintf(log_, "%s\n", entry.c_str());
        std::fflush(log_);
        if (result == ks_sim::Wire::SendResult::Failed) {
            std::fprintf(stderr, "ks_tester_sim: the line failed: %s\n", std::strerror(errno));
            failed_ = true;
            return false;
        }
        if (hasFault(faults, ks_sim::Fault::Drop)) return dropAndReturn();
        return true;
    }

    Options o_;
    ks_sim::StepInput input_{STDIN_FILENO};
    FILE *log_ = nullptr;
    ks_sim::Wire wire_;
    std::unique_ptr<ks_sim::PortLink> link_;
    bool failed_ = false;
};

} // namespace

int main(int argc, char **argv) {
    Options options;
    const int parsed = parseOptions(argc, argv, &options);
    if (parsed != 0) return parsed == 1 ? 0 : 2;
    if (!options.seedGiven)
        options.seed = static_cast<unsigned long>(std::time(nullptr)) & 0xFFFFFFFFUL;

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Simulator simulator(std::move(options));
    return simulator.run();
}

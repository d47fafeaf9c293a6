// Serial reception figures on a pseudo-terminal:
//  - line latency: time from the moment the tester's end starts writing a line (terminator
//    included) until ComRdTerm returns it, while the reader is blocked waiting; median and 99th
//    percentile over 1000 lines, against a bare poll()+read() reader on the same kind of pty;
//  - idle polling: processor time per second of wall time while ComRdTerm polls with its 0.2 s
//    time-out and nothing arrives, on a live and on a vanished device.
// Target: median latency under 5 ms; idle polling under 2 % of one core.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/io/serial.h"

namespace {

constexpr int kLines = 1000;
const std::string kLine = std::string("B VOLT : 12.60") + '\0';

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

struct Pty {
    int master = -1;
    std::string slave;
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        char name[128];
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
            ::ptsname_r(master, name, sizeof name) != 0)
            std::abort();
        termios t{};
        ::tcgetattr(master, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master, TCSANOW, &t);
        slave = name;
    }
    ~Pty() { closeMaster(); }
    void closeMaster() {
        if (master >= 0) ::close(master);
        master = -1;
    }
};

// The writer thread waits until the reader is about to block, lets it settle into its wait,
// writes one line and notes when the write returned.
class Writer {
  public:
    explicit Writer(int fd) : fd_(fd), thread_([this] { run(); }) {}
    ~Writer() {
        stop_ = true;
        thread_.join();
    }
    void arm() { armed_.store(true, std::memory_order_release); }
    double writtenAt() const { return writtenAt_.load(std::memory_order_acquire); }

  private:
    void run() {
        while (!stop_) {
            if (!armed_.exchange(false, std::memory_order_acq_rel)) {
                std::this_thread::yield();
                continue;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(1500));
            // Stamped before the write, so the reader always sees this line's stamp and the
            // figure includes the write itself.
            writtenAt_.store(now(), std::memory_order_release);
            if (::write(fd_, kLine.data(), kLine.size()) != static_cast<ssize_t>(kLine.size()))
                std::abort();
        }
    }
    int fd_;
    std::atomic<bool> stop_{false}, armed_{false};
    std::atomic<double> writtenAt_{0.0};
    std::thread thread_;
};

void reportLatencies(benchmark::State &state, std::vector<double> &latencies) {
    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty()) return;
    state.counters["median_ms"] = latencies[latencies.size() / 2] * 1e3;
    state.counters["p99_ms"] = latencies[latencies.size() * 99 / 100] * 1e3;
    state.counters["max_ms"] = latencies.back() * 1e3;
}

void BM_ComRdTermLineLatency(benchmark::State &state) {
    Pty pty;
    if (OpenComConfig(1, pty.slave.c_str(), 9600, 0, 8, 1, 32768, 512) != 0) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    SetComTime(1, 1.0);
    std::vector<double> latencies;
    latencies.reserve(kLines);
    {
        Writer writer(pty.master);
        char line[257];
        for (auto _ : state) {
            writer.arm();
            const int n = ComRdTerm(1, line, 256, 0);
            const double returned = now();
            if (n != static_cast<int>(kLine.size()) - 1) {
                state.SkipWithError("short line");
                break;
            }
            latencies.push_back(returned - writer.writtenAt());
        }
    }
    CloseCom(1);
    reportLatencies(state, latencies);
}
BENCHMARK(BM_ComRdTermLineLatency)->Iterations(kLines)->Unit(benchmark::kMillisecond);

// The peer: a bare reader on the slave, poll() then read() up to the NUL.
void BM_RawPtyLineLatency(benchmark::State &state) {
    Pty pty;
    const int fd = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    std::vector<double> latencies;
    latencies.reserve(kLines);
    {
        Writer writer(pty.master);
        for (auto _ : state) {
            writer.arm();
            std::string got;
            while (got.empty() || got.back() != '\0') {
                pollfd p{fd, POLLIN, 0};
                ::poll(&p, 1, 1000);
                char buffer[64];
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0) got.append(buffer, static_cast<size_t>(n));
            }
            latencies.push_back(now() - writer.writtenAt());
        }
    }
    ::close(fd);
    reportLatencies(state, latencies);
}
BENCHMARK(BM_RawPtyLineLatency)->Iterations(kLines)->Unit(benchmark::kMillisecond);

// Ten reads of 0.2 s each with nothing arriving: two seconds of the application's idle polling.
void idlePolling(benchmark::State &state, bool vanished) {
    Pty pty;
    if (OpenComConfig(1, pty.slave.c_str(), 9600, 0, 8, 1, 32768, 512) != 0) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    SetComTime(1, 0.2);
    if (vanished) pty.closeMaster();
    char line[257];
    const double wall0 = now(), cpu0 = cpuSeconds();
    for (auto _ : state)
        benchmark::DoNotOptimize(ComRdTerm(1, line, 256, 0));
    const double wall = now() - wall0, cpu = cpuSeconds() - cpu0;
    CloseCom(1);
    state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
}
void BM_IdlePolling(benchmark::State &state) {
    idlePolling(state, false);
}
void BM_IdlePollingVanishedDevice(benchmark::State &state) {
    idlePolling(state, true);
}
BENCHMARK(BM_IdlePolling)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdlePollingVanishedDevice)->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

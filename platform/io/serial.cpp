// Serial ports of the run-time, used blocking from the one UI thread.
// See platform/serial.h for the contract and docs/serial-ports.md for the port numbers.
//
// The devices themselves come from the serial module (platform/io/serial_device.h), loaded when
// the first device is opened; until then no port call needs it.
//
// A port keeps the path it was opened by (the COM<n> link, a device path, or a platform device)
// and its line settings. When the device fails (a USB adapter unplugged, a pseudo-terminal's
// master closed) the port is closed and marked lost; later reads and writes reopen the same path
// with the same settings, at most every kReopenInterval, and in between a read waits out its
// time-out, so a lost device never turns the polling caller into a busy loop.
#include "platform/io/serial.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>

#include "platform/io/io_internal.h"
#include "platform/io/module_loader.h"
#include "platform/io/serial_device.h"
#include "platform/io/testing_io.h"
#include "toolbox/core/errors.h"

namespace {

using ks_io::SerialDevice;

// Read time-out until SetComTime sets one.
constexpr double kDefaultTimeout = 10.0;
// Longest time-out kept: a day stands for "wait forever" and keeps every deadline finite.
constexpr double kMaxTimeout = 86400.0;
// Shortest pause between two attempts to reopen a lost device.
constexpr double kReopenInterval = 0.5;
// Most bytes one RT_ComDiscardLeading call drops, so one call never holds the caller for long
// (a megabyte takes a few milliseconds).
constexpr int kMaxDiscardPerCall = 1 << 20;

// A modem line's last requested state, applied again after a reopen.
enum class Line { Unset, Raised, Lowered };

struct ComPort {
    std::string path; // what (re)opening resolves: a COM<n> link or a device path
    ks_io::SerialLine settings;
    double timeout = kDefaultTimeout;
    std::string device;                   // the device path opened last (the link's target)
    std::unique_ptr<SerialDevice> serial; // open, or closed while lost
    bool lost = false;
    bool lossReported = false;
    double nextReopen = 0.0;
    Line rts = Line::Unset;
    Line dtr = Line::Unset;
};

// Who is told when bytes arrive, per port number; kept while the port is closed and reopened.
struct ArrivalNotify {
    void (*notify)(void *) = nullptr;
    void *data = nullptr;
};
std::map<int, ArrivalNotify> &arrivalNotifies() {
    static std::map<int, ArrivalNotify> notifies;
    return notifies;
}

std::map<int, std::unique_ptr<ComPort>> &ports() {
    static std::map<int, std::unique_ptr<ComPort>> table;
    return table;
}

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void sleepUntil(double deadline) {
    const double remaining = deadline - now();
    if (remaining > 0.0 && std::isfinite(remaining))
        std::this_thread::sleep_for(std::chrono::duration<double>(remaining));
}

int waitMilliseconds(double seconds) {
    const double ms = std::ceil(seconds * 1000.0);
    return ms >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(std::max(ms, 0.0));
}

bool validPort(int port) {
    return port >= 1 && port <= ks_io::kMaxComPort;
}

// Finds an opened port; sets *error when there is none.
ComPort *findPort(int port, int *error) {
    if (!validPort(port)) {
        *error = RT_COM_ERR_PORT_NUMBER;
        return nullptr;
    }
    const auto it = ports().find(port);
    if (it == ports().end()) {
        *error = RT_COM_ERR_NOT_OPEN;
        return nullptr;
    }
    return it->second.get();
}

// True when the device behind an open port has hung up or gone.
bool hungUp(SerialDevice &serial) {
    const int fd = serial.handle();
    if (fd < 0) return true;
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void markLost(ComPort &p, int port, const QString &reason) {
    if (p.serial && p.serial->isOpen()) p.serial->close();
    p.lost = true;
    p.nextReopen = now() + kReopenInterval;
    if (!p.lossReported) {
        qWarning("serial port %d (%s) lost: %s; it reopens when the device comes back", port,
                 p.path.c_str(), qPrintable(reason));
        p.lossReported = true;
    }
}

void applyLine(SerialDevice &serial, bool rts, Line state) {
    if (state != Line::Unset) serial.setModemLine(rts, state == Line::Raised);
}

// A queued check after the device reported a failure outside our own reads (for example while
// the event loop runs): closing there stops a hung-up device from waking the loop again and again.
// A device destroyed meanwhile takes its queued check with it, so the check concerns the port's
// current device.
void checkReportedFailure(int port) {
    const auto it = ports().find(port);
    if (it == ports().end()) return;
    ComPort &p = *it->second;
    if (p.serial && p.serial->isOpen() && hungUp(*p.serial))
        markLost(p, port, p.serial->errorString());
}

void closeAllPorts() {
    ports().clear();
}

// Why the serial module could not be loaded, for RT_ComModuleError.
std::string &moduleError() {
    static std::string error;
    return error;
}

// A new device from the serial module, loading the module on first use. nullptr when it cannot
// be loaded (moduleError() says why).
std::unique_ptr<SerialDevice> newDevice(int port) {
    auto create = reinterpret_cast<ks_io::NewSerialDevice>(ks_io::moduleSymbol(
        ks_io::kSerialModuleFile, ks_io::kNewSerialDeviceSymbol, &moduleError()));
    if (create == nullptr) return nullptr;
    moduleError().clear();
    ks_io::SerialEvents events;
    events.arrived = [port] {
        const auto it = arrivalNotifies().find(port);
        if (it != arrivalNotifies().end()) it->second.notify(it->second.data);
    };
    events.failed = [port] { checkReportedFailure(port); };
    return std::unique_ptr<SerialDevice>(create(events));
}

// Opens p.path with p.settings into p.serial. Returns 0 or a serial error code.
int openDevice(ComPort &p, int port) {
    if (p.path.empty()) return RT_COM_ERR_NO_DEVICE;
    // Open the device itself, not the link: Qt names its lock file after the device, so two
    // folders' COM1 links never share a lock, and a re-pointed link is followed.
    char real[PATH_MAX];
    if (::realpath(p.path.c_str(), real) == nullptr)
        return errno == EACCES ? RT_COM_ERR_OPEN : RT_COM_ERR_NO_DEVICE;

    if (!p.serial) {
        p.serial = newDevice(port);
        if (!p.serial) return RT_ERR_MODULE;
        static bool cleanupRegistered = false;
        if (!cleanupRegistered && QCoreApplication::instance() != nullptr) {
            // Ports must close while Qt is still up; static destruction comes too late.
            qAddPostRoutine(closeAllPorts);
            cleanupRegistered = true;
        }
    }
    SerialDevice &serial = *p.serial;
    p.device = real;
    if (const int result = serial.open(p.device, p.settings); result != 0) return result;
    applyLine(serial, true, p.rts);
    applyLine(serial, false, p.dtr);
    return 0;
}

// Tries to reopen a lost port when its reopen interval has passed. True when it is open again.
bool tryReopen(ComPort &p, int port) {
    if (!p.lost) return true;
    if (now() < p.nextReopen) return false;
    p.nextReopen = now() + kReopenInterval;
    if (openDevice(p, port) != 0) return false;
    p.lost = false;
    if (p.lossReported) {
        qWarning("serial port %d (%s) reopened", port, p.path.c_str());
        p.lossReported = false;
    }
    return true;
}

// Waits, until the deadline at most, for a lost port to come back, trying to reopen it whenever
// its reopen interval has passed. True when the port is open.
bool waitForDevice(ComPort &p, int port, double deadline) {
    while (!tryReopen(p, port)) {
        const double remaining = deadline - now();
        if (remaining <= 0.0) return false;
        sleepUntil(now() + std::min(remaining, std::max(p.nextReopen - now(), 0.001)));
    }
    return true;
}

// Waits left that end as a signal would end them (RT_TestInterruptComWaits).
int interruptedWaitsForTests = 0;

// Waits up to ms for bytes; false when none came, with errno as the wait left it.
bool waitForBytes(SerialDevice &serial, int ms) {
    if (interruptedWaitsForTests > 0) {
        --interruptedWaitsForTests;
        errno = EINTR;
        return false;
    }
    errno = 0;
    return serial.waitForReadyRead(ms);
}

// True when a failed wait was only cut short by a signal: the device is still there, and the wait
// is simply made again.
bool waitInterrupted(SerialDevice &serial, int waitError) {
    const auto error = serial.error();
    const bool interrupted =
        waitError == EINTR ||
        (error != SerialDevice::Error::Timeout && error != SerialDevice::Error::None &&
         serial.errorString() == QString::fromLocal8Bit(std::strerror(EINTR)));
    return interrupted && serial.isOpen() && !hungUp(serial);
}

// True when a failed wait means the device is gone rather than a quiet line.
bool deviceFailed(SerialDevice &serial) {
    return !serial.isOpen() || serial.error() != SerialDevice::Error::Timeout || hungUp(serial);
}

} // namespace

int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize) {
    (void)outputQueueSize; // writes block until sent, so no output queue is kept
    if (!validPort(port)) return RT_COM_ERR_PORT_NUMBER;
    if (baudRate <= 0 || baudRate > INT_MAX || parity < 0 || parity > 4 || dataBits < 5 ||
        dataBits > 8 || (stopBits != 1 && stopBits != 2))
        return RT_COM_ERR_CONFIG;
    ks_io::SerialLine settings;
    settings.baudRate = static_cast<int>(baudRate);
    settings.parity = parity;
    settings.dataBits = dataBits;
    settings.stopBits = stopBits;
    settings.inputQueue = inputQueueSize > 0 ? inputQueueSize : 0;

    ports().erase(port);
    auto p = std::make_unique<ComPort>();
    p->path = ks_io::portPath(port, deviceName);
    p->settings = settings;
    const int result = openDevice(*p, port);
    if (result != 0) return result;
    ports()[port] = std::move(p);
    return 0;
}

int CloseCom(int port) {
    int error = 0;
    if (findPort(port, &error) == nullptr) return error;
    ports().erase(port);
    return 0;
}

int SetComTime(int port, double timeoutSeconds) {
    int error = 0;
    ComPort *p = findPort(port, &error);
    if (p == nullptr) return error;
    if (!(timeoutSeconds >= 0.0)) return RT_ERR_INVALID_VALUE;
    p->timeout = std::min(timeoutSeconds, kMaxTimeout);
    return 0;
}

int ComSetEscape(int port, int escapeCode) {
    int error = 0;
    ComPort *p = findPort(port, &error);
    if (p == nullptr) return error;
    const bool rts = escapeCode == 3 || escapeCode == 4;
    const bool raise = escapeCode == 3 || escapeCode == 5;
    if (escapeCode < 3 || escapeCode > 6) return RT_ERR_INVALID_VALUE;
    (rts ? p->rts : p->dtr) = raise ? Line::Raised : Line::Lowered;
    if (!tryReopen(*p, port)) return RT_COM_ERR_ESCAPE;
    // A pseudo-terminal has no modem lines; the port itself stays usable.
    return p->serial->setModemLine(rts, raise) ? 0 : RT_COM_ERR_ESCAPE;
}

int ComRdTerm(int port, char *buffer, int count, int terminator) {
    int error = 0;
    ComPort *p = findPort(port, &error);
    if (p == nullptr) return error;
    if (buffer == nullptr) return RT_ERR_NULL_POINTER;
    if (count < 0) return RT_ERR_INVALID_VALUE;
    const double deadline = now() + p->timeout;
    if (!waitForDevice(*p, port, deadline)) return RT_COM_ERR_READ;
    const int term = terminator >= 0 && terminator <= 255 ? terminator : -1;
    int stored = 0;
    // After the deadline the driver is still asked once without waiting, so that a time-out of
    // 0 returns what has already arrived.
    bool lastLook = false;
    while (stored < count) {
        SerialDevice &serial = *p->serial;
        const long long available = serial.bytesAvailable();
        if (available > 0) {
            const QByteArray chunk = serial.peek(std::min<long long>(available, count - stored));
            const qsizetype cut = term >= 0 ? chunk.indexOf(static_cast<char>(term)) : -1;
            const qsizetype take = cut >= 0 ? cut : chunk.size();
            std::memcpy(buffer + stored, chunk.constData(), static_cast<size_t>(take));
            stored += static_cast<int>(take);
            serial.skip(cut >= 0 ? take + 1 : take);
            if (cut >= 0) return stored;
            continue;
        }
        const double remaining = deadline - now();
        if (remaining <= 0.0) {
            if (lastLook) break;
            lastLook = true;
        }
        if (!waitForBytes(serial, waitMilliseconds(remaining))) {
            const int waitError = errno;
            if (serial.bytesAvailable() > 0) continue;
            if (waitInterrupted(serial, waitError)) {
                serial.clearError();
                continue;
            }
            if (deviceFailed(serial)) {
                markLost(*p, port, serial.errorString());
                // Bytes of a line cut off by the failure are handed over as they are.
                if (stored > 0) return stored;
                if (!waitForDevice(*p, port, deadline)) return RT_COM_ERR_READ;
                continue;
            }
            serial.clearError();
        }
    }
    return stored;
}

int ComWrt(int port, const char *buffer, int count) {
    int error = 0;
    ComPort *p = findPort(port, &error);
    if (p == nullptr) return error;
    if (buffer == nullptr) return RT_ERR_NULL_POINTER;
    if (count < 0) return RT_ERR_INVALID_VALUE;
    if (!tryReopen(*p, port)) return RT_COM_ERR_WRITE;
    SerialDevice &serial = *p->serial;
    if (serial.write(buffer, count) != count) {
        serial.clearError();
        return RT_COM_ERR_WRITE;
    }
    const double deadline = now() + std::max(p->timeout, 1.0);
    while (serial.bytesToWrite() > 0) {
        const double remaining = deadline - now();
        if (remaining <= 0.0 || !serial.waitForBytesWritten(waitMilliseconds(remaining))) {
            if (deviceFailed(serial)) markLost(*p, port, serial.errorString());
            serial.clear(false);
            serial.clearError();
            return RT_COM_ERR_WRITE;
        }
    }
    return count;
}

int FlushInQ(int port) {
    int error = 0;
    ComPort *p = findPort(port, &error);
    if (p == nullptr) return error;
    if (p->lost) return RT_COM_ERR_READ;
    if (!p->serial->clear(true)) {
        p->serial->clearError();
        return RT_COM_ERR_READ;
    }
    return 0;
}

int RT_ComDiscardLeading(int port, int byteValue) {
    int error = 0;
    ComPort *p = findPort(port, &error);
    if (p == nullptr) return error;
    if (byteValue < 0 || byteValue > 255) return RT_ERR_INVALID_VALUE;
    if (!tryReopen(*p, port)) return RT_COM_ERR_READ;
    SerialDevice &serial = *p->serial;
    const char unwanted = static_cast<char>(byteValue);
    int discarded = 0;
    while (discarded < kMaxDiscardPerCall) {
        if (serial.bytesAvailable() == 0) {
            // Take over what the driver holds, without waiting.
            if (!serial.waitForReadyRead(0)) serial.clearError();
            if (serial.bytesAvailable() == 0) break;
        }
        const QByteArray chunk = serial.peek(
            std::min<long long>(serial.bytesAvailable(), kMaxDiscardPerCall - discarded));
        qsizetype run = 0;
        while (run < chunk.size() && chunk[run] == unwanted)
            ++run;
        serial.skip(run);
        discarded += static_cast<int>(run);
        if (run < chunk.size()) break;
    }
    return discarded;
}

int GetInQLen(int port) {
    int error = 0;
    ComPort *p = findPort(port, &error);
    if (p == nullptr) return error;
    if (!tryReopen(*p, port)) return RT_COM_ERR_READ;
    int queued = 0;
    if (::ioctl(p->serial->handle(), FIONREAD, &queued) != 0) queued = 0;
    const long long total = p->serial->bytesAvailable() + queued;
    return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

int RT_ComSetArrivalNotify(int port, void (*notify)(void *), void *data) {
    if (!validPort(port)) return RT_COM_ERR_PORT_NUMBER;
    if (notify == nullptr)
        arrivalNotifies().erase(port);
    else
        arrivalNotifies()[port] = ArrivalNotify{notify, data};
    return 0;
}

int RT_ComPortState(int port, char *device, int size) {
    if (!validPort(port)) return RT_COM_ERR_PORT_NUMBER;
    if (device != nullptr && size <= 0) return RT_ERR_INVALID_VALUE;
    if (device != nullptr) device[0] = '\0';
    const auto it = ports().find(port);
    if (it == ports().end()) return RT_COM_STATE_CLOSED;
    ComPort &p = *it->second;
    if (!p.lost && hungUp(*p.serial)) markLost(p, port, QStringLiteral("the device hung up"));
    tryReopen(p, port);
    if (device != nullptr) {
        const size_t n = std::min(p.device.size(), static_cast<size_t>(size) - 1);
        std::memcpy(device, p.device.data(), n);
        device[n] = '\0';
    }
    return p.lost ? RT_COM_STATE_LOST : RT_COM_STATE_OPEN;
}

const char *RT_ComModuleError(void) {
    return moduleError().c_str();
}

void RT_TestInterruptComWaits(int count) {
    interruptedWaitsForTests = count > 0 ? count : 0;
}

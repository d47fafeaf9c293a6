// The serial services over real pseudo-terminals: framing of ComRdTerm, time-outs, flushing,
// port mapping, modem-line refusals, and a device that vanishes and comes back.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include "platform/io/files.h"
#include "platform/io/io_internal.h"
#include "toolbox/core/errors.h"
#include "platform/io/serial.h"
#include "platform/io/testing_io.h"
#include "tests/support/pty_peer.h"
#include "tests/support/qt_core_environment.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using ks_test::PtyPeer;
using ks_test::TempDir;
using ks_test::writeFile;

namespace {

const auto *const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new ks_test::QtCoreEnvironment);

double wallSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

int openPort(int port, const std::string &device = "") {
    return OpenComConfig(port, device.c_str(), 9600, 0, 8, 1, 32768, 512);
}

// Reads one line the way the application does: a 256-byte buffer, NUL terminator.
std::string readLine(int port, int *count = nullptr) {
    char buffer[257] = {};
    const int n = ComRdTerm(port, buffer, 256, 0);
    if (count != nullptr) *count = n;
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string nul(const std::string &text) {
    return text + std::string(1, '\0');
}

// Counts the run-time's reports about lost and reopened ports.
std::atomic<int> lossReports{0}, reopenReports{0};
void countReports(QtMsgType, const QMessageLogContext &, const QString &message) {
    if (message.contains(QStringLiteral(" lost: "))) ++lossReports;
    if (message.contains(QStringLiteral(" reopened"))) ++reopenReports;
}

class SerialPort : public ::testing::Test {
  protected:
    void TearDown() override {
        for (int port = 1; port <= 9; ++port)
            CloseCom(port);
        RT_TestSetProgramDir(nullptr);
    }
};

} // namespace

TEST_F(SerialPort, SplitLinesBurstsAndTheCountLimit) {
    PtyPeer tester;
    ASSERT_EQ(openPort(1, tester.devicePath()), 0);
    ASSERT_EQ(SetComTime(1, 2.0), 0);

    // A line that arrives in pieces is joined; the terminator is neither stored nor counted.
    std::thread writer([&tester] {
        tester.send("B VOLT");
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        tester.send(" : 12.6");
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        tester.send(nul("0"));
    });
    int n = -1;
    EXPECT_EQ(readLine(1, &n), "B VOLT : 12.60");
    EXPECT_EQ(n, 14);
    writer.join();

    // Several lines in one burst come out one per read; queued lines never wait for new data.
    tester.send(nul("START  : 1") + nul("") + nul("SOC    : 3") + nul("STOP   : 1"));
    EXPECT_EQ(readLine(1), "START  : 1");
    EXPECT_EQ(readLine(1, &n), "");
    EXPECT_EQ(n, 0) << "an empty line";
    EXPECT_EQ(readLine(1), "SOC    : 3");
    EXPECT_EQ(readLine(1), "STOP   : 1");

    // The count stops a read; the rest of the line begins the next one.
    tester.send(nul("abcdefg"));
    char small[8] = {};
    EXPECT_EQ(ComRdTerm(1, small, 4, 0), 4);
    EXPECT_EQ(std::string(small, 4), "abcd");
    EXPECT_EQ(ComRdTerm(1, small, 4, 0), 3);
    EXPECT_EQ(std::string(small, 3), "efg");

    // Other terminators, and one outside a byte's range (none: count or time-out ends the read).
    tester.send("x=1;y=2;");
    EXPECT_EQ(ComRdTerm(1, small, 8, ';'), 3);
    EXPECT_EQ(std::string(small, 3), "x=1");
    EXPECT_EQ(ComRdTerm(1, small, 4, 1000), 4);
    EXPECT_EQ(std::string(small, 4), "y=2;");
}

TEST_F(SerialPort, LongRunsWithoutTerminatorAreCutAtTheCount) {
    PtyPeer tester;
    ASSERT_EQ(openPort(2, tester.devicePath()), 0);
    ASSERT_EQ(SetComTime(2, 2.0), 0);
    tester.send(nul(std::string(256, 'x') + "tail"));
    int n = 0;
    EXPECT_EQ(readLine(2, &n), std::string(256, 'x'));
    EXPECT_EQ(n, 256);
    EXPECT_EQ(readLine(2), "tail");

    // Exactly 256 bytes before the NUL: the NUL is left for the next read, an empty line.
    tester.send(nul(std::string(256, 'y')) + nul("next"));
    EXPECT_EQ(readLine(2, &n), std::string(256, 'y'));
    EXPECT_EQ(readLine(2, &n), "");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(readLine(2), "next");
}

TEST_F(SerialPort, TimeOutReturnsWhatArrived) {
    PtyPeer tester;
    ASSERT_EQ(openPort(1, tester.devicePath()), 0);
    ASSERT_EQ(SetComTime(1, 0.2), 0);
    double start = wallSeconds();
    int n = -1;
    readLine(1, &n);
    double took = wallSeconds() - start;
    EXPECT_EQ(n, 0);
    EXPECT_GE(took, 0.19);
    EXPECT_LT(took, 1.0);

    // Bytes without their terminator are returned when the time runs out.
    tester.send("START  : ");
    start = wallSeconds();
    EXPECT_EQ(readLine(1, &n), "START  : ");
    EXPECT_GE(wallSeconds() - start, 0.19);

    // A time-out of 0 still returns what the driver already holds, without waiting.
    ASSERT_EQ(SetComTime(1, 0.0), 0);
    tester.send(nul("queued"));
    // Until the pseudo-terminal has passed the whole line on (soon; later on a loaded machine).
    const double sent = wallSeconds();
    while (GetInQLen(1) < 7 && wallSeconds() - sent < 60.0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(readLine(1), "queued");
    readLine(1, &n);
    EXPECT_EQ(n, 0);

    EXPECT_EQ(SetComTime(1, -1.0), RT_ERR_INVALID_VALUE);
}

TEST_F(SerialPort, FlushDiscardsEverythingQueued) {
    PtyPeer tester;
    ASSERT_EQ(openPort(1, tester.devicePath()), 0);
    ASSERT_EQ(SetComTime(1, 0.5), 0);
    tester.send(nul("old 1") + nul("old 2") + "old 3 without end");
    // Take one line so that part of the input sits in the port's own buffer too.
    EXPECT_EQ(readLine(1), "old 1");
    EXPECT_GT(GetInQLen(1), 0);
    EXPECT_EQ(FlushInQ(1), 0);
    EXPECT_EQ(GetInQLen(1), 0);
    tester.send(nul("new"));
    EXPECT_EQ(readLine(1), "new");
}

TEST_F(SerialPort, ModemLinesThatAPtyRefusesLeaveThePortWorking) {
    PtyPeer tester;
    ASSERT_EQ(openPort(1, tester.devicePath()), 0);
    ASSERT_EQ(SetComTime(1, 1.0), 0);
    for (int code : {3, 5, 6, 5}) {
        const int result = ComSetEscape(1, code);
        EXPECT_TRUE(result == 0 || result == RT_COM_ERR_ESCAPE) << code << ": " << result;
    }
    EXPECT_EQ(ComSetEscape(1, 3), RT_COM_ERR_ESCAPE) << "a pseudo-terminal has no RTS line";
    EXPECT_EQ(ComSetEscape(1, 9), RT_ERR_INVALID_VALUE);
    tester.send(nul("still here"));
    EXPECT_EQ(readLine(1), "still here");
    EXPECT_EQ(ComWrt(1, "ack", 3), 3);
}

TEST_F(SerialPort, BadArgumentsAndClosedPortsGiveTheirCodes) {
    PtyPeer tester;
    char buffer[8];
    EXPECT_EQ(openPort(0, tester.devicePath()), RT_COM_ERR_PORT_NUMBER);
    EXPECT_EQ(openPort(1001, tester.devicePath()), RT_COM_ERR_PORT_NUMBER);
    EXPECT_EQ(OpenComConfig(1, tester.devicePath().c_str(), 9600, 5, 8, 1, 512, 512),
              RT_COM_ERR_CONFIG);
    EXPECT_EQ(OpenComConfig(1, tester.devicePath().c_str(), 9600, 0, 9, 1, 512, 512),
              RT_COM_ERR_CONFIG);
    EXPECT_EQ(OpenComConfig(1, tester.devicePath().c_str(), 9600, 0, 8, 3, 512, 512),
              RT_COM_ERR_CONFIG);
    EXPECT_EQ(OpenComConfig(1, tester.devicePath().c_str(), 0, 0, 8, 1, 512, 512),
              RT_COM_ERR_CONFIG);
    EXPECT_EQ(openPort(1, "/nonexistent/ttyX"), RT_COM_ERR_NO_DEVICE);
    EXPECT_EQ(ComRdTerm(1, buffer, 8, 0), RT_COM_ERR_NOT_OPEN) << "a failed open leaves it closed";
    EXPECT_EQ(ComRdTerm(1001, buffer, 8, 0), RT_COM_ERR_PORT_NUMBER);
    EXPECT_EQ(FlushInQ(4), RT_COM_ERR_NOT_OPEN);
    EXPECT_EQ(SetComTime(4, 1.0), RT_COM_ERR_NOT_OPEN);
    EXPECT_EQ(ComSetEscape(4, 3), RT_COM_ERR_NOT_OPEN);
    EXPECT_EQ(GetInQLen(4), RT_COM_ERR_NOT_OPEN);
    EXPECT_EQ(ComWrt(4, "x", 1), RT_COM_ERR_NOT_OPEN);

    ASSERT_EQ(openPort(1, tester.devicePath()), 0);
    EXPECT_EQ(ComRdTerm(1, nullptr, 8, 0), RT_ERR_NULL_POINTER);
    EXPECT_EQ(ComRdTerm(1, buffer, -1, 0), RT_ERR_INVALID_VALUE);
    // Opening an open port again applies the new settings and keeps it usable.
    ASSERT_EQ(OpenComConfig(1, tester.devicePath().c_str(), 19200, 0, 8, 2, 512, 512), 0);
    ASSERT_EQ(SetComTime(1, 1.0), 0);
    tester.send(nul("again"));
    EXPECT_EQ(readLine(1), "again");
    EXPECT_EQ(CloseCom(1), 0);
    EXPECT_EQ(CloseCom(1), RT_COM_ERR_NOT_OPEN);

    // A pseudo-terminal keeps 8 data bits without parity: the device refuses 7E, and the port
    // is left closed rather than open with settings other than those asked for.
    EXPECT_EQ(OpenComConfig(1, tester.devicePath().c_str(), 9600, 2, 7, 1, 512, 512),
              RT_COM_ERR_CONFIG);
    EXPECT_EQ(ComRdTerm(1, buffer, 8, 0), RT_COM_ERR_NOT_OPEN);
}

TEST_F(SerialPort, ComLinkInTheProgramFolderPicksTheDevice) {
    TempDir folder;
    PtyPeer linked, named;
    RT_TestSetProgramDir(folder.path().c_str());
    EXPECT_EQ(openPort(5), RT_COM_ERR_NO_DEVICE) << "no COM5 link and no fifth platform port";

    fs::create_symlink(linked.devicePath(), folder.file("COM5"));
    ASSERT_EQ(openPort(5), 0);
    ASSERT_EQ(SetComTime(5, 1.0), 0);
    linked.send(nul("via link"));
    EXPECT_EQ(readLine(5), "via link");

    // A device name overrides the link.
    ASSERT_EQ(openPort(5, named.devicePath()), 0);
    ASSERT_EQ(SetComTime(5, 1.0), 0);
    named.send(nul("via name"));
    EXPECT_EQ(readLine(5), "via name");

    // The tests' own mapping comes before the link.
    PtyPeer mapped;
    RT_TestMapPort(5, mapped.devicePath().c_str());
    ASSERT_EQ(openPort(5), 0);
    ASSERT_EQ(SetComTime(5, 1.0), 0);
    mapped.send(nul("via map"));
    EXPECT_EQ(readLine(5), "via map");
    RT_TestMapPort(5, nullptr);

    // A link that points nowhere still decides the port: it does not fall back elsewhere.
    fs::remove(folder.file("COM5"));
    fs::create_symlink(folder.file("gone"), folder.file("COM5"));
    EXPECT_EQ(openPort(5), RT_COM_ERR_NO_DEVICE);
}

TEST_F(SerialPort, ThePortsDeviceIsNamedThroughItsLink) {
    TempDir folder;
    PtyPeer peer;
    RT_TestSetProgramDir(folder.path().c_str());
    char device[512] = "x";
    // A number with nothing behind it (no link; a test machine has no hundredth serial device).
    EXPECT_EQ(RT_ComPortDevice(100, device), 0);
    EXPECT_STREQ(device, "");

    fs::create_symlink(peer.devicePath(), folder.file("COM100"));
    ASSERT_EQ(RT_ComPortDevice(100, device), 0);
    EXPECT_EQ(std::string(device), fs::canonical(peer.devicePath()).string())
        << "the device the link points to, not the link";

    // A dangling link names itself: that is where the port will look.
    fs::remove(folder.file("COM100"));
    fs::create_symlink(folder.file("gone"), folder.file("COM100"));
    ASSERT_EQ(RT_ComPortDevice(100, device), 0);
    EXPECT_EQ(std::string(device), folder.file("COM100"));

    char tiny[4] = "abc";
    EXPECT_EQ(RT_ComPortDevice(100, tiny, sizeof tiny), RT_ERR_INVALID_VALUE);
    EXPECT_STREQ(tiny, "");
    EXPECT_EQ(RT_ComPortDevice(0, device), RT_COM_ERR_PORT_NUMBER);
    EXPECT_EQ(RT_ComPortDevice(1001, device), RT_COM_ERR_PORT_NUMBER);
    EXPECT_EQ(RT_ComPortDevice(1, nullptr, 8), RT_ERR_NULL_POINTER);
}

TEST(PortRule, UsbAdaptersFirstThenBuiltInPortsWithAUart) {
    TempDir root;
    const std::string dev = root.file("dev"), sys = root.file("sys");
    fs::create_directories(dev + "/serial/by-id");
    for (const char *name : {"ttyUSB0", "ttyUSB1", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0",
                             "ttyS1", "ttyS10", "ttyS2", "ttyprintk", "tty0"})
        writeFile(dev + "/" + name, "");
    fs::create_symlink("../../ttyUSB1", dev + "/serial/by-id/usb-Maker_Adapter_A1-if00-port0");
    for (const auto &[name, type] : {std::pair{"ttyS0", "4"}, {"ttyS1", "0"}, {"ttyS2", "4"}}) {
        fs::create_directories(sys + "/class/tty/" + name);
        writeFile(sys + "/class/tty/" + name + "/type", std::string(type) + "\n");
    }
    const std::vector<std::string> expected = {
        dev + "/serial/by-id/usb-Maker_Adapter_A1-if00-port0",
        dev + "/ttyACM0",
        dev + "/ttyUSB0",
        dev + "/ttyUSB2",
        dev + "/ttyUSB10",
        dev + "/ttyS0",
        dev + "/ttyS2",
    };
    EXPECT_EQ(ks_io::platformSerialDevices(dev, sys), expected);
    EXPECT_TRUE(ks_io::platformSerialDevices(root.file("none"), sys).empty());
}

TEST_F(SerialPort, AVanishedDeviceFailsQuietlyAndResumesWhenItsLinkReturns) {
    TempDir folder;
    RT_TestSetProgramDir(folder.path().c_str());
    auto tester = std::make_unique<PtyPeer>();
    fs::create_symlink(tester->devicePath(), folder.file("COM3"));
    ASSERT_EQ(openPort(3), 0);
    ASSERT_EQ(SetComTime(3, 0.2), 0);
    tester->send(nul("before"));
    EXPECT_EQ(readLine(3), "before");

    lossReports = 0;
    reopenReports = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countReports);
    tester->close();

    // Two seconds of polling a vanished device: every read fails, each waits out its time-out,
    // and the whole costs next to no processor time.
    const double wall0 = wallSeconds(), cpu0 = cpuSeconds();
    int reads = 0, failures = 0;
    while (wallSeconds() - wall0 < 2.0) {
        int n = 0;
        readLine(3, &n);
        ++reads;
        failures += n < 0 ? 1 : 0;
    }
    const double wall = wallSeconds() - wall0, cpu = cpuSeconds() - cpu0;
    EXPECT_EQ(failures, reads);
    EXPECT_LE(reads, 12) << "reads must wait out their time-out";
    EXPECT_LT(cpu / wall, 0.05) << "cpu " << cpu << " s over " << wall << " s";
    EXPECT_EQ(lossReports.load(), 1) << "the loss is reported once";
    EXPECT_EQ(FlushInQ(3), RT_COM_ERR_READ);

    // The tester comes back on a new pseudo-terminal behind the same link while a read with a
    // long time-out waits: that same read picks the line up, without another OpenComConfig.
    ASSERT_EQ(SetComTime(3, 5.0), 0);
    std::thread comeBack([&tester, &folder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        tester = std::make_unique<PtyPeer>();
        fs::remove(folder.file("COM3"));
        fs::create_symlink(tester->devicePath(), folder.file("COM3"));
        tester->send(nul("after"));
    });
    int n = 0;
    EXPECT_EQ(readLine(3, &n), "after") << n;
    comeBack.join();
    EXPECT_EQ(reopenReports.load(), 1);
    tester->send(nul("and more"));
    EXPECT_EQ(readLine(3), "and more");
    qInstallMessageHandler(previous);
}

TEST_F(SerialPort, QueueLengthBringsALostDeviceBackAndArrivalsAreToldThroughReopens) {
    TempDir folder;
    RT_TestSetProgramDir(folder.path().c_str());
    auto tester = std::make_unique<PtyPeer>();
    fs::create_symlink(tester->devicePath(), folder.file("COM4"));
    ASSERT_EQ(openPort(4), 0);
    ASSERT_EQ(SetComTime(4, 0.2), 0);
    int arrivals = 0;
    ASSERT_EQ(RT_ComSetArrivalNotify(
                  4, [](void *count) { ++*static_cast<int *>(count); }, &arrivals),
              0);
    EXPECT_EQ(RT_ComSetArrivalNotify(0, nullptr, nullptr), RT_COM_ERR_PORT_NUMBER);
    // Runs the event loop until the port tells of an arrival (its notifier reads the bytes in).
    auto waitForArrival = [&arrivals] {
        const int before = arrivals;
        const double deadline = wallSeconds() + 10.0;
        while (arrivals == before && wallSeconds() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return arrivals > before && GetInQLen(4) > 0;
    };
    tester->send(nul("first"));
    ASSERT_TRUE(waitForArrival());
    EXPECT_EQ(readLine(4), "first");

    const QtMessageHandler previous = qInstallMessageHandler(countReports);
    tester->close();
    int n = 0;
    readLine(4, &n); // the read notices the loss
    EXPECT_EQ(n, RT_COM_ERR_READ);
    // While the device is away the queue length fails at once instead of waiting.
    const double before = wallSeconds();
    EXPECT_EQ(GetInQLen(4), RT_COM_ERR_READ);
    EXPECT_LT(wallSeconds() - before, 0.15);

    // The tester comes back behind the same link: asking for the queue length reopens it, and
    // the arrival callback still follows the port.
    tester = std::make_unique<PtyPeer>();
    fs::remove(folder.file("COM4"));
    fs::create_symlink(tester->devicePath(), folder.file("COM4"));
    const double deadline = wallSeconds() + 10.0;
    while (GetInQLen(4) < 0 && wallSeconds() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(GetInQLen(4), 0);
    tester->send(nul("second"));
    ASSERT_TRUE(waitForArrival());
    EXPECT_EQ(readLine(4), "second");
    qInstallMessageHandler(previous);
    EXPECT_EQ(RT_ComSetArrivalNotify(4, nullptr, nullptr), 0);
}

TEST_F(SerialPort, AWaitCutShortByASignalIsRetriedNotTakenForALostDevice) {
    PtyPeer tester;
    ASSERT_EQ(openPort(1, tester.devicePath()), 0);
    ASSERT_EQ(SetComTime(1, 0.3), 0);
    lossReports = 0;
    qInstallMessageHandler(countReports);
    // Every wait of this read ends early with EINTR; the read waits again until its time-out.
    RT_TestInterruptComWaits(5);
    const double start = wallSeconds();
    int n = -1;
    readLine(1, &n);
    EXPECT_EQ(n, 0);
    EXPECT_GE(wallSeconds() - start, 0.29);
    RT_TestInterruptComWaits(3);
    tester.send(nul("after the signals"));
    EXPECT_EQ(readLine(1, &n), "after the signals");
    qInstallMessageHandler(nullptr);
    RT_TestInterruptComWaits(0);
    EXPECT_EQ(lossReports, 0);
}

TEST_F(SerialPort, LeadingNulBytesAreDiscardedAtOnceUpToTheNextLine) {
    PtyPeer tester(PtyPeer::Device::Held);
    ASSERT_EQ(openPort(1, tester.devicePath()), 0);
    ASSERT_EQ(SetComTime(1, 0.5), 0);
    const std::string flood(3000, '\0');
    tester.send(flood + nul("START  : record") + std::string(10, '\0'));
    ASSERT_TRUE(tester.waitUntilQueued(flood.size() + 26, 30));
    EXPECT_EQ(RT_ComDiscardLeading(1, 0), 3000);
    EXPECT_EQ(readLine(1), "START  : record");
    EXPECT_EQ(RT_ComDiscardLeading(1, 0), 10);
    EXPECT_EQ(GetInQLen(1), 0);
    EXPECT_EQ(RT_ComDiscardLeading(1, 0), 0);
    EXPECT_EQ(RT_ComDiscardLeading(1, 256), RT_ERR_INVALID_VALUE);
    EXPECT_EQ(RT_ComDiscardLeading(2, 0), RT_COM_ERR_NOT_OPEN);
}

TEST_F(SerialPort, StateFollowsTheDeviceWithoutAReadAndNamesTheLinksTarget) {
    TempDir folder;
    RT_TestSetProgramDir(folder.path().c_str());
    char device[256] = "x";
    EXPECT_EQ(RT_ComPortState(0, device, sizeof device), RT_COM_ERR_PORT_NUMBER);
    EXPECT_EQ(RT_ComPortState(6, device, 0), RT_ERR_INVALID_VALUE);
    EXPECT_EQ(RT_ComPortState(6, device, sizeof device), RT_COM_STATE_CLOSED);
    EXPECT_STREQ(device, "");

    auto tester = std::make_unique<PtyPeer>();
    fs::create_symlink(tester->devicePath(), folder.file("COM6"));
    ASSERT_EQ(openPort(6), 0);
    ASSERT_EQ(SetComTime(6, 0.2), 0);
    EXPECT_EQ(RT_ComPortState(6, device, sizeof device), RT_COM_STATE_OPEN);
    EXPECT_EQ(std::string(device), fs::canonical(tester->devicePath()).string())
        << "the link's target, not the link";
    char cut[4] = "";
    EXPECT_EQ(RT_ComPortState(6, cut, sizeof cut), RT_COM_STATE_OPEN);
    EXPECT_EQ(std::string(cut), std::string(device).substr(0, 3));

    // The device vanishes while nobody reads: the state says so at once.
    const QtMessageHandler previous = qInstallMessageHandler(countReports);
    tester->close();
    EXPECT_EQ(RT_ComPortState(6, nullptr, 0), RT_COM_STATE_LOST);
    EXPECT_EQ(RT_ComPortState(6, nullptr, 0), RT_COM_STATE_LOST);

    // It comes back behind the same link: asking again reopens it, without a read.
    tester = std::make_unique<PtyPeer>();
    fs::remove(folder.file("COM6"));
    fs::create_symlink(tester->devicePath(), folder.file("COM6"));
    const double deadline = wallSeconds() + 10.0;
    while (RT_ComPortState(6, device, sizeof device) != RT_COM_STATE_OPEN &&
           wallSeconds() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(RT_ComPortState(6, device, sizeof device), RT_COM_STATE_OPEN);
    EXPECT_EQ(std::string(device), fs::canonical(tester->devicePath()).string());
    tester->send(nul("after"));
    EXPECT_EQ(readLine(6), "after");
    qInstallMessageHandler(previous);

    ASSERT_EQ(CloseCom(6), 0);
    EXPECT_EQ(RT_ComPortState(6, device, sizeof device), RT_COM_STATE_CLOSED);
}

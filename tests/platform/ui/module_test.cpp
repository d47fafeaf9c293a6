// The program's modules (the serial port's and printing's): loaded from beside the executable on
// the first call that needs them and not before, a missing or broken one named in a clear error
// instead of a crash, and a library planted in the current folder or on the library path never
// loaded. Each case runs module_probe in a process of its own, where it was built (the modules
// beside it) or as a copy in a folder of the test's own.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "tests/support/command.h"
#include "tests/support/paths.h"
#include "tests/support/pdf_text.h"
#include "tests/support/pty_peer.h"
#include "tests/support/temp_dir.h"
#include "toolbox/core/errors.h"

namespace fs = std::filesystem;
using ks_test::TempDir;

namespace {

const std::string kModuleError = std::to_string(RT_ERR_MODULE);

struct ProbeRun {
    int status = -1;
    std::string output;                        // everything it printed, warnings included
    std::map<std::string, std::string> values; // its key=value lines
};

std::string quoted(const std::string &text) {
    return "'" + text + "'";
}

// Runs the probe at `exe` from the folder `cwd`, with `environment` ("NAME=value ...") added.
ProbeRun runProbe(const std::string &exe, const std::string &arguments,
                  const std::string &cwd = ".", const std::string &environment = "") {
    const auto result = ks_test::runCommand("cd " + quoted(cwd) + " && env " + environment + " " +
                                            quoted(exe) + " " + arguments);
    ProbeRun run{result.status, result.output, {}};
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);)
        if (const size_t eq = line.find('='); eq != std::string::npos && line.find(' ') > eq)
            run.values[line.substr(0, eq)] = line.substr(eq + 1);
    return run;
}

// A copy of the probe in `folder`, where no module lies beside it.
std::string lonelyProbe(const std::string &folder) {
    fs::create_directories(folder);
    fs::copy_file(KS_MODULE_PROBE, folder + "/module_probe");
    return folder + "/module_probe";
}

// The real module file of the build.
std::string builtModule(const std::string &name) {
    return fs::canonical(ks_test::programPath(name)).string();
}

bool contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

TEST(SerialModule, LoadsOnTheFirstOpenAndThePortIsReadThroughIt) {
    ks_test::PtyPeer tester(ks_test::PtyPeer::Device::Held);
    tester.send("hello\n");
    const ProbeRun run = runProbe(KS_MODULE_PROBE, "serial " + quoted(tester.devicePath()));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.values.at("loaded_before_open"), "0") << run.output;
    EXPECT_EQ(run.values.at("open"), "0") << run.output;
    EXPECT_EQ(run.values.at("error"), "");
    EXPECT_EQ(run.values.at("loaded_after_open"), "1");
    EXPECT_EQ(run.values.at("line"), "hello");
}

TEST(SerialModule, AMissingModuleFailsTheOpenNamingItsFile) {
    TempDir dir;
    const std::string probe = lonelyProbe(dir.file("bin"));
    ks_test::PtyPeer tester(ks_test::PtyPeer::Device::Held);
    const ProbeRun run = runProbe(probe, "serial " + quoted(tester.devicePath()));
    ASSERT_EQ(run.status, 0) << run.output; // no crash
    EXPECT_EQ(run.values.at("open"), kModuleError) << run.output;
    // What is wrong, then on a line of its own where the module was looked for.
    EXPECT_EQ(run.values.at("error"), "The module ks_serial.so is missing; install the program "
                                      "again.\\n" +
                                          dir.file("bin/ks_serial.so"))
        << run.output;
    EXPECT_EQ(run.values.at("loaded_after_open"), "0");
}

TEST(SerialModule, OneInTheCurrentFolderOrOnTheLibraryPathIsNeverLoaded) {
    TempDir dir;
    const std::string probe = lonelyProbe(dir.file("bin"));
    const std::string planted = dir.file("planted");
    fs::create_directories(planted);
    fs::copy_file(builtModule("ks_serial.so"), planted + "/ks_serial.so");
    ks_test::PtyPeer tester(ks_test::PtyPeer::Device::Held);
    const ProbeRun run = runProbe(probe, "serial " + quoted(tester.devicePath()), planted,
                                  "LD_LIBRARY_PATH=" + quoted(planted));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.values.at("open"), kModuleError) << run.output;
    EXPECT_EQ(run.values.at("loaded_after_open"), "0");
}

TEST(SerialModule, ABrokenModuleOrOneWithoutItsEntryPointIsNamedWithTheReason) {
    TempDir dir;
    const std::string probe = lonelyProbe(dir.file("bin"));
    ks_test::PtyPeer tester(ks_test::PtyPeer::Device::Held);
    const std::string module = dir.file("bin/ks_serial.so");

    dir.write("bin/ks_serial.so", "not a shared library\n");
    ProbeRun run = runProbe(probe, "serial " + quoted(tester.devicePath()));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.values.at("open"), kModuleError);
    EXPECT_TRUE(contains(run.values.at("error"), "The module ks_serial.so cannot be loaded; "
                                                 "install the program again.\\n" +
                                                     module + ": "))
        << run.output;

    // A library, but another module: it loads and lacks the serial module's entry point.
    fs::remove(module);
    fs::copy_file(builtModule("ks_print.so"), module);
    run = runProbe(probe, "serial " + quoted(tester.devicePath()));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.values.at("open"), kModuleError);
    EXPECT_EQ(run.values.at("error"), "The module ks_serial.so cannot be loaded; install the "
                                      "program again.\\n" +
                                          module + " lacks its entry point ks_new_serial_device")
        << run.output;
}

TEST(PrintModule, AttributesSetBeforeItLoadsReachThePrinter) {
    TempDir dir;
    const std::string pdf = dir.file("page.pdf");
    const ProbeRun run = runProbe(KS_MODULE_PROBE, "print " + quoted(pdf));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.values.at("loaded_before_print"), "0") << run.output;
    EXPECT_EQ(run.values.at("print"), "0") << run.output;
    EXPECT_EQ(run.values.at("loaded_after_print"), "1");
    EXPECT_TRUE(contains(ks_test::pdfText(pdf).value_or(""), "Printed by the probe"));
    // A5 (148 x 210 mm) in landscape: 595 x 420 points.
    const auto info = ks_test::runCommand("pdfinfo " + quoted(pdf));
    double width = 0, height = 0;
    const size_t size = info.output.find("Page size:");
    ASSERT_NE(size, std::string::npos) << info.output;
    std::sscanf(info.output.c_str() + size, "Page size: %lf x %lf", &width, &height);
    EXPECT_NEAR(width, 595.3, 1.0) << info.output;
    EXPECT_NEAR(height, 419.5, 1.0) << info.output;
}

TEST(PrintModule, AMissingModuleFailsThePrintAndThePrintCommandSaysSoInAMessageBox) {
    TempDir dir;
    const std::string probe = lonelyProbe(dir.file("bin"));
    const std::string module = dir.file("bin/ks_print.so");

    const ProbeRun toFile = runProbe(probe, "print " + quoted(dir.file("page.pdf")));
    ASSERT_EQ(toFile.status, 0) << toFile.output;
    EXPECT_EQ(toFile.values.at("print"), kModuleError) << toFile.output;
    EXPECT_FALSE(fs::exists(dir.file("page.pdf")));
    EXPECT_TRUE(contains(toFile.output, "The module ks_print.so is missing")) << toFile.output;
    EXPECT_TRUE(contains(toFile.output, module)) << toFile.output;

    const ProbeRun command = runProbe(probe, "print-dialog");
    ASSERT_EQ(command.status, 0) << command.output;
    EXPECT_EQ(command.values.at("print"), kModuleError) << command.output;
    EXPECT_EQ(command.values.at("popup"), "Printing is not available. The module ks_print.so is "
                                          "missing; install the program again.\\n" +
                                              module)
        << command.output;
}

TEST(Program, NeedsNeitherQtSerialPortNorQtPrintSupportToStart) {
    const auto needed =
        ks_test::runCommand("readelf -d " + quoted(ks_test::programPath("ks_read")));
    ASSERT_EQ(needed.status, 0) << needed.output;
    ASSERT_TRUE(contains(needed.output, "[libQt6Widgets.so")) << needed.output;
    EXPECT_FALSE(contains(needed.output, "libQt6SerialPort")) << needed.output;
    EXPECT_FALSE(contains(needed.output, "libQt6PrintSupport")) << needed.output;
}

} // namespace

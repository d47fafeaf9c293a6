// Loads the program's modules: shared libraries beside the executable that hold the parts which
// need a library of their own (the serial port's Qt SerialPort, printing's Qt PrintSupport), so
// that the program does not load those libraries at start-up but on the first call that needs
// them. Internal to the run-time.
//
// A module is looked for only in the folder of the running executable (/proc/self/exe), by its
// full path: never through the library path, an environment variable or the current folder, so
// a library planted there is never loaded. A module that loaded stays loaded until the process
// ends; one that did not is tried again on the next call, so a module installed meanwhile is
// found.
#pragma once

#include <string>

namespace ks_io {

// The address of `symbol` (the module's entry point) in the module file `fileName` (a bare name
// such as "ks_serial.so"), loading the module on first use. nullptr when the module is missing,
// cannot be loaded or lacks the entry point; *error (when not null) then says so in two lines,
// "The module <fileName> is missing; install the program again." (or "cannot be loaded") and the
// detail that names the module's full path. The same text goes once to Qt's warning channel.
void *moduleSymbol(const char *fileName, const char *symbol, std::string *error);

} // namespace ks_io

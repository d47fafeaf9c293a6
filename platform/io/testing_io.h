// Test hooks of the file, time and serial services (ks_platform_io).
//
// Tests redirect the program folder and the legacy root into their own temporary folders, fix
// the clock, and map port numbers straight to a device. platform/testing.h includes this header;
// application code never does. Every setter accepts an empty value (nullptr or an empty
// function) to restore the real behaviour.
#pragma once

#include <functional>

// Program folder that GetProjectDir reports from now on (no trailing separator needed).
void RT_TestSetProgramDir(const char *directory);
// Folder that stands for the root of drive C: ("C:\ks.ini" becomes <directory>/ks.ini).
void RT_TestSetLegacyRoot(const char *directory);

// The replaceable clock. `timer` stands in for Timer (monotonic seconds), `currentTime` for the
// calendar time behind RT_CurrentTime, DateStr and TimeStr, and `delay` for the pause of Delay
// and SyncWait (a fake clock usually advances its timer there). Members left empty keep the
// real source.
struct RT_TestClock {
    std::function<double()> timer;
    std::function<long long()> currentTime;
    std::function<void(double seconds)> delay;
};
void RT_TestSetClock(const RT_TestClock &clock);
void RT_TestResetClock(void);

// Port `port` opens `devicePath` from now on, before the COM<n> link and the platform's rule.
// nullptr removes the mapping.
void RT_TestMapPort(int port, const char *devicePath);

// Bytes that writes through the file services (RT_WriteFile, FmtFile, RT_CopyFile, RT_ReplaceFile,
// RT_AppendWhole) may still put on disk, as on a disk that is nearly full: a write beyond them
// stores what fits and then fails with "no space left". Each written byte uses up the space.
// A negative value means no limit (the default).
void RT_TestSetFreeSpace(long long bytes);

// The next `count` waits of ComRdTerm for bytes end at once as a signal would end them
// (interrupted, EINTR), so tests can check that such a wait is retried.
void RT_TestInterruptComWaits(int count);

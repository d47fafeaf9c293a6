// Test hooks of the localization library (for tests only; the library's users never call them):
// failures injected into its allocations and into the run-time calls of its capture and apply.
#pragma once

// Makes `count` allocations of this library fail after `skip` successful ones (0, 0: none fail).
void LocTestFailAllocations(int skip, int count);
// Makes `count` run-time calls of the capture and apply steps return -47 (invalid value) after
// `skip` successful ones (0, 0: none fail), to reach the paths of a failing run-time.
void LocTestFailRuntimeCalls(int skip, int count);
// Number of injected failures so far (allocations + run-time calls); reset by either call above.
int LocTestInjectedFailures(void);

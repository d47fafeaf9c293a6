// Time services of the run-time: Timer, Delay, SyncWait, RT_CurrentTime, DateStr, TimeStr, and
// the replaceable clock of platform/testing_io.h. See platform/files.h.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

#include "platform/io/files.h"
#include "platform/io/testing_io.h"

namespace {

RT_TestClock &testClock() {
    static RT_TestClock clock;
    return clock;
}

double monotonicSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void sleepSeconds(double seconds) {
    // NaN, zero and negative pauses return at once.
    if (!(seconds > 0.0)) return;
    // Sleep to an absolute deadline so that signals cannot stretch the pause.
    timespec deadline{};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    const double whole = std::floor(seconds);
    const double maxWhole = static_cast<double>(std::numeric_limits<time_t>::max() / 2);
    deadline.tv_sec += static_cast<time_t>(whole < maxWhole ? whole : maxWhole);
    deadline.tv_nsec += static_cast<long>((seconds - whole) * 1e9);
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

bool localCalendar(long long calendarTime, std::tm &out) {
    const time_t time = static_cast<time_t>(calendarTime);
    return ::localtime_r(&time, &out) != nullptr;
}

} // namespace

void RT_TestSetClock(const RT_TestClock &clock) {
    testClock() = clock;
}

void RT_TestResetClock(void) {
    testClock() = RT_TestClock{};
}

double Timer(void) {
    const auto &clock = testClock();
    return clock.timer ? clock.timer() : monotonicSeconds();
}

long long RT_CurrentTime(void) {
    const auto &clock = testClock();
    return clock.currentTime ? clock.currentTime() : static_cast<long long>(std::time(nullptr));
}

void Delay(double seconds) {
    const auto &clock = testClock();
    if (clock.delay) {
        if (seconds > 0.0) clock.delay(seconds);
        return;
    }
    sleepSeconds(seconds);
}

double SyncWait(double beginTime, double interval) {
    // One pause for the remaining time, so a replaced clock sees exactly one delay request.
    const double remaining = beginTime + interval - Timer();
    if (remaining > 0.0) Delay(remaining);
    return Timer();
}

const char *DateStr(void) {
    return RT_DateStrAt(RT_CurrentTime());
}

const char *TimeStr(void) {
    return RT_TimeStrAt(RT_CurrentTime());
}

const char *RT_DateStrAt(long long calendarTime) {
    thread_local char text[48];
    std::tm tm{};
    if (!localCalendar(calendarTime, tm)) return "00-00-0000";
    std::snprintf(text, sizeof text, "%02d-%02d-%04d", tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_year + 1900);
    return text;
}

const char *RT_TimeStrAt(long long calendarTime) {
    thread_local char text[48];
    std::tm tm{};
    if (!localCalendar(calendarTime, tm)) return "00:00:00";
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

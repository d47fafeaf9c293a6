// File, formatting and time services of ks_platform_io, on real files in a temporary folder.
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/io/files.h"
#include "toolbox/core/errors.h"
#include "platform/io/testing_io.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"

namespace fs = std::filesystem;
using ks_test::readFile;
using ks_test::TempDir;
using ks_test::Unprivileged;
using ks_test::writeFile;

namespace {

int countEntries(const std::string &dir) {
    int n = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(dir))
        ++n;
    return n;
}

} // namespace

TEST(ProgramDir, IsTheExecutablesFolderUntilATestRedirectsIt) {
    char dir[PATH_MAX];
    ASSERT_EQ(GetProjectDir(dir), 0);
    EXPECT_TRUE(fs::exists(fs::path(dir) / program_invocation_short_name)) << dir;
    EXPECT_NE(std::string(dir).back(), '/');

    TempDir temp;
    RT_TestSetProgramDir((temp.path() + "/").c_str());
    ASSERT_EQ(GetProjectDir(dir), 0);
    EXPECT_EQ(std::string(dir), temp.path());

    // A buffer too small gets an error and an empty text, never a cut path.
    char tiny[8];
    EXPECT_EQ(GetProjectDir(tiny), RT_ERR_INVALID_VALUE);
    EXPECT_STREQ(tiny, "");
    RT_TestSetProgramDir(nullptr);
    ASSERT_EQ(GetProjectDir(dir), 0);
    EXPECT_NE(std::string(dir), temp.path());
}

TEST(LegacyPath, DrivePathsLandInTheLegacyRoot) {
    TempDir temp;
    RT_TestSetLegacyRoot(temp.path().c_str());
    char mapped[PATH_MAX];
    ASSERT_EQ(RT_MapLegacyPath("C:\\ks.ini", mapped, sizeof mapped), 0);
    EXPECT_EQ(std::string(mapped), temp.file("ks.ini"));
    ASSERT_EQ(RT_MapLegacyPath("c:\\Data\\x.txt", mapped, sizeof mapped), 0);
    EXPECT_EQ(std::string(mapped), temp.file("Data/x.txt"));
    ASSERT_EQ(RT_MapLegacyPath("D:\\y", mapped, sizeof mapped), 0);
    EXPECT_EQ(std::string(mapped), temp.file("d/y"));
    // Without a drive only the separators change.
    ASSERT_EQ(RT_MapLegacyPath("Data\\a.txt", mapped, sizeof mapped), 0);
    EXPECT_STREQ(mapped, "Data/a.txt");
    // A drive path may not climb out of the legacy root.
    EXPECT_EQ(RT_MapLegacyPath("C:\\..\\etc\\passwd", mapped, sizeof mapped), RT_ERR_INVALID_VALUE);
    EXPECT_STREQ(mapped, "");
    char small[6];
    EXPECT_EQ(RT_MapLegacyPath("C:\\ks.ini", small, sizeof small), RT_ERR_INVALID_VALUE);
    RT_TestSetLegacyRoot(nullptr);
}

TEST(LegacyPath, DefaultRootFollowsTheUsersConfigFolder) {
    const char *oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = oldConfig ? oldConfig : "";
    char root[PATH_MAX];

    ::setenv("XDG_CONFIG_HOME", "/tmp/somewhere/config/", 1);
    ASSERT_EQ(RT_GetLegacyRoot(root, sizeof root), 0);
    EXPECT_STREQ(root, "/tmp/somewhere/config/ks_read");

    // A relative XDG_CONFIG_HOME is ignored, as the XDG rules say.
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ASSERT_EQ(RT_GetLegacyRoot(root, sizeof root), 0);
    EXPECT_EQ(std::string(root), std::string(std::getenv("HOME")) + "/.config/ks_read");

    if (oldConfig)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

TEST(FileServices, MissingExistingAndFolderPaths) {
    TempDir temp;
    int size = -1;
    EXPECT_EQ(GetFileInfo(temp.file("missing").c_str(), &size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(GetFileInfo(temp.file("missing/below").c_str(), &size), 0);
    EXPECT_EQ(RT_GetFileSize(temp.file("missing").c_str(), &size), RT_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(RT_DeleteFile(temp.file("missing").c_str()), RT_ERR_FILE_NOT_FOUND);

    writeFile(temp.file("seven"), std::string("1234\0"
                                              "67",
                                              7));
    EXPECT_EQ(GetFileInfo(temp.file("seven").c_str(), &size), 1);
    EXPECT_EQ(size, 7);
    EXPECT_EQ(RT_GetFileSize(temp.file("seven").c_str(), &size), 0);
    EXPECT_EQ(size, 7);

    EXPECT_EQ(MakeDir(temp.file("Data").c_str()), 0);
    EXPECT_EQ(MakeDir(temp.file("Data").c_str()), 0) << "an existing folder is success";
    EXPECT_EQ(GetFileInfo(temp.file("Data").c_str(), &size), 1);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(RT_GetFileSize(temp.file("Data").c_str(), &size), RT_ERR_FILE_ACCESS);
    EXPECT_EQ(MakeDir(temp.file("seven").c_str()), RT_ERR_FILE_EXISTS);
    EXPECT_EQ(MakeDir(temp.file("no/such/parent").c_str()), RT_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(RT_DeleteFile(temp.file("Data").c_str()), RT_ERR_FILE_ACCESS);

    EXPECT_EQ(RT_DeleteFile(temp.file("seven").c_str()), 0);
    EXPECT_FALSE(fs::exists(temp.file("seven")));
    EXPECT_EQ(GetFileInfo(nullptr, &size), RT_ERR_NULL_POINTER);
}

TEST(FileServices, ReadOnlyPathsAreRefusedAndLeftAlone) {
    TempDir temp;
    fs::permissions(temp.path(),
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    writeFile(temp.file("locked"), "old contents");
    writeFile(temp.file("source"), "new contents");
    fs::create_directory(temp.file("shut"));
    ::chmod(temp.file("locked").c_str(), 0444);
    ::chmod(temp.file("source").c_str(), 0444);
    ::chmod(temp.file("shut").c_str(), 0555);
    {
        Unprivileged guard;
        EXPECT_EQ(
            RT_OpenFile(temp.file("locked").c_str(), RT_FILE_WRITE, RT_FILE_APPEND, RT_FILE_ASCII),
            RT_ERR_FILE_ACCESS);
        EXPECT_EQ(RT_CopyFile(temp.file("source").c_str(), temp.file("locked").c_str()),
                  RT_ERR_FILE_ACCESS);
        EXPECT_EQ(RT_CopyFile(temp.file("source").c_str(), temp.file("shut/copy").c_str()),
                  RT_ERR_FILE_ACCESS);
        EXPECT_EQ(MakeDir(temp.file("shut/sub").c_str()), RT_ERR_FILE_ACCESS);
        int size = 0;
        EXPECT_EQ(GetFileInfo(temp.file("locked").c_str(), &size), 1);
        EXPECT_EQ(size, 12);
        const int handle = RT_OpenFile(temp.file("locked").c_str(), RT_FILE_READ, RT_FILE_TRUNCATE,
                                       RT_FILE_BINARY);
        EXPECT_GT(handle, 0) << "reading a read-only file works and never truncates it";
        EXPECT_EQ(RT_CloseFile(handle), 0);
    }
    EXPECT_EQ(readFile(temp.file("locked")), "old contents");
    EXPECT_EQ(countEntries(temp.path()), 3);
    EXPECT_EQ(countEntries(temp.file("shut")), 0);
}

TEST(FileServices, OpenWriteAppendAndKeepModes) {
    TempDir temp;
    const std::string log = temp.file("TCLOG");
    int h = RT_OpenFile(log.c_str(), RT_FILE_WRITE, RT_FILE_TRUNCATE, RT_FILE_ASCII);
    ASSERT_GT(h, 0);
    EXPECT_EQ(RT_WriteFile(h, "a\tb\n", 4), 4);
    EXPECT_EQ(FmtFile(h, "%s\t%i\t%.2f\n", "x", 42, 12.6), 11);
    EXPECT_EQ(RT_CloseFile(h), 0);
    EXPECT_EQ(RT_CloseFile(h), RT_ERR_INVALID_VALUE) << "a closed handle is not valid";
    EXPECT_EQ(RT_WriteFile(h, "z", 1), RT_ERR_INVALID_VALUE);
    EXPECT_EQ(readFile(log), "a\tb\nx\t42\t12.60\n") << "text mode keeps \\n as it is";

    h = RT_OpenFile(log.c_str(), RT_FILE_WRITE, RT_FILE_APPEND, RT_FILE_ASCII);
    ASSERT_GT(h, 0);
    EXPECT_EQ(RT_WriteFile(h, "end\n", -1), 4);
    EXPECT_EQ(RT_CloseFile(h), 0);
    EXPECT_EQ(readFile(log), "a\tb\nx\t42\t12.60\nend\n");

    h = RT_OpenFile(log.c_str(), RT_FILE_READWRITE, RT_FILE_OPEN, RT_FILE_BINARY);
    ASSERT_GT(h, 0);
    EXPECT_EQ(RT_WriteFile(h, "A", 1), 1);
    EXPECT_EQ(RT_CloseFile(h), 0);
    EXPECT_EQ(readFile(log), "A\tb\nx\t42\t12.60\nend\n")
        << "open mode neither truncates nor appends";

    h = RT_OpenFile(log.c_str(), RT_FILE_WRITE, RT_FILE_TRUNCATE, RT_FILE_BINARY);
    EXPECT_EQ(RT_CloseFile(h), 0);
    EXPECT_EQ(readFile(log), "");

    EXPECT_EQ(RT_OpenFile(temp.file("none/x").c_str(), RT_FILE_WRITE, RT_FILE_TRUNCATE, 0),
              RT_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(RT_OpenFile(temp.file("absent").c_str(), RT_FILE_READ, RT_FILE_OPEN, 0),
              RT_ERR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(temp.file("absent"))) << "reading never creates";
    EXPECT_EQ(RT_OpenFile(temp.path().c_str(), RT_FILE_READ, RT_FILE_OPEN, 0), RT_ERR_FILE_ACCESS);
    EXPECT_EQ(RT_OpenFile(log.c_str(), 3, 0, 0), RT_ERR_INVALID_VALUE);
}

TEST(FileServices, OpenHandlesAreDistinctAndLimited) {
    TempDir temp;
    std::vector<int> handles;
    int last = 0;
    for (int i = 0; i < 300; ++i) {
        last = RT_OpenFile(temp.file("f" + std::to_string(i)).c_str(), RT_FILE_WRITE,
                           RT_FILE_TRUNCATE, RT_FILE_BINARY);
        if (last < 0) break;
        for (int h : handles)
            ASSERT_NE(h, last);
        handles.push_back(last);
    }
    EXPECT_EQ(last, RT_ERR_TOO_MANY_FILES);
    EXPECT_GE(handles.size(), 100u);
    for (int h : handles)
        EXPECT_EQ(RT_CloseFile(h), 0);
}

TEST(CopyFile, CopiesEveryByteAndReplacesTheTarget) {
    TempDir temp;
    std::string big;
    for (int i = 0; i < 200000; ++i)
        big.push_back(static_cast<char>(i * 7 + (i >> 9)));
    writeFile(temp.file("src"), big);
    writeFile(temp.file("dst"), "previous");
    ASSERT_EQ(RT_CopyFile(temp.file("src").c_str(), temp.file("dst").c_str()), 0);
    EXPECT_EQ(readFile(temp.file("dst")), big);
    ASSERT_EQ(RT_CopyFile(temp.file("src").c_str(), temp.file("src").c_str()), 0);
    EXPECT_EQ(readFile(temp.file("src")), big) << "copying a file onto itself keeps it";
    EXPECT_EQ(countEntries(temp.path()), 2) << "no temporary file stays behind";
    EXPECT_EQ(RT_CopyFile(temp.file("src").c_str(), temp.path().c_str()), RT_ERR_FILE_ACCESS);
}

TEST(CopyFile, AFailedCopyLeavesNoPartialTarget) {
    TempDir temp;
    EXPECT_EQ(RT_CopyFile(temp.file("missing").c_str(), temp.file("dst").c_str()),
              RT_ERR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(temp.file("dst")));

    // The process's own memory file opens but fails on the first read: a copy that breaks
    // after the target folder has been written to.
    writeFile(temp.file("dst"), "kept");
    EXPECT_LT(RT_CopyFile("/proc/self/mem", temp.file("dst").c_str()), 0);
    EXPECT_EQ(readFile(temp.file("dst")), "kept");
    EXPECT_EQ(countEntries(temp.path()), 1);
    EXPECT_LT(RT_CopyFile("/proc/self/mem", temp.file("new").c_str()), 0);
    EXPECT_FALSE(fs::exists(temp.file("new")));
    EXPECT_EQ(RT_CopyFile(temp.file("dst").c_str(), temp.file("none/dst").c_str()),
              RT_ERR_FILE_NOT_FOUND);
}

TEST(Fmt, FormatsAndNeverOverrunsItsBuffer) {
    char text[64];
    EXPECT_EQ(Fmt(text, "%s\t%i\t%f\n", "TC", -7, 12.5), 16);
    EXPECT_STREQ(text, "TC\t-7\t12.500000\n");

    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(Fmt(small, "%s", "0123456789"), 7) << "reports what it wrote, not what it wanted";
    EXPECT_STREQ(small, "0123456");
    char one[1] = {'x'};
    EXPECT_EQ(Fmt(one, "%i", 5), 0);
    EXPECT_STREQ(one, "");
    EXPECT_EQ(Fmt(nullptr, 4, "%i", 5), RT_ERR_NULL_POINTER);
    EXPECT_EQ(Fmt(static_cast<char *>(text), 0, "%i", 5), RT_ERR_INVALID_VALUE);
}

TEST(FindPattern, SearchesEitherWayWithOrWithoutCase) {
    const char *line = "xxSTART  : 01 start  : 02";
    EXPECT_EQ(FindPattern(line, 0, -1, "START  : ", 1, 0), 2);
    EXPECT_EQ(FindPattern(line, 0, -1, "START  : ", 1, 1), 2);
    EXPECT_EQ(FindPattern(line, 0, -1, "START  : ", 0, 1), 14);
    EXPECT_EQ(FindPattern(line, 0, -1, "START  : ", 0, 0), 2);
    EXPECT_EQ(FindPattern(line, 3, -1, "START  : ", 0, 0), 14) << "index counts from the buffer";
    EXPECT_EQ(FindPattern(line, 0, -1, "START : ", 1, 0), -1);
    // The region ends after numBytes: a match that would cross it is not found.
    EXPECT_EQ(FindPattern(line, 0, 10, "START  : ", 1, 0), -1);
    EXPECT_EQ(FindPattern(line, 0, 11, "START  : ", 1, 0), 2);
    EXPECT_EQ(FindPattern(line, 2, 9, "START  : ", 1, 1), 2);
    // numBytes may reach past a NUL when given explicitly.
    const char withNul[] = "ab\0cab";
    EXPECT_EQ(FindPattern(withNul, 0, 6, "ab", 1, 1), 4);
    EXPECT_EQ(FindPattern(withNul, 0, -1, "ab", 1, 1), 0);
    EXPECT_EQ(FindPattern(line, 0, -1, "", 1, 0), -1);
    EXPECT_EQ(FindPattern(line, -1, -1, "x", 1, 0), -1);
    EXPECT_EQ(FindPattern(line, 0, -2, "x", 1, 0), -1);
    EXPECT_EQ(FindPattern("\xC4\xE4", 0, -1, "\xE4", 0, 0), 1)
        << "bytes above 127 compare as they are";
}

class FixedClock : public ::testing::Test {
  protected:
    void SetUp() override {
        const char *tz = std::getenv("TZ");
        savedTz_ = tz ? tz : "";
        hadTz_ = tz != nullptr;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        RT_TestResetClock();
        if (hadTz_)
            ::setenv("TZ", savedTz_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

  private:
    std::string savedTz_;
    bool hadTz_ = false;
};

TEST_F(FixedClock, DateAndTimeTextsFollowTheReplacedCalendar) {
    long long now = 1796631909; // 2026-12-07 08:25:09 UTC
    RT_TestClock clock;
    clock.currentTime = [&now] { return now; };
    RT_TestSetClock(clock);
    EXPECT_EQ(RT_CurrentTime(), now);
    EXPECT_STREQ(DateStr(), "12-07-2026");
    EXPECT_STREQ(TimeStr(), "08:25:09");
    now = 1798761599; // 2026-12-31 23:59:59 UTC
    EXPECT_STREQ(DateStr(), "12-31-2026");
    EXPECT_STREQ(TimeStr(), "23:59:59");
    now = 1798761600;
    EXPECT_STREQ(DateStr(), "01-01-2027");
    EXPECT_STREQ(TimeStr(), "00:00:00");
    RT_TestResetClock();
    EXPECT_NEAR(static_cast<double>(RT_CurrentTime()), static_cast<double>(std::time(nullptr)),
                2.0);
}

TEST_F(FixedClock, SyncWaitAsksTheDelayForTheRemainingTimeOnce) {
    double t = 100.0;
    std::vector<double> pauses;
    RT_TestClock clock;
    clock.timer = [&t] { return t; };
    clock.delay = [&](double s) {
        pauses.push_back(s);
        t += s;
    };
    RT_TestSetClock(clock);
    EXPECT_DOUBLE_EQ(Timer(), 100.0);
    EXPECT_DOUBLE_EQ(SyncWait(99.99, 0.03), 100.02);
    ASSERT_EQ(pauses.size(), 1u);
    EXPECT_NEAR(pauses[0], 0.02, 1e-9);
    EXPECT_DOUBLE_EQ(SyncWait(50.0, 0.03), 100.02) << "a past deadline does not wait";
    Delay(0.5);
    Delay(-1.0);
    Delay(std::nan(""));
    ASSERT_EQ(pauses.size(), 2u);
    EXPECT_DOUBLE_EQ(Timer(), 100.52);
}

TEST(RealClock, TimerIsMonotonicAndDelayWaitsAtLeastItsTime) {
    const double t0 = Timer();
    Delay(0.05);
    const double t1 = Timer();
    EXPECT_GE(t1 - t0, 0.05);
    // Pauses that make no sense return instead of hanging.
    Delay(-5.0);
    Delay(std::nan(""));
    EXPECT_LT(Timer() - t1, 1.0);
    const double t2 = SyncWait(t1, 0.05);
    EXPECT_GE(t2, t1 + 0.05);
}

TEST(ReplaceFile, ReplacesWholeFollowsTheFilesLinkAndNeverAPlantedOne) {
    TempDir temp;
    // A link planted where a predictable temporary name would be: it must stay untouched.
    writeFile(temp.file("victim"), "keep me");
    fs::create_symlink(temp.file("victim"), temp.file("ks.ini.tmp"));
    const std::string data(940, 'a');
    ASSERT_EQ(RT_ReplaceFile(temp.file("ks.ini").c_str(), data.data(), data.size()), 0);
    EXPECT_EQ(readFile(temp.file("ks.ini")), data);
    EXPECT_EQ(readFile(temp.file("victim")), "keep me");

    // A file that is a link (through a relative link to another link): its target is replaced,
    // with the target's permissions, and the links stay links.
    fs::create_directories(temp.file("real"));
    writeFile(temp.file("real/settings"), "old");
    ASSERT_EQ(::chmod(temp.file("real/settings").c_str(), 0640), 0);
    fs::create_symlink("real/settings", temp.file("middle"));
    fs::create_symlink(temp.file("middle"), temp.file("linked.ini"));
    ASSERT_EQ(RT_ReplaceFile(temp.file("linked.ini").c_str(), "new", 3), 0);
    EXPECT_TRUE(fs::is_symlink(temp.file("linked.ini")));
    EXPECT_TRUE(fs::is_symlink(temp.file("middle")));
    EXPECT_EQ(readFile(temp.file("real/settings")), "new");
    struct stat st {};
    ASSERT_EQ(::stat(temp.file("real/settings").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(countEntries(temp.file("real")), 1);

    // A folder of that name, or a full disk: an error, nothing changed, nothing left behind.
    fs::create_directories(temp.file("folder.ini"));
    EXPECT_EQ(RT_ReplaceFile(temp.file("folder.ini").c_str(), "x", 1), RT_ERR_FILE_ACCESS);
    RT_TestSetFreeSpace(100);
    EXPECT_EQ(RT_ReplaceFile(temp.file("ks.ini").c_str(), data.data(), data.size()),
              RT_ERR_DISK_FULL);
    RT_TestSetFreeSpace(-1);
    EXPECT_EQ(readFile(temp.file("ks.ini")), data);
    // victim, ks.ini.tmp, ks.ini, real, middle, linked.ini, folder.ini: no temporary file.
    EXPECT_EQ(countEntries(temp.path()), 7);
}

TEST(AppendWhole, AShortWriteOnAFullDiskLeavesTheFileAsItWas) {
    TempDir temp;
    const std::string log = temp.file("TCLOG");
    ASSERT_EQ(RT_AppendWhole(log.c_str(), "header\n", 7), 0);
    ASSERT_EQ(RT_AppendWhole(log.c_str(), "row 1\n", 6), 0);
    // The real thing: a file-size limit makes the kernel store part of the row and then refuse
    // the rest (EFBIG), as a disk that fills in the middle of a row does.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 20;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string row = "a row that does not fit\n";
    const int result = RT_AppendWhole(log.c_str(), row.data(), row.size());
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_EQ(result, RT_ERR_DISK_FULL);
    EXPECT_EQ(readFile(log), "header\nrow 1\n");
    // The seam does the same for the tests above the platform.
    RT_TestSetFreeSpace(3);
    EXPECT_EQ(RT_AppendWhole(log.c_str(), row.data(), row.size()), RT_ERR_DISK_FULL);
    RT_TestSetFreeSpace(-1);
    EXPECT_EQ(readFile(log), "header\nrow 1\n");
    ASSERT_EQ(RT_AppendWhole(log.c_str(), row.data(), row.size()), 0);
    EXPECT_EQ(readFile(log), "header\nrow 1\n" + row);
    // A folder is no log.
    EXPECT_EQ(RT_AppendWhole(temp.path().c_str(), "x", 1), RT_ERR_FILE_ACCESS);
}

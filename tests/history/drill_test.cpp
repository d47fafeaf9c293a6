// The kill -9 drill: a writer storing results is killed at random moments and started again until
// it has stored them all. Every result it reported stored must be there, none twice, and the file
// must pass SQLite's integrity check. The count comes from the command line.
#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "history/history.h"
#include "tests/support/qt_core_environment.h"
#include "tests/support/temp_dir.h"

namespace {

int drillCount = 100;

struct WriterRun {
    std::set<int> reported;
    bool killed = false;
    bool finished = false;
};

// Collects the "stored N" lines complete in pending.
void TakeReports(std::string &pending, std::set<int> &reported) {
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        reported.insert(std::atoi(pending.c_str() + std::strlen("stored ")));
        pending.erase(0, end + 1);
    }
}

// Starts the writer and kills it with SIGKILL `delayUs` after it has reported `killAfter`
// results, so the kill falls in the middle of its writing; it may end first.
WriterRun RunWriter(const std::string &db, int killAfter, int delayUs) {
    WriterRun run;
    int out[2];
    if (pipe(out) != 0) return run;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        const std::string count = std::to_string(drillCount);
        execl(KS_DRILL_WRITER, KS_DRILL_WRITER, db.c_str(), count.c_str(), nullptr);
        _exit(127);
    }
    close(out[1]);
    std::string pending;
    for (;;) {
        if (static_cast<int>(run.reported.size()) >= killAfter) {
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
            kill(pid, SIGKILL);
            run.killed = true;
            break;
        }
        char buffer[256];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break; // the writer ended
        pending.append(buffer, static_cast<size_t>(n));
        TakeReports(pending, run.reported);
    }
    // Lines written just before the kill are still in the pipe.
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        pending.append(buffer, static_cast<size_t>(n));
    TakeReports(pending, run.reported);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

TEST(HistoryDrill, KillNineLosesNoStoredResultAndDuplicatesNone) {
    ks_test::TempDir dir;
    const std::string db = dir.file(kHistoryFileName);
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> results(0, 12);
    std::uniform_int_distribution<int> delayUs(0, 1500);
    std::set<int> reported;
    int kills = 0;
    for (int runs = 0;; ++runs) {
        ASSERT_LT(runs, 20 * drillCount) << "the writer makes no progress";
        const WriterRun run = RunWriter(db, results(random), delayUs(random));
        reported.insert(run.reported.begin(), run.reported.end());
        ASSERT_TRUE(run.killed || run.finished)
            << "the writer failed on its own: the database it left could not be used";
        if (run.killed) ++kills;
        if (run.finished) break;
    }
    std::printf("drill: %d results, %d kills\n", drillCount, kills);
    EXPECT_GT(kills, 0);

    std::multiset<int> stored;
    {
        QSqlDatabase check = QSqlDatabase::addDatabase("QSQLITE", "drill");
        check.setDatabaseName(QString::fromStdString(db));
        ASSERT_TRUE(check.open());
        QSqlQuery q(check);
        ASSERT_TRUE(q.exec("PRAGMA integrity_check") && q.next());
        EXPECT_EQ(q.value(0).toString().toStdString(), "ok");
        ASSERT_TRUE(q.exec("SELECT test_no FROM results"));
        while (q.next())
            stored.insert(q.value(0).toInt());
        ASSERT_TRUE(q.exec("INSERT INTO results_fts (results_fts) VALUES ('integrity-check')"))
            << "the search index must agree with the rows";
    }
    QSqlDatabase::removeDatabase("drill");
    for (int n : reported)
        EXPECT_EQ(stored.count(n), 1u) << "result " << n << " was reported stored";
    for (int n = 1; n <= drillCount; ++n)
        EXPECT_EQ(stored.count(n), 1u) << "result " << n;
    EXPECT_EQ(stored.size(), static_cast<size_t>(drillCount));
}

} // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) drillCount = std::atoi(argv[1]);
    ::testing::AddGlobalTestEnvironment(new ks_test::QtCoreEnvironment);
    return RUN_ALL_TESTS();
}

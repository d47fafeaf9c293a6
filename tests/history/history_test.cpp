// The results history store: every field kept, entry and notes updated, the search, the schema
// version, a damaged file, a read-only folder and a full disk.
#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "history/history.h"
#include "history_sample.h"
#include "tests/support/files.h"
#include "tests/support/qt_core_environment.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"
#include "toolbox/core/errors.h"

namespace {

void ExpectSame(const HistoryResult &a, const HistoryResult &b) {
    EXPECT_EQ(a.source, b.source);
    EXPECT_EQ(a.shownUtc, b.shownUtc);
    EXPECT_EQ(a.utcOffset, b.utcOffset);
    EXPECT_EQ(a.programVersion, b.programVersion);
    EXPECT_EQ(a.logo0, b.logo0);
    EXPECT_EQ(a.logo1, b.logo1);
    EXPECT_EQ(a.info, b.info);
    EXPECT_EQ(a.jisNo, b.jisNo);
    EXPECT_DOUBLE_EQ(a.bVolt, b.bVolt);
    EXPECT_EQ(a.tCode, b.tCode);
    EXPECT_EQ(a.cCode, b.cCode);
    EXPECT_EQ(a.ver, b.ver);
    const int32_t left[] = {a.sys24V, a.inVehicle, a.setPoint, a.system, a.bCca,
                            a.bRslt,  a.bType,     a.soc,      a.tComp,  a.b4aCh,
                            a.sChrg,  a.sys6V,     a.testNo,   a.serNo};
    const int32_t right[] = {b.sys24V, b.inVehicle, b.setPoint, b.system, b.bCca,
                             b.bRslt,  b.bType,     b.soc,      b.tComp,  b.b4aCh,
                             b.sChrg,  b.sys6V,     b.testNo,   b.serNo};
    for (size_t i = 0; i < std::size(left); ++i)
        EXPECT_EQ(left[i], right[i]) << "integer field " << i;
    EXPECT_EQ(a.entry, b.entry);
    EXPECT_EQ(a.notes, b.notes);
}

class HistoryTest : public ::testing::Test {
  protected:
    ks_test::TempDir dir_;
    std::string path_ = dir_.file(kHistoryFileName);
};

TEST_F(HistoryTest, KeepsEveryFieldOfReceivedAndTypedResultsAcrossReopening) {
    const HistoryResult received = SampleResult(1, HISTORY_SOURCE_TESTER);
    HistoryResult typed = SampleResult(2, HISTORY_SOURCE_TYPED);
    typed.info = {"", "", "", "", "", ""};
    typed.notes = "Zeile 1\nligne 2, \"quoted\"";
    int64_t ids[2];
    {
        HistoryStore store;
        ASSERT_EQ(store.Open(path_), 0);
        ids[0] = store.Add(received);
        ids[1] = store.AddBatch({typed, received});
        ASSERT_GT(ids[0], 0);
        EXPECT_GT(ids[1], ids[0]);
    }
    HistoryStore store;
    ASSERT_EQ(store.Open(path_), 0);
    HistoryResult back;
    ASSERT_EQ(store.Get(ids[0], &back), 0);
    EXPECT_EQ(back.localId, ids[0]);
    ExpectSame(back, received);
    ASSERT_EQ(store.Get(ids[1], &back), 0);
    ExpectSame(back, typed);
    ASSERT_EQ(store.Get(ids[1] + 1, &back), 0) << "a batch's ids are consecutive";
    ExpectSame(back, received);
    EXPECT_EQ(store.Get(ids[1] + 2, &back), HISTORY_ERR_NOT_FOUND);
    // Ids are never reused, even after the newest row is gone.
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "peek");
    db.setDatabaseName(QString::fromStdString(path_));
    ASSERT_TRUE(db.open());
    QSqlQuery(db).exec("DELETE FROM results WHERE local_id = " + QString::number(ids[1] + 1));
    EXPECT_GT(store.Add(received), ids[1] + 1);
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("peek");
}

TEST_F(HistoryTest, EntryAndNotesUpdatesAreKeptAndSearched) {
    HistoryStore store;
    ASSERT_EQ(store.Open(path_), 0);
    const int64_t id = store.Add(SampleResult(1, HISTORY_SOURCE_TESTER));
    ASSERT_EQ(store.UpdateTexts(id, "JOB-4711", "Kunde wartet"), 0);
    HistoryResult back;
    ASSERT_EQ(store.Get(id, &back), 0);
    EXPECT_EQ(back.entry, "JOB-4711");
    EXPECT_EQ(back.notes, "Kunde wartet");
    HistoryQuery query;
    query.text = "wartet";
    EXPECT_EQ(store.Count(query), 1);
    ASSERT_EQ(store.UpdateTexts(id, "JOB-4712", "fertig"), 0);
    EXPECT_EQ(store.Count(query), 0) << "the old notes must leave the search index";
    query.text = "job-4712";
    EXPECT_EQ(store.Count(query), 1);
    EXPECT_EQ(store.UpdateTexts(id + 1, "x", "y"), HISTORY_ERR_NOT_FOUND);
}

TEST_F(HistoryTest, SearchIgnoresCaseAndAccentsFindsPartsOfWordsDatesAndPlates) {
    HistoryStore store;
    ASSERT_EQ(store.Open(path_), 0);
    HistoryResult a = SampleResult(1, HISTORY_SOURCE_TESTER);
    a.info[3] = "OP MÜLLER";
    a.info[kHistoryPlateLine] = "AB-123-CD";
    a.shownUtc = 1'700'000'000;
    HistoryResult b = SampleResult(2, HISTORY_SOURCE_TESTER);
    b.info[3] = "OP Garçon";
    b.info[kHistoryPlateLine] = "AB-123-CD";
    b.shownUtc = 1'700'100'000;
    HistoryResult c = SampleResult(3, HISTORY_SOURCE_TYPED);
    c.info[kHistoryPlateLine] = "ZT-999-KX";
    c.entry = "50%_off";
    c.shownUtc = 1'700'200'000;
    for (const auto *r : {&a, &b, &c})
        ASSERT_GT(store.Add(*r), 0);

    auto found = [&](const std::string &text) {
        HistoryQuery query;
        query.text = text;
        std::vector<HistoryResult> rows;
        EXPECT_EQ(store.Search(query, &rows), 0);
        std::string ids;
        for (const auto &r : rows)
            ids += std::to_string(r.testNo);
        return ids;
    };
    EXPECT_EQ(found("müller"), "1");
    EXPECT_EQ(found("MULLER"), "1");
    EXPECT_EQ(found("ull"), "1");
    EXPECT_EQ(found("garcon"), "2");
    EXPECT_EQ(found("ÇO"), "2") << "a two-letter part";
    EXPECT_EQ(found("ab-123"), "21") << "newest first";
    EXPECT_EQ(found("123 ull"), "1") << "every word must appear";
    EXPECT_EQ(found("%_"), "3") << "wildcards are plain characters";
    EXPECT_EQ(found("\"quote"), "");
    EXPECT_EQ(found(""), "321");

    HistoryQuery query;
    query.fromUtc = 1'700'050'000;
    query.toUtc = 1'700'200'000;
    EXPECT_EQ(store.Count(query), 1) << "from is inclusive, to exclusive";
    query = HistoryQuery{};
    query.plate = "AB-123-CD";
    EXPECT_EQ(store.Count(query), 2);
    query.limit = 1;
    query.offset = 1;
    std::vector<HistoryResult> rows;
    ASSERT_EQ(store.Search(query, &rows), 0);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].testNo, 1);
}

TEST_F(HistoryTest, NewerSchemaIsOpenedToReadOnly) {
    {
        HistoryStore store;
        ASSERT_EQ(store.Open(path_), 0);
        EXPECT_EQ(store.SchemaVersion(), kHistorySchemaVersion);
        ASSERT_GT(store.Add(SampleResult(1, HISTORY_SOURCE_TESTER)), 0);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
        db.setDatabaseName(QString::fromStdString(path_));
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec(
            QString("UPDATE schema_version SET version = %1").arg(kHistorySchemaVersion + 1)));
        db.close();
    }
    QSqlDatabase::removeDatabase("newer");
    HistoryStore store;
    EXPECT_EQ(store.Open(path_), HISTORY_ERR_READ_ONLY);
    EXPECT_TRUE(store.IsReadOnly());
    EXPECT_EQ(store.SchemaVersion(), kHistorySchemaVersion + 1);
    EXPECT_FALSE(store.Health().ok);
    EXPECT_NE(store.Health().warning.find("newer"), std::string::npos);
    EXPECT_EQ(store.Count(HistoryQuery{}), 1) << "its results can still be read";
    EXPECT_EQ(store.Add(SampleResult(2, HISTORY_SOURCE_TESTER)), HISTORY_ERR_READ_ONLY);
    EXPECT_EQ(store.UpdateTexts(1, "a", "b"), HISTORY_ERR_READ_ONLY);
}

TEST_F(HistoryTest, ACountCanStopAtACap) {
    HistoryStore store;
    ASSERT_EQ(store.Open(path_), 0);
    for (int n = 1; n <= 5; ++n)
        ASSERT_GT(store.Add(SampleResult(n, HISTORY_SOURCE_TESTER)), 0);
    HistoryQuery all;
    EXPECT_EQ(store.Count(all), 5);
    EXPECT_EQ(store.Count(all, 3), 3);
    EXPECT_EQ(store.Count(all, 10), 5);
    all.text = "no such words anywhere";
    EXPECT_EQ(store.Count(all, 3), 0);
}

TEST_F(HistoryTest, TheServersQueueHoldsWhatItLacksInOrderAndFollowsChanges) {
    {
        HistoryStore store;
        ASSERT_EQ(store.Open(path_), 0);
        for (int n = 1; n <= 3; ++n)
            ASSERT_EQ(store.Add(SampleResult(n, HISTORY_SOURCE_TESTER)), n);
    }
    // A file of the first version (without the queue) comes up to date with every result queued.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older");
        db.setDatabaseName(QString::fromStdString(path_));
        ASSERT_TRUE(db.open());
        for (const char *sql :
             {"DROP INDEX results_unsent", "ALTER TABLE results DROP COLUMN revision",
              "ALTER TABLE results DROP COLUMN sent_revision",
              "UPDATE schema_version SET version = 1"})
            ASSERT_TRUE(QSqlQuery(db).exec(sql)) << sql;
        db.close();
    }
    QSqlDatabase::removeDatabase("older");
    HistoryStore store;
    ASSERT_EQ(store.Open(path_), 0);
    EXPECT_EQ(store.SchemaVersion(), kHistorySchemaVersion);
    std::vector<HistoryPending> pending;
    ASSERT_EQ(store.PendingForServer(10, &pending), 0);
    ASSERT_EQ(pending.size(), 3u);
    EXPECT_EQ(pending[0].result.localId, 1);
    EXPECT_EQ(pending[2].result.localId, 3);
    EXPECT_EQ(pending[0].revision, 1);

    ASSERT_EQ(store.MarkSentToServer({{1, 1}, {2, 1}}), 0);
    EXPECT_EQ(store.PendingForServerCount(), 1);
    // A change after sending queues the result again, at a new revision; a confirmation of the
    // older revision arriving late leaves it queued.
    ASSERT_EQ(store.UpdateTexts(1, "JOB-1", "changed after sending"), 0);
    ASSERT_EQ(store.MarkSentToServer({{1, 1}}), 0);
    ASSERT_EQ(store.PendingForServer(10, &pending), 0);
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].result.localId, 1);
    EXPECT_EQ(pending[0].revision, 2);
    EXPECT_EQ(pending[0].result.notes, "changed after sending");
    ASSERT_EQ(store.PendingForServer(1, &pending), 0);
    EXPECT_EQ(pending.size(), 1u) << "at most the limit";
    ASSERT_EQ(store.MarkSentToServer({{1, 2}, {3, 1}}), 0);
    EXPECT_EQ(store.PendingForServerCount(), 0);
}

TEST_F(HistoryTest, DamagedFileIsMovedAsideAndANewOneStarted) {
    const std::string garbage(8192, 'x');
    dir_.write(kHistoryFileName, garbage);
    HistoryStore store;
    ASSERT_EQ(store.Open(path_), 0);
    const std::string aside = store.MovedAside();
    ASSERT_NE(aside.find(std::string(kHistoryFileName) + kHistoryCorruptSuffix), std::string::npos);
    EXPECT_EQ(ks_test::readFile(aside), garbage) << "the damaged file is kept as it was";
    EXPECT_GT(store.Add(SampleResult(1, HISTORY_SOURCE_TESTER)), 0);
    EXPECT_EQ(store.Count(HistoryQuery{}), 1);
    // A healthy file is left where it is.
    HistoryStore again;
    store.Close();
    ASSERT_EQ(again.Open(path_), 0);
    EXPECT_EQ(again.MovedAside(), "");
}

TEST_F(HistoryTest, ReadOnlyFolderIsReportedAndOpenCanBeTriedAgain) {
    ASSERT_EQ(chmod(dir_.path().c_str(), 0555), 0);
    HistoryStore store;
    {
        ks_test::Unprivileged user;
        EXPECT_EQ(store.Open(path_), HISTORY_ERR_OPEN);
    }
    EXPECT_FALSE(store.IsOpen());
    EXPECT_FALSE(store.Health().ok);
    EXPECT_EQ(store.Add(SampleResult(1, HISTORY_SOURCE_TESTER)), HISTORY_ERR_NOT_OPEN);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    EXPECT_EQ(store.Open(path_), 0);
    EXPECT_TRUE(store.Health().ok);
}

TEST_F(HistoryTest, FullDiskFailsTheWriteCleanlyAndLaterWritesGoIn) {
    HistoryStore store;
    ASSERT_EQ(store.Open(path_), 0);
    // A file size limit makes the file system refuse to grow the database, as a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit tight = old;
    tight.rlim_cur = 256 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    std::vector<int64_t> stored;
    int64_t failed = 0;
    HistoryResult r = SampleResult(1, HISTORY_SOURCE_TESTER);
    r.notes = std::string(2000, 'n');
    for (int i = 0; i < 2000 && failed == 0; ++i) {
        r.testNo = i;
        const int64_t id = store.Add(r);
        if (id > 0)
            stored.push_back(id);
        else
            failed = id;
    }
    const HistoryHealth health = store.Health();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(failed, HISTORY_ERR_WRITE);
    EXPECT_FALSE(health.ok);
    EXPECT_EQ(health.error, HISTORY_ERR_WRITE);
    ASSERT_GT(store.Add(r), 0) << "writes go in again once there is room";
    EXPECT_TRUE(store.Health().ok);
    EXPECT_EQ(store.Count(HistoryQuery{}), static_cast<int64_t>(stored.size()) + 1);
}

} // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new ks_test::QtCoreEnvironment);
    return RUN_ALL_TESTS();
}

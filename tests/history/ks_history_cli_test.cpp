// ks_history against a database made by the store: search, the CSV export read back by an
// RFC 4180 parser, the statistics, and its exit codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "history/history.h"
#include "history_sample.h"
#include "tests/support/command.h"
#include "tests/support/files.h"
#include "tests/support/paths.h"
#include "tests/support/qt_core_environment.h"
#include "tests/support/temp_dir.h"

namespace {

using Table = std::vector<std::vector<std::string>>;

// A strict RFC 4180 reader: CRLF records, quoted fields with doubled quotes; fails the test on
// anything else.
Table ParseCsv(const std::string &text) {
    Table table(1, std::vector<std::string>(1));
    size_t i = 0;
    while (i < text.size()) {
        std::string &field = table.back().back();
        if (text[i] == '"' && field.empty()) {
            for (++i;; ++i) {
                if (i >= text.size()) {
                    ADD_FAILURE() << "unterminated quoted field";
                    return table;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                } else {
                    field += text[i];
                }
            }
            continue;
        }
        if (text[i] == ',') {
            table.back().emplace_back();
        } else if (text.compare(i, 2, "\r\n") == 0) {
            if (i + 2 < text.size()) table.emplace_back(1);
            ++i;
        } else if (text[i] == '\n' || text[i] == '\r' || text[i] == '"') {
            ADD_FAILURE() << "bare line break or quote at byte " << i;
        } else {
            field += text[i];
        }
        ++i;
    }
    return table;
}

class KsHistoryCli : public ::testing::Test {
  protected:
    void SetUp() override {
        HistoryStore store;
        ASSERT_EQ(store.Open(db_), 0);
        HistoryResult a = SampleResult(1, HISTORY_SOURCE_TESTER);
        a.shownUtc = 1'765'100'000; // 2025-12-07 09:33:20 UTC
        a.notes = "Kunde: \"Müller\", Batterie\nschwach";
        HistoryResult b = SampleResult(2, HISTORY_SOURCE_TYPED);
        b.shownUtc = a.shownUtc + 86'400;
        b.bRslt = 0;
        b.bVolt = 12.6;
        HistoryResult c = SampleResult(3, HISTORY_SOURCE_TESTER);
        c.shownUtc = b.shownUtc + 60;
        c.bRslt = 0;
        c.info[kHistoryPlateLine] = "ZT-777-MR";
        for (const auto *r : {&a, &b, &c})
            ASSERT_GT(store.Add(*r), 0);
    }
    ks_test::CommandResult Run(const std::string &arguments) {
        return ks_test::runCommand("TZ=UTC " + ks_test::programPath("ks_history") + " --db '" +
                                   db_ + "' " + arguments + " 2>&1");
    }
    ks_test::TempDir dir_;
    std::string db_ = dir_.file(kHistoryFileName);
};

TEST_F(KsHistoryCli, SearchFindsByAnyPartWithoutCaseOrAccents) {
    auto r = Run("search muller");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("2025-12-07T10:33:20+01:00\tREF-1\tAB12 CD34\tKX-042-PL\tGARAGE NORD\t"
                            "charge and retest\t12.45\t640\t512"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("1 result(s)"), std::string::npos);
    r = Run("search 777-m --from 2025-12-08");
    EXPECT_NE(r.output.find("ZT-777-MR"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("1 result(s)"), std::string::npos);
}

TEST_F(KsHistoryCli, ExportWritesRfc4180CsvReadBackField_by_field) {
    const std::string csv = dir_.file("out.csv");
    const auto r = Run("export --csv '" + csv + "' --to 2025-12-07");
    ASSERT_EQ(r.status, 0) << r.output;
    const Table table = ParseCsv(ks_test::readFile(csv));
    ASSERT_EQ(table.size(), 2u) << "the header and the one result of that day";
    const auto &header = table[0];
    const auto &row = table[1];
    ASSERT_EQ(header.size(), row.size());
    auto column = [&](const std::string &name) {
        for (size_t i = 0; i < header.size(); ++i)
            if (header[i] == name) return row[i];
        ADD_FAILURE() << "no column " << name;
        return std::string();
    };
    EXPECT_EQ(column("shown_at"), "2025-12-07T10:33:20+01:00");
    EXPECT_EQ(column("source"), "tester");
    EXPECT_EQ(column("reference"), "REF-1");
    EXPECT_EQ(column("test_code"), "AB12 CD34");
    EXPECT_EQ(column("info_5"), "KX-042-PL");
    EXPECT_EQ(column("verdict"), "charge and retest");
    EXPECT_EQ(column("voltage"), "12.45");
    EXPECT_EQ(column("rating"), "640");
    EXPECT_EQ(column("measured_cca"), "512");
    EXPECT_EQ(column("notes"), "Kunde: \"Müller\", Batterie\nschwach");
}

TEST_F(KsHistoryCli, StatsCountPerDayAndVerdict) {
    const auto r = Run("stats");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("2025-12-07\tcharge and retest\t1\n2025-12-08\tgood battery\t2\n"
                            "total\t\t3\n"),
              std::string::npos)
        << r.output;
}

TEST_F(KsHistoryCli, ExitCodesTellUsageFromFailure) {
    EXPECT_EQ(Run("").status, 2);
    EXPECT_EQ(Run("find x").status, 2);
    EXPECT_EQ(Run("export").status, 2);
    EXPECT_EQ(Run("search x --from yesterday").status, 2);
    auto r = ks_test::runCommand(ks_test::programPath("ks_history") + " --db '" +
                                 dir_.file("none.sqlite") + "' stats 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("does not exist"), std::string::npos) << r.output;
    r = Run("export --csv '" + dir_.file("no/such/folder/x.csv") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("cannot be written"), std::string::npos) << r.output;
}

} // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new ks_test::QtCoreEnvironment);
    return RUN_ALL_TESTS();
}

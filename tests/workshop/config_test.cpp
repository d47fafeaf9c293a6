// A bench's workshop settings: read back as written, never holding a password, and a password
// never shown in a message.
#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "toolbox/core/errors.h"
#include "workshop/workshop_config.h"

namespace {

TEST(WorkshopConfig, ReadsBackWhatWasWrittenAndNoFileMeansNoServer) {
    ks_test::TempDir dir;
    const std::string path = dir.file(kWorkshopFileName);
    WorkshopConfig read{"stale", "stale", "stale"};
    EXPECT_EQ(WorkshopReadConfig(path, &read), 0);
    EXPECT_FALSE(read.Enabled());
    EXPECT_EQ(read.bench, "");

    const WorkshopConfig written{"Bench 2 (Hall B)",
                                 "host=db.example port=5432 dbname=workshop user=bench2 "
                                 "sslmode=verify-full application_name='ks read'",
                                 "service=workshop-office"};
    ASSERT_EQ(WorkshopWriteConfig(path, written), 0);
    ASSERT_EQ(WorkshopReadConfig(path, &read), 0);
    EXPECT_TRUE(read.Enabled());
    EXPECT_EQ(read.bench, written.bench);
    EXPECT_EQ(read.connection, written.connection);
    EXPECT_EQ(read.readConnection, written.readConnection);

    // Without a read connection the file still reads back the same.
    ASSERT_EQ(WorkshopWriteConfig(path, {"b", "service=w", ""}), 0);
    ASSERT_EQ(WorkshopReadConfig(path, &read), 0);
    EXPECT_EQ(read.readConnection, "");
    EXPECT_EQ(read.connection, "service=w");

    dir.write("damaged.ini", std::string("\xff\xfe[Workshop\0garbage", 18));
    (void)WorkshopReadConfig(dir.file("damaged.ini"), &read); // no crash, whatever it holds
}

TEST(WorkshopConfig, APasswordIsNeverStoredNorShown) {
    ks_test::TempDir dir;
    const std::string path = dir.file(kWorkshopFileName);
    const struct {
        const char *connection;
        const char *shown;
    } cases[] = {
        {"host=h user=u password=secret dbname=d", "host=h user=u password=******** dbname=d"},
        {"host=h password = 'se cr\\'et' dbname=d", "host=h password = ******** dbname=d"},
        {"postgresql://u:secret@h:5432/d?sslmode=require",
         "postgresql://u:********@h:5432/d?sslmode=require"},
        {"postgres://u@h/d?sslmode=require&password=secret",
         "postgres://u@h/d?sslmode=require&password=********"},
    };
    for (const auto &c : cases) {
        EXPECT_TRUE(WorkshopConnectionHasPassword(c.connection)) << c.connection;
        EXPECT_EQ(WorkshopConnectionForLog(c.connection), c.shown);
        EXPECT_EQ(WorkshopWriteConfig(path, {"b", c.connection, ""}), WORKSHOP_ERR_PASSWORD_GIVEN);
        EXPECT_EQ(WorkshopWriteConfig(path, {"b", "service=w", c.connection}),
                  WORKSHOP_ERR_PASSWORD_GIVEN);
    }
    EXPECT_TRUE(dir.names().empty()); // nothing was written

    // Words that only look like one are no password.
    for (const char *clean : {"host=h application_name=password_reset user=u",
                              "postgresql://u@h/password?sslmode=require", "service=password"}) {
        EXPECT_FALSE(WorkshopConnectionHasPassword(clean)) << clean;
        EXPECT_EQ(WorkshopConnectionForLog(clean), clean);
    }
}

} // namespace

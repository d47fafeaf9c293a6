// ks_uiview renders a panel of a resource to a PNG of the panel's window, and fails clearly.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class UiView : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/ks_uiview_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    // Exit status of ks_uiview with the given arguments.
    int run(const std::string &args) {
        const std::string cmd = std::string(KS_PROGRAM_DIR) + "/ks_uiview " + args + " 2>/dev/null";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string dir;
    const std::string resource =
        std::string(KS_SOURCE_DIR) + "/tests/platform/data/all_styles.ui.json";
};

TEST_F(UiView, RendersThePanelWindowToAPng) {
    const std::string png = dir + "/panel2.png";
    ASSERT_EQ(run("'" + resource + "' 2 '" + png + "'"), 0);
    QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 300); // the panel's client width; the window has no frame offscreen
    EXPECT_GE(image.height(), 110);
    // Not a blank image: the button and texts leave darker pixels on the panel's background.
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 100;
    EXPECT_GT(dark, 50);
}

TEST_F(UiView, FailsWithAStatusForBadArguments) {
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(run("'" + resource + "' zero '" + dir + "/x.png'"), 1);
    EXPECT_EQ(run("'" + resource + "' 77 '" + dir + "/x.png'"), 2);
    EXPECT_EQ(run("'" + dir + "/missing.json' 1 '" + dir + "/x.png'"), 2);
    EXPECT_EQ(run("'" + resource + "' 2 '" + dir + "/no/such/folder/x.png'"), 3);
    EXPECT_FALSE(std::filesystem::exists(dir + "/x.png"));
}

} // namespace

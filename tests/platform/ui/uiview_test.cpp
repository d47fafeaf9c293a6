// ks_uiview renders a panel of a resource to a PNG of the panel's window, and fails clearly.
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <string>

#include "tests/support/command.h"
#include "tests/support/files.h"
#include "tests/support/paths.h"
#include "tests/support/temp_dir.h"

namespace {

using ks_test::writeFile;

class UiView : public ::testing::Test {
  protected:
    // Exit status of ks_uiview with the given arguments.
    int run(const std::string &args) {
        return ks_test::runCommand("'" + ks_test::programPath("ks_uiview") + "' " + args).status;
    }
    ks_test::TempDir folder;
    const std::string dir = folder.path();
    const std::string resource = ks_test::sourcePath("tests/platform/ui/data/all_styles.ui.json");
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

TEST_F(UiView, RendersThePanelInTheTextsOfALanguageFile) {
    const std::string product = ks_test::sourcePath("resources/ks_read.ui.json");
    const auto render = [&](const std::string &name, const std::string &language) {
        const std::string png = dir + "/" + name + ".png";
        const std::string option =
            language.empty() ? "" : " --language '" + ks_test::sourcePath(language) + "'";
        EXPECT_EQ(run("'" + product + "' 1 '" + png + "'" + option), 0) << name;
        return QImage(QString::fromStdString(png));
    };
    const QImage plain = render("plain", "");
    const QImage english = render("english", "resources/English.lng");
    const QImage german = render("german", "resources/German.lng");
    ASSERT_FALSE(plain.isNull());
    // English is the resource's own text: the same picture. German is another.
    EXPECT_EQ(plain, english);
    ASSERT_EQ(plain.size(), german.size());
    EXPECT_NE(plain, german);

    // A file that is not a language file of this resource, a missing one, a missing argument.
    writeFile(dir + "/not.lng", "[Something]\r\nelse = 1\r\n");
    EXPECT_EQ(run("'" + product + "' 1 '" + dir + "/x.png' --language '" + dir + "/not.lng'"), 2);
    EXPECT_EQ(run("'" + product + "' 1 '" + dir + "/x.png' --language '" + dir + "/none.lng'"), 2);
    EXPECT_EQ(run("'" + product + "' 1 '" + dir + "/x.png' --language"), 1);
    EXPECT_EQ(run("'" + product + "' 1 '" + dir + "/x.png' --lang German.lng"), 1);
    EXPECT_FALSE(std::filesystem::exists(dir + "/x.png"));
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

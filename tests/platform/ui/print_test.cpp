// Dialogs and printing: panels print with real text, the print dialog's choices come back as
// print attributes, the file dialog answers through the seam.
#include "rt_test_support.h"

#include <QFileInfo>
#include <QImage>

#include <string>

#include "tests/support/pdf_text.h"

using namespace rtt;

namespace {

class Printing : public RuntimeTest {
  protected:
    void TearDown() override {
        RT_TestSetPrinterOutput(nullptr);
        RuntimeTest::TearDown();
    }
    // The text pdftotext finds in a PDF ("<none>" when it cannot read it).
    static std::string pdfText(const std::string &pdf) {
        return ks_test::pdfText(pdf).value_or("<none>");
    }
    TempDir dir;
};

TEST_F(Printing, APanelPrintsIntoAPdfWithItsTextsAsText) {
    const int p = load(1);
    SetCtrlVal(p, 5, "Operator entry");
    const std::string pdf = dir.file("panel.pdf");
    ASSERT_EQ(PrintPanel(p, pdf.c_str(), 1, 0, 0), 0);
    const std::string text = pdfText(pdf);
    EXPECT_NE(text.find("Set point"), std::string::npos) << text;
    EXPECT_NE(text.find("Operator entry"), std::string::npos);
    EXPECT_NE(text.find("Replace"), std::string::npos); // the ring's selected item
    EXPECT_LT(QFileInfo(QString::fromStdString(pdf)).size(), 2 * 1024 * 1024);
}

TEST_F(Printing, ThePrintDialogsChoiceComesBackAsPrintAttributes) {
    const int p = load(1);
    ASSERT_EQ(SetPrintAttributeEx(ATTR_PRINT_ORIENTATION, 0), 0);
    ASSERT_EQ(SetPrintAttributeEx(ATTR_PRINT_COPIES, 1), 0);
    const std::string pdf = dir.file("dialog.pdf");
    RT_TestAnswerPrintDialog(1, pdf.c_str(), ATTR_PRINT_ORIENTATION, 1);
    ASSERT_EQ(PrintPanel(p, "", 1, 0, 1), 0);
    int v;
    GetPrintAttribute(ATTR_PRINT_ORIENTATION, &v);
    EXPECT_EQ(v, 1);
    EXPECT_NE(pdfText(pdf).find("Voltage"), std::string::npos);

    RT_TestAnswerPrintDialog(1, pdf.c_str(), ATTR_PRINT_COPIES, 3);
    ASSERT_EQ(PrintPanel(p, "", 1, 0, 1), 0);
    GetPrintAttribute(ATTR_PRINT_COPIES, &v);
    EXPECT_EQ(v, 3);
    GetPrintAttribute(ATTR_PRINT_ORIENTATION, &v);
    EXPECT_EQ(v, 1); // kept from the previous dialog

    // A cancelled dialog prints nothing and changes nothing.
    const std::string none = dir.file("none.pdf");
    RT_TestAnswerPrintDialog(0, none.c_str(), ATTR_PRINT_COPIES, 7);
    EXPECT_EQ(PrintPanel(p, "", 1, 0, 1), RT_ERR_CANCELLED);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(none)));
    GetPrintAttribute(ATTR_PRINT_COPIES, &v);
    EXPECT_EQ(v, 3);
}

TEST_F(Printing, PrintAttributesCheckTheirRange) {
    int v;
    EXPECT_EQ(SetPrintAttributeEx(ATTR_PRINT_DUPLEX, 3), RT_ERR_INVALID_VALUE);
    EXPECT_EQ(SetPrintAttributeEx(ATTR_PRINT_PAPER_WIDTH, -1), 0);
    EXPECT_EQ(SetPrintAttributeEx(ATTR_PRINT_PAPER_WIDTH, 50), RT_ERR_INVALID_VALUE);
    EXPECT_EQ(SetPrintAttributeEx(4321, 1), RT_ERR_INVALID_ATTRIBUTE);
    EXPECT_EQ(GetPrintAttribute(4321, &v), RT_ERR_INVALID_ATTRIBUTE);
    // Every slot of the settings record, with its default, is accepted back as it is.
    const int defaults[][2] = {{1327, 0},   {1308, 2},  {1309, 1},    {1310, 1},
                               {1303, 1},   {1301, 0},  {1302, 1800}, {1300, 1},
                               {1306, 200}, {1304, -1}, {1307, 100},  {1305, -1}};
    for (const auto &d : defaults) {
        EXPECT_EQ(SetPrintAttributeEx(d[0], d[1]), 0) << d[0];
        EXPECT_EQ(GetPrintAttribute(d[0], &v), 0);
        EXPECT_EQ(v, d[1]);
    }
}

TEST_F(Printing, PrintingToThePrinterGoesToTheTestOutputAndTextFilesPrint) {
    const int p = load(2);
    const std::string pdf = dir.file("printer.pdf");
    RT_TestSetPrinterOutput(pdf.c_str());
    ASSERT_EQ(PrintPanel(p, "", 0, 0, 0), 0);
    EXPECT_NE(pdfText(pdf).find("Something happened."), std::string::npos);

    dir.write("readme.txt", "Connecting a tester\nSecond line \xC3\xA9t\xC3\xA9\n");
    ASSERT_EQ(PrintTextFile(dir.file("readme.txt").c_str(), ""), 0);
    const std::string text = pdfText(pdf);
    EXPECT_NE(text.find("Connecting a tester"), std::string::npos) << text;
    EXPECT_NE(text.find("\xC3\xA9t\xC3\xA9"), std::string::npos);
    EXPECT_EQ(PrintTextFile(dir.file("missing.txt").c_str(), ""), RT_ERR_FILE_NOT_FOUND);
}

TEST_F(Printing, AnImageFileNameGivesAnImageOfThePanel) {
    const int p = load(2);
    const std::string png = dir.file("panel.png");
    ASSERT_EQ(PrintPanel(p, png.c_str(), 1, 0, 0), 0);
    QImage image(QString::fromStdString(png));
    EXPECT_EQ(image.width(), 300);
    EXPECT_EQ(image.height(), 110);
    EXPECT_EQ(PrintPanel(p, dir.file("panel.unknownformat").c_str(), 1, 0, 0), RT_ERR_PRINT);
    EXPECT_EQ(RT_TestSavePanelImage(p, dir.file("grab.png").c_str()), 0);
    EXPECT_FALSE(QImage(QString::fromStdString(dir.file("grab.png"))).isNull());
}

TEST_F(Printing, TheFileDialogAnswersWithAPathOrACancel) {
    char path[260];
    dir.write("exists.txt", "x");
    RT_TestAnswerFileDialog(dir.file("exists.txt").c_str());
    EXPECT_EQ(FileSelectPopup(dir.path().c_str(), "*.txt", "*.txt", "Enter File Name",
                              VAL_SAVE_BUTTON, 0, 1, 1, 1, path),
              VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(std::string(path), dir.file("exists.txt"));
    RT_TestAnswerFileDialog(dir.file("new.txt").c_str());
    EXPECT_EQ(FileSelectPopup(dir.path().c_str(), "*.txt", "*.txt", "t", VAL_SAVE_BUTTON, 0, 1, 1,
                              1, path),
              VAL_NEW_FILE_SELECTED);
    RT_TestAnswerFileDialog(nullptr);
    EXPECT_EQ(FileSelectPopup(dir.path().c_str(), "*.txt", "*.txt", "t", VAL_SAVE_BUTTON, 0, 1, 1,
                              1, path),
              VAL_NO_FILE_SELECTED);
    EXPECT_STREQ(path, "");
    // A path longer than the caller's buffer is refused rather than cut into another name.
    char tiny[8];
    RT_TestAnswerFileDialog(dir.file("exists.txt").c_str());
    EXPECT_EQ(FileSelectPopup(dir.path().c_str(), "*.txt", "*.txt", "t", VAL_LOAD_BUTTON, 0, 0, 1,
                              0, tiny),
              RT_ERR_INVALID_VALUE);
    EXPECT_STREQ(tiny, "");
}

} // namespace

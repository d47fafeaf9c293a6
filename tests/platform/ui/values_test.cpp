// Control values: typed values, list items, text-box lines, axis items, table cells, pictures.
#include "rt_test_support.h"

#include <QApplication>
#include <QColor>
#include <QListWidget>
#include <QImage>

#include <filesystem>
#include <string>

using namespace rtt;

namespace {

class Values : public RuntimeTest {};

std::string text(int p, int c) {
    char buffer[512];
    return GetCtrlVal(p, c, buffer) == 0 ? std::string(buffer) : std::string("<error>");
}

TEST_F(Values, NumericsConvertTruncateAndClampToTheirType) {
    const int p = load(1);
    int v;
    double d;
    ASSERT_EQ(SetCtrlVal(p, 2, 12.9), 0); // an int numeric
    ASSERT_EQ(GetCtrlVal(p, 2, &v), 0);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(SetCtrlVal(p, 2, 5000), 0); // above its max of 2000
    GetCtrlVal(p, 2, &v);
    EXPECT_EQ(v, 2000);
    EXPECT_EQ(SetCtrlVal(p, 3, 7), 0); // a double display with precision 2
    GetCtrlVal(p, 3, &d);
    EXPECT_DOUBLE_EQ(d, 7.0);
    EXPECT_EQ(text(p, 3), "7.00");
    EXPECT_EQ(RT_TestWidgetText(p, 3), "7.00");
    EXPECT_EQ(SetCtrlVal(p, 3, "3.25"), 0);
    GetCtrlVal(p, 3, &d);
    EXPECT_DOUBLE_EQ(d, 3.25);
    EXPECT_EQ(SetCtrlVal(p, 3, "volts"), RT_ERR_INVALID_VALUE);
    char small[4];
    EXPECT_EQ(GetCtrlVal(p, 5, small), 0); // "abc" fits exactly
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(GetCtrlVal(p, 5, &v), RT_ERR_ATTRIBUTE_TYPE);
    EXPECT_EQ(SetCtrlVal(p, 8, 1), RT_ERR_CLASS_MISMATCH); // a button has no value
    EXPECT_EQ(SetCtrlVal(p, 9, 0), 0);
    EXPECT_EQ(RT_TestWidgetText(p, 9), "Manual");
}

TEST_F(Values, ListsSelectByValueAndIndexAndRefuseOutOfRange) {
    const int p = load(1);
    int index, v, n;
    ASSERT_EQ(GetCtrlIndex(p, 11, &index), 0);
    EXPECT_EQ(index, 1); // the resource selects the item of value 2
    EXPECT_EQ(SetCtrlVal(p, 11, -1), 0);
    GetCtrlIndex(p, 11, &index);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(RT_TestWidgetText(p, 11), "None");
    EXPECT_EQ(SetCtrlVal(p, 11, 42), RT_ERR_INVALID_VALUE);
    EXPECT_EQ(SetCtrlIndex(p, 11, 3), RT_ERR_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(SetCtrlIndex(p, 11, -1), RT_ERR_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(SetCtrlIndex(p, 11, 0), 0);
    GetCtrlVal(p, 11, &v);
    EXPECT_EQ(v, 1);
    ASSERT_EQ(GetIndexFromValue(p, 11, &index, 2), 0);
    EXPECT_EQ(index, 1);
    char label[32];
    ASSERT_EQ(GetLabelFromIndex(p, 11, 1, label), 0);
    EXPECT_STREQ(label, "Replace");
    EXPECT_EQ(GetLabelFromIndex(p, 11, 7, label), RT_ERR_INDEX_OUT_OF_RANGE);

    // Inserting before the selection keeps the same item selected; replacing keeps values typed.
    ASSERT_EQ(InsertListItem(p, 11, 0, "First", 9), 0);
    GetCtrlIndex(p, 11, &index);
    EXPECT_EQ(index, 1);
    GetNumListItems(p, 11, &n);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(InsertListItem(p, 11, 0, "Wrong", "text"), RT_ERR_ATTRIBUTE_TYPE);
    EXPECT_EQ(ReplaceListItem(p, 11, 3, "Nothing", -1), 0);
    GetValueFromIndex(p, 11, 3, &v);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(DeleteListItem(p, 11, 0, 2), 0); // deletes the selected item too
    GetNumListItems(p, 11, &n);
    EXPECT_EQ(n, 2);
    GetCtrlIndex(p, 11, &index);
    EXPECT_EQ(index, 0);

    // A list of string values: the values are texts of their own.
    int type, len;
    GetCtrlAttribute(p, 12, ATTR_DATA_TYPE, &type);
    EXPECT_EQ(type, VAL_STRING);
    GetValueLengthFromIndex(p, 12, 1, &len);
    EXPECT_EQ(len, 1);
    char value[8];
    GetValueFromIndex(p, 12, 1, value);
    EXPECT_STREQ(value, "V");
    EXPECT_EQ(GetValueFromIndex(p, 12, 1, &v), RT_ERR_ATTRIBUTE_TYPE);
    ASSERT_EQ(GetIndexFromValue(p, 12, &index, "V"), 0);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(ClearListCtrl(p, 12), 0);
    EXPECT_EQ(GetCtrlVal(p, 12, value), RT_ERR_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(SetCtrlIndex(p, 2, 0), RT_ERR_CLASS_MISMATCH);

    // A ring whose item values are fractional takes the double type.
    GetCtrlAttribute(p, 19, ATTR_DATA_TYPE, &type);
    EXPECT_EQ(type, VAL_DOUBLE);
}

TEST_F(Values, ListItemsKeepTheirLookAndAListBoxShowsTheirColoursOnTheirRows) {
    const int p = keep(NewPanel(0, "Looks", 0, 0, 200, 300));
    const int list = NewCtrl(p, CTRL_LIST_BOX, "", 10, 10);
    ASSERT_EQ(InsertListItem(p, list, -1, "plain", 1), 0);
    ASSERT_EQ(InsertListItem(p, list, -1, "coloured", 2), 0);
    int ink = 0, back = 0;
    char mark[8] = "x";
    ASSERT_EQ(RT_GetListItemLook(p, list, 0, &ink, &back, mark, sizeof mark), 0);
    EXPECT_EQ(ink, RT_ITEM_COLOR_OWN);
    EXPECT_EQ(back, RT_ITEM_COLOR_OWN);
    EXPECT_STREQ(mark, "");

    ASSERT_EQ(RT_SetListItemLook(p, list, 1, 0xFFFFFF, 0xB3261E, "\u2716"), 0);
    ASSERT_EQ(RT_GetListItemLook(p, list, 1, &ink, &back, mark, sizeof mark), 0);
    EXPECT_EQ(ink, 0xFFFFFF);
    EXPECT_EQ(back, 0xB3261E);
    EXPECT_STREQ(mark, "\u2716");
    // A mark cut to the buffer is cut between characters, never inside one.
    char small[3] = "";
    RT_GetListItemLook(p, list, 1, nullptr, nullptr, small, sizeof small);
    EXPECT_STREQ(small, "");

    ASSERT_EQ(DisplayPanel(p), 0);
    QListWidget *widget = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->windowTitle() == "Looks") widget = top->findChild<QListWidget *>();
    ASSERT_NE(widget, nullptr);
    ASSERT_EQ(widget->count(), 2);
    EXPECT_EQ(widget->item(1)->background().color(), QColor(0xB3, 0x26, 0x1E));
    EXPECT_EQ(widget->item(1)->foreground().color(), QColor(Qt::white));
    EXPECT_EQ(widget->item(0)->background().style(), Qt::NoBrush); // the theme's

    // Back to the control's own colours.
    ASSERT_EQ(RT_SetListItemLook(p, list, 1, RT_ITEM_COLOR_OWN, RT_ITEM_COLOR_OWN, nullptr), 0);
    EXPECT_EQ(widget->item(1)->background().style(), Qt::NoBrush);

    EXPECT_EQ(RT_SetListItemLook(p, list, 2, 0, 0, ""), RT_ERR_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(RT_SetListItemLook(p, list, 0, 0x1000000, 0, ""), RT_ERR_INVALID_VALUE);
    EXPECT_EQ(RT_SetListItemLook(p, list, 0, 0, -2, ""), RT_ERR_INVALID_VALUE);
    EXPECT_EQ(RT_GetListItemLook(p, list + 1, 0, &ink, &back, mark, sizeof mark),
              RT_ERR_INVALID_CONTROL);
}

class TextBoxes : public RuntimeTest {
  protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        p = keep(NewPanel(0, "text", 0, 0, 200, 300));
        box = NewCtrl(p, CTRL_TEXT_BOX, "", 10, 10);
    }
    int count() {
        int n = -1;
        GetNumTextBoxLines(p, box, &n);
        return n;
    }
    std::string line(int i) {
        char buffer[128];
        return GetTextBoxLine(p, box, i, buffer) == 0 ? std::string(buffer)
                                                      : std::string("<error>");
    }
    int p = 0, box = 0;
};

TEST_F(TextBoxes, LinesCountLikeTheOperatorSeesThem) {
    EXPECT_EQ(count(), 0);
    SetCtrlVal(p, box, "A");
    EXPECT_EQ(count(), 1);
    SetCtrlVal(p, box, "A\n");
    EXPECT_EQ(count(), 2); // the caret sits on an empty last line
    SetCtrlVal(p, box, "\nA\nB");
    EXPECT_EQ(count(), 3);
    EXPECT_EQ(line(0), "");
    EXPECT_EQ(line(2), "B");
    EXPECT_EQ(line(3), "<error>");
    int len;
    GetTextBoxLineLength(p, box, 1, &len);
    EXPECT_EQ(len, 1);
    EXPECT_EQ(DeleteTextBoxLines(p, box, 1, -1), 0);
    EXPECT_EQ(text(p, box), "\n");
    EXPECT_EQ(DeleteTextBoxLines(p, box, 5, 1), RT_ERR_INDEX_OUT_OF_RANGE);
}

TEST_F(TextBoxes, InsertAppendsWithALineEndAndInsertsBeforeALine) {
    InsertTextBoxLine(p, box, -1, "one");
    EXPECT_EQ(text(p, box), "one\n");
    SetCtrlVal(p, box, "no end");
    InsertTextBoxLine(p, box, 99, "two");
    EXPECT_EQ(text(p, box), "no end\ntwo\n");
    InsertTextBoxLine(p, box, 1, "middle");
    EXPECT_EQ(text(p, box), "no end\nmiddle\ntwo\n");
    int offset;
    GetTextBoxLineOffset(p, box, 2, &offset);
    EXPECT_EQ(offset, 14);
    GetTextBoxLineOffset(p, box, 3, &offset); // the empty last line: the end
    EXPECT_EQ(offset, 18);
    EXPECT_EQ(GetTextBoxLineOffset(p, box, 5, &offset), RT_ERR_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(RT_TestWidgetText(p, box), "no end\nmiddle\ntwo\n");
    ResetTextBox(p, box, "");
    EXPECT_EQ(count(), 0);
}

TEST_F(TextBoxes, TheSevenLineSequenceLeavesSevenLinesWithTheCaretAtTheEnd) {
    InsertTextBoxLine(p, box, -1, "");
    for (int i = 1; i <= 6; ++i)
        InsertTextBoxLine(p, box, -1, ("info " + std::to_string(i)).c_str());
    int offset;
    ASSERT_EQ(GetTextBoxLineOffset(p, box, 7, &offset), 0);
    ASSERT_EQ(SetCtrlAttribute(p, box, ATTR_TEXT_SELECTION_START, offset), 0);
    ASSERT_EQ(SetActiveCtrl(p, box), 0);
    ASSERT_EQ(FakeKeystroke(VAL_BACKSPACE_VKEY), 0);
    EXPECT_EQ(count(), 7);
    EXPECT_EQ(line(0), "");
    EXPECT_EQ(line(6), "info 6");
    int caret;
    GetCtrlAttribute(p, box, ATTR_TEXT_SELECTION_START, &caret);
    int length;
    GetCtrlValLength(p, box, &length);
    EXPECT_EQ(caret, length);
    EXPECT_EQ(RT_TestWidgetText(p, box), text(p, box));
}

TEST_F(Values, AxisItemsKeepTheirValuesWhenRelabelled) {
    const int p = load(1);
    int n;
    ASSERT_EQ(GetNumAxisItems(p, 14, 0, &n), 0);
    EXPECT_EQ(n, 2);
    GetNumAxisItems(p, 14, 2, &n);
    EXPECT_EQ(n, 0);
    double value = -1;
    ASSERT_EQ(GetAxisItem(p, 14, 0, 1, nullptr, 0, &value), 0);
    EXPECT_DOUBLE_EQ(value, 10);
    ASSERT_EQ(ReplaceAxisItem(p, 14, 0, 1, "Ende", value), 0);
    char label[16];
    int len;
    GetAxisItem(p, 14, 0, 1, label, sizeof label, &value);
    EXPECT_STREQ(label, "Ende");
    GetAxisItemLabelLength(p, 14, 0, 1, &len);
    EXPECT_EQ(len, 4);
    EXPECT_EQ(GetAxisItem(p, 14, 0, 2, label, sizeof label, &value), RT_ERR_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(GetNumAxisItems(p, 15, 2, &n), RT_ERR_INVALID_VALUE); // a strip chart has 2 axes
    GetNumAxisItems(p, 15, 1, &n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(GetNumAxisItems(p, 11, 0, &n), RT_ERR_CLASS_MISMATCH);
}

TEST_F(Values, TableCellsAreTypedAndSurviveAChangeOfType) {
    const int p = load(1);
    int rows, cols, type;
    GetNumTableRows(p, 17, &rows);
    GetNumTableColumns(p, 17, &cols);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(cols, 3);
    char buffer[32];
    ASSERT_EQ(GetTableCellVal(p, 17, MakePoint(1, 2), buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "b");
    GetTableCellAttribute(p, 17, MakePoint(2, 1), ATTR_CELL_TYPE, &type);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(GetTableCellVal(p, 17, MakePoint(2, 1), buffer, sizeof buffer),
              RT_ERR_ATTRIBUTE_TYPE);
    // Read a numeric cell as text the way the language capture does, then restore its type.
    SetTableCellAttribute(p, 17, MakePoint(2, 1), ATTR_CELL_TYPE, 1);
    GetTableCellVal(p, 17, MakePoint(2, 1), buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "3.5");
    SetTableCellAttribute(p, 17, MakePoint(2, 1), ATTR_CELL_TYPE, 2);
    double d;
    ASSERT_EQ(GetTableCellVal(p, 17, MakePoint(2, 1), &d), 0);
    EXPECT_DOUBLE_EQ(d, 3.5);
    EXPECT_EQ(GetTableCellVal(p, 17, MakePoint(4, 1), buffer, sizeof buffer),
              RT_ERR_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(GetTableCellVal(p, 17, MakePoint(0, 0), buffer, sizeof buffer),
              RT_ERR_INDEX_OUT_OF_RANGE);

    ASSERT_EQ(SetTableRowAttribute(p, 17, 2, ATTR_LABEL_TEXT, "Zeile 2"), 0);
    GetTableRowAttribute(p, 17, 2, ATTR_LABEL_TEXT, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Zeile 2");
    int len;
    GetTableColumnAttribute(p, 17, 3, ATTR_LABEL_TEXT_LENGTH, &len);
    EXPECT_EQ(len, 2);
    EXPECT_EQ(SetTableColumnAttribute(p, 17, 4, ATTR_LABEL_TEXT, "x"), RT_ERR_INDEX_OUT_OF_RANGE);

    // Inserting a row in the middle shifts the cells below it, column by column.
    ASSERT_EQ(InsertTableRows(p, 17, 2, 1, 1), 0);
    GetTableCellVal(p, 17, MakePoint(1, 3), buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "b");
    GetTableCellVal(p, 17, MakePoint(3, 1), buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "ring");
    ASSERT_EQ(InsertTableColumns(p, 17, 1, 1, 2), 0);
    GetTableCellVal(p, 17, MakePoint(4, 1), buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "ring");
    GetTableCellAttribute(p, 17, MakePoint(1, 3), ATTR_CELL_TYPE, &type);
    EXPECT_EQ(type, 2);
}

TEST_F(Values, PicturesShowReadableImagesAndStayEmptyOtherwise) {
    TempDir dir;
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(QColor(200, 30, 30));
    ASSERT_TRUE(image.save(QString::fromStdString(dir.file("logo.bmp")), "BMP"));
    ASSERT_TRUE(image.save(QString::fromStdString(dir.file("logo.png")), "PNG"));
    // The name's suffix does not decide the format: the content does, for built-in formats and
    // for those read by plug-ins alike.
    ASSERT_TRUE(image.save(QString::fromStdString(dir.file("png_named.BMP")), "PNG"));
    ASSERT_TRUE(image.save(QString::fromStdString(dir.file("jpeg_named.bmp")), "JPEG"));
    dir.write("broken.bmp", "BM this is not a bitmap");
    const int p = load(1);
    for (const char *file : {"png_named.BMP", "jpeg_named.bmp"}) {
        EXPECT_EQ(DisplayImageFile(p, 16, dir.file(file).c_str()), 0) << file;
        EXPECT_EQ(RT_TestWidgetText(p, 16), "40x20") << file;
    }
    EXPECT_EQ(DisplayImageFile(p, 16, dir.file("logo.bmp").c_str()), 0);
    EXPECT_EQ(RT_TestWidgetText(p, 16), "40x20");
    EXPECT_EQ(DisplayImageFile(p, 16, dir.file("broken.bmp").c_str()), RT_ERR_IMAGE_FILE);
    EXPECT_EQ(RT_TestWidgetText(p, 16), "");
    EXPECT_EQ(DisplayImageFile(p, 16, dir.file("logo.png").c_str()), 0);
    EXPECT_EQ(DisplayImageFile(p, 11, dir.file("logo.bmp").c_str()), RT_ERR_CLASS_MISMATCH);
    EXPECT_EQ(RT_TestWidgetText(p, 16),
              "40x20"); // a failed call on another control changes nothing
    EXPECT_EQ(DisplayImageFile(p, 16, dir.file("missing.bmp").c_str()), RT_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(RT_TestWidgetText(p, 16), "");
    EXPECT_EQ(DisplayImageFile(p, 16, dir.file("logo.png").c_str()), 0);
    EXPECT_EQ(DeleteImage(p, 16), 0);
    EXPECT_EQ(RT_TestWidgetText(p, 16), "");
}

TEST_F(Values, APreloadedPictureIsShownOnceAndOnlyWhileItsFileIsUnchanged) {
    TempDir dir;
    const std::string logo = dir.file("logo.bmp");
    QImage wide(40, 20, QImage::Format_RGB32);
    wide.fill(QColor(200, 30, 30));
    ASSERT_TRUE(wide.save(QString::fromStdString(logo), "BMP"));
    const int p = load(1);

    // Damaged after the preload, but with its size and time kept: the preloaded picture is the
    // file as it was read, shown once; the next show reads the file again.
    ASSERT_EQ(RT_PreloadImageFile(logo.c_str()), 0);
    const auto written = std::filesystem::last_write_time(logo);
    const auto size = std::filesystem::file_size(logo);
    dir.write("logo.bmp", std::string(size, 'x'));
    std::filesystem::last_write_time(logo, written);
    EXPECT_EQ(DisplayImageFile(p, 16, logo.c_str()), 0);
    EXPECT_EQ(RT_TestWidgetText(p, 16), "40x20");
    EXPECT_EQ(DisplayImageFile(p, 16, logo.c_str()), RT_ERR_IMAGE_FILE);

    // Replaced after the preload: the new picture is shown.
    ASSERT_TRUE(wide.save(QString::fromStdString(logo), "BMP"));
    ASSERT_EQ(RT_PreloadImageFile(logo.c_str()), 0);
    QImage small(30, 10, QImage::Format_RGB32);
    small.fill(QColor(30, 200, 30));
    ASSERT_TRUE(small.save(QString::fromStdString(logo), "BMP"));
    EXPECT_EQ(DisplayImageFile(p, 16, logo.c_str()), 0);
    EXPECT_EQ(RT_TestWidgetText(p, 16), "30x10");

    // Nothing is kept from a file that cannot be shown.
    dir.write("broken.bmp", "BM this is not a bitmap");
    EXPECT_EQ(RT_PreloadImageFile(dir.file("broken.bmp").c_str()), RT_ERR_IMAGE_FILE);
    EXPECT_EQ(RT_PreloadImageFile(dir.file("missing.bmp").c_str()), RT_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(RT_PreloadImageFile(nullptr), RT_ERR_NULL_POINTER);
}

} // namespace

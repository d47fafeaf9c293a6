// The product content against the program: every panel of ks_read.ui.json loads in every language
// with the application's own callback table, the values the program sets by index or value are
// where it expects them, translated texts fit their controls and the main panel's layout, the
// user guides name the menus and fields of their own language, and the language files match the
// resource (ks_langtool export and check).
//
// The content is copied from the source tree into a private temporary program folder, so the test
// checks what is committed and writes nowhere else.

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/ks_callbacks.h"
#include "app/ks_read.h"
#include "ini/ini.h"
#include "localization/localize.h"
#include "platform/runtime.h"
#include "platform/testing.h"
#include "tests/support/command.h"
#include "tests/support/files.h"
#include "tests/support/paths.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using ks_test::readFile;

namespace {

const char *const kResource = "ks_read.ui.json";
// The language files of languages 1 to 9; number 0 of the language list (the system's language)
// maps to one of them.
const std::vector<std::string> kLanguages = {"English",    "French",  "Spanish",
                                             "Portuguese", "Italian", "German",
                                             "Swedish",    "Finnish", "Dutch"};
const int kFirstPanel = 1;
const int kLastPanel = 23;
const int kMainPanel = 9;
const int kLanguagePanel = 7;
const int kReadmePanel = 11;
const int kHistoryPanel = 22;
// History-panel controls: the line that says which history the list shows, and its words.
const int HISTORY_SEARCHED = 14;
const int HISTORY_TEXTS = 15;

// Main-panel controls (ids the program addresses).
enum {
    INFO = 2,
    TEMPCOMP = 3,
    LOCATION = 4,
    RATING = 5,
    STANDARD = 6,
    DATE = 7,
    ENTRY = 8,
    TESTCODE = 9,
    VOLTAGE = 10,
    SOC = 11,
    RESULT = 12,
    NOTES = 13,
    TITLE = 14,
    SUBTITLE = 15,
    LOGO1 = 16,
    LOGO2 = 17,
    LOGO3 = 18,
    MEASURED = 20,
    STATUS = 21,
    STATUS_TEXTS = 22,
};
const std::vector<int> kLeftColumn = {ENTRY, TEMPCOMP, LOCATION, RATING, MEASURED, STANDARD};
const std::vector<int> kRightColumn = {TESTCODE, VOLTAGE, SOC, RESULT};

// Room a widget needs beside its text: a ring's arrow and frame, a button's bevel, a list's frame.
const int kRingChrome = 28;
// A ring in indicator mode is a read-out: its frame and the room inside it, no arrow.
const int kReadoutChrome = 10;
const int kButtonChrome = 16;
const int kListChrome = 8;
// Least room between the left column's labels and the panel's edge.
const int kPanelMargin = 12;
// Least gap between a right-column label and the left column's controls.
const int kColumnGap = 6;

fs::path gProgramDir;

std::string langFile(const std::string &language) {
    return (gProgramDir / (language + ".lng")).string();
}

int intAttr(int panel, int control, int attribute) {
    int v = -99999;
    EXPECT_GE(GetCtrlAttribute(panel, control, attribute, &v), 0)
        << "attribute " << attribute << " of " << control;
    return v;
}

std::string textAttr(int panel, int control, int attribute) {
    char buffer[1024] = "";
    EXPECT_GE(GetCtrlAttribute(panel, control, attribute, buffer), 0) << "attribute " << attribute;
    return buffer;
}

int panelAttr(int panel, int attribute) {
    int v = -99999;
    EXPECT_GE(GetPanelAttribute(panel, attribute, &v), 0);
    return v;
}

std::vector<int> controlsOf(int panel) {
    std::vector<int> ids;
    int id = 0;
    GetPanelAttribute(panel, ATTR_PANEL_FIRST_CTRL, &id);
    while (id > 0 && ids.size() < 1000) {
        ids.push_back(id);
        if (GetCtrlAttribute(panel, id, ATTR_NEXT_CTRL, &id) < 0) break;
    }
    return ids;
}

std::vector<std::string> itemLabels(int panel, int control) {
    int count = 0;
    EXPECT_GE(GetNumListItems(panel, control, &count), 0);
    std::vector<std::string> labels;
    for (int i = 0; i < count; ++i) {
        char buffer[512] = "";
        EXPECT_GE(GetLabelFromIndex(panel, control, i, buffer), 0);
        labels.emplace_back(buffer);
    }
    return labels;
}

int itemValue(int panel, int control, int index) {
    int v = -99999;
    EXPECT_GE(GetValueFromIndex(panel, control, index, &v), 0);
    return v;
}

// The font the run-time draws a control's text in: the application font with the control's
// family, size and weight.
QFontMetrics metricsOf(int panel, int control) {
    QFont f = QApplication::font();
    const std::string family = textAttr(panel, control, ATTR_TEXT_FONT);
    if (!family.empty()) f.setFamily(QString::fromStdString(family));
    const int points = intAttr(panel, control, ATTR_TEXT_POINT_SIZE);
    if (points > 0) f.setPointSize(points);
    if (intAttr(panel, control, ATTR_TEXT_BOLD)) f.setBold(true);
    return QFontMetrics(f);
}

int widest(const QFontMetrics &fm, const std::string &text) {
    int w = 0;
    for (const QString &line : QString::fromStdString(text).split('\n'))
        w = std::max(w, fm.horizontalAdvance(line));
    return w;
}

struct Loaded {
    int handle = 0;
    Loaded(int panelId, const std::string &language) {
        const int r =
            LoadLocalizedPanel(0, kResource, panelId, langFile(language).c_str(), &handle);
        EXPECT_GE(r, 0) << "panel " << panelId << " in " << language;
        EXPECT_GT(handle, 0);
    }
    ~Loaded() {
        if (handle > 0) DiscardPanel(handle);
    }
    Loaded(const Loaded &) = delete;
    Loaded &operator=(const Loaded &) = delete;
};

class ContentEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        folder_ = std::make_unique<ks_test::TempDir>();
        gProgramDir = folder_->path();
        const fs::path source = ks_test::sourcePath("resources");
        for (const auto &entry : fs::directory_iterator(source)) {
            const std::string ext = entry.path().extension().string();
            if (ext == ".json" || ext == ".lng" || ext == ".txt" || ext == ".BMP")
                if (entry.path().filename() != "CMakeLists.txt")
                    fs::copy_file(entry.path(), gProgramDir / entry.path().filename());
        }
        char cwd[4096] = "";
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        oldCwd_ = cwd;
        // Anything the run-time writes beside the current folder lands in the temporary one.
        ASSERT_EQ(chdir(gProgramDir.c_str()), 0);
        RT_TestSetProgramDir(gProgramDir.c_str());
        KsRegisterCallbacks();
        static char arg0[] = "content_test";
        static char *argv[] = {arg0, nullptr};
        ASSERT_EQ(InitRuntime(0, argv, 0), 1);
    }
    void TearDown() override {
        if (!oldCwd_.empty()) (void)chdir(oldCwd_.c_str());
        folder_.reset();
    }

  private:
    std::unique_ptr<ks_test::TempDir> folder_;
    std::string oldCwd_;
};

[[maybe_unused]] const auto *const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new ContentEnvironment);

// ---- Loading ---------------------------------------------------------------------------------

TEST(Content, EveryPanelLoadsPlainAndInEveryLanguageWithTheProgramsCallbacks) {
    for (int id = kFirstPanel; id <= kLastPanel; ++id) {
        const int plain = LoadPanel(0, kResource, id);
        EXPECT_GT(plain, 0) << "plain panel " << id;
        if (plain > 0) DiscardPanel(plain);
    }
    for (const std::string &language : kLanguages) {
        ASSERT_TRUE(fs::exists(langFile(language))) << language;
        for (int id = kFirstPanel; id <= kLastPanel; ++id) {
            Loaded p(id, language);
            if (p.handle <= 0) continue;
            char title[512] = "";
            GetPanelAttribute(p.handle, ATTR_TITLE, title);
            EXPECT_STRNE(title, "") << "panel " << id << " in " << language;
        }
    }
}

TEST(Content, NoticesAreAnsweredByControlTwo) {
    // Notices, the port popup and the language popup end on control 2; so do the quit questions.
    for (int id = kFirstPanel; id <= kLastPanel; ++id) {
        if (id == kMainPanel) continue;
        Loaded p(id, "English");
        if (p.handle <= 0) continue;
        int style = 0;
        ASSERT_GE(GetCtrlAttribute(p.handle, 2, ATTR_CTRL_STYLE, &style), 0) << "panel " << id;
        EXPECT_EQ(style, CTRL_COMMAND_BUTTON) << "panel " << id;
    }
    Loaded quit(4, "English");
    EXPECT_EQ(intAttr(quit.handle, 3, ATTR_CTRL_STYLE), CTRL_COMMAND_BUTTON);
    Loaded save(13, "English");
    for (int control : {3, 4})
        EXPECT_EQ(intAttr(save.handle, control, ATTR_CTRL_STYLE), CTRL_COMMAND_BUTTON);
    // The port popup yields an integer port number in control 3.
    Loaded port(3, "English");
    EXPECT_EQ(intAttr(port.handle, 3, ATTR_DATA_TYPE), VAL_INTEGER);
}

// ---- Values the program sets by index or by value ----------------------------------------------

TEST(Content, MainPanelRingsCarryTheValuesTheProgramSets) {
    for (const std::string &language : kLanguages) {
        SCOPED_TRACE(language);
        Loaded main(kMainPanel, language);
        const int p = main.handle;
        ASSERT_GT(p, 0);

        // Result: set by value 0..7; ClearData selects the last item, which must be none of them.
        const auto results = itemLabels(p, RESULT);
        ASSERT_EQ(results.size(), 9u);
        for (int v = 0; v <= 7; ++v)
            EXPECT_EQ(itemValue(p, RESULT, v), v);
        const int neutral = itemValue(p, RESULT, 8);
        EXPECT_TRUE(neutral < 0 || neutral > 7);

        // Rating standard: set by index (4 or 5 from a test code); the last item is neutral.
        const auto standards = itemLabels(p, STANDARD);
        ASSERT_EQ(standards.size(), 7u);
        EXPECT_NE(standards[4], standards[5]);
        EXPECT_NE(standards[6], standards[4]);
        EXPECT_NE(standards[6], standards[5]);

        // State of charge: classes 0..5 by index, and one item of value -1.
        const auto classes = itemLabels(p, SOC);
        ASSERT_EQ(classes.size(), 7u);
        for (int v = 0; v <= 5; ++v)
            EXPECT_EQ(itemValue(p, SOC, v), v);
        int noClass = -1;
        EXPECT_GE(GetIndexFromValue(p, SOC, &noClass, -1), 0);
        EXPECT_EQ(noClass, 6);

        // Temperature compensation and test location: two items each, set by index 0 and 1.
        EXPECT_EQ(itemLabels(p, TEMPCOMP).size(), 2u);
        EXPECT_EQ(itemLabels(p, LOCATION).size(), 2u);

        // Every ring item reads differently, or the log could not tell them apart.
        for (int ring : {RESULT, STANDARD, SOC, TEMPCOMP, LOCATION}) {
            const auto labels = itemLabels(p, ring);
            EXPECT_EQ(std::set<std::string>(labels.begin(), labels.end()).size(), labels.size())
                << "ring " << ring;
        }

        // Texts the log and the test-code decoder read through fixed-size buffers.
        EXPECT_EQ(intAttr(p, TESTCODE, ATTR_MAX_ENTRY_LENGTH), 11);
        EXPECT_EQ(intAttr(p, ENTRY, ATTR_MAX_ENTRY_LENGTH), 254);
        EXPECT_EQ(intAttr(p, RATING, ATTR_DATA_TYPE), VAL_INTEGER);
        EXPECT_EQ(intAttr(p, VOLTAGE, ATTR_DATA_TYPE), VAL_DOUBLE);
        EXPECT_EQ(intAttr(p, INFO, ATTR_CTRL_STYLE), CTRL_TEXT_BOX);
        EXPECT_EQ(intAttr(p, NOTES, ATTR_CTRL_STYLE), CTRL_TEXT_BOX);
        for (int picture : {LOGO1, LOGO2, LOGO3})
            EXPECT_EQ(intAttr(p, picture, ATTR_CTRL_STYLE), CTRL_PICTURE);
        // Log column titles: the labels of these controls hold no more than the log's scratch text.
        for (int c :
             {ENTRY, TESTCODE, LOCATION, TEMPCOMP, RATING, VOLTAGE, STANDARD, RESULT, SOC, NOTES}) {
            const std::string label = textAttr(p, c, ATTR_LABEL_TEXT);
            EXPECT_FALSE(label.empty()) << "control " << c;
            EXPECT_LT(label.size(), 256u) << "control " << c;
        }
    }
}

TEST(Content, LanguageListOffersTenLanguagesByNumber) {
    Loaded list(kLanguagePanel, "English");
    const auto names = itemLabels(list.handle, 3);
    ASSERT_EQ(names.size(), 10u);
    for (int v = 0; v <= 9; ++v)
        EXPECT_EQ(itemValue(list.handle, 3, v), v);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    // A click or Enter chooses a language; the arrow keys only move through the list.
    EXPECT_EQ(intAttr(list.handle, 3, ATTR_CTRL_MODE), VAL_NORMAL);
}

// ---- Geometry ----------------------------------------------------------------------------------

TEST(Content, MainPanelHeightFollowsTheLogoRuleAndLogoThreeFillsTheLowerBand) {
    Loaded main(kMainPanel, "English");
    const int p = main.handle;
    const int width = panelAttr(p, ATTR_WIDTH);
    const int height = panelAttr(p, ATTR_HEIGHT);
    EXPECT_EQ(height, width * 480 / 445);
    const int tallHeight = width * 571 / 445;
    for (int c : controlsOf(p)) {
        const int left = intAttr(p, c, ATTR_LEFT), top = intAttr(p, c, ATTR_TOP);
        const int right = left + intAttr(p, c, ATTR_WIDTH),
                  bottom = top + intAttr(p, c, ATTR_HEIGHT);
        EXPECT_GE(left, 0) << "control " << c;
        EXPECT_LE(right, width) << "control " << c;
        if (c == LOGO3) {
            EXPECT_GE(top, height) << "logo 3 shows only in the band the taller panel adds";
            EXPECT_LE(bottom, tallHeight);
        } else {
            EXPECT_GE(top, 0) << "control " << c;
            EXPECT_LE(bottom, height) << "control " << c << " would be cut off";
        }
    }
}

TEST(Content, DefaultLogosFillTheUpperPictureControlsExactly) {
    Loaded main(kMainPanel, "English");
    ASSERT_GT(main.handle, 0);
    const std::pair<int, const char *> logos[] = {{LOGO1, "altrevo.BMP"}, {LOGO2, "korrat.BMP"}};
    for (const auto &[control, file] : logos) {
        const QImage image(QString::fromStdString((gProgramDir / file).string()));
        ASSERT_FALSE(image.isNull()) << file;
        EXPECT_EQ(image.width(), intAttr(main.handle, control, ATTR_WIDTH)) << file;
        EXPECT_EQ(image.height(), intAttr(main.handle, control, ATTR_HEIGHT)) << file;
    }
}

TEST(Content, ReadmeViewerKeepsItsControlsAboveTheGuideText) {
    // The viewer adds the guide's text at top 40 and the run-time lets it fill the panel below.
    const int guideTop = 40;
    Loaded viewer(kReadmePanel, "English");
    ASSERT_GT(viewer.handle, 0);
    for (int c : controlsOf(viewer.handle))
        EXPECT_LE(intAttr(viewer.handle, c, ATTR_TOP) + intAttr(viewer.handle, c, ATTR_HEIGHT),
                  guideTop)
            << "control " << c << " would hide under the guide";
}

TEST(Content, TranslatedMainPanelLabelsFitAfterTheStartupLayout) {
    for (const std::string &language : kLanguages) {
        SCOPED_TRACE(language);
        Loaded main(kMainPanel, language);
        ASSERT_GT(main.handle, 0);
        panelHandle = main.handle;
        KsLayoutMainPanel();
        const int p = main.handle;
        const int width = panelAttr(p, ATTR_WIDTH);

        int leftColumnRight = 0;
        for (int c : kLeftColumn) {
            const int left = intAttr(p, c, ATTR_LEFT);
            leftColumnRight = std::max(leftColumnRight, left + intAttr(p, c, ATTR_WIDTH));
            const int labelLeft = intAttr(p, c, ATTR_LABEL_LEFT);
            EXPECT_GE(labelLeft, kPanelMargin) << "label of " << c << " runs to the panel's edge";
            EXPECT_LE(labelLeft + intAttr(p, c, ATTR_LABEL_WIDTH), left) << "label of " << c;
        }
        for (int c : kRightColumn) {
            const int labelLeft = intAttr(p, c, ATTR_LABEL_LEFT);
            EXPECT_GE(labelLeft, leftColumnRight + kColumnGap)
                << "label of " << c << " covers the left column";
            EXPECT_LE(labelLeft + intAttr(p, c, ATTR_LABEL_WIDTH), intAttr(p, c, ATTR_LEFT))
                << "label of " << c;
        }
        // The date's label heads the right column.
        const int dateLabel = intAttr(p, DATE, ATTR_LABEL_LEFT);
        EXPECT_GE(dateLabel, leftColumnRight + kColumnGap);
        EXPECT_LE(dateLabel + intAttr(p, DATE, ATTR_LABEL_WIDTH), intAttr(p, DATE, ATTR_LEFT));
        // Labels above the two text boxes stay within their box's width.
        for (int c : {INFO, NOTES})
            EXPECT_LE(intAttr(p, c, ATTR_LABEL_LEFT) + intAttr(p, c, ATTR_LABEL_WIDTH),
                      intAttr(p, c, ATTR_LEFT) + intAttr(p, c, ATTR_WIDTH))
                << "label of " << c;
        // The title lines are centred and wide enough for their text.
        for (int c : {TITLE, SUBTITLE}) {
            const int left = intAttr(p, c, ATTR_LEFT), w = intAttr(p, c, ATTR_WIDTH);
            EXPECT_LE(std::abs(left - (width - w) / 2), 0) << "control " << c;
            EXPECT_LE(widest(metricsOf(p, c), textAttr(p, c, ATTR_DFLT_VALUE)), w)
                << "control " << c;
        }
    }
    panelHandle = 0;
}

// Columns of ink of text (darker than a light panel) in columns [from, to] of the given rows.
int inkColumns(const QImage &image, int top, int height, int from, int to) {
    const int kInkGray = 200;
    int columns = 0;
    for (int x = from; x <= to; ++x) {
        bool ink = false;
        for (int y = top; y < top + height && !ink; ++y)
            ink = qGray(image.pixel(x, y)) < kInkGray;
        columns += ink ? 1 : 0;
    }
    return columns;
}

TEST(Content, MainPanelLabelsStartAtTheirColumnsEdgeAndStandClearOfTheirFields) {
    // The least room between a label's text and its field, on the screen and on paper.
    const int kLeastLabelRoom = 4;
    const std::vector<std::vector<int>> columns = {
        {ENTRY, RATING, MEASURED, STANDARD, TEMPCOMP, LOCATION},
        {DATE, RESULT, VOLTAGE, SOC, TESTCODE}};
    ks_test::TempDir folder;
    for (const std::string &language : kLanguages) {
        SCOPED_TRACE(language);
        Loaded main(kMainPanel, language);
        ASSERT_GT(main.handle, 0);
        const int p = main.handle;
        panelHandle = p;
        KsLayoutMainPanel();
        const std::string screenFile = folder.file(language + "-screen.png");
        const std::string paperFile = folder.file(language + "-paper.png");
        ASSERT_EQ(RT_TestSavePanelImage(p, screenFile.c_str()), 0);
        ASSERT_EQ(PrintPanel(p, paperFile.c_str(), 1, 0, 0), 0);
        const QImage screen(QString::fromStdString(screenFile));
        const QImage paper(QString::fromStdString(paperFile));
        ASSERT_FALSE(screen.isNull());
        ASSERT_FALSE(paper.isNull());
        // The window shows the menu bar above the panel.
        const int menuBarHeight = screen.height() - panelAttr(p, ATTR_HEIGHT);
        ASSERT_GE(menuBarHeight, 0);

        for (const auto &column : columns) {
            const int edge = intAttr(p, column.front(), ATTR_LABEL_LEFT);
            for (int c : column) {
                SCOPED_TRACE("control " + std::to_string(c));
                const int labelLeft = intAttr(p, c, ATTR_LABEL_LEFT);
                EXPECT_EQ(labelLeft, edge) << "not aligned with its column";
                const int left = intAttr(p, c, ATTR_LEFT);
                const int top = intAttr(p, c, ATTR_LABEL_TOP);
                const int height = intAttr(p, c, ATTR_LABEL_HEIGHT);
                EXPECT_GT(inkColumns(paper, top, height, labelLeft, left - 1), 0);
                EXPECT_EQ(inkColumns(paper, top, height, left - kLeastLabelRoom, left - 1), 0)
                    << "on paper the label runs up to its field";
                EXPECT_GT(inkColumns(screen, top + menuBarHeight, height, labelLeft, left - 1), 0);
                EXPECT_EQ(inkColumns(screen, top + menuBarHeight, height, left - kLeastLabelRoom,
                                     left - 1),
                          0)
                    << "on the screen the label runs up to its field";
            }
        }
    }
    panelHandle = 0;
}

// The result ring's items as the resource gives them, in item order.
QJsonArray resultItems() {
    QFile file(QString::fromStdString((gProgramDir / kResource).string()));
    if (!file.open(QIODevice::ReadOnly)) return {};
    for (const QJsonValue &panel :
         QJsonDocument::fromJson(file.readAll()).object().value("panels").toArray())
        if (panel.toObject().value("id").toInt() == kMainPanel)
            for (const QJsonValue &control : panel.toObject().value("controls").toArray())
                if (control.toObject().value("id").toInt() == RESULT)
                    return control.toObject().value("items").toArray();
    return {};
}

std::vector<std::string> resultMarks() {
    std::vector<std::string> marks;
    for (const QJsonValue &item : resultItems())
        marks.push_back(item.toObject().value("mark").toString().toStdString());
    return marks;
}

TEST(Content, TranslatedTextsFitTheirControlsOnEveryPanel) {
    for (const std::string &language : kLanguages) {
        for (int id = kFirstPanel; id <= kLastPanel; ++id) {
            SCOPED_TRACE(language + ", panel " + std::to_string(id));
            Loaded panel(id, language);
            const int p = panel.handle;
            if (p <= 0) continue;
            for (int c : controlsOf(p)) {
                const int style = intAttr(p, c, ATTR_CTRL_STYLE);
                if (style != CTRL_TEXT_MSG && style != CTRL_COMMAND_BUTTON && style != CTRL_RING &&
                    style != CTRL_LIST_BOX)
                    continue; // pictures and frames show no text
                const int w = intAttr(p, c, ATTR_WIDTH), h = intAttr(p, c, ATTR_HEIGHT);
                const QFontMetrics fm = metricsOf(p, c);
                if (style == CTRL_TEXT_MSG) {
                    char text[4096] = "";
                    ASSERT_GE(GetCtrlVal(p, c, text), 0);
                    EXPECT_LE(widest(fm, text), w)
                        << "text of control " << c << " is cut on the right";
                    const auto lines = QString::fromUtf8(text).split('\n').size();
                    EXPECT_LE(lines * fm.lineSpacing(), h)
                        << "text of control " << c << " is cut at the bottom";
                } else if (style == CTRL_COMMAND_BUTTON) {
                    EXPECT_LE(widest(fm, textAttr(p, c, ATTR_LABEL_TEXT)) + kButtonChrome, w)
                        << "button " << c;
                } else if (style == CTRL_RING) {
                    // A hidden ring keeps words for the program; they are checked where shown.
                    if (intAttr(p, c, ATTR_VISIBLE) == 0) continue;
                    // A read-out shows an item's mark before its label.
                    const auto marks = id == kMainPanel && c == RESULT ? resultMarks()
                                                                       : std::vector<std::string>();
                    const auto labels = itemLabels(p, c);
                    for (size_t i = 0; i < labels.size(); ++i) {
                        const std::string shown = i < marks.size() && !marks[i].empty()
                                                      ? marks[i] + " " + labels[i]
                                                      : labels[i];
                        const int chrome = intAttr(p, c, ATTR_CTRL_MODE) == VAL_INDICATOR
                                               ? kReadoutChrome
                                               : kRingChrome;
                        EXPECT_LE(widest(fm, shown) + chrome, w)
                            << "ring " << c << " item " << shown;
                    }
                } else if (style == CTRL_LIST_BOX) {
                    const auto items = itemLabels(p, c);
                    for (const std::string &item : items)
                        EXPECT_LE(widest(fm, item) + kListChrome, w)
                            << "list " << c << " item " << item;
                    EXPECT_LE(static_cast<int>(items.size()) * fm.lineSpacing() + kListChrome, h)
                        << "list " << c;
                }
            }
        }
    }
}

// ---- The verdict's colours and the status line -------------------------------------------------

// Relative luminance of a colour (sRGB), as contrast ratios are computed.
double luminance(const QColor &c) {
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double contrast(const QColor &a, const QColor &b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(Content, VerdictColoursAreReadableAndDoNotRestOnHueAlone) {
    QFile file(QString::fromStdString((gProgramDir / kResource).string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonArray items;
    for (const QJsonValue &panel :
         QJsonDocument::fromJson(file.readAll()).object().value("panels").toArray())
        if (panel.toObject().value("id").toInt() == kMainPanel)
            for (const QJsonValue &control : panel.toObject().value("controls").toArray())
                if (control.toObject().value("id").toInt() == RESULT)
                    items = control.toObject().value("items").toArray();
    ASSERT_EQ(items.size(), 9);
    // Text against its back at least 4.5 : 1 (the common rule for normal text).
    const double kLeastContrast = 4.5;
    std::map<QRgb, std::set<QString>> marksOfColour;
    for (const QJsonValue &v : items) {
        const QJsonObject item = v.toObject();
        SCOPED_TRACE(item.value("label").toString().toStdString());
        const QColor back(item.value("backColor").toString());
        const QColor ink(item.value("textColor").toString());
        ASSERT_TRUE(back.isValid() && ink.isValid());
        EXPECT_GE(contrast(back, ink), kLeastContrast);
        marksOfColour[back.rgb()].insert(item.value("mark").toString());
    }
    // Four classes, each colour paired with marks no other colour uses, so that a reader who
    // cannot tell red from green still tells the classes apart.
    EXPECT_EQ(marksOfColour.size(), 4u);
    std::set<QString> allMarks;
    size_t marks = 0;
    for (const auto &[colour, set] : marksOfColour) {
        allMarks.insert(set.begin(), set.end());
        marks += set.size();
    }
    EXPECT_EQ(allMarks.size(), marks) << "a mark is shared by two colours";
    // Good and failed differ in lightness too, not only in hue.
    const QColor good(items[0].toObject().value("backColor").toString());
    const QColor replace(items[3].toObject().value("backColor").toString());
    EXPECT_GE(contrast(good, replace), 1.5);
    EXPECT_NE(items[0].toObject().value("mark").toString(), QString());
    EXPECT_NE(items[3].toObject().value("mark").toString(), QString());
}

TEST(Content, StatusLineWithItsLongestWordsFitsInEveryLanguage) {
    // As the program composes it, with the longest state and a device path as long as it is
    // ever shown (ks_status keeps 24 bytes of it).
    const std::string device = "\u2026/serial/by-id/usb-FTDI_F";
    const std::string sep = "  |  ";
    for (const std::string &language : kLanguages) {
        SCOPED_TRACE(language);
        Loaded main(kMainPanel, language);
        const int p = main.handle;
        ASSERT_GT(p, 0);
        const auto words = itemLabels(p, STATUS_TEXTS);
        ASSERT_EQ(words.size(), 13u);
        for (int v = 1; v <= 13; ++v)
            EXPECT_EQ(itemValue(p, STATUS_TEXTS, v - 1), v);
        std::string longestState;
        const QFontMetrics fm = metricsOf(p, STATUS);
        for (int i = 1; i <= 6; ++i)
            if (widest(fm, words[i]) > widest(fm, longestState)) longestState = words[i];
        const std::string line = words[0] + " 99: " + device + sep + longestState + sep + words[7] +
                                 ": 23:59:59" + sep + words[8] + ": 9999";
        EXPECT_LE(widest(fm, line), intAttr(p, STATUS, ATTR_WIDTH)) << line;
        // With results waiting for the history, the warning takes the place of the last two.
        const std::string warned =
            words[0] + " 99: " + device + sep + longestState + sep + words[9] + ": 9999";
        EXPECT_LE(widest(fm, warned), intAttr(p, STATUS, ATTR_WIDTH)) << warned;
        // With a workshop server, its state takes the place of the last record's time.
        for (int server = 10; server <= 12; ++server) {
            const std::string withServer = words[0] + " 99: " + device + sep + longestState + sep +
                                           words[server] + " (9999)" + sep + words[8] + ": 9999";
            EXPECT_LE(widest(fm, withServer), intAttr(p, STATUS, ATTR_WIDTH)) << withServer;
        }
        EXPECT_LE(fm.lineSpacing(), intAttr(p, STATUS, ATTR_HEIGHT));
        // The words are there for the program, not for the operator.
        EXPECT_EQ(intAttr(p, STATUS_TEXTS, ATTR_VISIBLE), 0);
        EXPECT_EQ(intAttr(p, STATUS, ATTR_VISIBLE), 1);
    }
}

TEST(Content, HistoryPanelSaysWhichHistoryItShowsInEveryLanguage) {
    // As the panel composes it: the longest state, and the fallback with the longest reason.
    for (const std::string &language : kLanguages) {
        SCOPED_TRACE(language);
        Loaded history(kHistoryPanel, language);
        const int p = history.handle;
        ASSERT_GT(p, 0);
        const auto words = itemLabels(p, HISTORY_TEXTS);
        ASSERT_EQ(words.size(), 11u);
        const QFontMetrics fm = metricsOf(p, HISTORY_SEARCHED);
        const int width = intAttr(p, HISTORY_SEARCHED, ATTR_WIDTH);
        for (int i : {0, 1, 2})
            EXPECT_LE(widest(fm, words[i]), width) << words[i];
        for (int why = 5; why <= 10; ++why) {
            const std::string fallback = words[3] + " (" + words[why] + ")";
            EXPECT_LE(widest(fm, fallback), width) << fallback;
        }
        EXPECT_EQ(intAttr(p, HISTORY_TEXTS, ATTR_VISIBLE), 0);
    }
}

// ---- User guides -------------------------------------------------------------------------------

// Runs of white space (line breaks of the guide) count as one blank.
QString normalized(const QString &text) {
    return text.simplified();
}

QString menuText(int menuBar, int id, int attribute) {
    char buffer[512] = "";
    EXPECT_GE(GetMenuBarAttribute(menuBar, id, attribute, buffer), 0) << "menu id " << id;
    return QString::fromUtf8(buffer).remove('&');
}

TEST(Content, EachGuideNamesTheMenusFieldsAndResultsOfItsLanguage) {
    // Main menu: (menu, item) pairs the guides send the operator to.
    const std::vector<std::pair<int, int>> paths = {{2, 3}, {2, 4},  {2, 5},  {6, 7},
                                                    {6, 8}, {6, 21}, {16, 17}};
    for (const std::string &language : kLanguages) {
        SCOPED_TRACE(language);
        const std::string raw = readFile(gProgramDir / (language + ".txt"));
        ASSERT_GT(raw.size(), 2000u) << "the guide is missing or a stub";
        const QString guide =
            normalized(QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size())));
        EXPECT_FALSE(guide.contains(QChar::ReplacementCharacter)) << "the guide is not valid UTF-8";

        Loaded main(kMainPanel, language);
        const int p = main.handle;
        ASSERT_GT(p, 0);
        const int menuBar = GetPanelMenuBar(p);
        ASSERT_GT(menuBar, 0);
        for (const auto &[menu, item] : paths) {
            const QString path = menuText(menuBar, menu, ATTR_MENU_NAME) + " > " +
                                 menuText(menuBar, item, ATTR_ITEM_NAME);
            EXPECT_TRUE(guide.contains(path)) << "the guide does not name " << path.toStdString();
        }
        for (int c : {TEMPCOMP, LOCATION, RATING, STANDARD, DATE, ENTRY, TESTCODE, VOLTAGE, SOC,
                      RESULT, NOTES}) {
            const QString label = QString::fromStdString(textAttr(p, c, ATTR_LABEL_TEXT));
            EXPECT_TRUE(guide.contains(label, Qt::CaseInsensitive))
                << "field " << label.toStdString();
        }
        // Every result and every state-of-charge class is explained; the result's neutral last
        // item (an empty panel) needs no words.
        auto results = itemLabels(p, RESULT);
        if (!results.empty()) results.pop_back();
        std::vector<std::string> explained = itemLabels(p, SOC);
        explained.insert(explained.end(), results.begin(), results.end());
        for (const std::string &item : explained)
            EXPECT_TRUE(guide.contains(QString::fromStdString(item), Qt::CaseInsensitive))
                << "item " << item;
    }
}

// ---- Every language its own words ---------------------------------------------------------------

// Texts a translation keeps as they are in English: names, units and codes, and the few words a
// language shares with English.
const std::set<std::string> kSameInEveryLanguage = {
    "ks_read 1.0", "OK",      "English", "Français",   "Español", "Português", "Italiano",
    "Deutsch",     "Svenska", "Suomi",   "Nederlands", "DIN",     "IEC",       "JIS",
    "CA",          "SAE",     "EN",      "---",        "75 %",    "50 %",      "25 %"};
const std::set<std::pair<std::string, std::string>> kSameInOneLanguage = {
    {"French", "Date"},   {"French", "Logos"},  {"French", "&Logos"}, {"German", "Logos"},
    {"German", "&Logos"}, {"Italian", "&File"}, {"Dutch", "&Help"},   {"French", "Port"},
    {"German", "Port"},   {"Swedish", "Port"}};
// Items that are not texts of the user interface.
const std::set<std::string> kNotTexts = {"Type",  "Flags",         "NumItemLabels", "Version",
                                         "Magic", "NumItemValues", "NumXItems",     "NumYItems"};

// (section, item) -> text of a language file, pieces joined and escapes resolved.
std::map<std::pair<std::string, std::string>, std::string> textsOf(const std::string &language) {
    std::map<std::pair<std::string, std::string>, std::string> texts;
    IniObject ini = Ini_New(0);
    EXPECT_GE(Ini_ReadFromFile(ini, langFile(language).c_str()), 0) << language;
    for (int n = 1; n <= Ini_NumberOfSections(ini); ++n) {
        char *section = nullptr;
        Ini_NthSectionName(ini, n, &section);
        for (int i = 1; i <= Ini_NumberOfItems(ini, section); ++i) {
            char *item = nullptr, *text = nullptr;
            Ini_NthItemName(ini, section, i, &item);
            if (kNotTexts.count(item) != 0) continue;
            if (Ini_GetPointerToString(ini, section, item, &text) == 1)
                texts[{section, item}] = text;
        }
    }
    Ini_Dispose(ini);
    return texts;
}

TEST(Content, EveryTranslatedTextDiffersFromTheEnglishUnlessItIsANameUnitOrCode) {
    const auto english = textsOf("English");
    ASSERT_GT(english.size(), 100u);
    for (const std::string &language : kLanguages) {
        if (language == "English") continue;
        SCOPED_TRACE(language);
        const auto texts = textsOf(language);
        for (const auto &[key, text] : texts) {
            const auto original = english.find(key);
            if (original == english.end() || text.empty() || text != original->second) continue;
            EXPECT_TRUE(kSameInEveryLanguage.count(text) != 0 ||
                        kSameInOneLanguage.count({language, text}) != 0)
                << "[" << key.first << "] " << key.second << " is the English \"" << text << "\"";
        }
    }
}

// How a language writes the number of its languages, for counts 8 to 10. A Finnish number takes a
// case ending, so there the stem is given and any ending matches.
struct NumberWords {
    std::string language;
    std::vector<std::string> words; // for 8, 9 and 10
    bool stems = false;
};
const std::vector<NumberWords> kNumberWords = {
    {"English", {"eight", "nine", "ten"}},  {"French", {"huit", "neuf", "dix"}},
    {"Spanish", {"ocho", "nueve", "diez"}}, {"Portuguese", {"oito", "nove", "dez"}},
    {"Italian", {"otto", "nove", "dieci"}}, {"German", {"acht", "neun", "zehn"}},
    {"Swedish", {"åtta", "nio", "tio"}},    {"Finnish", {"kahdeksa", "yhdeksä", "kymmene"}, true},
    {"Dutch", {"acht", "negen", "tien"}}};
const int kFewestCounted = 8;

bool namesNumber(const QString &text, const std::string &word, bool stem) {
    const QString pattern = "\\b" + QRegularExpression::escape(QString::fromStdString(word)) +
                            (stem ? "\\w*\\b" : "\\b");
    return text.contains(
        QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption |
                                        QRegularExpression::UseUnicodePropertiesOption));
}

TEST(Content, TheAboutBoxAndEveryGuideNameAsManyLanguagesAsThereAreFiles) {
    int files = 0;
    for (const auto &entry : fs::directory_iterator(gProgramDir))
        files += entry.path().extension() == ".lng";
    ASSERT_EQ(static_cast<size_t>(files), kLanguages.size()) << "a language file is not tested";
    const int index = files - kFewestCounted;
    ASSERT_TRUE(index >= 0 && index < 3) << "add the number words for " << files;
    ASSERT_EQ(kNumberWords.size(), kLanguages.size());
    for (const NumberWords &numbers : kNumberWords) {
        SCOPED_TRACE(numbers.language);
        Loaded about(1, numbers.language);
        ASSERT_GT(about.handle, 0);
        char text[2048] = "";
        ASSERT_GE(GetCtrlVal(about.handle, 4, text), 0);
        const std::string raw = readFile(gProgramDir / (numbers.language + ".txt"));
        const std::vector<std::pair<std::string, QString>> places = {
            {"About box", QString::fromUtf8(text)},
            {"guide",
             normalized(QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size())))}};
        for (const auto &[place, content] : places) {
            for (int i = 0; i < 3; ++i) {
                const std::string &word = numbers.words[static_cast<size_t>(i)];
                if (i == index)
                    EXPECT_TRUE(namesNumber(content, word, numbers.stems))
                        << "the " << place << " does not say \"" << word << "\"";
                else
                    EXPECT_FALSE(namesNumber(content, word, numbers.stems))
                        << "the " << place << " says \"" << word << "\"";
            }
        }
    }
}

// ---- Language files against the resource -------------------------------------------------------

int runTool(const std::string &arguments) {
    return ks_test::runCommand("\"" + ks_test::programPath("ks_langtool") + "\" " + arguments)
        .status;
}

TEST(Content, EnglishLanguageFileIsTheExportOfTheResource) {
    const fs::path exported = gProgramDir / "exported.lng";
    ASSERT_EQ(runTool("export \"" + (gProgramDir / kResource).string() + "\" \"" +
                      exported.string() + "\""),
              0);
    const std::string fresh = readFile(exported);
    ASSERT_FALSE(fresh.empty());
    EXPECT_EQ(fresh, readFile(gProgramDir / "English.lng"))
        << "English.lng is stale: export the resource again and carry the change into the "
           "translations";
    fs::remove(exported);
}

TEST(Content, EveryLanguageFilePassesTheCheck) {
    for (const std::string &language : kLanguages)
        EXPECT_EQ(runTool("check \"" + (gProgramDir / kResource).string() + "\" \"" +
                          langFile(language) + "\""),
                  0)
            << language;
}

} // namespace

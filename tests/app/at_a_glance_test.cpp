// What the main panel tells at a glance, on the real panels: the status line through a port that
// opens, one that cannot be opened, a device that vanishes and comes back and a record arriving;
// the verdict's colour per result class; the measured cold-cranking amps from a received record,
// a typed code and a record without them, on screen and on paper.
#include "app_fixture.h"
#include "app/ks_status.h"
#include "tests/support/pdf_text.h"
#include "tests/support/pty_peer.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

double Seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string Status() {
    char text[1024] = "";
    GetCtrlVal(panelHandle, MAIN_STATUS, text);
    return text;
}

bool StatusHas(const std::string &part) {
    return Status().find(part) != std::string::npos;
}

void TypeCode(const char *code) {
    SetCtrlVal(panelHandle, MAIN_TCODE, code);
    RT_TestCommit(panelHandle, MAIN_TCODE);
}

// The fixture's calendar time (2026-12-07 09:30:15 UTC).
constexpr long long kFixedTime = 1796635815;
constexpr int kMenuLanguage = 8; // Settings > Language
// The most the line may lag behind the port.
constexpr double kStatusLag = 0.5;

} // namespace

// ---- Status line --------------------------------------------------------------------------------

TEST_F(AppTest, StatusLineNamesThePortItsDeviceAndCountsTheRecordsOfTheDay) {
    ASSERT_EQ(0, Start(1));
    const std::string device = fs::canonical(pty_->devicePath()).string();
    ASSERT_TRUE(RunUntil([] { return StatusHas("Waiting for the tester"); }));
    EXPECT_TRUE(StatusHas("Port 1: " + device)) << Status();
    EXPECT_TRUE(StatusHas("Last record: -")) << Status();
    EXPECT_TRUE(StatusHas("Results today: 0")) << Status();

    // A record that has begun says so while it comes in: each pass of the reception pauses,
    // and the pause looks at the line.
    bool sawReceiving = false;
    RT_TestClock watching;
    watching.currentTime = [] { return kFixedTime; };
    watching.delay = [&sawReceiving](double seconds) {
        sawReceiving = sawReceiving || StatusHas("Receiving a record");
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    };
    RT_TestSetClock(watching);
    ASSERT_TRUE(SendRecordAndWait({"SETPNT : 500", "B CCA  : 455"}));
    EXPECT_TRUE(sawReceiving);
    ASSERT_TRUE(RunUntil([] { return StatusHas("Waiting for the tester"); })) << Status();
    EXPECT_TRUE(StatusHas("Last record: " + std::string(RT_TimeStrAt(NewDataInput.ShownAt))))
        << Status();
    EXPECT_TRUE(StatusHas("Results today: 1")) << Status();

    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.6")));
    TypeCode("3E225890"); // a typed code is a result of the day too
    ASSERT_TRUE(RunUntil([] { return StatusHas("Results today: 3"); })) << Status();

    // The count belongs to its day.
    RT_TestClock nextDay;
    nextDay.currentTime = [] { return kFixedTime + 86400; };
    RT_TestSetClock(nextDay);
    ASSERT_TRUE(RunUntil([] { return StatusHas("Results today: 0"); })) << Status();
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225892", 500, "12.6")));
    EXPECT_TRUE(RunUntil([] { return StatusHas("Results today: 1"); })) << Status();

    // A note of another module goes at the end of the line, and away again.
    KsStatusSetNote("history: not kept");
    EXPECT_TRUE(StatusHas("Results today: 1  |  history: not kept")) << Status();
    KsStatusSetNote(nullptr);
    EXPECT_FALSE(StatusHas("history")) << Status();
}

TEST_F(AppTest, StatusLineTellsAPortThatCannotBeOpenedInThePanelsLanguage) {
    RT_TestMapPort(1, root_->file("no-such-device").c_str());
    // While the notice waits for the operator (it may come during start-up already), the line
    // already tells why; the watcher reads it then and answers the notice.
    auto whileNotice = std::make_shared<std::string>();
    auto watch = std::make_shared<std::function<void()>>();
    *watch = [whileNotice, weak = std::weak_ptr<std::function<void()>>(watch)] {
        if (RT_TestPopupDepth() > 0 && LastPopupResource() == PNL_PORT_FAILED) {
            *whileNotice = Status();
            RT_TestCommit(MessagePanel, NOTICE_OK);
            return;
        }
        if (auto again = weak.lock()) RT_TestPost(*again, 10);
    };
    RT_TestPost(*watch, 0);
    ASSERT_EQ(0, Start(8)); // Finnish
    ASSERT_TRUE(
        RunUntil([whileNotice] { return !whileNotice->empty() && RT_TestPopupDepth() == 0; }));
    EXPECT_NE(std::string::npos, whileNotice->find("Porttia ei voitu avata")) << *whileNotice;
    EXPECT_TRUE(StatusHas("Portti 1  |  Porttia ei voitu avata")) << Status();
    EXPECT_TRUE(StatusHas("Tuloksia tänään: 0")) << Status();
    watch.reset();
}

TEST_F(AppTest, StatusLineFollowsADeviceThatVanishesAndComesBack) {
    // The tester behind the port's link in the program folder, as an adapter would be; the device
    // side is the application's alone, so closing the peer is an unplugged cable.
    RT_TestMapPort(1, nullptr);
    auto tester = std::make_unique<ks_test::PtyPeer>();
    fs::create_symlink(tester->devicePath(), ProgPath("COM1"));
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return StatusHas("Waiting for the tester"); })) << Status();
    EXPECT_TRUE(StatusHas("Port 1: " + fs::canonical(tester->devicePath()).string())) << Status();

    double lostAt = 0.0;
    tester->close();
    const double closedAt = Seconds();
    ASSERT_TRUE(RunUntil([&lostAt] {
        if (!StatusHas("Port lost: reconnecting")) return false;
        lostAt = Seconds();
        return true;
    })) << Status();
    EXPECT_LT(lostAt - closedAt, kStatusLag);

    tester = std::make_unique<ks_test::PtyPeer>();
    fs::remove(ProgPath("COM1"));
    fs::create_symlink(tester->devicePath(), ProgPath("COM1"));
    const std::string device = fs::canonical(tester->devicePath()).string();
    ASSERT_TRUE(RunUntil([&device] {
        return StatusHas("Port 1: " + device + "  |  Waiting for the tester");
    })) << Status();

    // Reception goes on on the returned device.
    tester->send(std::string("START  : ") + '\0' + "B CCA  : 300" + '\0' + "STOP   : " + '\0');
    ASSERT_TRUE(RunUntil([] { return Save2Log == 1; }));
    EXPECT_TRUE(RunUntil([] { return StatusHas("Results today: 1"); })) << Status();
    EXPECT_EQ("300 A", TextOf(MAIN_MEASURED));
}

// ---- Verdict colours ----------------------------------------------------------------------------

namespace {

struct ItemColours {
    QColor back, ink;
};

// The colours the resource gives each item of the result ring, by item value.
std::map<int, ItemColours> ResultColours(const std::string &resource) {
    QFile file(QString::fromStdString(resource));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    std::map<int, ItemColours> out;
    for (const QJsonValue &panel : root.value("panels").toArray()) {
        if (panel.toObject().value("id").toInt() != PNL_MAIN) continue;
        for (const QJsonValue &control : panel.toObject().value("controls").toArray()) {
            if (control.toObject().value("id").toInt() != MAIN_BRSLT) continue;
            for (const QJsonValue &item : control.toObject().value("items").toArray()) {
                const QJsonObject o = item.toObject();
                out[o.value("value").toInt()] = {QColor(o.value("backColor").toString()),
                                                 QColor(o.value("textColor").toString())};
            }
        }
    }
    return out;
}

} // namespace

TEST_F(AppTest, VerdictIsShownInTheColourOfItsClass) {
    ASSERT_EQ(0, Start(1));
    const auto colours = ResultColours(ProgPath(kUiFile));
    ASSERT_EQ(9u, colours.size());
    int left = 0, top = 0, width = 0, height = 0, panelHeight = 0;
    GetCtrlAttribute(panelHandle, MAIN_BRSLT, ATTR_LEFT, &left);
    GetCtrlAttribute(panelHandle, MAIN_BRSLT, ATTR_TOP, &top);
    GetCtrlAttribute(panelHandle, MAIN_BRSLT, ATTR_WIDTH, &width);
    GetCtrlAttribute(panelHandle, MAIN_BRSLT, ATTR_HEIGHT, &height);
    GetPanelAttribute(panelHandle, ATTR_HEIGHT, &panelHeight);
    const std::string shot = root_->file("panel.png");
    // The shown colour of the ring: a point at its right end, clear of the text and the frame.
    auto shownBack = [&] {
        EXPECT_EQ(0, RT_TestSavePanelImage(panelHandle, shot.c_str()));
        const QImage image(QString::fromStdString(shot));
        const int menuBar = image.height() - panelHeight;
        return QColor(image.pixel(left + width - 6, menuBar + top + height / 2));
    };

    // The classes: green for a good battery, amber for charge, retest or check, red for
    // replace, grey for an aborted test and the empty panel. The last digit of a test code is
    // the result.
    const std::map<int, std::string> classOf = {{0, "good"},  {1, "amber"}, {2, "amber"},
                                                {3, "red"},   {4, "red"},   {5, "amber"},
                                                {6, "amber"}, {7, "grey"},  {-1, "grey"}};
    std::map<std::string, std::set<QRgb>> seen;
    for (int result = 0; result <= 7; ++result) {
        SCOPED_TRACE("result " + std::to_string(result));
        const std::string code = "3E22589" + std::to_string(result);
        TypeCode(code.c_str());
        ASSERT_EQ(result, IntOf(MAIN_BRSLT));
        const QColor shown = shownBack();
        EXPECT_EQ(colours.at(result).back.rgb(), shown.rgb()) << shown.name().toStdString();
        seen[classOf.at(result)].insert(shown.rgb());
    }
    ClearData(); // the empty state
    ASSERT_EQ(-1, IntOf(MAIN_BRSLT));
    seen["grey"].insert(shownBack().rgb());

    // One colour per class, four different ones.
    std::set<QRgb> all;
    for (const auto &[name, shades] : seen) {
        EXPECT_EQ(1u, shades.size()) << name;
        all.insert(shades.begin(), shades.end());
    }
    EXPECT_EQ(4u, all.size());
    const QColor good = QColor::fromRgb(*seen["good"].begin());
    const QColor red = QColor::fromRgb(*seen["red"].begin());
    const QColor amber = QColor::fromRgb(*seen["amber"].begin());
    EXPECT_GT(good.green(), good.red());
    EXPECT_GT(red.red(), red.green());
    EXPECT_GT(amber.red(), amber.blue());
    EXPECT_GT(amber.green(), amber.blue());
}

// ---- Measured cold-cranking amps ----------------------------------------------------------------

TEST_F(AppTest, MeasuredCcaComesFromTheRecordOrTheTypedCodeAndIsBlankWithout) {
    ASSERT_EQ(0, Start(1));
    EXPECT_EQ("", TextOf(MAIN_MEASURED));

    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.6"))); // B CCA 455
    EXPECT_EQ("455 A, 91 %", TextOf(MAIN_MEASURED));

    // No measured value: blank, not 0; a measured 0 is shown as such.
    ASSERT_TRUE(SendRecordAndWait({"SETPNT : 500", "SER #  : 2"}));
    EXPECT_EQ("", TextOf(MAIN_MEASURED));
    ASSERT_TRUE(SendRecordAndWait({"SETPNT : 500", "B CCA  : 0"}));
    EXPECT_EQ("0 A, 0 %", TextOf(MAIN_MEASURED));
    // Without a rating there is no share.
    ASSERT_TRUE(SendRecordAndWait({"B CCA  : 620"}));
    EXPECT_EQ("620 A", TextOf(MAIN_MEASURED));

    // A typed code carries the value it packs: 450 A against 500 A.
    TypeCode("3e22 5891");
    EXPECT_EQ("450 A, 90 %", TextOf(MAIN_MEASURED));
    EXPECT_EQ(450, NewDataInput.BCca);
    // A refused code clears it with the rating.
    AnswerNotice(PNL_BAD_TESTCODE);
    TypeCode("3E2D5891");
    EXPECT_EQ(PNL_BAD_TESTCODE, LastPopupResource());
    EXPECT_EQ("", TextOf(MAIN_MEASURED));
    EXPECT_EQ(0, IntOf(MAIN_SETPNT));
}

TEST_F(AppTest, PrintoutCarriesTheMeasuredCcaButNotTheStatusLine) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(RunUntil([] { return StatusHas("Waiting for the tester"); }));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.6")));
    const std::string pdf = root_->file("page.pdf");
    RT_TestAnswerPrintDialog(1, pdf.c_str());
    PrintMCB(MenuBar(), 0, nullptr, panelHandle);
    const std::optional<std::string> page = ks_test::pdfText(pdf);
    ASSERT_TRUE(page.has_value());
    EXPECT_NE(std::string::npos, page->find("Measured CCA")) << *page;
    EXPECT_NE(std::string::npos, page->find("455 A, 91 %")) << *page;
    EXPECT_EQ(std::string::npos, page->find("Waiting for the tester")) << *page;
    // The line is back on the screen.
    int visible = 0;
    GetCtrlAttribute(panelHandle, MAIN_STATUS, ATTR_VISIBLE, &visible);
    EXPECT_EQ(1, visible);

    // The log keeps its columns: no measured value in it.
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225892", 500, "12.6")));
    const auto lines = LogLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(12, std::count(lines[0].begin(), lines[0].end(), '\t') + 1);
    EXPECT_EQ(std::string::npos, lines[0].find("Measured"));
    EXPECT_EQ(std::string::npos, lines[1].find("455 A"));
}

TEST_F(AppTest, ALanguageChangeKeepsTheMeasuredValueAndRewordsTheStatusLine) {
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.6")));
    ASSERT_TRUE(RunUntil([] { return StatusHas("Results today: 1"); })) << Status();
    RT_TestAnswerPopup(PNL_LANGUAGE, {PopupSetInt(3, 8), PopupCommit(2)}); // Finnish
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), kMenuLanguage));
    ASSERT_EQ(8, HostConfig.Language);
    EXPECT_EQ("455 A, 91 %", TextOf(MAIN_MEASURED));
    EXPECT_TRUE(RunUntil([] { return StatusHas("Odotetaan testeriä  |  Viimeisin tulos: "); }))
        << Status();
    EXPECT_TRUE(StatusHas("Tuloksia tänään: 1")) << Status();
    // The measured value's label takes its place in the left column again.
    int left = 0, labelLeft = 0, labelWidth = 0, ratingLabelLeft = 0;
    GetCtrlAttribute(panelHandle, MAIN_MEASURED, ATTR_LEFT, &left);
    GetCtrlAttribute(panelHandle, MAIN_MEASURED, ATTR_LABEL_LEFT, &labelLeft);
    GetCtrlAttribute(panelHandle, MAIN_MEASURED, ATTR_LABEL_WIDTH, &labelWidth);
    GetCtrlAttribute(panelHandle, MAIN_SETPNT, ATTR_LABEL_LEFT, &ratingLabelLeft);
    EXPECT_EQ(ratingLabelLeft, labelLeft);
    EXPECT_LE(labelLeft + labelWidth, left);
}

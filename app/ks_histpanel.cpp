// The history panel. See ks_histpanel.h.
#include "app/ks_histpanel.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/ks_hist.h"
#include "app/ks_ids.h"
#include "app/ks_layout.h"
#include "app/ks_popup.h"
#include "app/ks_read.h"
#include "app/ks_save.h"
#include "app/ks_state.h"
#include "app/ks_workshop.h"
#include "platform/runtime.h"
#include "toolbox/core/errors.h"

namespace {

// The newest rows the list shows; the count tells how many match in all.
constexpr int kListRows = 500;
constexpr int64_t kCountCap = 10000; // results counted exactly; more show as "10000+"
constexpr int kTextSize = 256;
const char kCsvFiles[] = "*.csv";
const char kPdfFiles[] = "*.pdf";

constexpr size_t kBenchWidth = 8; // characters of the bench column (all benches only)

// Values of the hidden ring HISTORY_TEXTS: the words of HISTORY_SEARCHED and of the bench
// column, and why a search of every bench failed.
enum {
    TEXT_THIS_BENCH = 1,
    TEXT_ALL_BENCHES = 2,
    TEXT_ALL_SEARCHING = 3,
    TEXT_ALL_UNREACHABLE = 4, // "...: searching this bench", the reason follows
    TEXT_BENCH_COLUMN = 5,
    TEXT_WHY_UNREACHABLE = 6,
    TEXT_WHY_AUTHENTICATION = 7,
    TEXT_WHY_NO_DATABASE = 8,
    TEXT_WHY_TLS = 9,
    TEXT_WHY_SCHEMA = 10,
    TEXT_WHY_OTHER = 11,
};

int historyPanel = 0;
std::vector<HistoryResult> view;  // the rows in the list, in its order
std::vector<std::string> benches; // each row's bench when the list is every bench's, else empty
std::string countPrefix;          // the count text of the panel's language ("Results:")
std::string header;               // the list's column titles in the panel's language
std::string plate;                // the vehicle whose results are shown, or "" for all
// The server search the list waits for (0: none). An answer to any other came too late: the
// operator has asked something else since.
int64_t awaited = 0;
HistoryQuery awaitedQuery;
// Why the last search of every bench failed ("" after one that worked): while it fails, each
// search shows this bench's results at once instead of waiting for the server.
std::string serverTrouble;

std::string TextOf(int control) {
    char text[kTextSize] = "";
    GetCtrlVal(historyPanel, control, text);
    return text;
}

// A date box's limit, or `fallback` while it holds no date.
int64_t DateLimit(const std::string &text, bool end, int64_t fallback) {
    int64_t utc = fallback;
    return HistoryParseDate(text, end, &utc) ? utc : fallback;
}

// "YYYY-MM-DD HH:MM" of the local time the result was shown at.
std::string When(const HistoryResult &r) {
    const std::string iso = HistoryIsoTime(r);
    return iso.size() >= 16 ? iso.substr(0, 10) + " " + iso.substr(11, 5) : iso;
}

// The verdict as the main panel shows it: its label in the panel's language, after its mark, in
// its colours (those of the result ring's item for the value).
struct VerdictLook {
    std::string text;
    int textColor = RT_ITEM_COLOR_OWN;
    int backColor = RT_ITEM_COLOR_OWN;
};

VerdictLook Verdict(int32_t bRslt) {
    VerdictLook look;
    int index = -1;
    char label[kTextSize] = "", mark[kTextSize] = "";
    if (GetIndexFromValue(panelHandle, MAIN_BRSLT, &index, static_cast<int>(bRslt)) < 0)
        return look;
    GetLabelFromIndex(panelHandle, MAIN_BRSLT, index, label);
    RT_GetListItemLook(panelHandle, MAIN_BRSLT, index, &look.textColor, &look.backColor, mark,
                       sizeof mark);
    look.text = mark[0] != '\0' ? std::string(mark) + " " + label : std::string(label);
    return look;
}

// A text cut or padded to `width` characters (not bytes: the texts are UTF-8), so the columns of
// the list stay under the header's in every language.
std::string Column(const std::string &text, size_t width) {
    std::string out;
    size_t chars = 0;
    for (size_t i = 0; i < text.size() && chars < width; ++chars) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        out.append(text, i, length);
        i += length;
    }
    return out.append(width - chars, ' ');
}

// Measured cold-cranking amps as a share of the rating: a bar of kBarCells cells, each a fifth
// of the rating ('#', '+' for half of one), and the percentage, so a battery's decline between
// visits shows down one vehicle's list. Plain characters: the list's font has no block glyphs.
constexpr int kBarCells = 5;
std::string ShareBar(const HistoryResult &r) {
    if (r.setPoint <= 0) return "";
    const int percent = r.bCca * 100 / r.setPoint;
    const int halves = std::min(percent, 100) * kBarCells * 2 / 100;
    std::string bar(static_cast<size_t>(halves / 2), '#');
    if (halves % 2 != 0) bar += '+';
    char number[16];
    std::snprintf(number, sizeof number, "%4d%%", percent);
    return "  " + Column(bar, kBarCells) + number;
}

// One list line, in the columns of the panel's header; one vehicle's lines add the share bar.
std::string Line(const HistoryResult &r) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%5.2f  %6d  %4d", r.bVolt, static_cast<int>(r.setPoint),
                  static_cast<int>(r.bCca));
    std::string line = Column(When(r), 16) + "  " + Column(r.entry, 12) + "  " +
                       Column(r.tCode, 9) + "  " + Column(r.info[kHistoryPlateLine], 10) + "  " +
                       Column(r.info[kHistorySiteLine], 15) + "  " +
                       Column(Verdict(r.bRslt).text, 18) + "  " + numbers;
    if (!plate.empty()) line += ShareBar(r);
    return line;
}

// A word of the hidden ring HISTORY_TEXTS.
std::string Word(int value) {
    int index = -1;
    char text[kTextSize] = "";
    if (GetIndexFromValue(historyPanel, HISTORY_TEXTS, &index, value) < 0 ||
        GetLabelFromIndex(historyPanel, HISTORY_TEXTS, index, text) < 0)
        return std::string();
    return text;
}

int Reason(int error) {
    switch (error) {
    case WORKSHOP_ERR_UNREACHABLE:
        return TEXT_WHY_UNREACHABLE;
    case WORKSHOP_ERR_AUTHENTICATION:
        return TEXT_WHY_AUTHENTICATION;
    case WORKSHOP_ERR_NO_DATABASE:
        return TEXT_WHY_NO_DATABASE;
    case WORKSHOP_ERR_TLS:
        return TEXT_WHY_TLS;
    case WORKSHOP_ERR_SCHEMA:
        return TEXT_WHY_SCHEMA;
    default:
        return TEXT_WHY_OTHER;
    }
}

HistoryQuery Query() {
    HistoryQuery query;
    query.text = TextOf(HISTORY_SEARCH);
    query.fromUtc = DateLimit(TextOf(HISTORY_FROM), false, query.fromUtc);
    query.toUtc = DateLimit(TextOf(HISTORY_TO), true, query.toUtc);
    query.plate = plate;
    query.limit = kListRows;
    return query;
}

// Fills the list with rows (benches: each row's bench, or empty for this bench's history) and
// the count, and says which history they come from.
void Show(std::vector<HistoryResult> rows, std::vector<std::string> rowBenches, int64_t count,
          const std::string &searched) {
    ClearListCtrl(historyPanel, HISTORY_LIST);
    view = std::move(rows);
    benches = std::move(rowBenches);
    const std::string benchTitle =
        benches.empty() ? std::string() : Column(Word(TEXT_BENCH_COLUMN), kBenchWidth) + "  ";
    SetCtrlVal(historyPanel, HISTORY_HEADER, (benchTitle + header).c_str());
    SetCtrlVal(historyPanel, HISTORY_SEARCHED, searched.c_str());
    for (size_t i = 0; i < view.size(); ++i) {
        const std::string bench =
            i < benches.size() ? Column(benches[i], kBenchWidth) + "  " : std::string();
        InsertListItem(historyPanel, HISTORY_LIST, -1, (bench + Line(view[i])).c_str(),
                       static_cast<int>(i));
        const VerdictLook look = Verdict(view[i].bRslt);
        RT_SetListItemLook(historyPanel, HISTORY_LIST, static_cast<int>(i), look.textColor,
                           look.backColor, "");
    }
    std::string counted = countPrefix + " " +
                          (count > kCountCap ? std::to_string(kCountCap) + "+"
                                             : std::to_string(count < 0 ? 0 : count));
    if (!plate.empty()) counted += " (" + plate + ")";
    SetCtrlVal(historyPanel, HISTORY_COUNT, counted.c_str());
}

// This bench's own history, searched here and now (it is local and indexed).
void ShowThisBench(const HistoryQuery &query, const std::string &searched) {
    std::vector<HistoryResult> rows;
    int64_t count = 0;
    if (HistoryStore *store = KsHistoryStore()) {
        store->Search(query, &rows);
        // Counted up to one past the cap: beyond it the panel says "10000+".
        count = store->Count(query, kCountCap + 1);
    }
    Show(std::move(rows), {}, count, searched);
}

std::string Unreachable() {
    return Word(TEXT_ALL_UNREACHABLE) + " (" + serverTrouble + ")";
}

void Refresh() {
    const HistoryQuery query = Query();
    WorkshopSearcher *searcher = KsWorkshopSearcher();
    if (searcher == nullptr) {
        awaited = 0;
        ShowThisBench(query, Word(TEXT_THIS_BENCH));
        return;
    }
    // The server answers on its own thread; the idle callback brings the answer (Answered).
    awaited = searcher->Submit(query, kCountCap + 1);
    awaitedQuery = query;
    if (serverTrouble.empty())
        SetCtrlVal(historyPanel, HISTORY_SEARCHED, Word(TEXT_ALL_SEARCHING).c_str());
    else
        ShowThisBench(query, Unreachable());
}

// An answer of the search of every bench, on the thread of the user interface.
void Answered(const WorkshopAnswer &answer) {
    if (historyPanel <= 0 || answer.ticket != awaited) return;
    awaited = 0;
    if (answer.error != 0) {
        serverTrouble = Word(Reason(answer.error));
        ShowThisBench(awaitedQuery, Unreachable());
        return;
    }
    serverTrouble.clear();
    std::vector<HistoryResult> rows;
    std::vector<std::string> rowBenches;
    for (const WorkshopRow &row : answer.rows) {
        rows.push_back(row.result);
        rowBenches.push_back(row.bench);
    }
    Show(std::move(rows), std::move(rowBenches), answer.count, Word(TEXT_ALL_BENCHES));
}

// The row selected in the list, or nullptr.
const HistoryResult *Selected() {
    int index = -1;
    if (GetCtrlIndex(historyPanel, HISTORY_LIST, &index) < 0 || index < 0 ||
        static_cast<size_t>(index) >= view.size())
        return nullptr;
    return &view[static_cast<size_t>(index)];
}

// Shows a stored result on the main panel as it was shown, with its entry and notes, marked as
// a result from the history. The pending result goes into the log first with its own texts, so
// nothing of the history view reaches the log.
void OpenOnMainPanel(const HistoryResult &r) {
    if (Save2Log != 0) {
        Save2LogFile(&NewDataInput);
        Save2Log = 0;
    }
    char title[kTextSize] = "";
    GetPanelAttribute(historyPanel, ATTR_TITLE, title);
    const std::string when = When(r);
    KsHistoryMarkOpened((std::string(title) + " " + when).c_str());
    DeleteTextBoxLines(panelHandle, MAIN_INFO, 1, -1);
    for (const auto &line : r.info)
        InsertTextBoxLine(panelHandle, MAIN_INFO, -1, line.c_str());
    SetCtrlVal(panelHandle, MAIN_SETPNT, static_cast<int>(r.setPoint));
    SetCtrlVal(panelHandle, MAIN_BVOLT, r.bVolt);
    SetCtrlVal(panelHandle, MAIN_BRSLT, static_cast<int>(r.bRslt));
    SetCtrlIndex(panelHandle, MAIN_SYSTEM, r.system);
    SetCtrlVal(panelHandle, MAIN_TCODE, r.tCode.c_str());
    SetCtrlIndex(panelHandle, MAIN_INVEH, r.inVehicle);
    SetCtrlIndex(panelHandle, MAIN_TCOMP, r.tComp);
    if (r.tCode.size() >= KS_TESTCODE_SYMBOLS)
        SetCtrlIndex(panelHandle, MAIN_SOC, r.soc);
    else
        SetCtrlVal(panelHandle, MAIN_SOC, -1);
    SetCtrlVal(panelHandle, MAIN_DATE, when.c_str());
    SetCtrlVal(panelHandle, MAIN_ENTRY, r.entry.c_str());
    ResetTextBox(panelHandle, MAIN_NOTES, r.notes.c_str());
    KsTrimInfoBox();
}

void Export() {
    char directory[KS_FULL_PATH_SIZE] = "";
    if (GetProjectDir(directory) != 0) return;
    const std::string folder = std::string(directory) + "/" + kDataFolder + "/";
    if (GetFileInfo(folder.c_str(), &Size) == 0) MakeDir(folder.c_str());
    char path[KS_FULL_PATH_SIZE] = "";
    if (FileSelectPopup(folder.c_str(), kCsvFiles, kCsvFiles,
                        KsButtonTitle(historyPanel, HISTORY_EXPORT).c_str(), VAL_SAVE_BUTTON, 0, 1,
                        1, 1, path) <= 0)
        return;
    if (HistoryWriteCsv(path, view) != 0) KsShowNotice(PNL_COPY_FAILED);
}

// A file name part of a text: letters, digits, '-' and '_' kept, anything else '_'.
std::string FileNamePart(const std::string &text) {
    std::string part;
    for (unsigned char c : text)
        part += std::isalnum(c) != 0 || c == '-' || c == '_' ? static_cast<char>(c) : '_';
    return part;
}

// Each result in view printed, as the print command prints it, into a PDF of its own in the
// folder of the chosen file: "<reference>_<YYYY-MM-DD_HHMM>.pdf" (the test code when there is no
// reference). The last one stays on the main panel, marked as from the history.
void ExportPdf() {
    char directory[KS_FULL_PATH_SIZE] = "";
    if (GetProjectDir(directory) != 0) return;
    const std::string start = std::string(directory) + "/" + kDataFolder + "/";
    if (GetFileInfo(start.c_str(), &Size) == 0) MakeDir(start.c_str());
    char path[KS_FULL_PATH_SIZE] = "";
    if (FileSelectPopup(start.c_str(), kPdfFiles, kPdfFiles,
                        KsButtonTitle(historyPanel, HISTORY_PDF).c_str(), VAL_SAVE_BUTTON, 0, 1, 1,
                        1, path) <= 0)
        return;
    std::string folder(path);
    folder.erase(folder.find_last_of('/') + 1);
    const std::vector<HistoryResult> rows = view;
    for (const HistoryResult &r : rows) {
        const std::string when = When(r);
        std::string name = FileNamePart(r.entry.empty() ? r.tCode : r.entry) + "_" +
                           when.substr(0, 10) + "_" + when.substr(11, 2) + when.substr(14, 2);
        if (GetFileInfo((folder + name + ".pdf").c_str(), &Size) != 0)
            name += "_" + std::to_string(r.localId);
        OpenOnMainPanel(r);
        if (KsPrintMainPanel((folder + name + ".pdf").c_str(), 0) != 0) {
            KsShowNotice(PNL_COPY_FAILED);
            return;
        }
    }
}

void Close() {
    if (historyPanel > 0) DiscardPanel(historyPanel);
    KsWorkshopOnAnswer(nullptr);
    KsResetHistoryPanel();
}

} // namespace

void HistoryMCB(int, int, void *, int) {
    // A handle of an earlier run of the start-up (the tests run several) no longer shows.
    if (historyPanel > 0 && DisplayPanel(historyPanel) >= 0) return;
    historyPanel = KsLoadPanelInLanguage(PNL_HISTORY);
    if (historyPanel < 0) {
        historyPanel = 0;
        return;
    }
    countPrefix = TextOf(HISTORY_COUNT);
    header = TextOf(HISTORY_HEADER);
    plate.clear();
    serverTrouble.clear();
    KsWorkshopOnAnswer(Answered);
    Refresh();
    DisplayPanel(historyPanel);
    SetActiveCtrl(historyPanel, HISTORY_SEARCH);
}

int HistoryCB(int, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    switch (control) {
    case HISTORY_SEARCH:
    case HISTORY_FROM:
    case HISTORY_TO:
        Refresh();
        break;
    case HISTORY_OPEN:
        if (const HistoryResult *r = Selected()) OpenOnMainPanel(*r);
        break;
    case HISTORY_VEHICLE:
        if (!plate.empty()) {
            plate.clear();
        } else if (const HistoryResult *r = Selected()) {
            plate = r->info[kHistoryPlateLine];
        }
        Refresh();
        break;
    case HISTORY_EXPORT:
        Export();
        break;
    case HISTORY_PDF:
        ExportPdf();
        break;
    case NOTICE_OK:
        Close();
        break;
    default:
        break;
    }
    return 0;
}

int HistoryPanelCB(int, int event, void *, int, int) {
    if (event == EVENT_CLOSE) Close();
    return 0;
}

int KsHistoryPanel(void) {
    return historyPanel;
}

void KsResetHistoryPanel(void) {
    historyPanel = 0;
    view.clear();
    benches.clear();
    countPrefix.clear();
    header.clear();
    plate.clear();
    awaited = 0;
    serverTrouble.clear();
}

// Every panel, control and menu id of the UI resource that the application uses, and every file
// name it reads or writes. The ids must agree with "ks_read.ui.json".
#pragma once

// ---- Files -------------------------------------------------------------------------------------

constexpr char kUiFile[] = "ks_read.ui.json";        // in the program folder
constexpr char kSettingsFile[] = "ks.ini";           // in the current directory
constexpr char kLegacyLanguageFile[] = "C:\\ks.ini"; // mapped by the run-time
constexpr char kLogName[] = "TCLOG";                 // results log, in the program folder
constexpr char kLogBackupSuffix[] = ".bak";          // the previous run's log
constexpr char kDataFolder[] = "Data";               // where the save command starts
constexpr char kDefaultLogo1[] = "altrevo.BMP";      // in the program folder
constexpr char kDefaultLogo2[] = "korrat.BMP";       // in the program folder
// A logo path field holding this keyword shows no picture.
constexpr char kLogoNone[] = "NONE";

// ---- Panels of the UI resource -----------------------------------------------------------------

enum {
    PNL_ABOUT = 1,
    PNL_PORT_FAILED = 2,
    PNL_PORT = 3,
    PNL_QUIT = 4,
    PNL_COPY_FAILED = 5,
    PNL_LANGUAGE_FAILED = 6,
    PNL_LANGUAGE = 7,
    PNL_NOTHING_TO_SAVE = 8,
    PNL_MAIN = 9,
    PNL_README_MISSING = 10,
    PNL_README = 11,
    PNL_RECORD_TIMEOUT = 12,
    PNL_SAVE_BEFORE_QUIT = 13,
    PNL_BAD_TESTCODE = 14,
    PNL_LOGO_PATH_TOO_LONG = 15,   // a picture's path does not fit its settings field
    PNL_SETTINGS_NOT_WRITTEN = 16, // names the file and why
    PNL_LOG_NOT_WRITTEN = 17,      // names the file and why; the rows wait in memory
    PNL_LOG_CAUGHT_UP = 18,
    PNL_LOG_ELSEWHERE = 19, // the previous log could not be kept; names this run's log
    PNL_HISTORY_MOVED = 20, // the history could not be read: moved aside, names the old file
    PNL_HISTORY_NEWER = 21, // the history was written by a newer program: read-only
    PNL_HISTORY = 22,       // the history panel
    PNL_WORKSHOP = 23,      // Settings > Workshop server
};
// Every panel of the resource; each is loaded once at start-up to find a damaged resource before
// use.
constexpr int kResourcePanels[] = {
    PNL_ABOUT,
    PNL_PORT_FAILED,
    PNL_PORT,
    PNL_QUIT,
    PNL_COPY_FAILED,
    PNL_LANGUAGE_FAILED,
    PNL_LANGUAGE,
    PNL_NOTHING_TO_SAVE,
    PNL_MAIN,
    PNL_README_MISSING,
    PNL_README,
    PNL_RECORD_TIMEOUT,
    PNL_SAVE_BEFORE_QUIT,
    PNL_BAD_TESTCODE,
    PNL_LOGO_PATH_TOO_LONG,
    PNL_SETTINGS_NOT_WRITTEN,
    PNL_LOG_NOT_WRITTEN,
    PNL_LOG_CAUGHT_UP,
    PNL_LOG_ELSEWHERE,
    PNL_HISTORY_MOVED,
    PNL_HISTORY_NEWER,
    PNL_HISTORY,
    PNL_WORKSHOP,
};
// The panels the start-up itself may show up to the first paint of the main panel. On a start
// with a settings file only these are checked before that paint, and every panel right after
// it; a first start checks every panel before it writes anything.
constexpr int kStartupPanels[] = {
    PNL_MAIN,
    PNL_LANGUAGE_FAILED,
    PNL_LOGO_PATH_TOO_LONG,
    PNL_SETTINGS_NOT_WRITTEN,
};

// ---- Controls of the main panel ----------------------------------------------------------------

enum {
    MAIN_INFO = 2,   // text box: an empty line, then the six information lines
    MAIN_TCOMP = 3,  // ring, by index
    MAIN_INVEH = 4,  // ring, by index
    MAIN_SETPNT = 5, // number display
    MAIN_SYSTEM = 6, // ring, by index
    MAIN_DATE = 7,
    MAIN_ENTRY = 8,  // operator entry
    MAIN_TCODE = 9,  // test code, typed or received
    MAIN_BVOLT = 10, // number display
    MAIN_SOC = 11,   // ring, by index; one item has the value -1
    MAIN_BRSLT = 12, // ring, by value
    MAIN_NOTES = 13, // text box
    MAIN_CENTRE1 = 14,
    MAIN_CENTRE2 = 15,
    MAIN_LOGO1 = 16,
    MAIN_LOGO2 = 17,
    MAIN_LOGO3 = 18,
    MAIN_MEASURED = 20,     // measured cold-cranking amps and their share of the rating
    MAIN_STATUS = 21,       // status line (not printed)
    MAIN_STATUS_TEXTS = 22, // hidden ring: the status line's words, by value
};
enum {
    KS_INFO_BOX_LINES = 7,  // text box 2: the empty first line and six information lines
    KS_NOTES_BOX_LINES = 4, // text box 13
};

// ---- Controls of the popups --------------------------------------------------------------------

// Every notice (and the port popup) is closed by its control 2.
enum { NOTICE_OK = 2 };
// Notices about a file: the file's path (filled in), and one text per reason, of which only the
// one that applies is shown.
enum {
    NOTICE_FILE = 4,
    NOTICE_WHY_DISK_FULL = 5,
    NOTICE_WHY_NOT_ALLOWED = 6, // read-only, protected, or a folder of that name
    NOTICE_WHY_OTHER = 7,
};
// Port notice: the port and its device (filled in), and a text shown only when there is none.
enum { NOPORT_PORT = 4, NOPORT_NO_DEVICE = 5 };
enum { PORT_NUMBER = 3 };                    // port popup: the port number
enum { QUIT_YES = 2, QUIT_STAY = 3 };        // quit popup
enum { LANGUAGE_OK = 2, LANGUAGE_LIST = 3 }; // language popup; the list's values are 0 .. 9
// Save-before-quit popup; its other buttons go back.
enum { SAVE_QUIT_SAVE = 2, SAVE_QUIT_DISCARD = 3 };

// History panel; control 2 (NOTICE_OK) closes it.
enum {
    HISTORY_SEARCH = 3,
    HISTORY_FROM = 4,
    HISTORY_TO = 5,
    HISTORY_COUNT = 6,
    HISTORY_LIST = 7, // one line per result, the values its index in the rows shown
    HISTORY_OPEN = 8,
    HISTORY_VEHICLE = 9, // the selected result's vehicle only, or all again
    HISTORY_EXPORT = 10,
    HISTORY_HEADER = 11,   // the list's column titles; a bench column joins them for all benches
    HISTORY_PDF = 13,      // one PDF per result in view, named after its reference and date
    HISTORY_SEARCHED = 14, // which history the list comes from: this bench's or every bench's
    HISTORY_TEXTS = 15,    // hidden ring: the source's words and the reasons a server search failed
};

// Workshop server panel: Cancel (also Escape and the close box) leaves workshop.ini as it was.
enum {
    WORKSHOP_OK = 2,
    WORKSHOP_BENCH = 3,
    WORKSHOP_CONNECTION = 4,
    WORKSHOP_READ_CONNECTION = 5,
    WORKSHOP_TEST = 6,
    WORKSHOP_MESSAGE = 7,  // what the test found, or why OK saved nothing
    WORKSHOP_MESSAGES = 8, // hidden ring: the message texts, by value
    WORKSHOP_CANCEL = 9,
};

// ---- Menu items of the main menu bar -----------------------------------------------------------

// The save command names its file dialog.
enum { MENU_SAVE = 3 };
// The logo commands share two callbacks and tell their items apart by these.
enum {
    MENU_LOAD_LOGO1 = 10,
    MENU_UNLOAD_LOGO1 = 11,
    MENU_LOAD_LOGO2 = 12,
    MENU_UNLOAD_LOGO2 = 13,
    MENU_LOAD_LOGO3 = 14,
    MENU_UNLOAD_LOGO3 = 15,
    MENU_HISTORY = 20,
    MENU_WORKSHOP = 21,
};

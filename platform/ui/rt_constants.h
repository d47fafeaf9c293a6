// Numbers of the run-time contract: events, attributes, control styles, value types, keys.
// One place for every number; the layers above use these names, never the bare numbers.
#pragma once

// ---- Events -------------------------------------------------------------------------------------
enum {
    EVENT_NONE = 0,
    EVENT_COMMIT = 1,
    EVENT_VAL_CHANGED = 2,
    EVENT_LEFT_CLICK = 3,
    EVENT_LEFT_DOUBLE_CLICK = 4,
    EVENT_RIGHT_CLICK = 5,
    EVENT_RIGHT_DOUBLE_CLICK = 6,
    EVENT_KEYPRESS = 7,
    EVENT_GOT_FOCUS = 8,
    EVENT_LOST_FOCUS = 9,
    EVENT_IDLE = 10,
    EVENT_CLOSE = 11,
    EVENT_PANEL_SIZE = 12,
    EVENT_PANEL_MOVE = 13,
    EVENT_END_TASK = 14,
    EVENT_TIMER_TICK = 15,
    EVENT_DISCARD = 16,
};

// ---- Attributes (panels, controls, menu bars) --------------------------------------------------
enum {
    ATTR_DIMMED = 500, // control, menu item: greyed out, takes no input (0 / 1)
    ATTR_CONSTANT_NAME = 501,
    ATTR_CONSTANT_NAME_LENGTH = 502,
    ATTR_CTRL_MODE = 503, // control: VAL_NORMAL, VAL_INDICATOR, VAL_HOT, VAL_VALIDATE
    ATTR_CALLBACK_DATA = 510,
    ATTR_VISIBLE = 530,
    ATTR_LEFT = 531,
    ATTR_TOP = 532,
    ATTR_WIDTH = 533,
    ATTR_HEIGHT = 540,
    ATTR_BACKCOLOR = 570,
    ATTR_TITLE = 573,
    ATTR_TITLE_LENGTH = 574,
    ATTR_WINDOW_STATE = 597, // panel: 0 normal, 1 minimised, 2 maximised
    ATTR_SIZABLE = 602,      // panel: the operator may resize the window (0 / 1)
    ATTR_CTRL_STYLE = 611,
    ATTR_PANEL_FIRST_CTRL = 612,
    ATTR_NEXT_CTRL = 613,
    ATTR_CLOSE_BOX_HIDDEN = 617, // panel: no close box in the title bar (1)
    ATTR_DFLT_VALUE = 630,
    ATTR_LABEL_TEXT = 641,
    ATTR_LABEL_TEXT_LENGTH = 648,
    ATTR_LABEL_LEFT = 670,
    ATTR_LABEL_TOP = 671,
    ATTR_LABEL_WIDTH = 672,
    ATTR_LABEL_HEIGHT = 673,
    ATTR_SIZE_TO_TEXT = 680, // text message: 1 grows to fit its text, 0 keeps its size and scrolls
    ATTR_TEXT_FONT = 682,
    ATTR_TEXT_POINT_SIZE = 686,
    ATTR_TEXT_BGCOLOR = 690,
    ATTR_TEXT_COLOR = 691,
    ATTR_TEXT_BOLD = 692,
    ATTR_TEXT_JUSTIFY = 693, // 0 left, 1 centre, 2 right
    ATTR_DATA_TYPE = 710,
    ATTR_PRECISION = 720, // numerics: decimals shown
    ATTR_MAX_VALUE = 730,
    ATTR_MIN_VALUE = 731,
    ATTR_SHOW_DIGITAL_DISPLAY = 737, // progress bar: show the percentage as text beside the bar
    ATTR_TEXT_SELECTION_START = 762, // text box: caret position (character offset)
    ATTR_DFLT_VALUE_LENGTH = 770,
    ATTR_MAX_ENTRY_LENGTH = 771,
    ATTR_ON_TEXT = 940,
    ATTR_OFF_TEXT = 941,
    ATTR_ON_TEXT_LENGTH = 942,
    ATTR_OFF_TEXT_LENGTH = 943,
    ATTR_PROGRESS_TEXT_PRECISION = 974, // progress bar: decimals of the percentage text
    ATTR_MARKER_STYLE = 982,            // progress bar: 0 none, 1 ticks, 2 plain bar, 3 segments
    ATTR_MARKER_COUNT = 983,            // progress bar: segments for marker style 3
    ATTR_FILL_COLOR = 980,              // progress bar: fill colour (0x1000000 = the theme's)
    ATTR_SHORTCUT_KEY = 1020,
    ATTR_MENU_ITEM_IS_SEPARATOR = 1041,
    ATTR_ITEM_NAME = 1042,
    ATTR_ITEM_NAME_LENGTH = 1043,
    ATTR_SUBMENU_ID = 1044,
    ATTR_NEXT_ITEM_ID = 1045,
    ATTR_MENU_NAME = 1060,
    ATTR_MENU_NAME_LENGTH = 1061,
    ATTR_NUM_MENU_ITEMS = 1062,
    ATTR_NEXT_MENU_ID = 1063,
    ATTR_FIRST_ITEM_ID = 1064,
    ATTR_FIRST_MENU_ID = 1073,
    ATTR_XNAME = 1086,
    ATTR_YNAME = 1093,
    ATTR_XNAME_LENGTH = 1108,
    ATTR_YNAME_LENGTH = 1109,
    ATTR_ACTIVE_YAXIS = 1149, // graph: 1 left, 2 right
    ATTR_CELL_TYPE = 1580,    // table cell: 1 string, 2 numeric, 3 picture, 4 ring, 5 button
};

// ---- System attributes --------------------------------------------------------------------------
enum {
    ATTR_SYS_USE_LOCALIZED_DECIMAL_SYMBOL = 1451, // 1: follow the operator's decimal separator
    ATTR_SYS_DECIMAL_SYMBOL = 1452,               // the decimal separator character (low byte)
};

// ---- Print attributes (saved in the settings record) --------------------------------------------
enum {
    ATTR_PRINT_BITMAP = 1300,      // 1: print panels as drawn with text (0: as a bitmap)
    ATTR_PRINT_ORIENTATION = 1301, // 0 portrait, 1 landscape
    ATTR_PRINT_XRESOLUTION = 1302, // dots per inch requested
    ATTR_PRINT_COPIES = 1303,
    ATTR_PRINT_PAPER_WIDTH = 1304,  // tenths of a millimetre, -1 for the printer's default
    ATTR_PRINT_PAPER_HEIGHT = 1305, // tenths of a millimetre, -1 for the printer's default
    ATTR_PRINT_MARGIN = 1306,       // margins in tenths of a millimetre
    ATTR_PRINT_SCALE = 1307,        // per cent
    ATTR_PRINT_DUPLEX = 1308,       // 0 simplex, 1 long edge, 2 printer default
    ATTR_PRINT_COLOR_MODE = 1309,   // 0 grey scale, 1 colour
    ATTR_PRINT_COLLATE = 1310,
    ATTR_PRINT_PAGE_ORDER = 1327, // 0 first page first, 1 last page first
};

// ---- Control styles -----------------------------------------------------------------------------
// Every style the localization capture knows is accepted; the names below are the ones the
// product and the toolbox build at run time. docs/ui-resource.md lists them all.
enum {
    CTRL_NUMERIC = 100,
    CTRL_NUMERIC_DISPLAY = 101,
    CTRL_PROGRESS_BAR = 112,
    CTRL_STRING = 150,
    CTRL_TEXT_MSG = 160,
    CTRL_TEXT_BOX = 170,
    CTRL_COMMAND_BUTTON = 200,
    CTRL_BINARY_SWITCH = 231,
    CTRL_TOGGLE_BUTTON = 280,
    CTRL_RING = 300,
    CTRL_LIST_BOX = 340,
    CTRL_DECORATION = 380,
    CTRL_GRAPH = 440,
    CTRL_STRIP_CHART = 460,
    CTRL_PICTURE = 480,
    CTRL_TABLE = 510,
};

// ---- Value types (ATTR_DATA_TYPE) ---------------------------------------------------------------
enum {
    VAL_CHAR = 0,
    VAL_INTEGER = 1,
    VAL_SHORT_INTEGER = 2,
    VAL_FLOAT = 3,
    VAL_DOUBLE = 4,
    VAL_STRING = 5,
    VAL_UNSIGNED_INTEGER = 6,
};

// ---- Control modes (ATTR_CTRL_MODE) ------------------------------------------------------------
enum { VAL_NORMAL = 1, VAL_INDICATOR = 2, VAL_HOT = 3, VAL_VALIDATE = 4 };

// ---- Keys, positions, dialogs -------------------------------------------------------------------
enum {
    VAL_BACKSPACE_VKEY = 0x200, // FakeKeystroke: delete the character before the caret
    VAL_ESC_VKEY = 0x300,
};
enum {
    VAL_AUTO_CENTER = (int)0x80000000, // label top: centre on the control; panel position: screen
};
enum {
    VAL_NO_FILE_SELECTED = 0,
    VAL_EXISTING_FILE_SELECTED = 1,
    VAL_NEW_FILE_SELECTED = 2,
};
enum {
    VAL_OK_BUTTON = 0,
    VAL_SAVE_BUTTON = 1,
    VAL_SELECT_BUTTON = 2,
    VAL_LOAD_BUTTON = 3,
};
enum { VAL_WHITE = 0xFFFFFF };
// An item's colour that is the control's own (RT_GetListItemLook, RT_SetListItemLook).
enum { RT_ITEM_COLOR_OWN = -1 };
